#include "platform/replacing_file.h"

#include <mutex>
#include <set>

#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

namespace {

// Once per folder and process: what killed runs left beside the target.
void SweepOnce(FileSystem& fs, const std::string& target) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  std::string folder = ExtractFileDir(target);
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!swept.insert(folder).second) return;
  }
  fs.RemoveAbandonedTemporaries(target);
}

}  // namespace

ReplacingFile::ReplacingFile(FileSystem& fs, std::string target)
    : fs_(fs), target_(std::move(target)) {
  SweepOnce(fs_, target_);
  const FileInfo existing = fs_.Stat(target_);
  // A read-only or non-file target is not replaced behind the user's back.
  if (existing.exists && (existing.is_directory || existing.read_only)) {
    RaiseIoError(io_code::kAccessDenied);
  }
  file_ = fs_.CreateUnnamedBeside(target_);
  unnamed_ = file_.IsOpen();
  if (!unnamed_) file_ = fs_.CreateTemporaryBeside(target_, &temp_path_);
}

ReplacingFile::~ReplacingFile() {
  if (committed_) return;
  file_ = File();  // close before removing; an unnamed file simply vanishes
  if (temp_path_.empty()) return;
  try {
    fs_.Delete(temp_path_);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing more can be done here
  }
}

void ReplacingFile::Commit() {
  const bool replaces = fs_.Stat(target_).exists;
  if (replaces) file_.Sync();
  // A new file is named in one step: there is no moment at which it has
  // another name.
  if (unnamed_ && !replaces && fs_.NameUnnamedAs(file_, target_)) {
    file_.Close();
    committed_ = true;
    return;
  }
  if (unnamed_) temp_path_ = fs_.NameUnnamed(file_, target_);
  file_.Close();
  fs_.Replace(temp_path_, target_);
  committed_ = true;
}

}  // namespace talvor

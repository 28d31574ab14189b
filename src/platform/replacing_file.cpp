#include "platform/replacing_file.h"

#include <mutex>
#include <set>

#include "platform/failure.h"
#include "platform/path.h"
#include "platform/trash.h"

namespace talvor {

namespace {

thread_local ReplacementLog* current_log = nullptr;

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
    RaiseIoError(io_code::kAccessDenied, target_);
  }
  file_ = fs_.CreateUnnamedBeside(target_);
  unnamed_ = file_.IsOpen();
  if (!unnamed_) file_ = fs_.CreateTemporaryBeside(target_, &temp_path_);
  file_.WriteBehind();
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
  file_.Sync();
  // Only now that the new file is complete does the old one make room.
  if (fs_.Stat(target_).exists) MoveReplacedToTrash(fs_, target_);
  // A new file is named in one step: there is no moment at which it has
  // another name.
  if (unnamed_ && fs_.NameUnnamedAs(file_, target_)) {
    file_.Close();
    committed_ = true;
    return;
  }
  if (unnamed_) temp_path_ = fs_.NameUnnamed(file_, target_);
  file_.Close();
  fs_.Move(temp_path_, target_);
  committed_ = true;
}

void MoveReplacedToTrash(FileSystem& fs, const std::string& path) {
  try {
    fs.MoveToTrash(path);
  } catch (const TrashUnavailable& e) {
    throw TrashUnavailable(std::string(e.what()) +
                           "; it was left as it is, and the new file was not kept");
  }
  ReplacementLog::Note(path);
}

ReplacementLog::ReplacementLog() : outer_(current_log) {
  current_log = this;
}

ReplacementLog::~ReplacementLog() {
  current_log = outer_;
}

void ReplacementLog::Note(const std::string& path) {
  if (current_log != nullptr) current_log->files_.push_back(path);
}

}  // namespace talvor

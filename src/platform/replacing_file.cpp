#include "platform/replacing_file.h"

#include "platform/failure.h"

namespace talvor {

ReplacingFile::ReplacingFile(FileSystem& fs, std::string target)
    : fs_(fs), target_(std::move(target)) {
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
  if (fs_.Stat(target_).exists) file_.Sync();
  if (unnamed_) temp_path_ = fs_.NameUnnamed(file_, target_);
  file_.Close();
  fs_.Replace(temp_path_, target_);
  committed_ = true;
}

}  // namespace talvor

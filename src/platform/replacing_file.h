// A result file that appears under its final name only when it is complete.
#pragma once

#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_system.h"

namespace talvor {

// Writes to a temporary file beside the target, without a name where the
// file system allows. Commit() puts the complete file, synced to the device,
// under the target's name; a file already there goes to the desktop's trash
// just before (it is never deleted, and where no trash can take it nothing
// is replaced). Without Commit() the temporary file is removed, so a failure
// never leaves a partial result or changes an existing file. The first one
// in a folder removes the temporary files that killed runs of the program
// left there.
class ReplacingFile {
 public:
  ReplacingFile(FileSystem& fs, std::string target);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  [[nodiscard]] File& file() noexcept { return file_; }
  [[nodiscard]] const std::string& target() const noexcept { return target_; }

  // Syncs and closes the file and gives it the target's name, after moving
  // a file of that name to the trash (noted in the ReplacementLog).
  void Commit();

 private:
  FileSystem& fs_;
  std::string target_;
  std::string temp_path_;
  File file_;
  bool unnamed_ = false;  // no name until Commit: nothing is left if the process dies
  bool committed_ = false;
};

// Moves the file at `path`, which a new file is about to replace, to the
// trash and notes it in the ReplacementLog; where no trash can take it,
// raises TrashUnavailable saying that the file stays and the new one is not
// kept.
void MoveReplacedToTrash(FileSystem& fs, const std::string& path);

// The files that results replaced on this thread while it lives (they are in
// the trash), for whoever tells the user.
class ReplacementLog {
 public:
  ReplacementLog();
  ReplacementLog(const ReplacementLog&) = delete;
  ReplacementLog& operator=(const ReplacementLog&) = delete;
  ~ReplacementLog();

  [[nodiscard]] const std::vector<std::string>& files() const noexcept { return files_; }
  // Notes a replaced file in the innermost log (nothing without one).
  static void Note(const std::string& path);

 private:
  std::vector<std::string> files_;
  ReplacementLog* outer_;
};

}  // namespace talvor

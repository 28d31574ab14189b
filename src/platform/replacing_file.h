// A result file that appears under its final name only when it is complete.
#pragma once

#include <string>

#include "platform/file.h"
#include "platform/file_system.h"

namespace talvor {

// Writes to a temporary file beside the target, without a name where the
// file system allows. Commit() gives it the target's name, or renames it over
// an existing target in one step; without Commit() the temporary file is
// removed, so a failure never leaves a partial result or damages an existing
// file. The first one in a folder removes the temporary files that killed
// runs of the program left there.
class ReplacingFile {
 public:
  ReplacingFile(FileSystem& fs, std::string target);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  [[nodiscard]] File& file() noexcept { return file_; }
  [[nodiscard]] const std::string& target() const noexcept { return target_; }

  // Closes the file and puts it in place of the target. When the target
  // exists, the new content first reaches the device, so that a crash leaves
  // either the old file or the new one.
  void Commit();

 private:
  FileSystem& fs_;
  std::string target_;
  std::string temp_path_;
  File file_;
  bool unnamed_ = false;  // no name until Commit: nothing is left if the process dies
  bool committed_ = false;
};

}  // namespace talvor

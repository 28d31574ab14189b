// The file routine behind each cipher operation code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace talvor {

class FileRoutines {
 public:
  explicit FileRoutines(FileSystem& fs) : fs_(fs) {}

  // Whether this build carries the routine for an operation code.
  [[nodiscard]] static bool IsAvailable(std::uint8_t code) noexcept;

  // Runs the routine for `code` on `path` with the trimmed pass phrase (code
  // page bytes); returns the path of the file it wrote. Failures are raised.
  std::string Run(std::uint8_t code, const std::string& path, std::string_view passphrase);

 private:
  FileSystem& fs_;
};

}  // namespace talvor

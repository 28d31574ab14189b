// The file routine behind each cipher operation code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "password/library_ciphers.h"
#include "password/random_protection.h"

namespace talvor {

class FileRoutines {
 public:
  FileRoutines(FileSystem& fs, RandomGenerator& random, Clock& clock)
      : services_{fs, random, clock}, random_protection_(services_) {}
  FileRoutines(const FileRoutines&) = delete;
  FileRoutines& operator=(const FileRoutines&) = delete;

  // Whether this build carries the routine for an operation code.
  [[nodiscard]] static bool IsAvailable(std::uint8_t code) noexcept;

  // Runs the routine for `code` on `path` with the trimmed pass phrase (code
  // page bytes); returns the path of the file it wrote. Failures are raised.
  std::string Run(std::uint8_t code, const std::string& path, std::string_view passphrase);

  [[nodiscard]] RoutineServices& services() noexcept { return services_; }
  // The password window's own LHA writer and reader (Lha1, UnLha1).
  [[nodiscard]] RandomProtection& random_protection() noexcept { return random_protection_; }

 private:
  RoutineServices services_;
  RandomProtection random_protection_;
};

}  // namespace talvor

// The reading half of the cabinet library, over libmspack.
#pragma once

#include <memory>
#include <string>

#include "archive/cab/cabinet.h"

namespace talvor::cabinet_internal {

// Error codes of the cabinet-reading interface (the `code` of CabinetError;
// the `type` is libmspack's own error number).
namespace read_error {
inline constexpr int kCabinetNotFound = 1;
inline constexpr int kNotACabinet = 2;
inline constexpr int kCorruptCabinet = 4;
inline constexpr int kAllocFail = 5;
inline constexpr int kDecompressorFail = 7;
inline constexpr int kTargetFile = 8;
}  // namespace read_error

// Whether the libmspack we run with agrees with the one we were built for.
[[nodiscard]] bool ReaderUsable();
[[nodiscard]] bool IsCabinetFile(const std::string& path);
[[nodiscard]] std::unique_ptr<CabinetSession> OpenCabinetSet(const std::string& path);

}  // namespace talvor::cabinet_internal

// The writing half of the cabinet library: one folder of MSZIP or stored
// data blocks, made with the raw Deflate coder of archive/deflate.h.
#pragma once

#include <memory>

#include "archive/cab/cabinet.h"

namespace talvor::cabinet_internal {

// Error codes of the cabinet-making interface (the `code` of CabinetError).
namespace make_error {
inline constexpr int kOpenSource = 1;
inline constexpr int kReadSource = 2;
inline constexpr int kAllocFail = 3;
inline constexpr int kTempFile = 4;
inline constexpr int kBadCompression = 5;
inline constexpr int kCabinetFile = 6;
inline constexpr int kCompressorFail = 8;
inline constexpr int kFormatLimit = 9;
// The type of a kFormatLimit error when the data is more than a folder holds
// (65535 blocks of 32 KiB, just under 2 GiB).
inline constexpr int kTooMuchData = 1;
}  // namespace make_error

[[nodiscard]] std::unique_ptr<CabinetBuilder> MakeCabinetWriter(const CabinetParameters& params);

}  // namespace talvor::cabinet_internal

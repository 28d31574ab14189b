// What the main window hands to its secondary windows.
#pragma once

#include <cstdint>
#include <string>

#include "protect/methods.h"

namespace talvor {

// Operation codes: 1 to 10 for the cipher commands (protect/methods.h); the
// same byte serves the other windows too.
namespace operation {
inline constexpr std::uint8_t kNone = 0;
inline constexpr std::uint8_t kNewFolder = 4;  // for the name prompt
inline constexpr std::uint8_t kAbout = 10;     // for the about window
}  // namespace operation

struct HandOver {
  std::uint8_t OperationCode = operation::kNone;
  std::string SelectedPath;
  bool OperationPending = false;
};

}  // namespace talvor

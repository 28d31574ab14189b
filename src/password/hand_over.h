// What the main window hands to its secondary windows.
#pragma once

#include <cstdint>
#include <string>

namespace talvor {

// Operation codes; the same byte serves several windows.
namespace operation {
inline constexpr std::uint8_t kNone = 0;
inline constexpr std::uint8_t kEncryptTrap = 1;
inline constexpr std::uint8_t kDecryptTrap = 2;
inline constexpr std::uint8_t kEncryptOrm = 3;
inline constexpr std::uint8_t kDecryptOrm = 4;
inline constexpr std::uint8_t kNewFolder = 4;  // for the name prompt
inline constexpr std::uint8_t kEncryptBlowfish = 5;
inline constexpr std::uint8_t kDecryptBlowfish = 6;
inline constexpr std::uint8_t kEncryptRijndael = 7;
inline constexpr std::uint8_t kDecryptRijndael = 8;
inline constexpr std::uint8_t kEncryptRandom = 9;
inline constexpr std::uint8_t kDecryptRandom = 10;
inline constexpr std::uint8_t kAbout = 10;  // for the about window
}  // namespace operation

struct HandOver {
  std::uint8_t OperationCode = operation::kNone;
  std::string SelectedPath;
  bool OperationPending = false;
};

}  // namespace talvor

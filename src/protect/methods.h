// The five protection methods in one table: how talvor names each, the
// extension its files carry, the operation codes the windows hand over and
// the routines that encrypt and decrypt a file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/progress.h"
#include "platform/random_generator.h"

namespace talvor {

// The operation codes of the cipher commands, as the main window hands them
// to the password window.
namespace operation {
inline constexpr std::uint8_t kEncryptTrap = 1;
inline constexpr std::uint8_t kDecryptTrap = 2;
inline constexpr std::uint8_t kEncryptOrm = 3;
inline constexpr std::uint8_t kDecryptOrm = 4;
inline constexpr std::uint8_t kEncryptBlowfish = 5;
inline constexpr std::uint8_t kDecryptBlowfish = 6;
inline constexpr std::uint8_t kEncryptRijndael = 7;
inline constexpr std::uint8_t kDecryptRijndael = 8;
inline constexpr std::uint8_t kEncryptRandom = 9;
inline constexpr std::uint8_t kDecryptRandom = 10;
}  // namespace operation

// What the file routines work with.
struct RoutineServices {
  FileSystem& fs;
  RandomGenerator& random;
  Clock& clock;
  Job& job;  // the command's work: progress, cancel, replaced files
};

enum class Direction { kEncrypt, kDecrypt };

// A file routine: writes its result for `source` beside it and returns the
// result's path. The pass phrase is code-page bytes. Failures are raised;
// they leave no result.
using FileRoutine = std::string (*)(RoutineServices& services, const std::string& source,
                                    std::string_view passphrase);
// A check of a protected file: reads and deciphers all of it into nothing,
// writing nothing. Returns when the pass phrase opens the file as far as the
// method can tell; raises the failure decrypting would raise ("Wrong password
// or damaged file", a damaged file, a CRC failure, ...).
using VerifyRoutine = void (*)(RoutineServices& services, const std::string& source,
                               std::string_view passphrase);

struct ProtectionMethod {
  const char* name;       // "blowfish", as talvor's --method takes it
  const char* title;      // "BLOWFISH", as the windows name it
  const char* extension;  // ".blf": what its files carry (letter case counts)
  std::uint8_t encrypt_code;
  std::uint8_t decrypt_code;
  FileRoutine encrypt;
  FileRoutine decrypt;
  VerifyRoutine verify;
  // Whether a wrong pass phrase is recognised. TRAP's is not: any pass
  // phrase gives some result, so its check reads the file but takes no
  // pass phrase into account.
  bool can_tell_wrong_passphrase;

  [[nodiscard]] std::uint8_t code(Direction direction) const noexcept {
    return direction == Direction::kEncrypt ? encrypt_code : decrypt_code;
  }
  [[nodiscard]] FileRoutine routine(Direction direction) const noexcept {
    return direction == Direction::kEncrypt ? encrypt : decrypt;
  }
};

// TRAP, ORM, BLOWFISH, RIJNDAEL and random protection, in the windows' order.
[[nodiscard]] std::span<const ProtectionMethod> ProtectionMethods();
[[nodiscard]] const ProtectionMethod* MethodByName(std::string_view name);
[[nodiscard]] const ProtectionMethod* MethodByExtension(std::string_view extension);
// The method of an operation code 1..10 and, in *direction, which way it
// works; nullptr for any other code.
[[nodiscard]] const ProtectionMethod* MethodByCode(std::uint8_t code, Direction* direction);

}  // namespace talvor

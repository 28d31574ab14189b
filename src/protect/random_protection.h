// Random protection and .erh files: the file is enciphered with Rijndael
// under the user's pass phrase combined with one of five internal patterns
// chosen at random, packed into an LHA archive, and the archive's bytes are
// masked with 5.
//
//   .xxr  choice digit "1".."5" | masked extension header | Rijndael stream
//   .lha  one entry: the .xxr file, under the source's base name + ".xxr"
//   .erh  every byte of the .lha archive XOR 5
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/lha/lha_archive.h"
#include "platform/secret.h"
#include "protect/methods.h"

namespace talvor {

inline constexpr char kErhExtension[] = ".erh";

// The choice 1..5: the generator is started from the clock, m = Random(37),
// r = Random(m + 3); r is taken when it lies in 1..5, else it starts again.
[[nodiscard]] int PickProtectionChoice(RandomGenerator& random, Clock& clock);

// The effective pass phrase for a choice (the pass phrase itself for a
// choice outside 1..5).
[[nodiscard]] Secret EffectivePassphrase(int choice, std::string_view passphrase);

// The password window's own archive components and the two routines.
class RandomProtection {
 public:
  explicit RandomProtection(RoutineServices& services);

  // Writes the .erh file for `source`; returns its path.
  std::string EncryptErh(const std::string& source, std::string_view passphrase);
  // Writes the .erh file with a given choice and effective pass phrase.
  std::string BuildErh(const std::string& source, std::string_view effective, int choice);
  // Restores the protected file beside the .erh file; returns its path.
  std::string DecryptErh(const std::string& source, std::string_view passphrase);

  TLha Lha1;
  TUnLha UnLha1;

 private:
  RoutineServices& services_;
};

// The two routines, each with archive components of its own.
std::string EncryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase);
std::string DecryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase);

}  // namespace talvor

// Random protection and .erh files: the file is enciphered with Rijndael
// under the user's pass phrase combined with one of five internal patterns
// chosen at random, packed into an LHA archive of one entry, and the
// archive's bytes are masked with 5 (erh_archive.h). The layers stream
// between the user's file and the result: no intermediate file is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

class RandomProtection {
 public:
  explicit RandomProtection(RoutineServices& services) : services_(services) {}

  // Writes the .erh file for `source`; returns its path.
  std::string EncryptErh(const std::string& source, std::string_view passphrase);
  // Writes the .erh file with a given choice and effective pass phrase.
  std::string BuildErh(const std::string& source, std::string_view effective, int choice);
  // Restores the protected file beside the .erh file; returns its path.
  std::string DecryptErh(const std::string& source, std::string_view passphrase);
  // Reads and deciphers the whole .erh file into nothing, with the checks of
  // DecryptErh.
  void VerifyErh(const std::string& source, std::string_view passphrase);

 private:
  std::string Open(const std::string& source, std::string_view passphrase, bool keep);

  RoutineServices& services_;
};

// The routines of the method table.
std::string EncryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase);
std::string DecryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase);
void VerifyErh(RoutineServices& services, const std::string& source, std::string_view passphrase);

}  // namespace talvor

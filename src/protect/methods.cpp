#include "protect/methods.h"

#include <array>

#include "protect/library_ciphers.h"
#include "protect/random_protection.h"
#include "protect/trap.h"

namespace talvor {

namespace {

template <const LibraryCipher& kCipher>
std::string EncryptLibrary(RoutineServices& services, const std::string& source,
                           std::string_view passphrase) {
  return EncryptWithLibrary(services, kCipher, source, passphrase);
}

template <const LibraryCipher& kCipher>
std::string DecryptLibrary(RoutineServices& services, const std::string& source,
                           std::string_view passphrase) {
  return DecryptWithLibrary(services, kCipher, source, passphrase);
}

template <const LibraryCipher& kCipher>
void VerifyLibrary(RoutineServices& services, const std::string& source,
                   std::string_view passphrase) {
  VerifyWithLibrary(services, kCipher, source, passphrase);
}

std::string EncryptTrap(RoutineServices& services, const std::string& source,
                        std::string_view passphrase) {
  return EncryptTrp(services.fs, source, passphrase, services.job);
}

std::string DecryptTrap(RoutineServices& services, const std::string& source,
                        std::string_view passphrase) {
  return DecryptTrp(services.fs, source, passphrase, services.job);
}

void VerifyTrap(RoutineServices& services, const std::string& source, std::string_view) {
  VerifyTrp(services.fs, source, services.job);
}

const std::array<ProtectionMethod, 5>& Table() {
  static const std::array<ProtectionMethod, 5> methods = {{
      {"trap", "TRAP", kTrapExtension, operation::kEncryptTrap, operation::kDecryptTrap,
       &EncryptTrap, &DecryptTrap, &VerifyTrap, false},
      {"orm", "ORM", kOrmCipher.extension, operation::kEncryptOrm, operation::kDecryptOrm,
       &EncryptLibrary<kOrmCipher>, &DecryptLibrary<kOrmCipher>, &VerifyLibrary<kOrmCipher>, true},
      {"blowfish", "BLOWFISH", kBlowfishCipher.extension, operation::kEncryptBlowfish,
       operation::kDecryptBlowfish, &EncryptLibrary<kBlowfishCipher>,
       &DecryptLibrary<kBlowfishCipher>, &VerifyLibrary<kBlowfishCipher>, true},
      {"rijndael", "RIJNDAEL", kRijndaelCipher.extension, operation::kEncryptRijndael,
       operation::kDecryptRijndael, &EncryptLibrary<kRijndaelCipher>,
       &DecryptLibrary<kRijndaelCipher>, &VerifyLibrary<kRijndaelCipher>, true},
      {"random", "random protection", kErhExtension, operation::kEncryptRandom,
       operation::kDecryptRandom, &EncryptErh, &DecryptErh, &VerifyErh, true},
  }};
  return methods;
}

}  // namespace

std::span<const ProtectionMethod> ProtectionMethods() {
  return Table();
}

const ProtectionMethod* MethodByName(std::string_view name) {
  for (const ProtectionMethod& m : Table()) {
    if (name == m.name) return &m;
  }
  return nullptr;
}

const ProtectionMethod* MethodByExtension(std::string_view extension) {
  for (const ProtectionMethod& m : Table()) {
    if (extension == m.extension) return &m;
  }
  return nullptr;
}

const ProtectionMethod* MethodByCode(std::uint8_t code, Direction* direction) {
  for (const ProtectionMethod& m : Table()) {
    if (code == m.encrypt_code || code == m.decrypt_code) {
      *direction = code == m.encrypt_code ? Direction::kEncrypt : Direction::kDecrypt;
      return &m;
    }
  }
  return nullptr;
}

}  // namespace talvor

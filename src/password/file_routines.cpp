#include "password/file_routines.h"

#include "password/hand_over.h"
#include "password/trap.h"
#include "platform/failure.h"

namespace talvor {

bool FileRoutines::IsAvailable(std::uint8_t code) noexcept {
  return code >= operation::kEncryptTrap && code <= operation::kDecryptRandom;
}

std::string FileRoutines::Run(std::uint8_t code, const std::string& path,
                              std::string_view passphrase) {
  switch (code) {
    case operation::kEncryptTrap:
      return EncryptTrp(services_.fs, path, passphrase);
    case operation::kDecryptTrap:
      return DecryptTrp(services_.fs, path, passphrase);
    case operation::kEncryptOrm:
      return EncryptOrm(services_, path, passphrase);
    case operation::kDecryptOrm:
      return DecryptOrm(services_, path, passphrase);
    case operation::kEncryptBlowfish:
      return EncryptBlf(services_, path, passphrase);
    case operation::kDecryptBlowfish:
      return DecryptBlf(services_, path, passphrase);
    case operation::kEncryptRijndael:
      return EncryptRnl(services_, path, passphrase);
    case operation::kDecryptRijndael:
      return DecryptRnl(services_, path, passphrase);
    case operation::kEncryptRandom:
      return random_protection_.EncryptErh(path, passphrase);
    case operation::kDecryptRandom:
      return random_protection_.DecryptErh(path, passphrase);
    default:
      throw Failure("This method is not available in this version");
  }
}

}  // namespace talvor

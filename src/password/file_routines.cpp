#include "password/file_routines.h"

#include "password/hand_over.h"
#include "password/trap.h"
#include "platform/failure.h"

namespace talvor {

bool FileRoutines::IsAvailable(std::uint8_t code) noexcept {
  return code == operation::kEncryptTrap || code == operation::kDecryptTrap;
}

std::string FileRoutines::Run(std::uint8_t code, const std::string& path,
                              std::string_view passphrase) {
  switch (code) {
    case operation::kEncryptTrap:
      return EncryptTrp(fs_, path, passphrase);
    case operation::kDecryptTrap:
      return DecryptTrp(fs_, path, passphrase);
    default:
      throw Failure("This method is not available in this version");
  }
}

}  // namespace talvor

// The ORM, BLOWFISH and RIJNDAEL file commands: a key from the pass phrase,
// the cipher library streaming between the user's file and the result, and
// the masked extension header in front of the result.
//
//   .orm  header | Triple-DES CBC stream, every byte XOR 5
//   .blf  header | Blowfish CBC stream
//   .rnl  header | Rijndael (AES-128) ECB stream
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cipher/block_modes.h"
#include "protect/methods.h"

namespace talvor {

// The mask over the ORM body (and over the archive of random protection).
inline constexpr std::uint8_t kBodyMask = 5;

// How one library cipher makes its files.
struct LibraryCipher {
  const char* extension;
  std::uint8_t body_mask;  // every byte of the stream XOR this
  std::uint64_t block;     // B: 8 or 16
  bool chained;            // CBC, with an enciphered header block
  LibraryMethod method;

  // The size of the stream that enciphers `plain` bytes.
  [[nodiscard]] std::uint64_t StreamSize(std::uint64_t plain) const noexcept {
    return (chained ? block : 0) + block * (plain / block + 1);
  }
};

extern const LibraryCipher kOrmCipher;
extern const LibraryCipher kBlowfishCipher;
extern const LibraryCipher kRijndaelCipher;

// Each returns the path of the file it wrote. The pass phrase is code-page
// bytes. Failures are raised; they leave no result.
std::string EncryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase);
std::string DecryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase);
// Deciphers the whole file into nothing: returns when the pass phrase opens
// it, raises what decrypting would raise.
void VerifyWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                       const std::string& source, std::string_view passphrase);

}  // namespace talvor

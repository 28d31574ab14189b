// The ORM, BLOWFISH and RIJNDAEL file commands: a key from the pass phrase,
// the cipher library between the user's file and the working file, and the
// masked extension header in front of the result.
//
//   .orm  header | Triple-DES CBC stream, every byte XOR 5
//   .blf  header | Blowfish CBC stream
//   .rnl  header | Rijndael (AES-128) ECB stream
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file.h"
#include "protect/methods.h"

namespace talvor {

// How one library cipher makes its files.
struct LibraryCipher {
  const char* extension;
  std::uint8_t body_mask;  // every byte of the stream XOR this
  std::uint64_t block;     // B: 8 or 16
  bool chained;            // CBC, with an enciphered header block
  // The cipher library's stream in one direction, under a 16-byte key.
  void (*stream)(File& in, File& out, const std::uint8_t* key, bool encrypt, Clock& clock);

  // The size of the stream that enciphers `plain` bytes.
  [[nodiscard]] std::uint64_t StreamSize(std::uint64_t plain) const noexcept {
    return (chained ? block : 0) + block * (plain / block + 1);
  }
};

extern const LibraryCipher kOrmCipher;
extern const LibraryCipher kBlowfishCipher;
extern const LibraryCipher kRijndaelCipher;

// Each returns the path of the file it wrote. The pass phrase is code-page
// bytes. Failures are raised; they leave no result and no working file.
std::string EncryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase);
std::string DecryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase);

}  // namespace talvor

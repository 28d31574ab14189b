// The ORM, BLOWFISH and RIJNDAEL file commands: a key from the pass phrase,
// the cipher library between the user's file and the working file, and the
// masked extension header in front of the result.
//
//   .orm  header | Triple-DES CBC stream, every byte XOR 5
//   .blf  header | Blowfish CBC stream
//   .rnl  header | Rijndael (AES-128) ECB stream
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/random_generator.h"

namespace talvor {

// What the file routines work with.
struct RoutineServices {
  FileSystem& fs;
  RandomGenerator& random;
  Clock& clock;
};

enum class LibraryMethod { kOrm, kBlowfish, kRijndael };

// Each returns the path of the file it wrote. The pass phrase is code-page
// bytes. Failures are raised; they leave no result and no working file.
std::string EncryptWithLibrary(RoutineServices& services, LibraryMethod method,
                               const std::string& source, std::string_view passphrase);
std::string DecryptWithLibrary(RoutineServices& services, LibraryMethod method,
                               const std::string& source, std::string_view passphrase);

inline std::string EncryptOrm(RoutineServices& s, const std::string& p, std::string_view k) {
  return EncryptWithLibrary(s, LibraryMethod::kOrm, p, k);
}
inline std::string DecryptOrm(RoutineServices& s, const std::string& p, std::string_view k) {
  return DecryptWithLibrary(s, LibraryMethod::kOrm, p, k);
}
inline std::string EncryptBlf(RoutineServices& s, const std::string& p, std::string_view k) {
  return EncryptWithLibrary(s, LibraryMethod::kBlowfish, p, k);
}
inline std::string DecryptBlf(RoutineServices& s, const std::string& p, std::string_view k) {
  return DecryptWithLibrary(s, LibraryMethod::kBlowfish, p, k);
}
inline std::string EncryptRnl(RoutineServices& s, const std::string& p, std::string_view k) {
  return EncryptWithLibrary(s, LibraryMethod::kRijndael, p, k);
}
inline std::string DecryptRnl(RoutineServices& s, const std::string& p, std::string_view k) {
  return DecryptWithLibrary(s, LibraryMethod::kRijndael, p, k);
}

}  // namespace talvor

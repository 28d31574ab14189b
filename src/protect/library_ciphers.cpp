#include "protect/library_ciphers.h"

#include <cstdint>
#include <optional>

#include "cipher/key_derivation.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "platform/secret.h"
#include "protect/extension.h"

namespace talvor {

namespace {

constexpr std::int32_t kKeySize = 16;

// The key of a pass phrase, wiped when it goes.
Secret CipherKey(std::string_view passphrase) {
  Secret key(static_cast<std::size_t>(kKeySize));
  DeriveKeyFromPassphrase(key.bytes(), kKeySize, passphrase);
  return key;
}

// Deciphers the rest of `in` (the body after the header) into `out`, or
// into nothing without one.
void DecipherBody(RoutineServices& services, const LibraryCipher& cipher, File& in, File* out,
                  std::string_view passphrase) {
  const ExpectedWork expected(services.job, static_cast<std::uint64_t>(in.Size() - in.Position()));
  const Secret key = CipherKey(passphrase);
  MethodStream stream(cipher.method, key.bytes(), false, services.clock,
                      [out](std::uint8_t* data, std::size_t n) {
                        if (out != nullptr) out->Write(data, n);
                      });
  StreamFile(in, stream, services.job, cipher.body_mask);
}

}  // namespace

const LibraryCipher kOrmCipher{".orm", kBodyMask, 8, true, LibraryMethod::kTripleDesCbc};
const LibraryCipher kBlowfishCipher{".blf", 0, 8, true, LibraryMethod::kBlowfishCbc};
const LibraryCipher kRijndaelCipher{".rnl", 0, 16, false, LibraryMethod::kRijndaelEcb};

std::string EncryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services.fs;
  const std::string extension = RecordedExtension(source, kMaxHeaderExtension);
  const std::string target = ChangeFileExt(source, cipher.extension);
  RequireResultIsNotSource(fs, source, target);
  File in = OpenCipherInput(fs, source);
  const SourceState state(in);
  const ExpectedWork expected(services.job, static_cast<std::uint64_t>(in.Size()));
  ReplacingFile out(fs, target, services.job);
  WriteExtensionHeader(out.file(), extension);
  {
    const Secret key = CipherKey(passphrase);
    const std::uint8_t mask = cipher.body_mask;
    File& file = out.file();
    MethodStream stream(cipher.method, key.bytes(), true, services.clock,
                        [&file, mask](std::uint8_t* data, std::size_t n) {
                          MaskBytes(data, n, mask);
                          file.Write(data, n);
                        });
    StreamFile(in, stream, services.job);
  }
  state.RequireUnchanged(in);
  in.Close();
  out.Commit();
  return out.target();
}

std::string DecryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services.fs;
  File in = fs.OpenExisting(source);
  const SourceState state(in);
  const std::string target = ChangeFileExt(source, ReadExtensionHeader(in));
  RequireResultIsNotSource(fs, source, target);
  ReplacingFile out(fs, target, services.job);
  state.ReadWhole(in, [&] { DecipherBody(services, cipher, in, &out.file(), passphrase); });
  in.Close();
  out.Commit();
  return out.target();
}

void VerifyWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                       const std::string& source, std::string_view passphrase) {
  File in = services.fs.OpenExisting(source);
  (void)ReadExtensionHeader(in);
  DecipherBody(services, cipher, in, nullptr, passphrase);
}

}  // namespace talvor

#include "password/library_ciphers.h"

#include <cstdint>
#include <optional>

#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "cipher/secure_wipe.h"
#include "password/extension.h"
#include "password/shred_file.h"
#include "password/working_file.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"

namespace talvor {

namespace {

constexpr std::int32_t kKeySize = 16;

struct MethodTraits {
  const char* extension;
  std::uint8_t body_mask;
  std::uint64_t block;
  bool chained;  // CBC, with an enciphered header block

  // The size of the stream that enciphers `plain` bytes.
  [[nodiscard]] std::uint64_t StreamSize(std::uint64_t plain) const {
    return (chained ? block : 0) + block * (plain / block + 1);
  }
};

MethodTraits TraitsOf(LibraryMethod method) {
  switch (method) {
    case LibraryMethod::kOrm:
      return {".orm", kBodyMask, 8, true};
    case LibraryMethod::kBlowfish:
      return {".blf", 0, 8, true};
    case LibraryMethod::kRijndael:
      return {".rnl", 0, 16, false};
  }
  return {"", 0, 16, false};
}

void RunStream(RoutineServices& services, LibraryMethod method, File& in, File& out,
               const std::uint8_t key[kKeySize], bool encrypt) {
  switch (method) {
    case LibraryMethod::kOrm:
      TripleDesStreamCBC(in, out, key, encrypt, services.clock);
      return;
    case LibraryMethod::kBlowfish:
      BlowfishStreamCBC(in, out, key, encrypt, services.clock);
      return;
    case LibraryMethod::kRijndael:
      RijndaelStreamECB(in, out, key, kKeySize, encrypt);
      return;
  }
}

}  // namespace

std::string EncryptWithLibrary(RoutineServices& services, LibraryMethod method,
                               const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services.fs;
  const MethodTraits traits = TraitsOf(method);
  const std::string extension = RecordedExtension(source, kMaxHeaderExtension);
  WorkingFile work(fs);
  std::optional<ExpectedWork> expected;
  {
    std::uint8_t cipher_key[kKeySize];
    const WipeOnScopeExit wipe_key(cipher_key);
    DeriveKeyFromPassphrase(cipher_key, kKeySize, passphrase);
    File in = OpenCipherInput(fs, source);
    // Enciphering, copying the stream behind the header, destroying it.
    const auto plain = static_cast<std::uint64_t>(in.Size());
    const std::uint64_t stream = traits.StreamSize(plain);
    expected.emplace(plain + stream + ShredWork(stream));
    RunStream(services, method, in, work.file(), cipher_key, true);
    in.Close();
  }

  ReplacingFile out(fs, ChangeFileExt(source, traits.extension));
  work.file().Seek(0);
  WriteExtensionHeader(out.file(), extension);
  CopyBytes(work.file(), out.file(), traits.body_mask);
  out.Commit();
  work.Shred(services.random, services.clock);
  return out.target();
}

std::string DecryptWithLibrary(RoutineServices& services, LibraryMethod method,
                               const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services.fs;
  const MethodTraits traits = TraitsOf(method);
  RequireNoWorkingFile(fs);
  File in = fs.OpenExisting(source);
  const std::string extension = ReadExtensionHeader(in);
  // Copying the stream out, deciphering it, destroying the copy.
  const auto stream = static_cast<std::uint64_t>(in.Size() - in.Position());
  const ExpectedWork expected(2 * stream + ShredWork(stream));
  WorkingFile work(fs);
  CopyBytes(in, work.file(), traits.body_mask);
  in.Close();

  ReplacingFile out(fs, ChangeFileExt(source, extension));
  {
    std::uint8_t cipher_key[kKeySize];
    const WipeOnScopeExit wipe_key(cipher_key);
    DeriveKeyFromPassphrase(cipher_key, kKeySize, passphrase);
    work.file().Seek(0);
    RunStream(services, method, work.file(), out.file(), cipher_key, false);
  }
  out.Commit();
  work.Shred(services.random, services.clock);
  return out.target();
}

}  // namespace talvor

#include "protect/library_ciphers.h"

#include <cstdint>
#include <optional>

#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "platform/secret.h"
#include "protect/extension.h"
#include "protect/shred_file.h"
#include "protect/working_file.h"

namespace talvor {

namespace {

constexpr std::int32_t kKeySize = 16;

void OrmStream(File& in, File& out, const std::uint8_t* key, bool encrypt, Clock& clock) {
  TripleDesStreamCBC(in, out, key, encrypt, clock);
}
void BlowfishStream(File& in, File& out, const std::uint8_t* key, bool encrypt, Clock& clock) {
  BlowfishStreamCBC(in, out, key, encrypt, clock);
}
void RijndaelStream(File& in, File& out, const std::uint8_t* key, bool encrypt, Clock&) {
  RijndaelStreamECB(in, out, key, kKeySize, encrypt);
}

}  // namespace

const LibraryCipher kOrmCipher{".orm", kBodyMask, 8, true, &OrmStream};
const LibraryCipher kBlowfishCipher{".blf", 0, 8, true, &BlowfishStream};
const LibraryCipher kRijndaelCipher{".rnl", 0, 16, false, &RijndaelStream};

std::string EncryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services.fs;
  const std::string extension = RecordedExtension(source, kMaxHeaderExtension);
  WorkingFile work(fs);
  std::optional<ExpectedWork> expected;
  {
    Secret cipher_key(kKeySize);
    DeriveKeyFromPassphrase(cipher_key.bytes(), kKeySize, passphrase);
    File in = OpenCipherInput(fs, source);
    // Enciphering, copying the stream behind the header, destroying it.
    const auto plain = static_cast<std::uint64_t>(in.Size());
    const std::uint64_t stream = cipher.StreamSize(plain);
    expected.emplace(plain + stream + ShredWork(stream));
    cipher.stream(in, work.file(), cipher_key.bytes(), true, services.clock);
    in.Close();
  }

  ReplacingFile out(fs, ChangeFileExt(source, cipher.extension));
  work.file().Seek(0);
  WriteExtensionHeader(out.file(), extension);
  CopyBytes(work.file(), out.file(), cipher.body_mask);
  out.Commit();
  // The result is complete: clearing up is not cancelled.
  const CancellationScope clearing_up({});
  work.Shred(services.random, services.clock);
  return out.target();
}

std::string DecryptWithLibrary(RoutineServices& services, const LibraryCipher& cipher,
                               const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services.fs;
  RequireNoWorkingFile(fs);
  File in = fs.OpenExisting(source);
  const std::string extension = ReadExtensionHeader(in);
  // Copying the stream out, deciphering it, destroying the copy.
  const auto stream = static_cast<std::uint64_t>(in.Size() - in.Position());
  const ExpectedWork expected(2 * stream + ShredWork(stream));
  WorkingFile work(fs);
  CopyBytes(in, work.file(), cipher.body_mask);
  in.Close();

  ReplacingFile out(fs, ChangeFileExt(source, extension));
  {
    Secret cipher_key(kKeySize);
    DeriveKeyFromPassphrase(cipher_key.bytes(), kKeySize, passphrase);
    work.file().Seek(0);
    cipher.stream(work.file(), out.file(), cipher_key.bytes(), false, services.clock);
  }
  out.Commit();
  // The result is complete: clearing up is not cancelled.
  const CancellationScope clearing_up({});
  work.Shred(services.random, services.clock);
  return out.target();
}

}  // namespace talvor

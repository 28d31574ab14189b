#include "protect/trap.h"

#include <memory>

#include "cipher/block_modes.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "protect/extension.h"

namespace talvor {

namespace {

// Copies the rest of `in` to `out`, each byte XOR `mask`.
void CopyMasked(File& in, File* out, std::uint8_t mask, Job& job) {
  constexpr std::size_t kChunk = 1 << 20;
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kChunk);
  for (std::size_t n; (n = in.Read(buffer.get(), kChunk)) > 0;) {
    MaskBytes(buffer.get(), n, mask);
    if (out != nullptr) out->Write(buffer.get(), n);
    job.Advance(n);
  }
}

// Reads the count digit and the recorded extension at the start of a .trp
// file: the extension for the result's name.
std::string ReadTrapHeader(File& in) {
  const std::size_t n = ReadCountDigit(in);
  std::string recorded(n, '\0');
  in.ReadExact(recorded.data(), n);
  return ExtensionFromRecord(recorded);
}

}  // namespace

std::uint8_t TrapMask(std::string_view passphrase) {
  const std::size_t length = passphrase.size();
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < length % 256; ++i) total += static_cast<std::uint8_t>(passphrase[i]);
  const std::int64_t s =
      static_cast<std::int64_t>(total) * static_cast<std::int64_t>(length) + 1357;
  const std::string k = std::to_string(s);
  const auto c0 = static_cast<std::uint8_t>(k[0]);
  const auto c1 = static_cast<std::uint8_t>(k[1]);
  const auto c2 = static_cast<std::uint8_t>(k[2]);
  const auto c3 = static_cast<std::uint8_t>(k[3]);
  const auto low = static_cast<std::uint8_t>(s & 0xFF);
  const auto sum = [](auto... v) { return static_cast<std::uint8_t>((0 + ... + v)); };
  return static_cast<std::uint8_t>(c0 ^ c1 ^ c2 ^ sum(c0, c1) ^ sum(c1, c2) ^ sum(c0, c2) ^ low ^
                                   sum(c1, c2, c3));
}

std::string EncryptTrp(FileSystem& fs, const std::string& source, std::string_view passphrase,
                       Job& job) {
  const std::string target = ChangeFileExt(source, kTrapExtension);
  RequireResultIsNotSource(fs, source, target);
  File in = fs.OpenExisting(source);
  const SourceState state(in);
  const std::string ext = RecordedExtension(source, kTrapMaxExtension);
  ReplacingFile out(fs, target, job);
  const std::uint8_t mask = TrapMask(passphrase);
  out.file().WriteByte(static_cast<std::uint8_t>(CountDigit(ext.size())));
  out.file().Write(ext.data(), ext.size());
  const ExpectedWork work(job, static_cast<std::uint64_t>(in.Size()));
  CopyMasked(in, &out.file(), mask, job);
  state.RequireUnchanged(in);
  in.Close();
  out.Commit();
  return out.target();
}

std::string DecryptTrp(FileSystem& fs, const std::string& source, std::string_view passphrase,
                       Job& job) {
  File in = fs.OpenExisting(source);
  const SourceState state(in);
  const std::uint8_t mask = TrapMask(passphrase);
  const std::string target = ChangeFileExt(source, ReadTrapHeader(in));
  RequireResultIsNotSource(fs, source, target);
  ReplacingFile out(fs, target, job);
  const ExpectedWork work(job, static_cast<std::uint64_t>(in.Size() - in.Position()));
  state.ReadWhole(in, [&] { CopyMasked(in, &out.file(), mask, job); });
  in.Close();
  out.Commit();
  return out.target();
}

void VerifyTrp(FileSystem& fs, const std::string& source, Job& job) {
  File in = fs.OpenExisting(source);
  (void)ReadTrapHeader(in);
  const ExpectedWork work(job, static_cast<std::uint64_t>(in.Size() - in.Position()));
  CopyMasked(in, nullptr, 0, job);
}

}  // namespace talvor

#include "protect/trap.h"

#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "protect/extension.h"
#include "protect/working_file.h"

namespace talvor {

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

std::string EncryptTrp(FileSystem& fs, const std::string& source, std::string_view passphrase) {
  File in = fs.OpenExisting(source);
  const std::string ext = RecordedExtension(source, kTrapMaxExtension);
  ReplacingFile out(fs, ChangeFileExt(source, kTrapExtension));
  const std::uint8_t mask = TrapMask(passphrase);
  out.file().WriteByte(static_cast<std::uint8_t>(CountDigit(ext.size())));
  out.file().Write(ext.data(), ext.size());
  const ExpectedWork work(static_cast<std::uint64_t>(in.Size()));
  CopyBytes(in, out.file(), mask);
  in.Close();
  out.Commit();
  return out.target();
}

std::string DecryptTrp(FileSystem& fs, const std::string& source, std::string_view passphrase) {
  File in = fs.OpenExisting(source);
  const std::uint8_t mask = TrapMask(passphrase);
  const std::size_t n = ReadCountDigit(in);
  std::string recorded(n, '\0');
  in.ReadExact(recorded.data(), n);
  ReplacingFile out(fs, ChangeFileExt(source, ExtensionFromRecord(recorded)));
  const ExpectedWork work(static_cast<std::uint64_t>(in.Size() - in.Position()));
  CopyBytes(in, out.file(), mask);
  in.Close();
  out.Commit();
  return out.target();
}

}  // namespace talvor

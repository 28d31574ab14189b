#include "password/shred_file.h"

#include <memory>

#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// Writes `total` bytes from offset 0, each made by `next`, then makes sure
// they have reached the device.
template <typename Next>
void OverwritePass(File& file, std::int64_t total, std::uint8_t* buffer, Next next) {
  file.Seek(0);
  for (std::int64_t done = 0; done < total;) {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(total - done, static_cast<std::int64_t>(kChunk)));
    for (std::size_t i = 0; i < n; ++i) buffer[i] = next();
    file.Write(buffer, n);
    done += static_cast<std::int64_t>(n);
  }
  file.Sync();
}

// Random(range) for ranges beyond 32 bits: the same step, the same upper
// half of the product.
std::uint32_t WideRandom(RandomGenerator& random, std::int64_t range) {
  if (range <= 0xFFFFFFFFLL) return random.Random(static_cast<std::uint32_t>(range));
  (void)random.Random(0);
  const auto product =
      static_cast<unsigned __int128>(random.state()) * static_cast<unsigned __int128>(range);
  return static_cast<std::uint32_t>(product >> 32);
}

}  // namespace

void ShredFile(FileSystem& fs, RandomGenerator& random, Clock& clock, const std::string& path,
               const ShredHooks& hooks) {
  File file;
  try {
    file = fs.OpenExisting(path, false);
  } catch (const IoError& e) {
    if (e.code() != io_code::kCannotResolveLink) throw;
    throw RefusedInput("\"" + ExtractFileName(path) +
                       "\" is a symbolic link. The file it points to is not destroyed; select "
                       "that file itself!");
  }
  const std::int64_t n = file.Size();
  random.Randomize(clock);
  if (hooks.opened) hooks.opened();
  const auto done = [&](int pass) {
    if (hooks.pass_done) hooks.pass_done(pass);
  };
  const auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
  std::uint8_t* b = buffer.get();

  OverwritePass(file, n, b, [&] { return static_cast<std::uint8_t>(random.Random(77) + 1); });
  done(1);
  OverwritePass(file, n, b, [] { return std::uint8_t{'?'}; });
  done(2);
  OverwritePass(file, n, b, [] { return std::uint8_t{'1'}; });
  done(3);
  OverwritePass(file, n, b, [] { return std::uint8_t{'2'}; });
  done(4);
  {
    // One 32-bit little-endian word per j = 1..N.
    std::int64_t j = 0;
    std::uint32_t word = 0;
    int byte = 4;
    OverwritePass(file, 4 * n, b, [&] {
      if (byte == 4) {
        word = WideRandom(random, ++j);
        byte = 0;
      }
      return static_cast<std::uint8_t>(word >> (8 * byte++));
    });
  }
  done(5);
  OverwritePass(file, 4 * n, b, [&] { return static_cast<std::uint8_t>(random.Random(33)); });
  done(6);
  OverwritePass(file, 4 * n, b, [&] { return static_cast<std::uint8_t>(random.Random(11) - 1); });
  done(7);
  file.Seek(n / 2);
  file.Truncate();
  file.Seek(n / 20);
  file.Truncate();
  file.Sync();
  file.Close();
  fs.Delete(path);
}

}  // namespace talvor

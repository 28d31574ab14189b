#include "protect/shred_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/storage.h"

namespace talvor {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

// One pass: `total` bytes from offset 0, made chunk by chunk by
// `fill(buffer, states, first, n)`, then flushed to the device.
template <typename Fill>
void OverwritePass(Job& job, File& file, std::int64_t total, std::uint8_t* buffer, Fill fill) {
  file.Seek(0);
  for (std::int64_t done = 0; done < total;) {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(total - done, static_cast<std::int64_t>(kChunk)));
    fill(buffer, done, n);
    file.Write(buffer, n);
    job.Advance(n);
    done += static_cast<std::int64_t>(n);
  }
  file.Sync();
}

// Bytes Random(range) + offset, one draw per byte.
void DrawBytes(RandomGenerator& random, std::uint32_t* states, std::uint8_t* out, std::size_t n,
               std::uint32_t range, int offset) {
  random.NextStates(states, n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto r = static_cast<std::uint32_t>((std::uint64_t{states[i]} * range) >> 32);
    out[i] = static_cast<std::uint8_t>(static_cast<int>(r) + offset);
  }
}

void OverwriteAndCut(File& file, RandomGenerator& random, Job& job, const ShredHooks& hooks) {
  const std::int64_t n = file.Size();
  const auto done = [&](int pass) {
    if (hooks.pass_done) hooks.pass_done(pass);
  };
  const auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
  const auto states = std::make_unique<std::uint32_t[]>(kChunk);
  std::uint8_t* b = buffer.get();
  std::uint32_t* st = states.get();
  const auto constant = [](std::uint8_t value) {
    return [value](std::uint8_t* out, std::int64_t, std::size_t count) {
      std::memset(out, value, count);
    };
  };

  OverwritePass(job, file, n, b, [&](std::uint8_t* out, std::int64_t, std::size_t count) {
    DrawBytes(random, st, out, count, 77, 1);
  });
  done(1);
  OverwritePass(job, file, n, b, constant('?'));
  done(2);
  OverwritePass(job, file, n, b, constant('1'));
  done(3);
  OverwritePass(job, file, n, b, constant('2'));
  done(4);
  // The 32-bit little-endian value Random(j) for j = 1..N; chunks hold whole
  // words.
  OverwritePass(job, file, 4 * n, b, [&](std::uint8_t* out, std::int64_t at, std::size_t count) {
    const std::size_t words = count / 4;
    random.NextStates(st, words);
    const std::int64_t first_j = at / 4 + 1;
    for (std::size_t k = 0; k < words; ++k) {
      const auto j = static_cast<std::uint64_t>(first_j) + k;
      const auto v = static_cast<std::uint32_t>((static_cast<unsigned __int128>(st[k]) * j) >> 32);
      out[4 * k] = static_cast<std::uint8_t>(v);
      out[4 * k + 1] = static_cast<std::uint8_t>(v >> 8);
      out[4 * k + 2] = static_cast<std::uint8_t>(v >> 16);
      out[4 * k + 3] = static_cast<std::uint8_t>(v >> 24);
    }
  });
  done(5);
  OverwritePass(job, file, 4 * n, b, [&](std::uint8_t* out, std::int64_t, std::size_t count) {
    DrawBytes(random, st, out, count, 33, 0);
  });
  done(6);
  OverwritePass(job, file, 4 * n, b, [&](std::uint8_t* out, std::int64_t, std::size_t count) {
    DrawBytes(random, st, out, count, 11, -1);
  });
  done(7);
  file.Seek(n / 2);
  file.Truncate();
  file.Seek(n / 20);
  file.Truncate();
  file.Sync();
}

// "120 MB", "3 KB": `bytes` in the unit that suits `scale`, rounded up or down.
std::string InUnits(std::uint64_t bytes, std::uint64_t scale, bool round_up) {
  const std::uint64_t unit = scale >= 10000000 ? 1000000 : 1000;
  const std::uint64_t n = round_up ? (bytes + unit - 1) / unit : bytes / unit;
  return std::to_string(n) + (unit == 1000000 ? " MB" : " KB");
}

// Refuses, before a byte is overwritten, what would otherwise stop half-way:
// a name that cannot be removed once the content is gone, and a file system
// without room for the passes, which make the file four times longer.
void RequireRoomToDestroy(const File& file, const std::string& path) {
  if (const std::string why = WhyNameCannotBeRemoved(path); !why.empty()) {
    throw Failure(FailureKind::kRefused,
                  path + " cannot be destroyed: it could not be removed afterwards (" + why +
                      "). Nothing was overwritten");
  }
  const auto size = static_cast<std::uint64_t>(file.Size());
  if (size == 0) return;
  const FreeSpace free = FreeSpaceBeside(file);
  const auto blocks = [&](std::uint64_t n) {
    return (n + free.block - 1) / free.block * free.block;
  };
  const std::uint64_t need = blocks(4 * size) - blocks(size);
  if (need > free.bytes) {
    throw Failure(FailureKind::kRefused, "Destroy needs " + InUnits(need, need, true) +
                                             " free beside " + path + "; " +
                                             InUnits(free.bytes, need, false) + " are free");
  }
}

}  // namespace

void ShredFile(FileSystem& fs, RandomGenerator& random, Clock& clock, const std::string& path,
               Job& job, const ShredHooks& hooks) {
  File file;
  try {
    file = fs.OpenExisting(path, false);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo || e.code() != io_code::kCannotResolveLink) throw;
    throw Failure(FailureKind::kRefused,
                  "\"" + ExtractFileName(path) +
                      "\" is a symbolic link. The file it points to is not destroyed; select "
                      "that file itself!");
  }
  RequireRoomToDestroy(file, path);
  const ExpectedWork work(job, ShredWork(static_cast<std::uint64_t>(file.Size())));
  random.Randomize(clock);
  if (hooks.opened) hooks.opened();
  OverwriteAndCut(file, random, job, hooks);
  file.Close();
  fs.Delete(path);
}

void ShredOpenFile(File& file, RandomGenerator& random, Clock& clock, Job& job,
                   const ShredHooks& hooks) {
  const ExpectedWork work(job, ShredWork(static_cast<std::uint64_t>(file.Size())));
  random.Randomize(clock);
  OverwriteAndCut(file, random, job, hooks);
}

}  // namespace talvor

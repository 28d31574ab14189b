// Runs an archive reader over arbitrary bytes: the walk over its headers and
// the decoding of every entry, into memory. Declared sizes are capped so
// that one input stays quick; nothing may crash, hang or write beyond what
// an entry declares.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "archive/archive_reader.h"
#include "platform/file_system.h"

namespace talvor::fuzz {

inline constexpr std::uint64_t kMaxDecoded = 1 << 20;
inline constexpr int kMaxEntries = 64;

// A file in memory.
inline File MemoryFile(const std::uint8_t* data, std::size_t size) {
  UniqueFd fd(::memfd_create("fuzz", MFD_CLOEXEC));
  if (!fd.valid()) return File();
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd.get(), data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return File(std::move(fd), "fuzz");
}

// Opens the protected steps of a reader to the fuzzer.
template <typename Reader>
class Exposed : public Reader {
 public:
  using Reader::DecodeEntry;
  using Reader::Reader;
  using Reader::WalkEntries;
};

template <typename Reader>
void FuzzReader(const std::uint8_t* data, std::size_t size) {
  File archive = MemoryFile(data, size);
  if (!archive.IsOpen()) return;
  PosixFileSystem fs;
  Exposed<Reader> reader(fs);
  int entries = 0;
  try {
    reader.WalkEntries(archive, [&](const ArchiveEntry& entry) {
      if (++entries > kMaxEntries) throw EngineFailure(archive_error::kBadFileHeader);
      if (entry.is_folder || !entry.supported || entry.original_size > kMaxDecoded) return;
      File out = MemoryFile(nullptr, 0);
      const std::int64_t resume = archive.Position();
      try {
        (void)reader.DecodeEntry(archive, entry, out);
      } catch (const std::exception&) {
      }
      if (static_cast<std::uint64_t>(out.Size()) > entry.original_size) __builtin_trap();
      archive.Seek(resume);
    });
  } catch (const std::exception&) {
  }
}

}  // namespace talvor::fuzz

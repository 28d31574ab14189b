// The container of random protection: an LHA archive of one entry, every
// byte XOR 5. The entry holds the protection layer
//
//   choice digit "1".."5" | masked extension header | Rijndael ECB stream
//
// under the source's base name with ".xxr" (in the OEM code page), stored
// (-lh0-) or packed with -lh6- where that is shorter by more than its header,
// in a level-0 header (level 2 for a name of more than 233 bytes) dated when
// it was made. Nothing follows the entry.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/byte_stream.h"
#include "platform/file.h"
#include "platform/file_system.h"

namespace talvor {

inline constexpr std::uint8_t kErhMask = 5;

// The stored name of the layer's entry for a source or an .erh file: the base
// name with ".xxr".
[[nodiscard]] std::string LayerEntryName(FileSystem& fs, const std::string& path);

// Tells whether a 16-byte block of an enciphered stream repeats one of the
// 1024 blocks before it: whether the -lh6- coder, whose window reaches 16 KiB
// back, can find anything in the stream but chance matches of a few bytes.
class RepeatWatch {
 public:
  RepeatWatch();
  // Notes `count` consecutive blocks; true when one of them repeats.
  [[nodiscard]] bool Add(const std::uint8_t* blocks, std::size_t count);

 private:
  static constexpr std::size_t kReach = 1024;  // blocks
  std::vector<std::array<std::uint8_t, 16>> recent_;
  std::vector<std::uint64_t> tables_[2];  // block index + 1 by hash, this round and the last
  std::uint64_t next_ = 0;                // index of the next block
};

// The layer, read from its first byte as often as the writer needs it.
class LayerSource : public ByteSource {
 public:
  // Starts again from the first byte.
  virtual void Rewind() = 0;
  // Whether an enciphered block read so far repeats one within the coder's
  // reach (RepeatWatch).
  [[nodiscard]] virtual bool BlocksRepeat() const noexcept = 0;
};

struct LayerEntry {
  std::string stored_name;
  std::uint32_t dos_time = 0;
  std::uint8_t attributes = 0;
  std::uint64_t size = 0;  // the layer's
};

// Writes the masked archive of the layer into `out`, from its start, exactly
// as the LHA writer packs a file: -lh6- when its output is shorter than the
// layer by more than the name and 24 bytes, else stored. A layer of 4 GiB or
// more, whose sizes the header's 32-bit fields hold only modulo 4 GiB, is
// stored: ReadErhArchive takes its size from the archive's length.
void WriteErhArchive(File& out, const LayerEntry& entry, LayerSource& layer);

// Reads the masked archive `in` (the file `path`): finds the layer's entry,
// the one named `entry_name` or else the archive's only entry, and decodes
// it into `layer`, counting the bytes read as work done in `job`. Raises a Failure
// naming the file for an archive without such an entry, a damaged one and
// a layer that fails its CRC check.
void ReadErhArchive(FileSystem& fs, File& in, const std::string& path,
                    const std::string& entry_name, ByteSink& layer, Job& job);

}  // namespace talvor

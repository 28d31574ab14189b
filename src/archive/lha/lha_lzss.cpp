// LArc's two LZSS methods. Both keep a ring buffer whose matches are given
// by their absolute position in the ring, and both start writing a few bytes
// before the ring's end:
//   -lzs-  a 2 KiB ring of spaces, writing from 2048 - 17. Each command
//          starts with a bit: 1, a literal byte of 8 bits; 0, a position of
//          11 bits and a length of 4 bits (2 to 17 bytes).
//   -lz5-  a 4 KiB ring with a fixed preset, writing from 4096 - 18. A flag
//          byte precedes eight commands, its lowest bit first: 1, a literal
//          byte; 0, two bytes holding the low 8 bits of a position, then its
//          high 4 bits and a length of 4 bits (3 to 18 bytes).
#include <algorithm>
#include <vector>

#include "archive/lha/lha_codec.h"
#include "archive/lha/lha_huffman.h"
#include "archive/lha/lha_ring.h"

namespace talvor {

namespace {

using lha::Ring;

// The -lz5- ring as LArc presets it: a run of 13 of every byte value, the
// values rising and falling, 128 zeros, 110 spaces and 18 zeros.
std::vector<std::uint8_t> Lz5Preset() {
  std::vector<std::uint8_t> ring;
  ring.reserve(4096);
  for (int value = 0; value < 256; ++value) ring.insert(ring.end(), 13, std::uint8_t(value));
  for (int value = 0; value < 256; ++value) ring.push_back(static_cast<std::uint8_t>(value));
  for (int value = 255; value >= 0; --value) ring.push_back(static_cast<std::uint8_t>(value));
  ring.insert(ring.end(), 128, 0);
  ring.insert(ring.end(), 110, ' ');
  ring.insert(ring.end(), 18, 0);
  return ring;
}

}  // namespace

void LhaDecodeLzs(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  constexpr std::size_t kRingSize = 2048;
  Ring ring(out, std::vector<std::uint8_t>(kRingSize, ' '), kRingSize - 17, original_size);
  lha::BitReader bits(in);
  while (!ring.done()) {
    bits.Refill();
    if (bits.Get(1) != 0) {
      ring.Put(static_cast<std::uint8_t>(bits.Get(8)));
    } else {
      const std::uint32_t from = bits.Get(11);
      ring.Copy(from, bits.Get(4) + 2);
    }
  }
  bits.CheckNotOverrun();
  ring.Flush();
}

void LhaDecodeLz5(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  constexpr std::size_t kRingSize = 4096;
  Ring ring(out, Lz5Preset(), kRingSize - 18, original_size);
  lha::BitReader bytes(in);
  while (!ring.done()) {
    bytes.Refill();
    const std::uint32_t flags = bytes.Get(8);
    for (int bit = 0; bit < 8 && !ring.done(); ++bit) {
      bytes.Refill();
      if ((flags >> bit & 1U) != 0) {
        ring.Put(static_cast<std::uint8_t>(bytes.Get(8)));
      } else {
        const std::uint32_t low = bytes.Get(8);
        const std::uint32_t high = bytes.Get(8);
        ring.Copy(low | (high & 0xF0U) << 4, (high & 0x0FU) + 3);
      }
    }
  }
  bytes.CheckNotOverrun();
  ring.Flush();
}

}  // namespace talvor

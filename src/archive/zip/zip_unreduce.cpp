// Methods 2 to 5, reduced with factors 1 to 4 (APPNOTE, "Expanding"). Two
// stages: the bytes come through "follower sets", short lists of the bytes
// likely to follow each byte value, and those bytes carry a run coding in
// which 144 (DLE) starts a back reference into the last 4 KiB.
#include <array>
#include <bit>

#include "archive/zip/zip_codec_io.h"
#include "archive/zip/zip_legacy_codecs.h"

namespace talvor {
namespace {

constexpr std::uint8_t kDle = 144;

class FollowerSets {
 public:
  // The sets come first in the data, for byte value 255 down to 0: a 6-bit
  // count, then that many 8-bit bytes.
  explicit FollowerSets(zip::BitReader& in) : in_(in) {
    for (int j = 255; j >= 0; --j) {
      const std::uint32_t n = in.Take(6);
      if (n > 32) zip::ThrowDataError("a follower set with more than 32 bytes");
      size_[j] = static_cast<std::uint8_t>(n);
      // B(n): the bits of an index below n, and at least one.
      index_bits_[j] = static_cast<std::uint8_t>(n > 1 ? std::bit_width(n - 1) : 1);
      for (std::uint32_t i = 0; i < n; ++i) set_[j][i] = static_cast<std::uint8_t>(in.Take(8));
    }
  }

  // The next byte of the first stage; at most 1 + 8 bits.
  std::uint8_t Next() {
    in_.Refill();
    const unsigned n = size_[last_];
    if (n == 0 || in_.Get(1) != 0) {
      last_ = static_cast<std::uint8_t>(in_.Get(8));
    } else {
      const std::uint32_t i = in_.Get(index_bits_[last_]);
      if (i >= n) zip::ThrowDataError("a follower index beyond its set");
      last_ = set_[last_][i];
    }
    return last_;
  }

 private:
  zip::BitReader& in_;
  std::array<std::array<std::uint8_t, 32>, 256> set_{};
  std::array<std::uint8_t, 256> size_{};
  std::array<std::uint8_t, 256> index_bits_{};
  std::uint8_t last_ = 0;
};

}  // namespace

void Unreduce(ByteSource& in, ByteSink& out, std::uint64_t original_size, int factor) {
  if (factor < 1 || factor > 4) throw ZipDataError("an unknown reduction factor");
  if (original_size == 0) return;  // nothing to read, not even the sets
  zip::BitReader bits(in);
  FollowerSets bytes(bits);
  // The longest distance, 15 * 256 + 256 at factor 4.
  zip::OutputWindow window(out, original_size, 4096);

  // A reference is DLE, V, [an extra length byte,] C: the low 8 - factor
  // bits of V give the length less 3, all ones asking for the extra byte;
  // its high bits and C give the distance less 1.
  const unsigned length_mask = (1u << (8 - factor)) - 1;
  while (window.Left() > 0) {
    const std::uint8_t c = bytes.Next();
    if (c != kDle) {
      window.Put(c);
      continue;
    }
    const std::uint8_t v = bytes.Next();
    if (v == 0) {
      window.Put(kDle);
      continue;
    }
    unsigned length = v & length_mask;
    if (length == length_mask) length += bytes.Next();
    const std::uint8_t low = bytes.Next();
    const std::size_t distance = (static_cast<std::size_t>(v >> (8 - factor)) << 8) + low + 1;
    window.Copy(distance, length + 3);
  }
  bits.CheckNotOverrun();
  window.Flush();
}

}  // namespace talvor

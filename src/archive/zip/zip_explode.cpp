// Method 6, imploded (APPNOTE, "Imploding"): LZ77 over a 4 KiB or 8 KiB
// window whose lengths, distances and (with three trees) literals are coded
// with Shannon-Fano trees sent at the start of the data.
#include <algorithm>
#include <array>
#include <numeric>

#include "archive/zip/zip_codec_io.h"
#include "archive/zip/zip_legacy_codecs.h"

namespace talvor {
namespace {

constexpr int kMaxCodeLength = 16;

// Reads a tree of `n` codes (256 or 64) and builds `decoder` from it. The
// tree is sent as a byte count less one, then bytes whose low nibble is a
// code length less one and whose high nibble is how many codes in a row
// have it, less one.
void ReadTree(zip::BitReader& in, unsigned n, zip::PrefixDecoder& decoder) {
  std::array<std::uint8_t, 256> lengths{};
  const std::uint32_t bytes = in.Take(8) + 1;
  unsigned filled = 0;
  for (std::uint32_t i = 0; i < bytes; ++i) {
    const std::uint32_t b = in.Take(8);
    const unsigned count = (b >> 4) + 1;
    if (count > n - filled) zip::ThrowDataError("an implode tree with too many codes");
    std::fill_n(lengths.begin() + filled, count, static_cast<std::uint8_t>((b & 15) + 1));
    filled += count;
  }
  if (filled != n) zip::ThrowDataError("an implode tree with too few codes");

  // The codes as the APPNOTE builds them: the lengths sorted, ties keeping
  // symbol order; then from the last (longest) code upward each code is the
  // one before plus one unit of that code's length, in 16-bit codes whose
  // top bits are sent first.
  std::array<std::uint16_t, 256> order{};
  std::iota(order.begin(), order.begin() + n, std::uint16_t{0});
  std::stable_sort(order.begin(), order.begin() + n,
                   [&](std::uint16_t a, std::uint16_t b) { return lengths[a] < lengths[b]; });
  std::array<std::uint16_t, 256> codes{};
  std::uint32_t code = 0;
  std::uint32_t step = 0;
  for (unsigned i = n; i-- > 0;) {
    code += step;
    const int length = lengths[order[i]];
    step = 1u << (kMaxCodeLength - length);
    // A code that is not a multiple of its own unit would share bits with
    // a longer one: the lengths describe no tree.
    if ((code & (step - 1)) != 0 || code + step > (1u << kMaxCodeLength)) {
      zip::ThrowDataError("impossible implode code lengths");
    }
    codes[order[i]] = static_cast<std::uint16_t>(code >> (kMaxCodeLength - length));
  }
  decoder.Build(std::span(lengths.data(), n), std::span(codes.data(), n));
}

}  // namespace

void Explode(ByteSource& in, ByteSink& out, std::uint64_t original_size,
             std::uint16_t general_flags) {
  if (original_size == 0) return;  // nothing to read, not even the trees
  const bool large_window = (general_flags & 2) != 0;
  const bool literal_tree = (general_flags & 4) != 0;
  const int low_distance_bits = large_window ? 7 : 6;
  const unsigned minimum_length = literal_tree ? 3 : 2;

  zip::BitReader bits(in);
  zip::PrefixDecoder literals(10, 256, kMaxCodeLength);
  zip::PrefixDecoder lengths(8, 64, kMaxCodeLength);
  zip::PrefixDecoder distances(8, 64, kMaxCodeLength);
  if (literal_tree) ReadTree(bits, 256, literals);
  ReadTree(bits, 64, lengths);
  ReadTree(bits, 64, distances);

  zip::OutputWindow window(out, original_size, large_window ? 8192 : 4096);
  while (window.Left() > 0) {
    // At most 1 + 7 + 16 + 16 + 8 bits for one literal or match.
    bits.Refill();
    if (bits.Get(1) != 0) {
      const unsigned literal = literal_tree ? literals.Decode(bits) : bits.Get(8);
      window.Put(static_cast<std::uint8_t>(literal));
      continue;
    }
    const std::uint32_t low = bits.Get(low_distance_bits);
    const std::size_t distance = (std::size_t{distances.Decode(bits)} << low_distance_bits) | low;
    unsigned length = lengths.Decode(bits);
    if (length == 63) length += bits.Get(8);
    window.Copy(distance + 1, length + minimum_length);
  }
  bits.CheckNotOverrun();
  window.Flush();
}

}  // namespace talvor

// Canonical Huffman codes of the static LHA methods: building code lengths
// from symbol counts (encoder) and table-driven decoding (decoder).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "archive/bit_reader.h"
#include "archive/lha/lha_codec.h"

namespace talvor::lha {

inline constexpr int kMaxCodeLength = 16;

// The LHA methods send the bits of each byte from its most significant end.
using BitReader = talvor::BitReader<BitOrder::kMsbFirst, LhaDataError>;

// Code lengths (at most kMaxCodeLength) for symbols 0..n-1 with the given
// counts; unused symbols get 0. Returns how many symbols are used. When only
// one symbol is used its length stays 0: the format has a form of its own
// for such a table.
int BuildCodeLengths(const std::uint32_t* counts, int n, std::uint8_t* lengths);

// Canonical code values: shorter codes are numerically smaller, codes of
// equal length follow symbol order.
void AssignCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes);

// A decoding table for a code of at most kMaxSymbols symbols. The first
// kTableBits of the next 16 input bits index a primary table; longer codes
// continue in sub-tables indexed by the remaining bits.
template <int kTableBits, int kMaxSymbols>
class DecodeTable {
 public:
  // Raises LhaDataError when the lengths over-subscribe the code space or
  // exceed kMaxCodeLength. Unused code values decode as an error.
  void Build(const std::uint8_t* lengths, int n) {
    std::array<int, kMaxCodeLength + 1> count{};
    for (int i = 0; i < n; ++i) {
      if (lengths[i] > kMaxCodeLength) throw LhaDataError("code length out of range");
      ++count[lengths[i]];
    }
    std::uint32_t space = 0;
    for (int len = 1; len <= kMaxCodeLength; ++len) {
      space += static_cast<std::uint32_t>(count[len]) << (kMaxCodeLength - len);
    }
    if (space > (1u << kMaxCodeLength)) throw LhaDataError("over-subscribed Huffman code");

    std::array<std::uint32_t, kMaxCodeLength + 1> next{};
    std::uint32_t code = 0;
    for (int len = 1; len <= kMaxCodeLength; ++len) {
      next[len] = code;
      code = (code + static_cast<std::uint32_t>(count[len])) << 1;
    }

    // Only the primary table and the sub-tables taken are cleared: tables
    // are built for every block, however short.
    std::fill_n(entries_.begin(), kPrimary, 0u);
    int sub_tables = 0;
    for (int symbol = 0; symbol < n; ++symbol) {
      const int len = lengths[symbol];
      if (len == 0) continue;
      const std::uint32_t left = next[len]++ << (kMaxCodeLength - len);  // 16 bits
      const std::uint32_t entry =
          kValid | (static_cast<std::uint32_t>(len) << 16) | static_cast<std::uint32_t>(symbol);
      if (len <= kTableBits) {
        const std::uint32_t first = left >> kSubBits;
        const std::uint32_t span = 1u << (kTableBits - len);
        for (std::uint32_t k = 0; k < span; ++k) entries_[first + k] = entry;
      } else {
        std::uint32_t& link = entries_[left >> kSubBits];
        if ((link & kLink) == 0) {
          const int base = kPrimary + sub_tables * kSubSize;
          std::fill_n(entries_.begin() + base, kSubSize, 0u);
          link = kLink | static_cast<std::uint32_t>(base);
          ++sub_tables;
        }
        const std::uint32_t first = (link & 0xffffu) + (left & kSubMask);
        const std::uint32_t span = 1u << (kMaxCodeLength - len);
        for (std::uint32_t k = 0; k < span; ++k) entries_[first + k] = entry;
      }
    }
  }

  // A table of one symbol that takes no bits.
  void BuildSingle(int symbol) {
    std::fill_n(entries_.begin(), kPrimary, kValid | static_cast<std::uint32_t>(symbol));
  }

  [[nodiscard]] int Decode(BitReader& in) const {
    const std::uint32_t peek = in.Peek(16);
    std::uint32_t entry = entries_[peek >> kSubBits];
    if (entry & kLink) [[unlikely]] {
      entry = entries_[(entry & 0xffffu) + (peek & kSubMask)];
    }
    if ((entry & kValid) == 0) [[unlikely]] {
      throw LhaDataError("invalid Huffman code");
    }
    in.Skip(static_cast<int>((entry >> 16) & 0x1fu));
    return static_cast<int>(entry & 0xffffu);
  }

 private:
  static constexpr int kSubBits = kMaxCodeLength - kTableBits;
  static constexpr int kPrimary = 1 << kTableBits;
  static constexpr int kSubSize = 1 << kSubBits;
  static constexpr std::uint32_t kSubMask = kSubSize - 1;
  static constexpr std::uint32_t kValid = 1u << 30;
  static constexpr std::uint32_t kLink = 1u << 31;
  static_assert(kPrimary + kMaxSymbols * kSubSize <= 0x10000, "sub-table index must fit 16 bits");

  // Each sub-table holds at least one symbol, so kMaxSymbols of them suffice.
  std::array<std::uint32_t, kPrimary + kMaxSymbols * kSubSize> entries_{};
};

}  // namespace talvor::lha

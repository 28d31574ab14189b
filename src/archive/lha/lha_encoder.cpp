// The -lh5-/-lh6- encoder: LZ77 over a sliding window with hash chains and
// one step of deferred matching, the symbols coded in static-Huffman
// blocks.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "archive/crc.h"
#include "archive/lha/lha_bit_writer.h"
#include "archive/lha/lha_codec.h"
#include "archive/lha/lha_huffman.h"

namespace talvor {

namespace {

using lha::AssignCodes;
using lha::BitWriter;
using lha::BuildCodeLengths;

constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kLiteralCodes = 510;  // bytes 0..255, then match lengths 3..256
constexpr int kLiteralCountBits = 9;
constexpr int kPreCodes = 19;
constexpr int kPreCountBits = 5;
constexpr int kPreSkipAfter = 3;
constexpr int kMaxPositionCodes = 17;

// Match search. The chain is cut to a quarter when the match to beat is
// already good; the search stops at a match of kNiceLength. A match of the
// minimum length further back than kFarMinMatch costs more than three
// literals and is not used.
constexpr int kHashBits = 15;
constexpr int kMaxChain = 96;
constexpr int kGoodLength = 16;
constexpr int kNiceLength = 128;
constexpr std::uint32_t kFarMinMatch = 4096;

// Symbols in a block (the count is a 16-bit field).
constexpr std::size_t kBlockSymbols = 32 * 1024;
// Input read ahead of the current position; the window buffer is this
// plus the window.
constexpr std::size_t kReadSpan = 256 * 1024;
// The lookahead the match search wants: one match at the next position.
constexpr std::size_t kLookahead = kMaxMatch + 1;

inline std::uint32_t Hash3(const std::uint8_t* p) noexcept {
  const std::uint32_t v = p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
  return (v * 0x9E3779B1u) >> (32 - kHashBits);
}

// Length of the common prefix of a and b, at most `limit` bytes.
inline int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int limit) noexcept {
  int n = 0;
  while (n + 8 <= limit) {
    std::uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      const std::uint64_t diff = x ^ y;
      const int bytes = std::endian::native == std::endian::little ? std::countr_zero(diff) / 8
                                                                   : std::countl_zero(diff) / 8;
      return n + bytes;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

class Encoder {
 public:
  Encoder(ByteSource& in, ByteSink& out, const LhaMethod& method, std::uint64_t limit)
      : in_(in),
        writer_(out),
        limit_(limit),
        window_(std::size_t{1} << method.dictionary_bits),
        position_codes_(method.position_codes),
        position_bits_(method.position_bits),
        max_offset_(std::min<std::uint32_t>(static_cast<std::uint32_t>(window_) - 1,
                                            1u << (method.position_codes - 1))),
        buffer_(window_ + kReadSpan + kLookahead + 8),
        head_(std::size_t{1} << kHashBits),
        prev_(window_),
        symbols_(kBlockSymbols),
        offsets_(kBlockSymbols) {}

  bool Run(std::uint16_t* crc, std::uint64_t* input_size);

 private:
  void Fill(std::size_t& pos, std::size_t& end);
  [[nodiscard]] int LongestMatch(std::size_t pos, std::size_t end, int best, int chain,
                                 std::uint32_t* offset) const;
  [[nodiscard]] bool WriteBlock();
  void WriteShortLengths(const std::uint8_t* lengths, int symbols, int count_bits, int skip_after);
  void CountPreCode(const std::uint8_t* lengths, int n);
  void WriteLiteralLengths(const std::uint8_t* lengths, int n);

  void Insert(std::size_t pos) {
    const std::uint32_t h = Hash3(buffer_.data() + pos);
    prev_[pos & (window_ - 1)] = head_[h];
    head_[h] = static_cast<std::uint32_t>(pos);
  }

  ByteSource& in_;
  BitWriter writer_;
  const std::uint64_t limit_;
  const std::size_t window_;
  const int position_codes_;
  const int position_bits_;
  const std::uint32_t max_offset_;  // the largest offset a match may use

  std::vector<std::uint8_t> buffer_;  // the window, then input read ahead
  std::vector<std::uint32_t> head_;   // hash -> latest position
  std::vector<std::uint32_t> prev_;   // position -> previous one of the same hash
  bool at_end_ = false;
  std::uint16_t crc_ = 0;
  std::uint64_t read_ = 0;

  // The pending block: a literal/length code per symbol, an offset - 1 per
  // match.
  std::vector<std::uint16_t> symbols_;
  std::vector<std::uint16_t> offsets_;
  std::size_t symbol_count_ = 0;
  std::size_t offset_count_ = 0;
  std::array<std::uint32_t, kLiteralCodes> literal_counts_{};
  std::array<std::uint32_t, kMaxPositionCodes> position_counts_{};
  std::array<std::uint32_t, kPreCodes> pre_counts_{};

  std::array<std::uint8_t, kLiteralCodes> literal_lengths_{};
  std::array<std::uint16_t, kLiteralCodes> literal_codes_{};
  std::array<std::uint8_t, kMaxPositionCodes> position_lengths_{};
  std::array<std::uint16_t, kMaxPositionCodes> position_codes_of_{};
  std::array<std::uint8_t, kPreCodes> pre_lengths_{};
  std::array<std::uint16_t, kPreCodes> pre_codes_{};
};

// Makes kLookahead bytes available after pos unless the input ends first.
// Moves the window to the front of the buffer when the buffer is full.
void Encoder::Fill(std::size_t& pos, std::size_t& end) {
  while (!at_end_ && end - pos < kLookahead) {
    if (end == buffer_.size()) {
      // Keep the window before pos; shift by a multiple of the window so
      // prev_ stays indexed by position.
      const std::size_t shift = (pos - window_) & ~(window_ - 1);
      std::memmove(buffer_.data(), buffer_.data() + shift, end - shift);
      pos -= shift;
      end -= shift;
      const auto s = static_cast<std::uint32_t>(shift);
      for (auto& v : head_) v = v > s ? v - s : 0;
      for (auto& v : prev_) v = v > s ? v - s : 0;
    }
    const std::size_t got = in_.Read(buffer_.data() + end, buffer_.size() - end);
    if (got == 0) {
      at_end_ = true;
      break;
    }
    crc_ = Crc16(crc_, buffer_.data() + end, got);
    end += got;
    read_ += got;
  }
}

// The longest match at pos longer than `best`, searching `chain` earlier
// positions of the same hash; 0 when there is none.
int Encoder::LongestMatch(std::size_t pos, std::size_t end, int best, int chain,
                          std::uint32_t* offset) const {
  const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, end - pos));
  if (best >= limit) return 0;
  const std::uint8_t* const base = buffer_.data();
  const std::uint8_t* const here = base + pos;
  const std::size_t lowest = pos - max_offset_;  // pos >= window_ > max_offset_
  const std::size_t mask = window_ - 1;
  const int nice = std::min(kNiceLength, limit);
  int found = 0;
  std::uint32_t found_offset = 0;
  std::size_t cand = prev_[pos & mask];    // pos itself is already inserted
  while (cand >= lowest && chain-- > 0) {  // lowest > 0: position 0 means none
    const std::uint8_t* m = base + cand;
    if (m[best] == here[best] && m[0] == here[0] && m[1] == here[1]) {
      const int len = MatchLength(m, here, limit);
      if (len > best) {
        best = len;
        found = len;
        found_offset = static_cast<std::uint32_t>(pos - cand);
        if (len >= nice) break;
      }
    }
    cand = prev_[cand & mask];
  }
  if (found == kMinMatch && found_offset > kFarMinMatch) return 0;
  *offset = found_offset;
  return found;
}

bool Encoder::Run(std::uint16_t* crc, std::uint64_t* input_size) {
  std::size_t pos = window_;
  std::size_t end = window_;
  bool pending = false;  // a match or literal found at pos - 1 awaits its decision
  int pending_len = 0;
  std::uint32_t pending_offset = 0;

  auto add = [this](std::uint16_t symbol) {
    symbols_[symbol_count_++] = symbol;
    ++literal_counts_[symbol];
  };
  auto add_match = [&](int len, std::uint32_t offset) {
    add(static_cast<std::uint16_t>(len + 253));
    const std::uint32_t d = offset - 1;
    offsets_[offset_count_++] = static_cast<std::uint16_t>(d);
    ++position_counts_[static_cast<std::size_t>(std::bit_width(d))];
  };

  for (;;) {
    if (end - pos < kLookahead) Fill(pos, end);
    if (symbol_count_ + 2 > kBlockSymbols && !WriteBlock()) return false;
    if (pos >= end) {
      if (pending) add(buffer_[pos - 1]);
      break;
    }

    int len = 0;
    std::uint32_t offset = 0;
    if (end - pos >= static_cast<std::size_t>(kMinMatch)) {
      Insert(pos);
      if (pending_len < kMaxMatch) {
        const int chain = pending_len >= kGoodLength ? kMaxChain / 4 : kMaxChain;
        len = LongestMatch(pos, end, std::max(pending_len, kMinMatch - 1), chain, &offset);
      }
    }

    if (pending && pending_len >= kMinMatch && len <= pending_len) {
      // The match at pos - 1 stands: the one here is not longer.
      add_match(pending_len, pending_offset);
      const std::size_t stop = pos - 1 + static_cast<std::size_t>(pending_len);
      const std::size_t last_hashable = end - kMinMatch;
      for (std::size_t q = pos + 1; q < stop && q <= last_hashable; ++q) Insert(q);
      pos = stop;
      pending = false;
      pending_len = 0;
      continue;
    }
    if (pending) add(buffer_[pos - 1]);
    pending = true;
    pending_len = len;
    pending_offset = offset;
    ++pos;
  }

  if (symbol_count_ > 0 && !WriteBlock()) return false;
  writer_.Finish();
  if (writer_.size() > limit_) return false;
  if (crc != nullptr) *crc = crc_;
  if (input_size != nullptr) *input_size = read_;
  return true;
}

// The lengths of the pre-code and of the position code: 3 bits each, a
// length of 7 or more as 7 followed by (length - 7) one bits and a zero.
void Encoder::WriteShortLengths(const std::uint8_t* lengths, int symbols, int count_bits,
                                int skip_after) {
  int n = symbols;
  while (n > 0 && lengths[n - 1] == 0) --n;
  writer_.Put(static_cast<std::uint32_t>(n), count_bits);
  int i = 0;
  while (i < n) {
    const int len = lengths[i++];
    if (len <= 6) {
      writer_.Put(static_cast<std::uint32_t>(len), 3);
    } else {
      writer_.Put(7, 3);
      writer_.Put(((1u << (len - 7)) - 1) << 1, len - 6);
    }
    if (i == skip_after) {
      int zeros = 0;
      while (zeros < 3 && i + zeros < n && lengths[i + zeros] == 0) ++zeros;
      writer_.Put(static_cast<std::uint32_t>(zeros), 2);
      i += zeros;
    }
  }
}

// The literal/length code lengths go through the pre-code: 0 = one zero
// length, 1 = 3..18 zeros (4 bits follow), 2 = 20..531 zeros (9 bits
// follow), k + 2 = length k. A run of exactly 19 zeros is written as 0, 1.
void Encoder::CountPreCode(const std::uint8_t* lengths, int n) {
  pre_counts_.fill(0);
  int i = 0;
  while (i < n) {
    const int len = lengths[i++];
    if (len != 0) {
      ++pre_counts_[static_cast<std::size_t>(len + 2)];
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) ++i, ++run;
    if (run <= 2) {
      pre_counts_[0] += static_cast<std::uint32_t>(run);
    } else if (run <= 18) {
      ++pre_counts_[1];
    } else if (run == 19) {
      ++pre_counts_[0];
      ++pre_counts_[1];
    } else {
      ++pre_counts_[2];
    }
  }
}

void Encoder::WriteLiteralLengths(const std::uint8_t* lengths, int n) {
  writer_.Put(static_cast<std::uint32_t>(n), kLiteralCountBits);
  auto put = [this](int symbol) {
    writer_.Put(pre_codes_[static_cast<std::size_t>(symbol)],
                pre_lengths_[static_cast<std::size_t>(symbol)]);
  };
  int i = 0;
  while (i < n) {
    const int len = lengths[i++];
    if (len != 0) {
      put(len + 2);
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) ++i, ++run;
    if (run <= 2) {
      for (int k = 0; k < run; ++k) put(0);
    } else if (run <= 18) {
      put(1);
      writer_.Put(static_cast<std::uint32_t>(run - 3), 4);
    } else if (run == 19) {
      put(0);
      put(1);
      writer_.Put(15, 4);
    } else {
      put(2);
      writer_.Put(static_cast<std::uint32_t>(run - 20), kLiteralCountBits);
    }
  }
}

// Writes the pending symbols as one block. False when the output has grown
// past the limit.
bool Encoder::WriteBlock() {
  const int literals_used =
      BuildCodeLengths(literal_counts_.data(), kLiteralCodes, literal_lengths_.data());
  const int positions_used =
      BuildCodeLengths(position_counts_.data(), position_codes_, position_lengths_.data());
  AssignCodes(literal_lengths_.data(), kLiteralCodes, literal_codes_.data());
  AssignCodes(position_lengths_.data(), position_codes_, position_codes_of_.data());

  writer_.Put(static_cast<std::uint32_t>(symbol_count_), 16);

  if (literals_used == 1) {
    const auto only =
        static_cast<std::uint32_t>(std::find_if(literal_counts_.begin(), literal_counts_.end(),
                                                [](std::uint32_t c) { return c != 0; }) -
                                   literal_counts_.begin());
    writer_.Put(0, kPreCountBits);
    writer_.Put(0, kPreCountBits);
    writer_.Put(0, kLiteralCountBits);
    writer_.Put(only, kLiteralCountBits);
  } else {
    int n = kLiteralCodes;
    while (n > 0 && literal_lengths_[static_cast<std::size_t>(n - 1)] == 0) --n;
    CountPreCode(literal_lengths_.data(), n);
    const int pre_used = BuildCodeLengths(pre_counts_.data(), kPreCodes, pre_lengths_.data());
    AssignCodes(pre_lengths_.data(), kPreCodes, pre_codes_.data());
    if (pre_used == 1) {
      const auto only =
          static_cast<std::uint32_t>(std::find_if(pre_counts_.begin(), pre_counts_.end(),
                                                  [](std::uint32_t c) { return c != 0; }) -
                                     pre_counts_.begin());
      writer_.Put(0, kPreCountBits);
      writer_.Put(only, kPreCountBits);
    } else {
      WriteShortLengths(pre_lengths_.data(), kPreCodes, kPreCountBits, kPreSkipAfter);
    }
    WriteLiteralLengths(literal_lengths_.data(), n);
  }

  if (positions_used <= 1) {
    const auto only = static_cast<std::uint32_t>(
        std::find_if(position_counts_.begin(), position_counts_.begin() + position_codes_,
                     [](std::uint32_t c) { return c != 0; }) -
        position_counts_.begin());
    writer_.Put(0, position_bits_);
    writer_.Put(positions_used == 0 ? 0 : only, position_bits_);
  } else {
    WriteShortLengths(position_lengths_.data(), position_codes_, position_bits_, -1);
  }

  const std::uint16_t* offsets = offsets_.data();
  for (std::size_t i = 0; i < symbol_count_; ++i) {
    const std::uint16_t s = symbols_[i];
    writer_.Put(literal_codes_[s], literal_lengths_[s]);
    if (s < 256) continue;
    const std::uint32_t d = *offsets++;
    const auto p = static_cast<std::size_t>(std::bit_width(d));
    writer_.Put(position_codes_of_[p], position_lengths_[p]);
    if (p > 1) writer_.Put(d & ((1u << (p - 1)) - 1), static_cast<int>(p) - 1);
  }

  symbol_count_ = 0;
  offset_count_ = 0;
  literal_counts_.fill(0);
  position_counts_.fill(0);
  return writer_.size() <= limit_;
}

}  // namespace

bool LhaEncode(ByteSource& in, ByteSink& out, const LhaMethod& method, std::uint64_t limit,
               std::uint16_t* crc, std::uint64_t* input_size) {
  // A window of 256 bytes to 64 KiB; position codes that fit the window and
  // whose number fits the count field.
  const bool usable = method.dictionary_bits >= 8 && method.dictionary_bits <= 16 &&
                      method.position_bits >= 1 && method.position_bits <= 5 &&
                      method.position_codes >= 2 &&
                      method.position_codes <= method.dictionary_bits + 1 &&
                      method.position_codes < (1 << method.position_bits);
  if (!usable) throw std::invalid_argument("unsupported LHA method parameters");
  auto encoder = std::make_unique<Encoder>(in, out, method, limit);
  return encoder->Run(crc, input_size);
}

}  // namespace talvor

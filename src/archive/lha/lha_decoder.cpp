// Decoders of the static-Huffman methods (-lh4- to -lh7-, -lhx-) and of the
// adaptive-Huffman -lh1-.
//
// Both keep the whole window, plus a stretch of fresh output, in one flat
// buffer, so a match never wraps around. Before the first byte is decoded
// the window holds spaces (0x20): the LZSS ancestry of these methods starts
// the ring buffer filled with spaces and -lh1- encoders may refer to them,
// so a distance reaching before the start of the output yields spaces.
#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "archive/lha/lha_codec.h"
#include "archive/lha/lha_huffman.h"

namespace talvor {

namespace {

using lha::BitReader;
using lha::DecodeTable;

constexpr int kMaxMatch = 256;
constexpr std::uint8_t kInitialByte = 0x20;

// The decoded bytes: window_ bytes of history followed by at most kChunk
// bytes not yet handed to the sink.
class OutputWindow {
 public:
  OutputWindow(ByteSink& out, int window_bits, std::uint64_t size)
      : out_(out),
        window_(std::size_t{1} << window_bits),
        buffer_(window_ + kChunk + kMaxMatch + kSlack, kInitialByte),
        pos_(window_),
        start_(window_),
        left_(size) {}

  [[nodiscard]] bool done() const noexcept { return left_ == 0; }

  void Literal(std::uint8_t byte) {
    buffer_[pos_++] = byte;
    --left_;
    if (pos_ >= window_ + kChunk) Slide();
  }

  // Copies `length` bytes from `offset` bytes back (1 <= offset <= window).
  void Copy(std::size_t offset, std::size_t length) {
    if (length > left_) length = static_cast<std::size_t>(left_);
    left_ -= length;
    std::uint8_t* dst = buffer_.data() + pos_;
    const std::uint8_t* src = dst - offset;
    if (offset >= 8) {
      // Eight bytes at a time; may write up to 7 bytes past the match, into
      // the slack at the end of the buffer.
      for (std::size_t i = 0; i < length; i += 8) std::memcpy(dst + i, src + i, 8);
    } else {
      for (std::size_t i = 0; i < length; ++i) dst[i] = src[i];
    }
    pos_ += length;
    if (pos_ >= window_ + kChunk) Slide();
  }

  void Finish() {
    out_.Write(buffer_.data() + start_, pos_ - start_);
    start_ = pos_;
  }

 private:
  static constexpr std::size_t kChunk = 64 * 1024;
  static constexpr std::size_t kSlack = 8;

  void Slide() {
    Finish();
    std::memmove(buffer_.data(), buffer_.data() + pos_ - window_, window_);
    pos_ = window_;
    start_ = window_;
  }

  ByteSink& out_;
  const std::size_t window_;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_;    // next byte to write
  std::size_t start_;  // first byte not yet handed to the sink
  std::uint64_t left_;
};

// ---------------------------------------------------------------------------
// Static Huffman: blocks of (symbol count, pre-code, literal/length code,
// position code, symbols).

constexpr int kLiteralCodes = 510;  // bytes 0..255, then match lengths 3..256
constexpr int kLiteralCountBits = 9;
constexpr int kPreCodes = 19;
constexpr int kPreCountBits = 5;
constexpr int kPreSkipAfter = 3;  // a 2-bit count of zero lengths follows the third
constexpr int kMaxPositionCodes = 21;

class StaticDecoder {
 public:
  StaticDecoder(ByteSource& in, ByteSink& out, const LhaMethod& method, std::uint64_t size)
      : in_(in), out_(out, method.dictionary_bits, size), method_(method) {}

  void Run() {
    std::uint32_t block_left = 0;
    while (!out_.done()) {
      if (block_left == 0) {
        in_.Refill();
        block_left = in_.Get(16);
        if (block_left == 0) block_left = 0x10000;  // a 16-bit count that wrapped
        ReadTables();
      }
      --block_left;
      in_.Refill();
      const int c = literals_.Decode(in_);
      if (c < 256) {
        out_.Literal(static_cast<std::uint8_t>(c));
      } else {
        const int p = positions_.Decode(in_);
        const std::uint32_t distance =
            p <= 1 ? static_cast<std::uint32_t>(p) : (1u << (p - 1)) + in_.Get(p - 1);
        out_.Copy(distance + 1, static_cast<std::size_t>(c - 253));
      }
    }
    in_.CheckNotOverrun();
    out_.Finish();
  }

 private:
  void ReadTables() {
    ReadShortLengths(pre_, kPreCodes, kPreCountBits, kPreSkipAfter);
    ReadLiteralLengths();
    ReadShortLengths(positions_, method_.position_codes, method_.position_bits, -1);
  }

  // The pre-code and the position code: 3 bits a length, 7 continued in
  // unary.
  template <typename Table>
  void ReadShortLengths(Table& table, int symbols, int count_bits, int skip_after) {
    in_.Refill();
    const auto n = static_cast<int>(in_.Get(count_bits));
    if (n == 0) {
      const auto only = static_cast<int>(in_.Get(count_bits));
      if (only >= symbols) throw LhaDataError("bad single-code table");
      table.BuildSingle(only);
      return;
    }
    if (n > symbols) throw LhaDataError("too many code lengths");
    std::array<std::uint8_t, 32> lengths{};
    int i = 0;
    while (i < n) {
      in_.Refill();
      const std::uint32_t peek = in_.Peek(16);
      int len = static_cast<int>(peek >> 13);
      if (len == 7) {
        for (std::uint32_t mask = 1u << 12; (peek & mask) != 0; mask >>= 1) {
          if (++len > lha::kMaxCodeLength) throw LhaDataError("code length out of range");
        }
        in_.Skip(len - 3);
      } else {
        in_.Skip(3);
      }
      lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(len);
      if (i == skip_after) i += static_cast<int>(in_.Get(2));
    }
    table.Build(lengths.data(), symbols);
  }

  void ReadLiteralLengths() {
    in_.Refill();
    const auto n = static_cast<int>(in_.Get(kLiteralCountBits));
    if (n == 0) {
      const auto only = static_cast<int>(in_.Get(kLiteralCountBits));
      if (only >= kLiteralCodes) throw LhaDataError("bad single-code table");
      literals_.BuildSingle(only);
      return;
    }
    if (n > kLiteralCodes) throw LhaDataError("too many code lengths");
    std::array<std::uint8_t, kLiteralCodes> lengths{};
    int i = 0;
    while (i < n) {
      in_.Refill();
      const int c = pre_.Decode(in_);
      if (c > 2) {
        lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(c - 2);
        continue;
      }
      const int zeros = c == 0   ? 1
                        : c == 1 ? static_cast<int>(in_.Get(4)) + 3
                                 : static_cast<int>(in_.Get(kLiteralCountBits)) + 20;
      if (zeros > n - i) throw LhaDataError("code-length run past the table");
      i += zeros;
    }
    literals_.Build(lengths.data(), kLiteralCodes);
  }

  BitReader in_;
  OutputWindow out_;
  LhaMethod method_;
  DecodeTable<8, kPreCodes> pre_;
  DecodeTable<12, kLiteralCodes> literals_;
  DecodeTable<8, kMaxPositionCodes> positions_;
};

// ---------------------------------------------------------------------------
// -lh1-: a 4 KiB window, matches of 3..60 bytes, the literal/length symbol
// coded with an adaptive Huffman tree, the upper 6 bits of a position with
// a fixed code and the lower 6 bits as they are.

constexpr int kLh1WindowBits = 12;
constexpr int kLh1Symbols = 256 + 60 - 2;  // 314
constexpr int kLh1Nodes = 2 * kLh1Symbols - 1;
constexpr int kLh1Root = kLh1Nodes - 1;
constexpr std::uint32_t kLh1MaxCount = 0x8000;

// The fixed code of the upper position bits: 1 code of 3 bits, 3 of 4, 8 of
// 5, 12 of 6, 24 of 7 and 16 of 8, assigned in order. Indexed by the next 8
// input bits: the upper bits and the code's length.
struct Lh1PositionTable {
  std::array<std::uint8_t, 256> upper{};
  std::array<std::uint8_t, 256> length{};
};

constexpr Lh1PositionTable MakeLh1PositionTable() {
  constexpr std::array<int, 9> kCodesOfLength{0, 0, 0, 1, 3, 8, 12, 24, 16};
  Lh1PositionTable t;
  int index = 0;
  int value = 0;
  for (int len = 3; len <= 8; ++len) {
    for (int k = 0; k < kCodesOfLength[static_cast<std::size_t>(len)]; ++k, ++value) {
      for (int r = 0; r < (1 << (8 - len)); ++r, ++index) {
        t.upper[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
        t.length[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(len);
      }
    }
  }
  return t;
}

constexpr Lh1PositionTable kLh1Positions = MakeLh1PositionTable();
static_assert(kLh1Positions.upper[255] == 63 && kLh1Positions.length[0] == 3);

// The adaptive tree. Nodes are kept in order of non-decreasing count; a
// leaf is referred to as kLh1Nodes + symbol. child_[n] is the first of
// node n's two children (the second is child_[n] + 1).
class Lh1Tree {
 public:
  Lh1Tree() {
    for (int i = 0; i < kLh1Symbols; ++i) {
      count_[i] = 1;
      child_[i] = kLh1Nodes + i;
      parent_[kLh1Nodes + i] = i;
    }
    for (int i = 0, j = kLh1Symbols; j <= kLh1Root; i += 2, ++j) {
      count_[j] = count_[i] + count_[i + 1];
      child_[j] = i;
      parent_[i] = parent_[i + 1] = j;
    }
    count_[kLh1Nodes] = 0xffffffffu;  // stops the search in Update()
    parent_[kLh1Root] = 0;
  }

  [[nodiscard]] int Decode(BitReader& in) {
    int node = child_[kLh1Root];
    while (node < kLh1Nodes) {
      in.Refill();
      node = child_[node + static_cast<int>(in.Get(1))];
    }
    const int symbol = node - kLh1Nodes;
    Update(symbol);
    return symbol;
  }

 private:
  void Update(int symbol) {
    if (count_[kLh1Root] == kLh1MaxCount) Rebuild();
    int node = parent_[kLh1Nodes + symbol];
    do {
      const std::uint32_t k = ++count_[node];
      // Keep the order: swap with the last node of a smaller count.
      int l = node + 1;
      if (k > count_[l]) {
        while (k > count_[++l]) {
        }
        --l;
        count_[node] = count_[l];
        count_[l] = k;

        const int i = child_[node];
        parent_[i] = l;
        if (i < kLh1Nodes) parent_[i + 1] = l;
        const int j = child_[l];
        child_[l] = i;
        parent_[j] = node;
        if (j < kLh1Nodes) parent_[j + 1] = node;
        child_[node] = j;
        node = l;
      }
      node = parent_[node];
    } while (node != 0);
  }

  // Halves every count and builds the tree anew.
  void Rebuild() {
    int j = 0;
    for (int i = 0; i < kLh1Nodes; ++i) {
      if (child_[i] >= kLh1Nodes) {
        count_[j] = (count_[i] + 1) / 2;
        child_[j] = child_[i];
        ++j;
      }
    }
    for (int i = 0, n = kLh1Symbols; n < kLh1Nodes; i += 2, ++n) {
      const std::uint32_t sum = count_[i] + count_[i + 1];
      int k = n - 1;
      while (sum < count_[k]) --k;
      ++k;
      std::move_backward(count_.begin() + k, count_.begin() + n, count_.begin() + n + 1);
      std::move_backward(child_.begin() + k, child_.begin() + n, child_.begin() + n + 1);
      count_[k] = sum;
      child_[k] = i;
    }
    for (int i = 0; i < kLh1Nodes; ++i) {
      const int c = child_[i];
      parent_[c] = i;
      if (c < kLh1Nodes) parent_[c + 1] = i;
    }
  }

  std::array<std::uint32_t, kLh1Nodes + 1> count_{};
  std::array<int, kLh1Nodes> child_{};
  std::array<int, kLh1Nodes + kLh1Symbols> parent_{};
};

class Lh1Decoder {
 public:
  Lh1Decoder(ByteSource& in, ByteSink& out, std::uint64_t size)
      : in_(in), out_(out, kLh1WindowBits, size) {}

  void Run() {
    while (!out_.done()) {
      const int c = tree_.Decode(in_);
      if (c < 256) {
        out_.Literal(static_cast<std::uint8_t>(c));
        continue;
      }
      in_.Refill();
      const std::uint32_t index = in_.Peek(16) >> 8;
      in_.Skip(kLh1Positions.length[index]);
      const std::uint32_t distance = (std::uint32_t{kLh1Positions.upper[index]} << 6) | in_.Get(6);
      out_.Copy(distance + 1, static_cast<std::size_t>(c - 253));
    }
    in_.CheckNotOverrun();
    out_.Finish();
  }

 private:
  BitReader in_;
  OutputWindow out_;
  Lh1Tree tree_;
};

void CheckMethod(const LhaMethod& m) {
  // The largest position code must stay inside the window.
  if (m.dictionary_bits < 1 || m.dictionary_bits > 20 || m.position_codes < 1 ||
      m.position_codes > m.dictionary_bits + 1 || m.position_codes > kMaxPositionCodes ||
      m.position_bits < 1 || m.position_bits > 5) {
    throw std::invalid_argument("unsupported LHA method parameters");
  }
}

}  // namespace

void LhaDecodeStatic(ByteSource& in, ByteSink& out, const LhaMethod& method,
                     std::uint64_t original_size) {
  CheckMethod(method);
  if (original_size == 0) return;
  auto decoder = std::make_unique<StaticDecoder>(in, out, method, original_size);
  decoder->Run();
}

void LhaDecodeLh1(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  if (original_size == 0) return;
  auto decoder = std::make_unique<Lh1Decoder>(in, out, original_size);
  decoder->Run();
}

}  // namespace talvor

// What the older ZIP decoders share: the bit reader in the ZIP bit order
// (least significant bit of each byte first), the output window with its
// history, and a table-driven decoder for prefix codes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "archive/bit_reader.h"
#include "archive/byte_stream.h"
#include "archive/zip/zip_legacy_codecs.h"

namespace talvor::zip {

[[noreturn]] void ThrowDataError(const char* what);

// The ZIP methods send the bits of each byte from its least significant end.
using BitReader = talvor::BitReader<BitOrder::kLsbFirst, ZipDataError>;

// The decoded bytes: a buffer that keeps the last `window` bytes as history
// and hands the rest to the sink in large pieces. Every decoder stops at the
// entry's size; `Left()` tells how much is still to come.
class OutputWindow {
 public:
  // The history before the first byte reads as zero bytes; a decoder for
  // which that is an error checks distances against Produced().
  OutputWindow(ByteSink& out, std::uint64_t size, std::size_t window)
      : out_(out),
        window_(window),
        buffer_(window + kChunk),
        pos_(window),
        flushed_(window),
        left_(size) {}

  [[nodiscard]] std::uint64_t Left() const noexcept { return left_; }
  [[nodiscard]] std::uint64_t Produced() const noexcept { return produced_; }

  // The caller makes sure Left() > 0.
  void Put(std::uint8_t byte) {
    if (pos_ == buffer_.size()) Slide();
    buffer_[pos_++] = byte;
    --left_;
    ++produced_;
  }

  // Copies min(length, Left()) bytes from `distance` bytes back, 1 <=
  // distance <= window.
  void Copy(std::size_t distance, std::uint64_t length) {
    length = std::min(length, left_);
    left_ -= length;
    produced_ += length;
    while (length > 0) {
      if (pos_ == buffer_.size()) Slide();
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer_.size() - pos_));
      std::uint8_t* to = buffer_.data() + pos_;
      const std::uint8_t* from = to - distance;
      if (distance >= n) {
        std::memcpy(to, from, n);
      } else if (distance == 1) {
        std::memset(to, *from, n);
      } else {
        for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
      }
      pos_ += n;
      length -= n;
    }
  }

  // Appends min(n, Left()) bytes.
  void Append(const std::uint8_t* data, std::size_t n) {
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, left_));
    left_ -= n;
    produced_ += n;
    while (n > 0) {
      if (pos_ == buffer_.size()) Slide();
      const std::size_t k = std::min(n, buffer_.size() - pos_);
      std::memcpy(buffer_.data() + pos_, data, k);
      pos_ += k;
      data += k;
      n -= k;
    }
  }

  // Hands what is left to the sink.
  void Flush();

 private:
  static constexpr std::size_t kChunk = 64 * 1024;

  void Slide();

  ByteSink& out_;
  std::size_t window_;
  std::vector<std::uint8_t> buffer_;  // history, then new bytes
  std::size_t pos_;
  std::size_t flushed_;
  std::uint64_t left_;
  std::uint64_t produced_ = 0;
};

// Decoding tables for a prefix code sent from its most significant bit on,
// as both Implode and Deflate send theirs: a root table indexed by the next
// `root_bits` bits, and second-level tables for the longer codes.
class PrefixDecoder {
 public:
  // The table size bound comes from the largest alphabet and code length.
  PrefixDecoder(int root_bits, int max_symbols, int max_length);

  // `lengths[s]` is 0 for an unused symbol; `codes[s]` holds its code with
  // the first bit sent as the most significant of `lengths[s]` bits. The
  // codes must be free of prefixes (the callers check the Kraft sum).
  void Build(std::span<const std::uint8_t> lengths, std::span<const std::uint16_t> codes);

  // Decodes one symbol; the reader must hold at least max_length bits.
  [[nodiscard]] unsigned Decode(BitReader& in) const {
    std::uint32_t e = table_[in.Peek(root_bits_)];
    if (e & kLink) {
      in.Skip(root_bits_);
      e = table_[(e & 0xFFFF) + in.Peek(static_cast<int>((e >> 16) & 0xFF))];
    }
    if (!(e & kSymbol)) ThrowDataError("a code that stands for nothing");
    in.Skip(static_cast<int>((e >> 16) & 0xFF));
    return e & 0xFFFF;
  }

 private:
  static constexpr std::uint32_t kSymbol = 1u << 24;
  static constexpr std::uint32_t kLink = 1u << 25;

  int root_bits_;
  int max_length_;
  std::vector<std::uint32_t> table_;  // value in bits 0-15, bit count in 16-23
  std::vector<std::uint8_t> depth_;   // per root entry: bits of its second level
};

// The low `n` bits of `code` in reverse order.
[[nodiscard]] inline std::uint32_t ReverseBits(std::uint32_t code, int n) noexcept {
  std::uint32_t r = 0;
  for (int i = 0; i < n; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return r;
}

}  // namespace talvor::zip

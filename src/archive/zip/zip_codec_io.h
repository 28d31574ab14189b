// What the older ZIP decoders share: a bit reader for the ZIP bit order
// (least significant bit of each byte first), the output window with its
// history, and a table-driven decoder for prefix codes.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "archive/byte_stream.h"
#include "archive/zip/zip_legacy_codecs.h"
#include "platform/byte_order.h"

namespace talvor::zip {

[[noreturn]] void ThrowDataError(const char* what);

// Reads bits from a ByteSource through a fixed buffer, the first bit of each
// byte being its least significant one. Past the end of the source it
// supplies zero bits, so a decoder may look ahead freely; taking any of those
// bits is an error, raised by the next Refill() or by CheckNotOverrun().
class BitReader {
 public:
  explicit BitReader(ByteSource& in) : in_(in), buffer_(kBufferSize) {}

  // After this at least 56 bits are available to Peek/Skip/Get.
  void Refill() {
    if (count_ >= 56) return;
    if (end_ - next_ >= 8) {
      // Bits above count_ may hold the bytes that follow next_; the next
      // refill puts the same bytes there again.
      bits_ |= LoadLittleEndian64(next_) << count_;
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    SlowRefill();
  }

  [[nodiscard]] std::uint32_t Peek(int n) const noexcept {
    return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
  }
  void Skip(int n) noexcept {
    bits_ >>= n;
    count_ -= n;
  }
  // Takes n bits, 0 <= n <= 32, the first one in the result's bit 0; at most
  // the 56 bits of one Refill().
  [[nodiscard]] std::uint32_t Get(int n) noexcept {
    const std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Refills first; for the odd field outside a decoder's hot loop.
  [[nodiscard]] std::uint32_t Take(int n) {
    Refill();
    return Get(n);
  }

  // Drops the bits up to the next byte boundary.
  void AlignToByte() noexcept { Skip(count_ & 7); }

  // Copies n whole bytes; the reader must be on a byte boundary.
  void ReadBytes(std::uint8_t* data, std::size_t n);

  // Raises ZipDataError if bits beyond the end of the data were taken.
  void CheckNotOverrun() const {
    if (count_ < padding_) ThrowDataError("the compressed data ends early");
  }

 private:
  static constexpr std::size_t kBufferSize = 32 * 1024;

  void SlowRefill();
  bool FillBuffer();

  ByteSource& in_;
  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  bool at_end_ = false;
  std::uint64_t bits_ = 0;  // the next bit in bit 0
  int count_ = 0;           // valid bits in bits_, including padding
  int padding_ = 0;         // zero bits added past the end of the source
};

// The decoded bytes: a buffer that keeps the last `window` bytes as history
// and hands the rest to the sink in large pieces. Every decoder stops at the
// entry's size; `Left()` tells how much is still to come.
class OutputWindow {
 public:
  // The history before the first byte reads as zero bytes; a decoder for
  // which that is an error checks distances against Produced().
  OutputWindow(ByteSink& out, std::uint64_t size, std::size_t window, const ZipPulse& pulse)
      : out_(out),
        pulse_(pulse),
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
  static constexpr std::uint64_t kPulseEvery = 1024 * 1024;

  void Slide();

  ByteSink& out_;
  const ZipPulse& pulse_;
  std::size_t window_;
  std::vector<std::uint8_t> buffer_;  // history, then new bytes
  std::size_t pos_;
  std::size_t flushed_;
  std::uint64_t left_;
  std::uint64_t produced_ = 0;
  std::uint64_t written_ = 0;
  std::uint64_t next_pulse_ = kPulseEvery;
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

// Bit-level reading and writing for the LHA methods: bits run from the most
// significant end of each byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/byte_stream.h"
#include "archive/lha/lha_codec.h"
#include "platform/byte_order.h"

namespace talvor::lha {

// Reads bits from a ByteSource through a fixed buffer. Past the end of the
// source it supplies zero bits, so a decoder may look ahead freely; taking
// any of those bits is an error, raised by the next Refill() or by
// CheckNotOverrun().
class BitReader {
 public:
  explicit BitReader(ByteSource& in) : in_(in), buffer_(kBufferSize) {}

  // After this at least 56 bits are available to Peek/Skip.
  void Refill() {
    if (count_ >= 56) return;
    if (end_ - next_ >= 8) {
      bits_ |= LoadBigEndian64(next_) >> count_;
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    SlowRefill();
  }

  // The next 16 bits, left-aligned in the result's low 16 bits.
  [[nodiscard]] std::uint32_t Peek16() const noexcept {
    return static_cast<std::uint32_t>(bits_ >> 48);
  }
  void Skip(int n) noexcept {
    bits_ <<= n;
    count_ -= n;
  }
  // Takes n bits, 0 <= n <= 32; at most the 56 bits of one Refill().
  [[nodiscard]] std::uint32_t Get(int n) noexcept {
    if (n == 0) return 0;
    const auto v = static_cast<std::uint32_t>(bits_ >> (64 - n));
    Skip(n);
    return v;
  }

  // Raises LhaDataError if bits beyond the end of the data were taken.
  void CheckNotOverrun() const {
    if (count_ < padding_) throw LhaDataError("the compressed data ends early");
  }

 private:
  static constexpr std::size_t kBufferSize = 32 * 1024;

  void SlowRefill() {
    CheckNotOverrun();
    while (count_ <= 56) {
      if (next_ == end_ && !at_end_) {
        const std::size_t got = in_.Read(buffer_.data(), buffer_.size());
        next_ = buffer_.data();
        end_ = next_ + got;
        if (got == 0) at_end_ = true;
      }
      std::uint64_t byte = 0;
      if (next_ != end_) {
        byte = *next_++;
      } else {
        padding_ += 8;
      }
      bits_ |= byte << (56 - count_);
      count_ += 8;
    }
  }

  ByteSource& in_;
  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  bool at_end_ = false;
  std::uint64_t bits_ = 0;  // left-aligned
  int count_ = 0;           // valid bits in bits_, including padding
  int padding_ = 0;         // zero bits added past the end of the source
};

// Collects bits into bytes and hands them to a ByteSink in large pieces.
class BitWriter {
 public:
  explicit BitWriter(ByteSink& out) : out_(out), buffer_(kBufferSize + 8) {}

  // Appends the low n bits of value, 0 <= n <= 32.
  // Full buffers go to the sink, whose errors pass through.
  void Put(std::uint32_t value, int n) {
    acc_ = (acc_ << n) | value;
    count_ += n;
    if (count_ >= 32) {
      count_ -= 32;
      const auto word = static_cast<std::uint32_t>(acc_ >> count_);
      std::uint8_t* p = buffer_.data() + used_;
      p[0] = static_cast<std::uint8_t>(word >> 24);
      p[1] = static_cast<std::uint8_t>(word >> 16);
      p[2] = static_cast<std::uint8_t>(word >> 8);
      p[3] = static_cast<std::uint8_t>(word);
      used_ += 4;
      if (used_ >= kBufferSize) Flush();
    }
  }

  // Pads the last byte with zero bits and writes everything out.
  void Finish() {
    while (count_ >= 8) {
      count_ -= 8;
      buffer_[used_++] = static_cast<std::uint8_t>(acc_ >> count_);
    }
    if (count_ > 0) {
      buffer_[used_++] = static_cast<std::uint8_t>(acc_ << (8 - count_));
      count_ = 0;
    }
    Flush();
  }

  // Bytes produced so far, counting a partly filled last byte as whole.
  [[nodiscard]] std::uint64_t size() const noexcept {
    return written_ + used_ + static_cast<std::uint64_t>((count_ + 7) / 8);
  }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  void Flush() {
    if (used_ == 0) return;
    out_.Write(buffer_.data(), used_);
    written_ += used_;
    used_ = 0;
  }

  ByteSink& out_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::uint64_t acc_ = 0;  // right-aligned pending bits
  int count_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace talvor::lha

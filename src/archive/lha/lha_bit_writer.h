// The bit writer of the LHA encoder: bits run from the most significant end
// of each byte (archive/bit_reader.h reads them back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/byte_stream.h"

namespace talvor::lha {

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

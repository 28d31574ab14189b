// Reading a compressed stream bit by bit, in either of the two orders the
// archive formats use: LHA sends the bits of each byte from its most
// significant end, ZIP's methods (and Deflate) from its least significant
// end. A code read with Peek/Get comes out as the format sends it: first
// bit most significant for kMsbFirst, first bit in bit 0 for kLsbFirst.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/byte_stream.h"
#include "platform/byte_order.h"

namespace talvor {

enum class BitOrder { kMsbFirst, kLsbFirst };

// Reads bits from a ByteSource through a fixed buffer. Past the end of the
// source it supplies zero bits, so a decoder may look ahead freely; taking
// any of those bits is an error, raised as `DataError` (the format's own
// exception, constructed from a message) by the next Refill() or by
// CheckNotOverrun().
template <BitOrder kOrder, typename DataError>
class BitReader {
 public:
  explicit BitReader(ByteSource& in) : in_(in), buffer_(kBufferSize) {}

  // After this at least 56 bits are available to Peek/Skip/Get.
  void Refill() {
    if (count_ >= 56) return;
    if (end_ - next_ >= 8) {
      // The bits past count_ may hold the bytes that follow next_; the next
      // refill puts the same bytes there again.
      if constexpr (kOrder == BitOrder::kMsbFirst) {
        bits_ |= LoadBigEndian64(next_) >> count_;
      } else {
        bits_ |= LoadLittleEndian64(next_) << count_;
      }
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    SlowRefill();
  }

  // The next n bits, 1 <= n <= 32, without taking them.
  [[nodiscard]] std::uint32_t Peek(int n) const noexcept {
    if constexpr (kOrder == BitOrder::kMsbFirst) {
      return static_cast<std::uint32_t>(bits_ >> (64 - n));
    } else {
      return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
    }
  }
  void Skip(int n) noexcept {
    if constexpr (kOrder == BitOrder::kMsbFirst) {
      bits_ <<= n;
    } else {
      bits_ >>= n;
    }
    count_ -= n;
  }
  // Takes n bits, 0 <= n <= 32; at most the 56 bits of one Refill().
  [[nodiscard]] std::uint32_t Get(int n) noexcept {
    if constexpr (kOrder == BitOrder::kMsbFirst) {
      if (n == 0) return 0;
    }
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
  void ReadBytes(std::uint8_t* data, std::size_t n) {
    while (n > 0 && count_ >= 8) {
      *data++ = static_cast<std::uint8_t>(Get(8));
      --n;
    }
    CheckNotOverrun();
    if (n == 0) return;
    // The bit buffer is empty; what it held beyond count_ is read again below.
    bits_ = 0;
    while (n > 0) {
      if (next_ == end_ && !FillBuffer()) throw DataError("the compressed data ends early");
      const std::size_t k = std::min(n, static_cast<std::size_t>(end_ - next_));
      std::memcpy(data, next_, k);
      next_ += k;
      data += k;
      n -= k;
    }
  }

  // Raises DataError if bits beyond the end of the data were taken.
  void CheckNotOverrun() const {
    if (count_ < padding_) throw DataError("the compressed data ends early");
  }

 private:
  static constexpr std::size_t kBufferSize = 32 * 1024;

  bool FillBuffer() {
    if (at_end_) return false;
    const std::size_t got = in_.Read(buffer_.data(), buffer_.size());
    next_ = buffer_.data();
    end_ = next_ + got;
    if (got == 0) at_end_ = true;
    return got != 0;
  }

  // Kept out of the decoders' loops: it runs once per 32 KiB of input.
  [[gnu::noinline]] void SlowRefill() {
    CheckNotOverrun();
    while (count_ <= 56) {
      if (next_ == end_) FillBuffer();
      std::uint64_t byte = 0;
      if (next_ != end_) {
        byte = *next_++;
      } else {
        padding_ += 8;
      }
      if constexpr (kOrder == BitOrder::kMsbFirst) {
        bits_ |= byte << (56 - count_);
      } else {
        bits_ |= byte << count_;
      }
      count_ += 8;
    }
  }

  ByteSource& in_;
  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  bool at_end_ = false;
  std::uint64_t bits_ = 0;  // the next bit at the end the order reads from
  int count_ = 0;           // valid bits in bits_, including padding
  int padding_ = 0;         // zero bits added past the end of the source
};

}  // namespace talvor

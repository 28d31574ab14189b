// The ring buffer of the older LZSS-style methods (LArc's, PMarc's): a
// power-of-two ring that matches refer to, and the output not yet handed to
// the sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/lha/lha_codec.h"

namespace talvor::lha {

// The ring and the output not yet handed to the sink.
class Ring {
 public:
  Ring(ByteSink& out, std::vector<std::uint8_t> preset, std::size_t start, std::uint64_t size)
      : out_(out), ring_(std::move(preset)), pos_(start), left_(size) {
    pending_.reserve(kChunk);
  }

  [[nodiscard]] bool done() const noexcept { return left_ == 0; }

  void Put(std::uint8_t byte) {
    ring_[pos_] = byte;
    pos_ = (pos_ + 1) & (ring_.size() - 1);
    pending_.push_back(byte);
    --left_;
    if (pending_.size() >= kChunk) Flush();
  }

  // The byte `distance` places back (1: the last one written).
  [[nodiscard]] std::uint8_t Behind(std::size_t distance) const noexcept {
    return ring_[(pos_ - distance) & (ring_.size() - 1)];
  }

  // Copies `length` bytes from the ring position `from` on (a match may
  // overlap what it writes).
  void Copy(std::size_t from, std::size_t length) {
    for (std::size_t i = 0; i < length && left_ > 0; ++i) {
      Put(ring_[(from + i) & (ring_.size() - 1)]);
    }
  }

  void Flush() {
    out_.Write(pending_.data(), pending_.size());
    pending_.clear();
  }

 private:
  static constexpr std::size_t kChunk = 64 * 1024;

  ByteSink& out_;
  std::vector<std::uint8_t> ring_;
  std::size_t pos_;
  std::uint64_t left_;
  std::vector<std::uint8_t> pending_;
};

}  // namespace talvor::lha

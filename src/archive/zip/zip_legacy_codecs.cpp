// The pieces the older ZIP decoders share (zip_codec_io.h); the decoders
// themselves live in zip_unshrink.cpp, zip_unreduce.cpp, zip_explode.cpp and
// zip_inflate64.cpp.
#include "archive/zip/zip_legacy_codecs.h"

#include <algorithm>

#include "archive/zip/zip_codec_io.h"

namespace talvor::zip {

void ThrowDataError(const char* what) {
  throw ZipDataError(what);
}

void OutputWindow::Flush() {
  if (pos_ == flushed_) return;
  out_.Write(buffer_.data() + flushed_, pos_ - flushed_);
  flushed_ = pos_;
}

void OutputWindow::Slide() {
  Flush();
  std::memmove(buffer_.data(), buffer_.data() + pos_ - window_, window_);
  pos_ = window_;
  flushed_ = window_;
}

PrefixDecoder::PrefixDecoder(int root_bits, int max_symbols, int max_length)
    : root_bits_(root_bits),
      max_length_(max_length),
      table_((std::size_t{1} << root_bits) +
             std::min(std::size_t{1} << root_bits, static_cast<std::size_t>(max_symbols)) *
                 (std::size_t{1} << std::max(0, max_length - root_bits))),
      depth_(std::size_t{1} << root_bits) {}

void PrefixDecoder::Build(std::span<const std::uint8_t> lengths,
                          std::span<const std::uint16_t> codes) {
  const std::uint32_t root_size = 1u << root_bits_;
  const std::uint32_t root_mask = root_size - 1;
  std::fill(table_.begin(), table_.begin() + root_size, 0u);
  std::fill(depth_.begin(), depth_.end(), std::uint8_t{0});

  // Codes longer than the root share a second-level table per root entry,
  // as deep as the longest of them.
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    const int length = lengths[s];
    if (length <= root_bits_ || length > max_length_) continue;
    const std::uint32_t reversed = ReverseBits(codes[s], length);
    std::uint8_t& depth = depth_[reversed & root_mask];
    depth = std::max(depth, static_cast<std::uint8_t>(length - root_bits_));
  }
  std::uint32_t next = root_size;
  for (std::uint32_t p = 0; p < root_size; ++p) {
    if (depth_[p] == 0) continue;
    const std::uint32_t size = 1u << depth_[p];
    std::fill(table_.begin() + next, table_.begin() + next + size, 0u);
    table_[p] = kLink | (std::uint32_t{depth_[p]} << 16) | next;
    next += size;
  }

  for (std::size_t s = 0; s < lengths.size(); ++s) {
    const int length = lengths[s];
    if (length == 0 || length > max_length_) continue;
    const std::uint32_t reversed = ReverseBits(codes[s], length);
    const auto symbol = static_cast<std::uint32_t>(s);
    if (length <= root_bits_) {
      const std::uint32_t entry = kSymbol | (static_cast<std::uint32_t>(length) << 16) | symbol;
      for (std::uint32_t i = reversed; i < root_size; i += 1u << length) table_[i] = entry;
    } else {
      const std::uint32_t link = table_[reversed & root_mask];
      const std::uint32_t base = link & 0xFFFF;
      const std::uint32_t size = 1u << ((link >> 16) & 0xFF);
      const int rest = length - root_bits_;
      const std::uint32_t entry = kSymbol | (static_cast<std::uint32_t>(rest) << 16) | symbol;
      for (std::uint32_t i = reversed >> root_bits_; i < size; i += 1u << rest) {
        table_[base + i] = entry;
      }
    }
  }
}

}  // namespace talvor::zip

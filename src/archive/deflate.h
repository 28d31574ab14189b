// Raw Deflate (RFC 1951: no zlib or gzip framing) through zlib: one coder
// and one decoder that own their zlib streams, and the whole-stream steps
// the ZIP and BH entries take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "archive/byte_stream.h"

namespace talvor {

// Damaged or truncated compressed data.
class DeflateDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// zlib could not start or run a coder; `zlib_code` is its return value.
class DeflateCoderError : public std::runtime_error {
 public:
  DeflateCoderError(const char* what, int zlib_code);
  [[nodiscard]] int zlib_code() const noexcept { return zlib_code_; }
  [[nodiscard]] bool out_of_memory() const noexcept;

 private:
  int zlib_code_;
};

// How far one call of a coder or decoder came.
struct DeflateStep {
  std::size_t read = 0;     // bytes taken from the input
  std::size_t written = 0;  // bytes put into the output
  bool finished = false;    // the stream's end was written / reached
};

// A raw Deflate coder: a 32 KiB window, memory level 8, the default
// strategy, at `level` (0 to 9).
class RawDeflater {
 public:
  explicit RawDeflater(int level);
  ~RawDeflater();
  RawDeflater(const RawDeflater&) = delete;
  RawDeflater& operator=(const RawDeflater&) = delete;

  // Starts a new stream whose matches may reach back into `history`, the
  // bytes just before it.
  void Restart(const std::uint8_t* history, std::size_t history_size);

  // Codes as much of `in` into `out` as there is room for; with `finish` the
  // stream ends after `in`, and `finished` tells whether all of it fit.
  [[nodiscard]] DeflateStep Code(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                                 std::size_t out_size, bool finish);

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

// A raw Deflate decoder with a 32 KiB window.
class RawInflater {
 public:
  RawInflater();
  ~RawInflater();
  RawInflater(const RawInflater&) = delete;
  RawInflater& operator=(const RawInflater&) = delete;

  // Decodes from `in` into `out` as far as both go; `finished` once the
  // stream's last block has ended. Damaged data raises DeflateDataError.
  [[nodiscard]] DeflateStep Decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                                   std::size_t out_size);

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

// Compresses all of `in` as raw Deflate at `level` into `out`, handing the
// output on in chunks of 131070 bytes. Returns the CRC-32 of the input;
// *input_size gets its length.
[[nodiscard]] std::uint32_t DeflateAll(ByteSource& in, ByteSink& out, int level,
                                       std::uint64_t* input_size);

// Inflates raw Deflate data from a source, as much of it at a time as the
// caller asks for.
class SourceInflater {
 public:
  // `expected_input`: about how many bytes the stream takes; reads start at
  // that size (a small entry of a large archive reads little past its end)
  // and grow to the full chunk.
  explicit SourceInflater(ByteSource& in, std::size_t block = 32768,
                          std::uint64_t expected_input = UINT64_MAX);

  // Writes up to `limit` bytes into `out`, fewer where the stream ends
  // first; returns how many. Data that ends before the stream does, or is
  // damaged, raises DeflateDataError.
  std::uint64_t Inflate(ByteSink& out, std::uint64_t limit);
  // Whether the stream's end was reached.
  [[nodiscard]] bool ended() const noexcept { return ended_; }
  // Whether the stream holds more than was taken: decodes one byte further.
  [[nodiscard]] bool GoesOn();

 private:
  ByteSource& in_;
  RawInflater decoder_;
  // Not cleared: an archive of many small entries makes one inflater each.
  std::unique_ptr<std::uint8_t[]> input_;
  std::size_t output_size_;
  std::unique_ptr<std::uint8_t[]> output_;
  std::size_t read_size_;  // of the next read from `in_`
  const std::uint8_t* next_ = nullptr;
  std::size_t available_ = 0;
  bool input_done_ = false;
  bool ended_ = false;
};

}  // namespace talvor

// Raw Deflate (RFC 1951) through zlib.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "archive/byte_stream.h"

namespace talvor {

class DeflateDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Compresses all of `in` as raw Deflate (32 KiB window, memory level 8,
// default strategy) at `level` into `out`, handing the output on in chunks
// of 131070 bytes. Returns the CRC-32 of the input; *input_size gets its
// length.
std::uint32_t DeflateAll(ByteSource& in, ByteSink& out, int level, std::uint64_t* input_size,
                         const std::function<void()>& pulse = {});

// Inflates raw Deflate data from `in` into `out`, exactly `original_size`
// bytes, in blocks of at most `block` bytes, calling `pulse` between blocks.
// Data that ends early or is damaged raises DeflateDataError. Returns the
// CRC-32 of the output.
std::uint32_t InflateExactly(ByteSource& in, ByteSink& out, std::uint64_t original_size,
                             std::size_t block = 32768, const std::function<void()>& pulse = {});

}  // namespace talvor

// The older ZIP compression methods, decoded as the ZIP application note
// (APPNOTE) describes them: 1 shrunk, 2 to 5 reduced, 6 imploded, and 9
// Deflate64 (Deflate with a 64 KiB window; method 8 goes through zlib).
#pragma once

#include <cstdint>
#include <stdexcept>

#include "archive/byte_stream.h"

namespace talvor {

// Damaged or truncated compressed data.
class ZipDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each decodes exactly `original_size` bytes from `in` into `out`, raising
// ZipDataError on data no encoder produces or when the input ends early.
// Memory use does not depend on sizes read from the input.
void Unshrink(ByteSource& in, ByteSink& out, std::uint64_t original_size);
// `factor` 1 to 4 for methods 2 to 5.
void Unreduce(ByteSource& in, ByteSink& out, std::uint64_t original_size, int factor);
// `general_flags`: the entry's general purpose flags (bit 1: 8 KiB window,
// bit 2: three Shannon-Fano trees).
void Explode(ByteSource& in, ByteSink& out, std::uint64_t original_size,
             std::uint16_t general_flags);
void Inflate64(ByteSource& in, ByteSink& out, std::uint64_t original_size);

}  // namespace talvor

// The LHA compression methods: the static-Huffman LZ77 methods -lh4- to
// -lh7- (encoder and decoder), the adaptive-Huffman -lh1- (decoder), and
// the decoders of the older methods other archivers wrote into LHA-style
// archives: LArc's -lzs- and -lz5-, PMarc's -pm1- and -pm2-.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "archive/byte_stream.h"

namespace talvor {

// Damaged or truncated compressed data.
class LhaDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parameters of a static-Huffman method.
struct LhaMethod {
  int dictionary_bits;  // the sliding window is 2^dictionary_bits bytes
  int position_codes;   // number of position codes the encoder may use
  int position_bits;    // bits that carry the count of position-code lengths
};

// What the writer uses: -lh5- (8 KiB window) and -lh6- (16 KiB window, 15
// position codes).
inline constexpr LhaMethod kWriteLh5{13, 14, 4};
inline constexpr LhaMethod kWriteLh6{14, 15, 5};

// What the reader uses for -lh4- to -lh7- and -lhx- (the same coding with
// a window of up to 1 MiB): window bits 12, 13, 15, 16, 20; count bits 4,
// 4, 5, 5, 5; position codes = window bits + 1.
[[nodiscard]] LhaMethod ReadMethod(char id) noexcept;  // '4'..'7', 'x'

// Compresses all of `in` into `out`. Returns false as soon as the output
// would exceed `limit` bytes (the encoder gives up; `out` may already hold
// part of the output). `*crc` receives the CRC-16 of the input and
// `*input_size` its length when the whole input was read.
[[nodiscard]] bool LhaEncode(ByteSource& in, ByteSink& out, const LhaMethod& method,
                             std::uint64_t limit, std::uint16_t* crc, std::uint64_t* input_size);

// Decodes exactly `original_size` bytes from the compressed data in `in`
// into `out`. Raises LhaDataError on data no encoder produces or when the
// compressed data ends early. Memory use does not depend on the sizes.
void LhaDecodeStatic(ByteSource& in, ByteSink& out, const LhaMethod& method,
                     std::uint64_t original_size);
void LhaDecodeLh1(ByteSource& in, ByteSink& out, std::uint64_t original_size);
// LArc's methods: -lzs- (2 KiB window, a flag bit before each literal or
// match) and -lz5- (4 KiB window, a flag byte before every eight).
void LhaDecodeLzs(ByteSource& in, ByteSink& out, std::uint64_t original_size);
void LhaDecodeLz5(ByteSource& in, ByteSink& out, std::uint64_t original_size);
// PMarc's -pm1- (16 KiB window, fixed codes) and -pm2- (8 KiB window,
// Huffman trees sent in the stream); both code literals by how recently
// their value was used.
void LhaDecodePm1(ByteSource& in, ByteSink& out, std::uint64_t original_size);
void LhaDecodePm2(ByteSource& in, ByteSink& out, std::uint64_t original_size);

// Whether the method id ("-lh5-", "-pm0-", ...) is one of the methods
// decoded here (stored ones included).
[[nodiscard]] bool LhaMethodDecoded(const std::string& method);
// Whether the method keeps the data as it is (-lh0-, -lz4-, -pm0-).
[[nodiscard]] bool LhaMethodStored(const std::string& method);
// Decodes data of any method LhaMethodDecoded accepts; raises
// std::invalid_argument for any other.
void LhaDecode(const std::string& method, ByteSource& in, ByteSink& out,
               std::uint64_t original_size);

}  // namespace talvor

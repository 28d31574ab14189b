#include "archive/deflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "archive/crc.h"

namespace talvor {

namespace {

constexpr std::size_t kOutputChunk = 131070;
constexpr std::size_t kInputChunk = 256 * 1024;

// A zlib stream that ends itself.
class DeflateStream {
 public:
  explicit DeflateStream(int level) {
    if (deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::runtime_error("the Deflate coder cannot start");
    }
  }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;
  ~DeflateStream() { deflateEnd(&z_); }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
};

class InflateStream {
 public:
  InflateStream() {
    if (inflateInit2(&z_, -15) != Z_OK)
      throw std::runtime_error("the Deflate decoder cannot start");
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  ~InflateStream() { inflateEnd(&z_); }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
};

}  // namespace

std::uint32_t DeflateAll(ByteSource& in, ByteSink& out, int level, std::uint64_t* input_size,
                         const std::function<void()>& pulse) {
  DeflateStream stream(level);
  z_stream& z = stream.z();
  std::vector<std::uint8_t> input(kInputChunk);
  std::vector<std::uint8_t> output(kOutputChunk);
  std::uint32_t crc = 0;
  std::uint64_t total = 0;
  int flush = Z_NO_FLUSH;
  do {
    const std::size_t n = in.Read(input.data(), input.size());
    crc = Crc32(crc, input.data(), n);
    total += n;
    flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = output.data();
      z.avail_out = static_cast<uInt>(output.size());
      const int rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) throw std::runtime_error("the Deflate coder failed");
      out.Write(output.data(), output.size() - z.avail_out);
    } while (z.avail_out == 0);
    if (pulse) pulse();
  } while (flush != Z_FINISH);
  if (input_size != nullptr) *input_size = total;
  return crc;
}

std::uint32_t InflateExactly(ByteSource& in, ByteSink& out, std::uint64_t original_size,
                             std::size_t block, const std::function<void()>& pulse) {
  InflateStream stream;
  z_stream& z = stream.z();
  std::vector<std::uint8_t> input(kInputChunk);
  std::vector<std::uint8_t> output(std::max<std::size_t>(block, 1));
  std::uint32_t crc = 0;
  std::uint64_t left = original_size;
  bool ended = false;
  bool input_done = false;
  while (left > 0) {
    if (z.avail_in == 0 && !input_done) {
      const std::size_t n = in.Read(input.data(), input.size());
      input_done = n == 0;
      z.next_in = input.data();
      z.avail_in = static_cast<uInt>(n);
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, output.size()));
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(want);
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      ended = true;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw DeflateDataError(z.msg != nullptr ? z.msg : "damaged compressed data");
    }
    const std::size_t produced = want - z.avail_out;
    crc = Crc32(crc, output.data(), produced);
    out.Write(output.data(), produced);
    left -= produced;
    if (pulse) pulse();
    if (left > 0 && produced == 0 && (ended || (input_done && z.avail_in == 0))) {
      throw DeflateDataError("the compressed data ends early");
    }
  }
  return crc;
}

}  // namespace talvor

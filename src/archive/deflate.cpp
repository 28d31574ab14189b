#include "archive/deflate.h"

// The coder's input is read-only.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "archive/crc.h"

namespace talvor {

namespace {

constexpr std::size_t kOutputChunk = 131070;
constexpr std::size_t kInputChunk = 256 * 1024;
constexpr int kRawWindowBits = -15;  // 32 KiB, no zlib header or trailer
constexpr int kMemLevel = 8;

DeflateStep StepOf(const z_stream& z, std::size_t in_size, std::size_t out_size, int rc) {
  return {in_size - z.avail_in, out_size - z.avail_out, rc == Z_STREAM_END};
}

}  // namespace

DeflateCoderError::DeflateCoderError(const char* what, int zlib_code)
    : std::runtime_error(what), zlib_code_(zlib_code) {}

bool DeflateCoderError::out_of_memory() const noexcept {
  return zlib_code_ == Z_MEM_ERROR;
}

struct RawDeflater::Stream {
  z_stream z{};
};

RawDeflater::RawDeflater(int level) : stream_(std::make_unique<Stream>()) {
  const int rc =
      deflateInit2(&stream_->z, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY);
  if (rc != Z_OK) throw DeflateCoderError("the Deflate coder cannot start", rc);
}

RawDeflater::~RawDeflater() {
  deflateEnd(&stream_->z);
}

void RawDeflater::Restart(const std::uint8_t* history, std::size_t history_size) {
  int rc = deflateReset(&stream_->z);
  if (rc == Z_OK && history_size > 0) {
    rc = deflateSetDictionary(&stream_->z, history, static_cast<uInt>(history_size));
  }
  if (rc != Z_OK) throw DeflateCoderError("the Deflate coder failed", rc);
}

DeflateStep RawDeflater::Code(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                              std::size_t out_size, bool finish) {
  z_stream& z = stream_->z;
  z.next_in = in;
  z.avail_in = static_cast<uInt>(in_size);
  z.next_out = out;
  z.avail_out = static_cast<uInt>(out_size);
  const int rc = deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
  // Z_BUF_ERROR: no room to make progress, which the caller sees.
  if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
    throw DeflateCoderError("the Deflate coder failed", rc);
  }
  return StepOf(z, in_size, out_size, rc);
}

struct RawInflater::Stream {
  z_stream z{};
};

RawInflater::RawInflater() : stream_(std::make_unique<Stream>()) {
  const int rc = inflateInit2(&stream_->z, kRawWindowBits);
  if (rc != Z_OK) throw DeflateCoderError("the Deflate decoder cannot start", rc);
}

RawInflater::~RawInflater() {
  inflateEnd(&stream_->z);
}

DeflateStep RawInflater::Decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                                std::size_t out_size) {
  z_stream& z = stream_->z;
  z.next_in = in;
  z.avail_in = static_cast<uInt>(in_size);
  z.next_out = out;
  z.avail_out = static_cast<uInt>(out_size);
  const int rc = inflate(&z, Z_NO_FLUSH);
  if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
    throw DeflateDataError(z.msg != nullptr ? z.msg : "damaged compressed data");
  }
  return StepOf(z, in_size, out_size, rc);
}

std::uint32_t DeflateAll(ByteSource& in, ByteSink& out, int level, std::uint64_t* input_size) {
  RawDeflater coder(level);
  std::vector<std::uint8_t> input(kInputChunk);
  std::vector<std::uint8_t> output(kOutputChunk);
  std::uint32_t crc = 0;
  std::uint64_t total = 0;
  bool finish = false;
  do {
    const std::size_t n = in.Read(input.data(), input.size());
    crc = Crc32(crc, input.data(), n);
    total += n;
    finish = n == 0;
    const std::uint8_t* next = input.data();
    std::size_t left = n;
    DeflateStep step;
    do {
      step = coder.Code(next, left, output.data(), output.size(), finish);
      next += step.read;
      left -= step.read;
      out.Write(output.data(), step.written);
    } while (step.written == output.size());
  } while (!finish);
  if (input_size != nullptr) *input_size = total;
  return crc;
}

SourceInflater::SourceInflater(ByteSource& in, std::size_t block, std::uint64_t expected_input)
    : in_(in),
      input_(std::make_unique_for_overwrite<std::uint8_t[]>(kInputChunk)),
      output_size_(std::max<std::size_t>(block, 1)),
      output_(std::make_unique_for_overwrite<std::uint8_t[]>(output_size_)),
      // A little more than expected, so that the look past the stream's end
      // (GoesOn) needs no second read.
      read_size_(
          static_cast<std::size_t>(std::min<std::uint64_t>(expected_input, kInputChunk - 4096)) +
          4096) {
  next_ = input_.get();
}

std::uint64_t SourceInflater::Inflate(ByteSink& out, std::uint64_t limit) {
  std::uint64_t total = 0;
  while (total < limit && !ended_) {
    if (available_ == 0 && !input_done_) {
      available_ = in_.Read(input_.get(), read_size_);
      read_size_ = kInputChunk;
      input_done_ = available_ == 0;
      next_ = input_.get();
    }
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(limit - total, output_size_));
    const DeflateStep step = decoder_.Decode(next_, available_, output_.get(), want);
    next_ += step.read;
    available_ -= step.read;
    ended_ = step.finished;
    out.Write(output_.get(), step.written);
    total += step.written;
    if (!ended_ && step.written == 0 && step.read == 0 && input_done_ && available_ == 0) {
      throw DeflateDataError("the compressed data ends early");
    }
  }
  return total;
}

bool SourceInflater::GoesOn() {
  class Discard final : public ByteSink {
   public:
    void Write(const std::uint8_t*, std::size_t) override {}
  } discard;
  return !ended_ && Inflate(discard, 1) != 0;
}

}  // namespace talvor

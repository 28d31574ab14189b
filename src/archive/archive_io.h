// The sinks that check what an entry's data decodes to, and the writing of a
// new entry's data that ZIP and BH share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "archive/archive_component.h"
#include "archive/byte_stream.h"
#include "platform/file.h"

namespace talvor {

// Passes bytes on to a file (or another sink), keeping a check value of
// everything written (`update` is CRC-16 or CRC-32).
class CheckedFileSink final : public ByteSink {
 public:
  using Update = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);
  CheckedFileSink(File& file, Update update)
      : file_sink_(file), next_(file_sink_), update_(update) {}
  CheckedFileSink(ByteSink& next, Update update) : file_sink_(), next_(next), update_(update) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    check_ = update_(check_, data, n);
    next_.Write(data, n);
    written_ += n;
  }
  [[nodiscard]] std::uint32_t check() const { return check_; }
  [[nodiscard]] std::uint64_t written() const { return written_; }

 private:
  // Writes to the file it was made with, if any.
  class OptionalFileSink final : public ByteSink {
   public:
    OptionalFileSink() = default;
    explicit OptionalFileSink(File& file) : file_(&file) {}
    void Write(const std::uint8_t* data, std::size_t n) override { file_->Write(data, n); }

   private:
    File* file_ = nullptr;
  };
  OptionalFileSink file_sink_;
  ByteSink& next_;
  Update update_;
  std::uint32_t check_ = 0;
  std::uint64_t written_ = 0;
};

// Copies exactly `size` bytes; raises `Error` (a runtime_error) when the
// source ends first.
void CopyExactly(ByteSource& in, ByteSink& out, std::uint64_t size);

// Raises the damage of an entry whose data goes on past the `size` bytes its
// header gives.
[[noreturn]] void RaiseDataGoesOn(std::uint64_t size);

// What was written for one new entry's data.
struct EntryData {
  std::uint32_t crc = 0;
  std::uint64_t packed = 0;
  std::uint64_t original = 0;
  bool stored = false;
};

// Writes the data of one new ZIP or BH entry at the output's position: a
// file shorter than 257 bytes is deflated in memory and stored when that is
// longer than the file; a longer file is deflated straight to the output;
// with `store` (or no data) the bytes are copied. What is read is counted in
// `job`.
[[nodiscard]] EntryData WriteEntryData(File& source, File& out, bool store, int level, Job& job);

// The zlib level and the flag bits 1-2 for a deflate effort.
[[nodiscard]] int DeflateLevel(DeflateEffort type);
[[nodiscard]] std::uint16_t DeflateFlags(DeflateEffort type);

}  // namespace talvor

// Byte sources and sinks the archive codecs read from and write to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/progress.h"

namespace talvor {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to n bytes; 0 only at the end.
  [[nodiscard]] virtual std::size_t Read(std::uint8_t* data, std::size_t n) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const std::uint8_t* data, std::size_t n) = 0;
};

// At most `limit` bytes of a file, from its current position, counted as
// done in `job`.
class FileSource final : public ByteSource {
 public:
  FileSource(File& file, std::uint64_t limit, Job& job) : file_(file), left_(limit), job_(job) {}
  std::size_t Read(std::uint8_t* data, std::size_t n) override;
  [[nodiscard]] std::uint64_t left() const noexcept { return left_; }

 private:
  File& file_;
  std::uint64_t left_;
  Job& job_;
};

class FileSink final : public ByteSink {
 public:
  explicit FileSink(File& file) : file_(file) {}
  void Write(const std::uint8_t* data, std::size_t n) override { file_.Write(data, n); }

 private:
  File& file_;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
  explicit MemorySource(const std::string& text)
      : MemorySource(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) {}
  std::size_t Read(std::uint8_t* data, std::size_t n) override;

 private:
  const std::uint8_t* data_;
  std::size_t left_;
};

class MemorySink final : public ByteSink {
 public:
  void Write(const std::uint8_t* data, std::size_t n) override {
    bytes.insert(bytes.end(), data, data + n);
  }
  std::vector<std::uint8_t> bytes;
};

}  // namespace talvor

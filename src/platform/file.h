// An open file with a record size of one byte, read and written through a
// write-back buffer so that byte-at-a-time loops run at the speed of a
// buffered copy. Every failure is raised as a kIo Failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/failure.h"
#include "platform/unique_fd.h"

namespace talvor {

class File {
 public:
  static constexpr std::size_t kBufferSize = 256 * 1024;

  File() = default;
  // Takes over an open descriptor.
  File(UniqueFd fd, std::string path);
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  // Closes the file; buffered bytes are written, failures are ignored. Call
  // Close() to learn of them.
  ~File();

  [[nodiscard]] bool IsOpen() const noexcept { return fd_ >= 0; }
  // The system's descriptor of the open file (-1 when closed).
  [[nodiscard]] int Descriptor() const noexcept { return fd_; }
  [[nodiscard]] const std::string& path() const noexcept { return path_; }

  // Reads up to n bytes; returns how many were read (0 at the end).
  [[nodiscard]] std::size_t Read(void* data, std::size_t n);
  // Reads exactly n bytes or raises "Read beyond end of file".
  void ReadExact(void* data, std::size_t n);
  // The next byte, or -1 at the end of the file.
  [[nodiscard]] int ReadByte() {
    if (cur_ < valid_) return buffer_[cur_++];
    return ReadByteSlow();
  }

  void Write(const void* data, std::size_t n);
  void WriteByte(std::uint8_t b) {
    if (cur_ < kBufferSize && buffer_ != nullptr) {
      MarkDirty(cur_);
      buffer_[cur_++] = b;
      if (cur_ > valid_) valid_ = cur_;
      return;
    }
    WriteByteSlow(b);
  }

  void Seek(std::int64_t position);
  [[nodiscard]] std::int64_t Position() const noexcept {
    return base_ + static_cast<std::int64_t>(cur_);
  }
  [[nodiscard]] std::int64_t Size() const noexcept;
  [[nodiscard]] bool Eof() const noexcept { return Position() >= Size(); }

  // Cuts the file at the current position.
  void Truncate();
  // Hands buffered bytes to the operating system.
  void Flush();
  // Flush, then wait until the data has reached the device.
  void Sync();
  // Flush, and give the buffer back until the file is read or written again
  // (for files that wait open in numbers).
  void ReleaseBuffer();
  // From now on, written data is handed to the device in the background as
  // it accumulates, so that a final Sync has little left to wait for.
  void WriteBehind() noexcept { write_behind_ = true; }
  // Flush and close; raises on failure. The object is closed afterwards even
  // when it raises.
  void Close();

 private:
  void RequireOpen() const;
  void EnsureBuffer();
  int ReadByteSlow();
  void WriteByteSlow(std::uint8_t b);
  void MarkDirty(std::size_t at) noexcept {
    if (at < dirty_lo_) dirty_lo_ = at;
    if (at + 1 > dirty_hi_) dirty_hi_ = at + 1;
  }
  // Moves the buffer window to the current position (after flushing).
  void Rebase();
  void Release() noexcept;
  // Notes bytes [offset, end) as written; starts their writing-out when
  // enough has gathered.
  void Written(std::int64_t offset, std::int64_t end) noexcept;

  int fd_ = -1;
  std::string path_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::int64_t base_ = 0;  // file offset of buffer_[0]
  std::size_t cur_ = 0;    // cursor in the buffer; always <= valid_
  std::size_t valid_ = 0;  // bytes of the buffer that mirror the file
  std::size_t dirty_lo_ = SIZE_MAX;
  std::size_t dirty_hi_ = 0;
  std::int64_t disk_size_ = 0;  // size of the file as the system holds it
  bool write_behind_ = false;
  std::int64_t behind_from_ = -1;  // start of the written bytes not yet handed on
  std::int64_t behind_to_ = 0;
};

// What a source file looked like when a command began to read it. The
// command looks again once it has read the whole file: a file that another
// program changed meanwhile (cut short, grown, rewritten) would otherwise
// yield a result holding part of the old and part of the new content.
class SourceState {
 public:
  explicit SourceState(const File& source);
  // Raises a Failure of kind kSourceChanged "PATH changed while it was being read" when the size or
  // the modification time of the file differ from what they were.
  void RequireUnchanged(const File& source) const;
  // Runs `read` over the file, then checks it: a failure of the reading
  // (data that ends early) of a file that changed is said as the change.
  template <typename Read>
  void ReadWhole(const File& source, Read&& read) const {
    try {
      read();
    } catch (const std::runtime_error& e) {
      if (IsFailure(e, FailureKind::kCancelled)) throw;
      RequireUnchanged(source);
      throw;
    }
    RequireUnchanged(source);
  }

 private:
  std::int64_t size_ = 0;
  std::int64_t modified_ns_ = 0;
};

}  // namespace talvor

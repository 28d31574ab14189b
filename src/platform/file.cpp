#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/failure.h"

namespace talvor {

namespace {

// Reads up to n bytes at offset; retries interrupted and partial reads.
std::size_t PRead(int fd, std::uint8_t* data, std::size_t n, std::int64_t offset,
                  const std::string& path) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd, data + done, n - done, offset + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno, path);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void PWrite(int fd, const std::uint8_t* data, std::size_t n, std::int64_t offset,
            const std::string& path) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t put = ::pwrite(fd, data + done, n - done, offset + static_cast<off_t>(done));
    if (put < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno, path);
    }
    if (put == 0) RaiseIoError(io_code::kDiskFull, path);
    done += static_cast<std::size_t>(put);
  }
}

}  // namespace

File::File(UniqueFd fd, std::string path) : fd_(fd.release()), path_(std::move(path)) {
  const off_t end = ::lseek(fd_, 0, SEEK_END);
  disk_size_ = end < 0 ? 0 : end;
}

File::File(File&& other) noexcept {
  *this = std::move(other);
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    buffer_ = std::move(other.buffer_);
    base_ = std::exchange(other.base_, 0);
    cur_ = std::exchange(other.cur_, 0);
    valid_ = std::exchange(other.valid_, 0);
    dirty_lo_ = std::exchange(other.dirty_lo_, SIZE_MAX);
    dirty_hi_ = std::exchange(other.dirty_hi_, 0);
    disk_size_ = std::exchange(other.disk_size_, 0);
    write_behind_ = std::exchange(other.write_behind_, false);
    behind_from_ = std::exchange(other.behind_from_, -1);
    behind_to_ = std::exchange(other.behind_to_, 0);
  }
  return *this;
}

File::~File() {
  Release();
}

void File::Release() noexcept {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {  // NOLINT(bugprone-empty-catch): a destructor cannot report
  }
  ::close(fd_);
  fd_ = -1;
}

void File::RequireOpen() const {
  if (fd_ < 0) RaiseIoError(io_code::kFileNotOpen, path_);
}

void File::EnsureBuffer() {
  // valid_ says which bytes hold data: no need to clear them first.
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
}

std::int64_t File::Size() const noexcept {
  return std::max(disk_size_, base_ + static_cast<std::int64_t>(valid_));
}

void File::Flush() {
  RequireOpen();
  if (dirty_hi_ <= dirty_lo_) return;
  const std::size_t lo = dirty_lo_;
  const std::size_t hi = dirty_hi_;
  dirty_lo_ = SIZE_MAX;
  dirty_hi_ = 0;
  PWrite(fd_, buffer_.get() + lo, hi - lo, base_ + static_cast<std::int64_t>(lo), path_);
  disk_size_ = std::max(disk_size_, base_ + static_cast<std::int64_t>(hi));
  Written(base_ + static_cast<std::int64_t>(lo), base_ + static_cast<std::int64_t>(hi));
}

void File::Written(std::int64_t offset, std::int64_t end) noexcept {
  if (!write_behind_) return;
  // A new run starts where the bytes do not continue the last one.
  if (behind_from_ < 0 || offset != behind_to_) behind_from_ = offset;
  behind_to_ = end;
  constexpr std::int64_t kRun = 8 << 20;
  if (behind_to_ - behind_from_ < kRun) return;
  // Only a hint: the data's safety still rests on Sync.
  (void)::sync_file_range(fd_, behind_from_, behind_to_ - behind_from_, SYNC_FILE_RANGE_WRITE);
  behind_from_ = behind_to_;
}

void File::Rebase() {
  Flush();
  base_ += static_cast<std::int64_t>(cur_);
  cur_ = 0;
  valid_ = 0;
}

std::size_t File::Read(void* data, std::size_t n) {
  RequireOpen();
  auto* out = static_cast<std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < n) {
    if (cur_ < valid_) {
      const std::size_t k = std::min(n - done, valid_ - cur_);
      std::memcpy(out + done, buffer_.get() + cur_, k);
      cur_ += k;
      done += k;
      continue;
    }
    Rebase();
    if (n - done >= kBufferSize) {
      // Large reads bypass the buffer.
      const std::size_t got = PRead(fd_, out + done, n - done, base_, path_);
      base_ += static_cast<std::int64_t>(got);
      done += got;
      break;
    }
    EnsureBuffer();
    valid_ = PRead(fd_, buffer_.get(), kBufferSize, base_, path_);
    if (valid_ == 0) break;
  }
  return done;
}

void File::ReadExact(void* data, std::size_t n) {
  if (Read(data, n) != n) RaiseIoError(io_code::kReadBeyondEnd, path_);
}

int File::ReadByteSlow() {
  std::uint8_t b = 0;
  return Read(&b, 1) == 1 ? b : -1;
}

void File::Write(const void* data, std::size_t n) {
  RequireOpen();
  const auto* in = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < n) {
    // Bytes continue those already in the buffer; a large write at its
    // start bypasses it.
    if (buffer_ && cur_ < kBufferSize && (cur_ > 0 || n - done < kBufferSize)) {
      const std::size_t k = std::min(n - done, kBufferSize - cur_);
      std::memcpy(buffer_.get() + cur_, in + done, k);
      dirty_lo_ = std::min(dirty_lo_, cur_);
      dirty_hi_ = std::max(dirty_hi_, cur_ + k);
      cur_ += k;
      valid_ = std::max(valid_, cur_);
      done += k;
      continue;
    }
    Rebase();
    if (n - done >= kBufferSize) {
      // Large writes bypass the buffer.
      PWrite(fd_, in + done, n - done, base_, path_);
      Written(base_, base_ + static_cast<std::int64_t>(n - done));
      base_ += static_cast<std::int64_t>(n - done);
      disk_size_ = std::max(disk_size_, base_);
      break;
    }
    EnsureBuffer();
  }
}

void File::WriteByteSlow(std::uint8_t b) {
  Write(&b, 1);
}

void File::Seek(std::int64_t position) {
  RequireOpen();
  if (position < 0) RaiseIoError(io_code::kReadBeyondEnd, path_);
  if (position >= base_ && position <= base_ + static_cast<std::int64_t>(valid_)) {
    cur_ = static_cast<std::size_t>(position - base_);
    return;
  }
  Flush();
  base_ = position;
  cur_ = 0;
  valid_ = 0;
}

void File::Truncate() {
  RequireOpen();
  Flush();
  const std::int64_t at = Position();
  while (::ftruncate(fd_, at) != 0) {
    if (errno != EINTR) RaiseErrno(errno, path_);
  }
  disk_size_ = at;
  valid_ = cur_;
}

void File::Sync() {
  Flush();
  while (::fdatasync(fd_) != 0) {
    if (errno != EINTR) RaiseErrno(errno, path_);
  }
}

void File::ReleaseBuffer() {
  Flush();
  base_ += static_cast<std::int64_t>(cur_);
  cur_ = 0;
  valid_ = 0;
  buffer_.reset();
}

void File::Close() {
  RequireOpen();
  const int fd = fd_;
  try {
    Flush();
  } catch (...) {
    fd_ = -1;
    ::close(fd);
    throw;
  }
  fd_ = -1;
  buffer_.reset();
  if (::close(fd) != 0 && errno != EINTR) RaiseErrno(errno, path_);
}

namespace {

struct Snapshot {
  std::int64_t size;
  std::int64_t modified_ns;
};

Snapshot Take(const File& source) {
  struct stat st {};
  if (::fstat(source.Descriptor(), &st) != 0) RaiseErrno(errno, source.path());
  return {st.st_size,
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

SourceState::SourceState(const File& source) {
  const Snapshot now = Take(source);
  size_ = now.size;
  modified_ns_ = now.modified_ns;
}

void SourceState::RequireUnchanged(const File& source) const {
  const Snapshot now = Take(source);
  if (now.size != size_ || now.modified_ns != modified_ns_) {
    throw Failure::About(FailureKind::kSourceChanged, source.path(),
                         source.path() + " changed while it was being read");
  }
}

}  // namespace talvor

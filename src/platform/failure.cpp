#include "platform/failure.h"

#include <cerrno>
#include <cstring>

namespace talvor {

Failure::Failure(FailureKind kind, const std::string& words)
    : std::runtime_error(words), kind_(kind) {}

Failure Failure::About(FailureKind kind, std::string file, const std::string& words) {
  Failure failure(kind, words);
  failure.file_ = std::move(file);
  return failure;
}

Failure& Failure::WithCode(int code, int system_error) {
  code_ = code;
  system_error_ = system_error;
  return *this;
}

Failure& Failure::WithDetail(std::string detail) {
  detail_ = std::move(detail);
  return *this;
}

Failure& Failure::AsSaid() {
  as_said_ = true;
  return *this;
}

Failure& Failure::ForWholeRun() {
  whole_run_ = true;
  return *this;
}

std::string Failure::SystemText() const {
  if (system_error_ == 0) return IoErrorText(code_);
  return std::strerror(system_error_);
}

std::string IoErrorText(int code) {
  switch (code) {
    case io_code::kFileNotFound:
      return "File not found";
    case io_code::kInvalidFilename:
      return "Invalid filename";
    case io_code::kTooManyOpenFiles:
      return "Too many open files";
    case io_code::kAccessDenied:
      return "File access denied";
    case io_code::kReadBeyondEnd:
      return "Read beyond end of file";
    case io_code::kDiskFull:
      return "Disk full";
    case io_code::kFileNotAssigned:
      return "File not assigned";
    case io_code::kFileNotOpen:
      return "File not open";
    case io_code::kFileNotOpenForInput:
      return "File not open for input";
    case io_code::kFileNotOpenForOutput:
      return "File not open for output";
    case io_code::kInvalidNumericInput:
      return "Invalid numeric input";
    default:
      return "I/O error " + std::to_string(code);
  }
}

int IoCodeFromErrno(int err) noexcept {
  switch (err) {
    case ENOENT:
      return io_code::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EILSEQ:
      return io_code::kInvalidFilename;
    case EMFILE:
    case ENFILE:
      return io_code::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return io_code::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return io_code::kDiskFull;
    case EEXIST:
      return io_code::kAlreadyExists;
    case EXDEV:
      return io_code::kNotSameDevice;
    case ENOTEMPTY:
      return io_code::kDirectoryNotEmpty;
    case EBUSY:
      return io_code::kBusy;
    case EIO:
      return io_code::kDeviceError;
    case ELOOP:
      return io_code::kCannotResolveLink;
    default:
      return err;
  }
}

Failure CancelFailure() {
  return Failure(FailureKind::kCancelled, "Cancelled.");
}

bool IsFailure(const std::exception& e, FailureKind kind) noexcept {
  const auto* failure = dynamic_cast<const Failure*>(&e);
  return failure != nullptr && failure->kind() == kind;
}

Failure IoFailure(int code, int system_error, const std::string& path) {
  if (path.empty())
    return Failure(FailureKind::kIo, IoErrorText(code)).WithCode(code, system_error);
  return Failure::About(FailureKind::kIo, path, IoErrorText(code) + ": " + path)
      .WithCode(code, system_error);
}

void RaiseIoError(int code, const std::string& path) {
  throw IoFailure(code, 0, path);
}

void RaiseErrno(int err, const std::string& path) {
  throw IoFailure(IoCodeFromErrno(err), err, path);
}

std::string NotAnIntegerText(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

}  // namespace talvor

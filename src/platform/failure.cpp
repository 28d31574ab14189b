#include "platform/failure.h"

#include <cerrno>
#include <cstring>

namespace talvor {

IoError::IoError(int code, int system_error, std::string path)
    : Failure(path.empty() ? IoErrorText(code) : IoErrorText(code) + ": " + path),
      code_(code),
      system_error_(system_error),
      path_(std::move(path)) {}

std::string IoError::SystemText() const {
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

void RaiseIoError(int code, const std::string& path) {
  throw IoError(code, 0, path);
}

void RaiseErrno(int err, const std::string& path) {
  throw IoError(IoCodeFromErrno(err), err, path);
}

std::string NotAnIntegerText(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

}  // namespace talvor

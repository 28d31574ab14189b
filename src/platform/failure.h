// Failures raised by commands. Every failure carries the text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace talvor {

// A command failed while doing its work (a file could not be read, written, ...).
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The input was refused before anything was changed (a name that cannot be
// recorded, a pass phrase that cannot be used, ...).
class RefusedInput : public Failure {
 public:
  using Failure::Failure;
};

// A file-layer failure with its numeric code and, where known, the file it
// concerns ("File not found: /home/ann/notes.txt", "I/O error 32").
class IoError : public Failure {
 public:
  // `system_error` is the platform's error number behind the code, 0 when
  // there is none; `path` the file or folder concerned, empty when unknown.
  explicit IoError(int code, int system_error = 0, std::string path = {});
  [[nodiscard]] int code() const noexcept { return code_; }
  [[nodiscard]] int system_error() const noexcept { return system_error_; }
  [[nodiscard]] const std::string& path() const noexcept { return path_; }
  // The platform's own wording of the failure ("No such file or directory").
  [[nodiscard]] std::string SystemText() const;

 private:
  int code_;
  int system_error_;
  std::string path_;
};

// Codes of the file layer, as the run-time library numbers them.
namespace io_code {
inline constexpr int kFileNotFound = 2;
inline constexpr int kInvalidFilename = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kNotSameDevice = 17;
inline constexpr int kReadBeyondEnd = 100;
inline constexpr int kDiskFull = 101;
inline constexpr int kFileNotAssigned = 102;
inline constexpr int kFileNotOpen = 103;
inline constexpr int kFileNotOpenForInput = 104;
inline constexpr int kFileNotOpenForOutput = 105;
inline constexpr int kInvalidNumericInput = 106;
inline constexpr int kDirectoryNotEmpty = 145;
inline constexpr int kBusy = 170;
inline constexpr int kAlreadyExists = 183;
inline constexpr int kDeviceError = 1117;
inline constexpr int kCannotResolveLink = 1921;
}  // namespace io_code

// The message of a file-layer code: "File not found", ..., "I/O error %d".
[[nodiscard]] std::string IoErrorText(int code);

// Maps a POSIX error number onto the file layer's codes, so that the messages
// are the same on every platform.
[[nodiscard]] int IoCodeFromErrno(int err) noexcept;

[[noreturn]] void RaiseIoError(int code, const std::string& path = {});
[[noreturn]] void RaiseErrno(int err, const std::string& path = {});

// "'%s' is not a valid integer value"
[[nodiscard]] std::string NotAnIntegerText(const std::string& text);

}  // namespace talvor

// Failures, one type for the whole program. Every failure carries the words
// the user reads, its kind, and where it has them the file it concerns and
// the numeric codes behind it. Each front end turns a Failure into what the
// user sees in one place: talvor in cli.cpp, the windows in RunGuarded.
#pragma once

#include <stdexcept>
#include <string>

namespace talvor {

enum class FailureKind {
  kRefused,           // input refused before anything was changed
  kWrongUsage,        // talvor was called the wrong way (told with its usage text)
  kIo,                // the file layer failed: code() and system_error() say how
  kArchive,           // the archive engine failed: code() is its error code
  kDamaged,           // the data is not what its format says
  kWrongPassphrase,   // a final block that no right pass phrase produces
  kSourceChanged,     // another program changed a source while it was read
  kTargetChanged,     // another program changed the file a result was to replace
  kTrashUnavailable,  // no trash can take a file (it stays where it was)
  kCancelled,         // the user cancelled the work
};

class Failure : public std::runtime_error {
 public:
  // `words` are what the user reads (what()); they name no file.
  Failure(FailureKind kind, const std::string& words);
  // Words that the raiser composed naming `file`, the file they concern.
  [[nodiscard]] static Failure About(FailureKind kind, std::string file, const std::string& words);

  // The code of the file layer (io_code) or of the archive engine
  // (archive_error), and the platform's error number behind it; 0 for none.
  Failure& WithCode(int code, int system_error = 0);
  // What the archive engine says beyond its code ("the file is empty").
  Failure& WithDetail(std::string detail);
  // The words are a whole message, shown exactly as they are (as a plain
  // message box shows them), not as an error line.
  Failure& AsSaid();
  // The failure ends every file of the run, not just the one it was met on
  // (a pass phrase that cannot be used).
  Failure& ForWholeRun();

  [[nodiscard]] FailureKind kind() const noexcept { return kind_; }
  // The file that what() names; empty when the words name none.
  [[nodiscard]] const std::string& file() const noexcept { return file_; }
  [[nodiscard]] int code() const noexcept { return code_; }
  [[nodiscard]] int system_error() const noexcept { return system_error_; }
  [[nodiscard]] const std::string& detail() const noexcept { return detail_; }
  [[nodiscard]] bool as_said() const noexcept { return as_said_; }
  [[nodiscard]] bool whole_run() const noexcept { return whole_run_; }
  // The platform's own wording of a file-layer failure ("No such file or
  // directory"), or the file layer's when there is no error number.
  [[nodiscard]] std::string SystemText() const;

 private:
  FailureKind kind_;
  std::string file_;
  int code_ = 0;
  int system_error_ = 0;
  std::string detail_;
  bool as_said_ = false;
  bool whole_run_ = false;
};

// The user cancelled the work ("Cancelled."). Raised where the work is
// counted, so that the command unwinds from there: its temporary and partial
// files go, its source and any earlier result stay as they were.
[[nodiscard]] Failure CancelFailure();

// True when `e` is a Failure of `kind`.
[[nodiscard]] bool IsFailure(const std::exception& e, FailureKind kind) noexcept;

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

// A file-layer failure: "File not found: /home/ann/notes.txt", "I/O error 32";
// `system_error` is the platform's error number behind `code`, 0 when there
// is none; `path` the file or folder concerned, empty when unknown.
[[nodiscard]] Failure IoFailure(int code, int system_error = 0, const std::string& path = {});
[[noreturn]] void RaiseIoError(int code, const std::string& path = {});
[[noreturn]] void RaiseErrno(int err, const std::string& path = {});

// "'%s' is not a valid integer value"
[[nodiscard]] std::string NotAnIntegerText(const std::string& text);

}  // namespace talvor

// The progress line talvor writes on standard error while a long command
// runs, when standard error is a terminal:
//   talvor: Encrypting report.txt (BLOWFISH): 42 % (13.1 of 31.2 MiB), about 3 s left
// (the share of the whole work, applied to the file's size).
// It appears only once the work has taken half a second (counted from the
// first report, after any question on the terminal), is rewritten in place,
// and is cleared when the work is done or the command ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "platform/file_system.h"
#include "platform/progress_window.h"

namespace talvor {

class ProgressLine {
 public:
  using Now = std::function<std::chrono::steady_clock::time_point()>;

  ProgressLine(std::ostream& out, std::string title, std::uint64_t size,
               Now now = std::chrono::steady_clock::now);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine();

  // A progress report: bytes done of bytes total.
  void Report(std::uint64_t done, std::uint64_t total);

 private:
  std::ostream& out_;
  std::string name_;
  std::uint64_t size_;
  Now now_;
  std::chrono::steady_clock::time_point start_;
  bool started_ = false;
  bool shown_ = false;
  int last_percent_ = -1;
};

// The progress window of talvor on a terminal: a progress line for each
// command's work (Ctrl+C and SIGTERM cancel it through talvor's token).
class TerminalProgress final : public ProgressWindow {
 public:
  TerminalProgress(std::ostream& out, FileSystem& fs) : out_(out), fs_(fs) {}

  void Open(const std::string& title, const std::string& file, CancelToken* cancel) override;
  void Update(std::uint64_t done, std::uint64_t total) override;
  void Close() override { line_.reset(); }

 private:
  std::ostream& out_;
  FileSystem& fs_;
  std::optional<ProgressLine> line_;
};

}  // namespace talvor

// Where the commands ask, refuse and report when talvor runs them: the
// terminal and standard error.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/progress_line.h"
#include "commands/command_host.h"

namespace talvor {

// A path as one line of output can hold it: as it is, or, where it holds a
// control character (a line break in a name), quoted as ls(1) quotes for
// the shell: 'a'$'\n''b'.
[[nodiscard]] std::string LineSafePath(const std::string& path);

class ConsoleHost final : public CommandHost {
 public:
  // `progress`: where the progress goes instead of the terminal's line.
  ConsoleHost(Console& console, FileSystem& fs, bool yes, ProgressWindow* progress = nullptr)
      : console_(console), progress_(console.err(), fs), chosen_progress_(progress), yes_(yes) {}

  // Answered yes by --yes; otherwise asked on the terminal, without which
  // the command refuses. The warning is a line of its own, --yes or not.
  bool Confirm(const std::string& question, const std::string& warning) override;
  void ReportArchiveErrors(const std::vector<ArchiveError>& errors) override;
  void Replaced(const std::string& path) noexcept override;
  // A progress line on a terminal (or the window given).
  ProgressWindow* progress() override;

  // With several files, each line about one of them starts with its name.
  void SetSubject(const std::string& file) {
    subject_ = file.empty() ? "" : LineSafePath(file) + ": ";
  }
  // Standard error, at the start of a line about the current file.
  [[nodiscard]] std::ostream& Line();

 private:
  Console& console_;
  TerminalProgress progress_;
  ProgressWindow* chosen_progress_;
  bool yes_;
  std::string subject_;
};

}  // namespace talvor

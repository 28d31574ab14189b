// What a command needs from the front end that runs it: answers to its
// questions, a place for the archive engine's reports, and a window for the
// progress of its work. What it refuses or fails at, it raises.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_component.h"
#include "platform/progress.h"
#include "platform/progress_window.h"

namespace talvor {

class CommandHost {
 public:
  virtual ~CommandHost() = default;
  // A yes/no question ("\r" breaks its lines); true for yes. A `warning`
  // (one sentence, or empty) goes with it: what the user should know first.
  [[nodiscard]] virtual bool Confirm(const std::string& question, const std::string& warning) = 0;
  // The failures the archive engine reported during one command, once its
  // work is done (never empty).
  virtual void ReportArchiveErrors(const std::vector<ArchiveError>& errors) = 0;
  // A file that a result replaced: it is in the trash now.
  virtual void Replaced(const std::string& path) noexcept = 0;
  // Where the progress of the work is shown; nullptr for nowhere.
  [[nodiscard]] virtual ProgressWindow* progress() = 0;
};

// The Job of one command: its progress shown in the host's progress window
// under `title` on `file` while it lives (no title: not shown), and the
// files its results replaced told to the host when it goes, however the
// command ended. `cancel` stops the work (none: it may not be stopped).
class CommandJob {
 public:
  CommandJob(CommandHost& host, CancelToken* cancel, const std::string& title = {},
             const std::string& file = {});
  CommandJob(const CommandJob&) = delete;
  CommandJob& operator=(const CommandJob&) = delete;
  ~CommandJob();

  [[nodiscard]] Job& job() noexcept { return job_; }

 private:
  CommandHost& host_;
  ProgressWindow* window_;
  Job job_;
};

}  // namespace talvor

// What a command needs from the front end that runs it: answers to its
// questions, a place for its refusals and for the archive engine's reports,
// and a window for the progress of its work.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_component.h"
#include "platform/progress_window.h"
#include "platform/replacing_file.h"

namespace talvor {

class CommandHost {
 public:
  virtual ~CommandHost() = default;
  // A yes/no question ("\r" breaks its lines); true for yes. A `warning`
  // (one sentence, or empty) goes with it: what the user should know first.
  [[nodiscard]] virtual bool Confirm(const std::string& question, const std::string& warning) = 0;
  // Input refused before anything was changed, in the program's own words.
  virtual void Refuse(const std::string& message) = 0;
  // The failures the archive engine reported during one command, once its
  // work is done (never empty).
  virtual void ReportArchiveErrors(const std::vector<ArchiveError>& errors) = 0;
  // A file that a result replaced: it is in the trash now.
  virtual void Replaced(const std::string& path) noexcept = 0;
  // Where the progress of the work is shown; nullptr for nowhere.
  [[nodiscard]] virtual ProgressWindow* progress() = 0;
  // Lets the front end handle what is pending (repaints) while the archive
  // engine works.
  virtual void ProcessMessages() {}
};

// Tells the host, when it goes, which files the results of one command
// replaced, however the command ended.
class ReplacementReport {
 public:
  explicit ReplacementReport(CommandHost& host) : host_(host) {}
  ReplacementReport(const ReplacementReport&) = delete;
  ReplacementReport& operator=(const ReplacementReport&) = delete;
  ~ReplacementReport() {
    for (const std::string& file : log_.files()) host_.Replaced(file);
  }

 private:
  CommandHost& host_;
  ReplacementLog log_;
};

}  // namespace talvor

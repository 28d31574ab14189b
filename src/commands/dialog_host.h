// The command host of the windows: questions and refusals in message boxes,
// the archive engine's reports in one error box, progress in the progress
// window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "platform/dialogs.h"

namespace talvor {

class DialogCommandHost final : public CommandHost {
 public:
  explicit DialogCommandHost(Dialogs& dialogs) : dialogs_(dialogs) {}

  void AttachProgressWindow(ProgressWindow& window) { progress_ = &window; }
  // What lets the windows repaint while the archive engine works.
  void SetProcessMessages(std::function<void()> process) { process_ = std::move(process); }

  bool Confirm(const std::string& question, const std::string& warning) override;
  void Refuse(const std::string& message) override;
  void ReportArchiveErrors(const std::vector<ArchiveError>& errors) override;
  // The windows replace as they always have; the old file waits in the
  // trash without a word.
  void Replaced(const std::string&) noexcept override {}
  ProgressWindow* progress() override { return progress_; }
  void ProcessMessages() override;

 private:
  Dialogs& dialogs_;
  ProgressWindow* progress_ = nullptr;
  std::function<void()> process_;
};

}  // namespace talvor

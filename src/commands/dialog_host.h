// The command host of the windows: questions and refusals in message boxes,
// the archive engine's reports in one error box, progress in the progress
// window. The command runs on the windows' worker; each of these is handed
// to the window's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/worker.h"
#include "platform/dialogs.h"

namespace talvor {

// A progress window on the window's thread, fed from the worker: the
// window opens and closes in step with the command, and of the reports that
// come faster than the window takes them only the latest is shown.
class HandedProgressWindow final : public ProgressWindow {
 public:
  HandedProgressWindow(ProgressWindow& window, Worker& worker) : window_(window), worker_(worker) {}

  void Open(const std::string& title, const std::string& file, CancelToken* cancel) override;
  void Update(std::uint64_t done, std::uint64_t total) override;
  void Close() override;

 private:
  ProgressWindow& window_;
  Worker& worker_;
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> pending_{false};
};

class DialogCommandHost final : public CommandHost {
 public:
  DialogCommandHost(Dialogs& dialogs, Worker& worker) : dialogs_(dialogs), worker_(worker) {}

  void AttachProgressWindow(ProgressWindow& window) { progress_.emplace(window, worker_); }

  bool Confirm(const std::string& question, const std::string& warning) override;
  void ReportArchiveErrors(const std::vector<ArchiveError>& errors) override;
  // The windows replace as they always have; the old file waits in the
  // trash without a word.
  void Replaced(const std::string&) noexcept override {}
  ProgressWindow* progress() override { return progress_ ? &*progress_ : nullptr; }

 private:
  Dialogs& dialogs_;
  Worker& worker_;
  std::optional<HandedProgressWindow> progress_;
};

}  // namespace talvor

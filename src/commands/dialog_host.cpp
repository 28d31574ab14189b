#include "commands/dialog_host.h"

namespace talvor {

void HandedProgressWindow::Open(const std::string& title, const std::string& file,
                                CancelToken* cancel) {
  worker_.OnWindowThread([&] { window_.Open(title, file, cancel); });
}

void HandedProgressWindow::Update(std::uint64_t done, std::uint64_t total) {
  done_.store(done, std::memory_order_relaxed);
  total_.store(total, std::memory_order_relaxed);
  if (pending_.exchange(true)) return;  // the window has yet to take the last one
  worker_.PostToWindowThread([this] {
    pending_.store(false);
    window_.Update(done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed));
  });
}

void HandedProgressWindow::Close() {
  worker_.OnWindowThread([&] { window_.Close(); });
}

bool DialogCommandHost::Confirm(const std::string& question, const std::string& warning) {
  bool yes = false;
  worker_.OnWindowThread([&] {
    yes = dialogs_.AskYesNo(warning.empty() ? question : question + "\r" + warning) == Answer::kYes;
  });
  return yes;
}

void DialogCommandHost::ReportArchiveErrors(const std::vector<ArchiveError>& errors) {
  std::string text;
  for (const ArchiveError& e : errors) text += (text.empty() ? "" : "\n") + ArchiveErrorLine(e);
  worker_.OnWindowThread([&] { dialogs_.ShowError(ErrorDisplayText(text)); });
}

}  // namespace talvor

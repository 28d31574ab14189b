#include "commands/dialog_host.h"

namespace talvor {

bool DialogCommandHost::Confirm(const std::string& question, const std::string& warning) {
  return dialogs_.AskYesNo(warning.empty() ? question : question + "\r" + warning) == Answer::kYes;
}

void DialogCommandHost::Refuse(const std::string& message) {
  dialogs_.ShowMessage(message);
}

void DialogCommandHost::ReportArchiveErrors(const std::vector<ArchiveError>& errors) {
  std::string text;
  for (const ArchiveError& e : errors) text += (text.empty() ? "" : "\n") + ArchiveErrorLine(e);
  dialogs_.ShowError(ErrorDisplayText(text));
}

void DialogCommandHost::ProcessMessages() {
  if (process_) process_();
}

}  // namespace talvor

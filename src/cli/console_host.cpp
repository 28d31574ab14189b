#include "cli/console_host.h"

#include "archive/archive_component.h"

namespace talvor {

std::ostream& ConsoleHost::Line() {
  return console_.err() << subject_;
}

bool ConsoleHost::Confirm(const std::string& question, const std::string& warning) {
  if (!warning.empty()) Line() << "Warning: " << warning << '\n';
  if (yes_) return true;
  std::string text = question;
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  const std::optional<bool> answer = console_.AskYesNo(text);
  if (!answer) {
    Line() << "This command asks a question first: answer it on a terminal, or give --yes\n";
    return false;
  }
  return *answer;
}

void ConsoleHost::Refuse(const std::string& message) {
  Line() << message << '\n';
}

void ConsoleHost::ReportArchiveErrors(const std::vector<ArchiveError>& errors) {
  for (const ArchiveError& e : errors) {
    Line() << "Error " << e.code << ": " << ArchiveErrorLine(e) << '\n';
  }
}

void ConsoleHost::Replaced(const std::string& path) noexcept {
  console_.err() << path << " replaced; the previous file is in the trash\n";
}

ProgressWindow* ConsoleHost::progress() {
  return console_.ErrorIsTerminal() ? &progress_ : nullptr;
}

}  // namespace talvor

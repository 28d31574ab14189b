#include "cli/console_host.h"

#include <algorithm>
#include <cstdio>

#include "archive/archive_component.h"

namespace talvor {

namespace {

bool IsControl(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

}  // namespace

std::string LineSafePath(const std::string& path) {
  if (std::none_of(path.begin(), path.end(), IsControl)) return path;
  std::string quoted;
  for (std::size_t i = 0; i < path.size();) {
    const bool control = IsControl(path[i]);
    quoted += control ? "$'" : "'";
    for (; i < path.size() && IsControl(path[i]) == control; ++i) {
      const char c = path[i];
      if (!control) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      } else if (c == '\n') {
        quoted += "\\n";
      } else if (c == '\t') {
        quoted += "\\t";
      } else if (c == '\r') {
        quoted += "\\r";
      } else {
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
        quoted += octal;
      }
    }
    quoted += '\'';
  }
  return quoted;
}

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

void ConsoleHost::ReportArchiveErrors(const std::vector<ArchiveError>& errors) {
  for (const ArchiveError& e : errors) {
    Line() << "Error " << e.code << ": " << ArchiveErrorLine(e) << '\n';
  }
}

void ConsoleHost::Replaced(const std::string& path) noexcept {
  console_.err() << LineSafePath(path) << " replaced; the previous file is in the trash\n";
}

ProgressWindow* ConsoleHost::progress() {
  if (chosen_progress_ != nullptr) return chosen_progress_;
  return console_.ErrorIsTerminal() ? &progress_ : nullptr;
}

}  // namespace talvor

// The terminal the command-line companion talks through.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/secret.h"

namespace talvor {

class Console {
 public:
  virtual ~Console() = default;
  [[nodiscard]] virtual std::istream& in() = 0;
  [[nodiscard]] virtual std::ostream& out() = 0;
  [[nodiscard]] virtual std::ostream& err() = 0;
  // Whether there is a terminal to ask on.
  [[nodiscard]] virtual bool HasTerminal() = 0;
  // Asks on the terminal for a line (a pass phrase) without echoing it;
  // nullopt when the input ends first (Ctrl+D) or there is no terminal.
  [[nodiscard]] virtual std::optional<Secret> ReadHidden(const std::string& prompt) = 0;
  // Asks a yes/no question on the terminal; nullopt when there is none.
  [[nodiscard]] virtual std::optional<bool> AskYesNo(const std::string& question) = 0;
  // Whether err() goes to a terminal (a progress line can then be shown).
  [[nodiscard]] virtual bool ErrorIsTerminal() const { return false; }
};

// Standard input, output and error, and the controlling terminal (/dev/tty).
class ProcessConsole final : public Console {
 public:
  std::istream& in() override;
  std::ostream& out() override;
  std::ostream& err() override;
  bool HasTerminal() override;
  std::optional<Secret> ReadHidden(const std::string& prompt) override;
  std::optional<bool> AskYesNo(const std::string& question) override;
  bool ErrorIsTerminal() const override;
};

}  // namespace talvor

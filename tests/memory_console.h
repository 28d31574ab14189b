// A console whose standard input is a given text and whose output and
// error streams are kept in memory; no terminal.
#pragma once

#include <optional>
#include <sstream>
#include <string>

#include "cli/console.h"

namespace talvor::testing {

class MemoryConsole final : public Console {
 public:
  explicit MemoryConsole(const std::string& input) : in_(input) {}
  std::istream& in() override { return in_; }
  std::ostream& out() override { return out_; }
  std::ostream& err() override { return err_; }
  bool HasTerminal() override { return false; }
  std::optional<Secret> ReadHidden(const std::string&) override { return std::nullopt; }
  std::optional<bool> AskYesNo(const std::string&) override { return std::nullopt; }
  std::istringstream in_;
  std::ostringstream out_, err_;
};

}  // namespace talvor::testing

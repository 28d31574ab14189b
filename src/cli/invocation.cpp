#include "cli/invocation.h"

#include <optional>

#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

const char kUsage[] =
    "Usage:\n"
    "  talvor encrypt --method trap|orm|blowfish|rijndael|random [--passphrase-file FILE|-] "
    "FILE...\n"
    "  talvor decrypt [--method M] [--passphrase-file FILE|-] FILE...\n"
    "  talvor destroy [--yes] FILE...\n"
    "  talvor pack --format cab|lha|zip|bh [--yes] FILE...\n"
    "  talvor unpack [--to DIR] ARCHIVE...\n"
    "  talvor list ARCHIVE...\n"
    "  talvor test [--passphrase-file FILE|-] FILE...\n"
    "  talvor --help | --version\n";

const char kHelp[] =
    "\n"
    "Protects files as the ZEM Talvor windows do, one after the other, and\n"
    "writes each result beside its file.\n"
    "\n"
    "  encrypt   encrypt FILE with a method; the result keeps the base name and\n"
    "            gets the method's extension (.trp .orm .blf .rnl .erh)\n"
    "  decrypt   decrypt FILE; the method follows from its extension (letter\n"
    "            case counts), or is given with --method\n"
    "  destroy   overwrite FILE in seven passes and delete it\n"
    "  pack      pack FILE into an archive beside it\n"
    "  unpack    unpack every entry of ARCHIVE into its folder, or into DIR\n"
    "  list      list the entries of ARCHIVE\n"
    "  test      read ARCHIVE to its end and check every entry, writing nothing;\n"
    "            for a protected file, check that the pass phrase opens it\n"
    "\n"
    "The pass phrase is the first line of --passphrase-file (- reads standard\n"
    "input), or is asked for twice on the terminal. It needs at least 14\n"
    "characters (for encrypting, besides the blanks at its start and end);\n"
    "letters count as capitals.\n"
    "Questions (destroy, overwrite an archive) are asked on the terminal or\n"
    "answered yes with --yes.\n"
    "\n"
    "A result that replaces a file of its name sends that file to the desktop's\n"
    "trash (one line on standard error says so). Ctrl+C cancels a command:\n"
    "nothing it started is left behind, and its source stays as it was.\n"
    "\n"
    "Several files: the pass phrase is asked once, each file gets its own line,\n"
    "one failure does not stop the others, and the exit status is the worst of\n"
    "them. -- ends the options (for a file named -x).\n"
    "\n"
    "Exit status: 0 done, 1 the operation failed, 2 wrong usage or refused input,\n"
    "130 or 143 cancelled by Ctrl+C (SIGINT) or SIGTERM.\n";

namespace {

// Options each command takes; true when the option carries a value.
const std::map<std::string, std::map<std::string, bool>>& CommandOptions() {
  static const std::map<std::string, std::map<std::string, bool>> table = {
      {"encrypt", {{"--method", true}, {"--passphrase-file", true}}},
      {"decrypt", {{"--method", true}, {"--passphrase-file", true}}},
      {"destroy", {{"--yes", false}}},
      {"pack", {{"--format", true}, {"--yes", false}}},
      {"unpack", {{"--to", true}}},
      {"list", {}},
      {"test", {{"--passphrase-file", true}}},
  };
  return table;
}

}  // namespace

Invocation Parse(const std::vector<std::string>& args) {
  Invocation inv;
  inv.command = args.front();
  const auto table_it = CommandOptions().find(inv.command);
  if (table_it == CommandOptions().end())
    throw Failure(FailureKind::kWrongUsage, "unknown command \"" + inv.command + "\"");
  const auto& allowed = table_it->second;
  bool options_done = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg == "-" || arg.rfind("--", 0) != 0) {
      if (!options_done && arg.size() > 1 && arg[0] == '-' && arg != "-") {
        throw Failure(FailureKind::kWrongUsage, "unknown option \"" + arg + "\"");
      }
      inv.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    const auto opt = allowed.find(name);
    if (opt == allowed.end())
      throw Failure(FailureKind::kWrongUsage, inv.command + " takes no option \"" + name + "\"");
    if (inv.options.count(name) != 0)
      throw Failure(FailureKind::kWrongUsage, "\"" + name + "\" given twice");
    if (opt->second) {
      if (!value) {
        if (i + 1 >= args.size())
          throw Failure(FailureKind::kWrongUsage, "\"" + name + "\" needs a value");
        value = args[++i];
      }
      if (value->empty())
        throw Failure(FailureKind::kWrongUsage, "\"" + name + "\" is given an empty value");
      inv.options[name] = *value;
    } else {
      if (value) throw Failure(FailureKind::kWrongUsage, "\"" + name + "\" takes no value");
      inv.options[name] = "";
    }
  }
  for (const std::string& o : inv.operands) {
    if (o.empty()) throw Failure(FailureKind::kWrongUsage, "an empty file name");
  }
  if (inv.operands.empty()) throw Failure(FailureKind::kWrongUsage, "no file given");
  return inv;
}

Invocation ResolvePaths(Invocation inv, const std::string& current) {
  for (std::string& operand : inv.operands) operand = AbsolutePath(operand, current);
  for (const char* option : {"--passphrase-file", "--to"}) {
    const auto it = inv.options.find(option);
    const bool standard_input =
        it != inv.options.end() && it->first == "--passphrase-file" && it->second == "-";
    if (it != inv.options.end() && !standard_input) {
      it->second = AbsolutePath(it->second, current);
    }
  }
  return inv;
}

}  // namespace talvor

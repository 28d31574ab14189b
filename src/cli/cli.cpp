#include "cli/cli.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>

#include "archive/archive_kinds.h"
#include "cli/progress_line.h"
#include "commands/commands.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/failure.h"
#include "platform/interrupt.h"
#include "platform/path.h"
#include "platform/random_generator.h"
#include "platform/secret.h"
#include "platform/text.h"
#include "protect/methods.h"
#include "protect/passphrase.h"

namespace talvor {

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  talvor encrypt --method trap|orm|blowfish|rijndael|random [--passphrase-file FILE|-] FILE\n"
    "  talvor decrypt [--method M] [--passphrase-file FILE|-] FILE\n"
    "  talvor destroy [--yes] FILE\n"
    "  talvor pack --format cab|lha|zip|bh [--yes] FILE\n"
    "  talvor unpack [--to DIR] ARCHIVE\n"
    "  talvor list ARCHIVE\n"
    "  talvor --help | --version\n";

constexpr char kHelp[] =
    "\n"
    "Protects one file at a time, as the ZEM Talvor windows do, and writes the\n"
    "result beside it.\n"
    "\n"
    "  encrypt   encrypt FILE with a method; the result keeps the base name and\n"
    "            gets the method's extension (.trp .orm .blf .rnl .erh)\n"
    "  decrypt   decrypt FILE; the method follows from its extension (letter\n"
    "            case counts), or is given with --method\n"
    "  destroy   overwrite FILE in seven passes and delete it\n"
    "  pack      pack FILE into an archive beside it\n"
    "  unpack    unpack every entry of ARCHIVE into its folder, or into DIR\n"
    "  list      list the entries of ARCHIVE\n"
    "\n"
    "The pass phrase is the first line of --passphrase-file (- reads standard\n"
    "input), or is asked for twice on the terminal. It needs at least 14\n"
    "characters; letters count as capitals.\n"
    "Questions (destroy, overwrite an archive) are asked on the terminal or\n"
    "answered yes with --yes.\n"
    "\n"
    "A result that replaces a file of its name sends that file to the desktop's\n"
    "trash (one line on standard error says so). Ctrl+C cancels a command:\n"
    "nothing it started is left behind, and its source stays as it was.\n"
    "\n"
    "Exit status: 0 done, 1 the operation failed, 2 wrong usage or refused input,\n"
    "130 or 143 cancelled by Ctrl+C (SIGINT) or SIGTERM.\n";

// Wrong usage: reported with the usage text.
struct UsageError {
  std::string message;
};

// Input refused with the system's own message (exit status 2).
struct Refusal {
  std::string message;
};

struct Invocation {
  std::string command;
  std::map<std::string, std::string> options;  // "--method" -> "trap"; flags -> ""
  std::vector<std::string> operands;
};

// Options each command takes; true when the option carries a value.
const std::map<std::string, std::map<std::string, bool>>& CommandOptions() {
  static const std::map<std::string, std::map<std::string, bool>> table = {
      {"encrypt", {{"--method", true}, {"--passphrase-file", true}}},
      {"decrypt", {{"--method", true}, {"--passphrase-file", true}}},
      {"destroy", {{"--yes", false}}},
      {"pack", {{"--format", true}, {"--yes", false}}},
      {"unpack", {{"--to", true}}},
      {"list", {}},
  };
  return table;
}

Invocation Parse(const std::vector<std::string>& args) {
  Invocation inv;
  inv.command = args.front();
  const auto table_it = CommandOptions().find(inv.command);
  if (table_it == CommandOptions().end())
    throw UsageError{"unknown command \"" + inv.command + "\""};
  const auto& allowed = table_it->second;
  bool options_done = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg == "-" || arg.rfind("--", 0) != 0) {
      if (!options_done && arg.size() > 1 && arg[0] == '-' && arg != "-") {
        throw UsageError{"unknown option \"" + arg + "\""};
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
    if (opt == allowed.end()) throw UsageError{inv.command + " takes no option \"" + name + "\""};
    if (inv.options.count(name) != 0) throw UsageError{"\"" + name + "\" given twice"};
    if (opt->second) {
      if (!value) {
        if (i + 1 >= args.size()) throw UsageError{"\"" + name + "\" needs a value"};
        value = args[++i];
      }
      inv.options[name] = *value;
    } else {
      if (value) throw UsageError{"\"" + name + "\" takes no value"};
      inv.options[name] = "";
    }
  }
  for (const std::string& o : inv.operands) {
    if (o.empty()) throw UsageError{"an empty file name"};
  }
  if (inv.operands.size() != 1) {
    throw UsageError{inv.operands.empty() ? "no file given" : "one file at a time, please"};
  }
  return inv;
}

// Every path the user gave, taken against the folder the user is in,
// before any command enters another folder.
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

// Where the commands ask, refuse and report: the terminal.
class ConsoleHost final : public CommandHost {
 public:
  ConsoleHost(Console& console, FileSystem& fs, bool yes)
      : console_(console), progress_(console.err(), fs), yes_(yes) {}

  // Answered yes by --yes; otherwise asked on the terminal, without which
  // the command refuses. The warning is a line of its own, --yes or not.
  bool Confirm(const std::string& question, const std::string& warning) override {
    if (!warning.empty()) console_.err() << "Warning: " << warning << '\n';
    if (yes_) return true;
    std::string text = question;
    for (char& c : text) {
      if (c == '\r') c = '\n';
    }
    const std::optional<bool> answer = console_.AskYesNo(text);
    if (!answer) {
      console_.err()
          << "This command asks a question first: answer it on a terminal, or give --yes\n";
      return false;
    }
    return *answer;
  }
  // Shown as the windows show a plain message.
  void Refuse(const std::string& message) override { console_.err() << message << '\n'; }
  void ReportArchiveErrors(const std::vector<ArchiveError>& errors) override {
    for (const ArchiveError& e : errors) {
      console_.err() << "Error " << e.code << ": " << ArchiveErrorLine(e) << '\n';
    }
  }
  void Replaced(const std::string& path) noexcept override {
    console_.err() << path << " replaced; the previous file is in the trash\n";
  }
  // A progress line on a terminal.
  ProgressWindow* progress() override { return console_.ErrorIsTerminal() ? &progress_ : nullptr; }

 private:
  Console& console_;
  TerminalProgress progress_;
  bool yes_;
};

// What one run of talvor works with.
struct Session {
  Session(const Invocation& request, Console& terminal, FileSystem& file_system)
      : inv(request),
        console(terminal),
        fs(file_system),
        host(terminal, file_system, request.options.count("--yes") != 0),
        commands(file_system, random, clock, host) {}

  const Invocation& inv;
  Console& console;
  FileSystem& fs;
  SystemClock clock;
  RandomGenerator random;
  ConsoleHost host;
  Commands commands;
};

int ExitStatus(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return exit_status::kSuccess;
    case Outcome::kFailed:
      return exit_status::kFailed;
    case Outcome::kDeclined:
    case Outcome::kRefused:
      break;
  }
  return exit_status::kRefused;
}

// "a, b, c or d"
std::string Alternatives(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return text;
}

// The first line of a pass-phrase file ("-" for standard input), without
// its line end.
Secret FirstLineOf(const std::string& source, Console& console) {
  std::ifstream file;
  std::istream* in = &console.in();
  if (source != "-") {
    file.open(source, std::ios::binary);
    if (!file) throw Failure("Cannot read the pass phrase file \"" + source + "\"");
    in = &file;
  }
  Secret line;
  for (int c = in->get(); c != std::char_traits<char>::eof() && c != '\n'; c = in->get()) {
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.view().back() == '\r') {
    Secret shorter(line.view().substr(0, line.size() - 1));
    line = std::move(shorter);
  }
  return line;
}

// The pass phrase as the password window would hand it on: from the file, or
// typed twice on the terminal; checked in the window's order.
Secret ObtainPassphrase(const Invocation& inv, Console& console) {
  Secret first;
  Secret second;
  if (const auto it = inv.options.find("--passphrase-file"); it != inv.options.end()) {
    first = FirstLineOf(it->second, console);
    second = first.Copy();
  } else {
    if (!console.HasTerminal()) {
      throw Refusal{
          "No terminal to ask for the password on: give it with --passphrase-file FILE (- for "
          "standard input)"};
    }
    std::optional<Secret> typed = console.ReadHidden("Password: ");
    if (!typed) throw Refusal{"No password was given: the input ended before it was typed"};
    first = std::move(*typed);
    std::optional<Secret> again = console.ReadHidden("Re-enter password: ");
    if (!again) throw Refusal{"The password was not entered a second time"};
    second = std::move(*again);
  }
  if (CharacterCount(first.view()) > kPasswordFieldLimit ||
      CharacterCount(second.view()) > kPasswordFieldLimit) {
    throw Refusal{"The password may be at most 401 characters long!"};
  }
  PassphraseCheck check = CheckPassphrase(AnsiUpperCaseSecret(first.view()).view(),
                                          AnsiUpperCaseSecret(second.view()).view());
  if (check.verdict != PassphraseCheck::Verdict::kAccepted) throw Refusal{check.message};
  return std::move(check.passphrase);
}

// Makes the file's folder the current folder, as the file panel does for the
// folder it shows, and returns the file's full path.
std::string EnterFolderOf(const std::string& operand, FileSystem& fs) {
  const std::string full = AbsolutePath(operand, fs.CurrentDirectory());
  const FileInfo info = fs.Stat(full);
  if (!info.exists) RaiseIoError(io_code::kFileNotFound, full);
  if (info.is_directory) throw Refusal{"\"" + operand + "\" is a folder, not a file"};
  const std::string folder = ExtractFileDir(full);
  fs.SetCurrentDirectory(folder);
  return JoinPath(folder, ExtractFileName(full));
}

int RunCipher(Session& s) {
  const bool encrypt = s.inv.command == "encrypt";
  const Direction direction = encrypt ? Direction::kEncrypt : Direction::kDecrypt;
  std::vector<std::string> names;
  std::vector<std::string> extensions;
  for (const ProtectionMethod& m : ProtectionMethods()) {
    names.emplace_back(m.name);
    extensions.push_back(std::string("*") + m.extension);
  }
  const ProtectionMethod* method = nullptr;
  if (const auto it = s.inv.options.find("--method"); it != s.inv.options.end()) {
    method = MethodByName(it->second);
    if (method == nullptr) {
      throw UsageError{"unknown method \"" + it->second + "\" (" + Alternatives(names) + ")"};
    }
  } else if (encrypt) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : "|") + name;
    throw UsageError{"encrypt needs --method " + list};
  }
  const std::string& operand = s.inv.operands.front();
  if (method == nullptr) method = MethodByExtension(ExtractFileExt(operand));
  if (method == nullptr) {
    throw Refusal{"File extension must be " + Alternatives(extensions)};
  }
  if (std::string refusal = Commands::CipherRefusal(*method, direction, operand);
      !refusal.empty()) {
    throw Refusal{refusal};
  }
  const std::string path = EnterFolderOf(operand, s.fs);
  const Secret passphrase = ObtainPassphrase(s.inv, s.console);
  s.console.out() << s.commands.Cipher(*method, direction, path, passphrase.view()) << '\n';
  return exit_status::kSuccess;
}

int RunDestroy(Session& s) {
  const std::string path = EnterFolderOf(s.inv.operands.front(), s.fs);
  return ExitStatus(s.commands.Destroy(path, kDestroyQuestionMenu));
}

int RunPack(Session& s) {
  const auto it = s.inv.options.find("--format");
  if (it == s.inv.options.end()) throw UsageError{"pack needs --format cab|lha|zip|bh"};
  const std::optional<ArchiveKindInfo> kind = ArchiveKindByName(it->second);
  if (!kind) throw UsageError{"unknown format \"" + it->second + "\" (cab, lha, zip or bh)"};
  const std::string source = EnterFolderOf(s.inv.operands.front(), s.fs);
  std::string archive;
  const Outcome outcome = s.commands.Pack(kind->kind, source, &archive);
  if (!archive.empty()) s.console.out() << archive << '\n';
  return ExitStatus(outcome);
}

std::string ArchivePath(Session& s) {
  return AbsolutePath(s.inv.operands.front(), s.fs.CurrentDirectory());
}

int RunUnpack(Session& s) {
  const std::string archive = ArchivePath(s);
  std::string folder = ExtractFileDir(archive);
  if (const auto it = s.inv.options.find("--to"); it != s.inv.options.end()) {
    folder = AbsolutePath(it->second, s.fs.CurrentDirectory());
  }
  return ExitStatus(s.commands.Unpack(archive, folder));
}

std::string FormatDosTime(std::uint32_t stamp) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + ((stamp >> 25) & 0x7F),
                (stamp >> 21) & 0x0F, (stamp >> 16) & 0x1F, (stamp >> 11) & 0x1F,
                (stamp >> 5) & 0x3F, (stamp & 0x1F) * 2);
  return text;
}

// A stored name as it may be shown on a terminal: control characters,
// which a terminal would obey, become "?".
std::string Printable(std::string name) {
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return name;
}

int RunList(Session& s) {
  return ExitStatus(s.commands.List(ArchivePath(s), [&](const ArchiveEntry& e) {
    char line[160];
    std::snprintf(line, sizeof line, "%-7s %12llu %12llu  %s  %0*X  ", e.method.c_str(),
                  static_cast<unsigned long long>(e.original_size),
                  static_cast<unsigned long long>(e.packed_size), FormatDosTime(e.dos_time).c_str(),
                  e.crc_bits / 4, static_cast<unsigned>(e.crc));
    s.console.out() << line << Printable(e.name) << (e.is_folder ? "/" : "") << '\n';
  }));
}

int Dispatch(const Invocation& inv, Console& console, FileSystem& fs) {
  Session session(inv, console, fs);
  if (inv.command == "encrypt" || inv.command == "decrypt") return RunCipher(session);
  if (inv.command == "destroy") return RunDestroy(session);
  if (inv.command == "pack") return RunPack(session);
  if (inv.command == "unpack") return RunUnpack(session);
  return RunList(session);
}

}  // namespace

int RunTalvor(const std::vector<std::string>& args, Console& console, FileSystem& fs) {
  if (args.empty()) {
    console.err() << kUsage;
    return exit_status::kRefused;
  }
  if (args.front() == "--help" || args.front() == "-h") {
    console.out() << kUsage << kHelp;
    return exit_status::kSuccess;
  }
  if (args.front() == "--version") {
    console.out() << "talvor (ZEM Talvor) " << kTalvorVersion << '\n';
    return exit_status::kSuccess;
  }
  try {
    // Ctrl+C and SIGTERM cancel the work where it is counted.
    const CancellationScope interrupts([] { return InterruptSignal() != 0; });
    return Dispatch(ResolvePaths(Parse(args), fs.CurrentDirectory()), console, fs);
  } catch (const Cancelled& e) {
    console.err() << e.what() << '\n';
    return 128 + (InterruptSignal() != 0 ? InterruptSignal() : SIGINT);
  } catch (const UsageError& e) {
    console.err() << "talvor: " << e.message << "\n" << kUsage;
    return exit_status::kRefused;
  } catch (const Refusal& e) {
    // Shown as the windows show a plain message.
    console.err() << e.message << '\n';
    return exit_status::kRefused;
  } catch (const RefusedInput& e) {
    console.err() << ErrorDisplayText(e.what()) << '\n';
    return exit_status::kRefused;
  } catch (const std::exception& e) {
    console.err() << ErrorDisplayText(e.what()) << '\n';
    return exit_status::kFailed;
  }
}

}  // namespace talvor

#include "cli/cli.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>

#include "archive/archive_kinds.h"
#include "cli/console_host.h"
#include "cli/invocation.h"
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

// What one run of talvor works with.
struct Session {
  Session(const Invocation& request, Console& terminal, FileSystem& file_system,
          ProgressWindow* progress)
      : inv(request),
        console(terminal),
        fs(file_system),
        host(terminal, file_system, request.options.count("--yes") != 0, progress),
        commands(file_system, random, clock, host) {}

  // The pass phrase, asked for once, when the first file needs it.
  const Secret& Passphrase();

  const Invocation& inv;
  Console& console;
  FileSystem& fs;
  SystemClock clock;
  RandomGenerator random;
  ConsoleHost host;
  Commands commands;
  // Ctrl+C and SIGTERM cancel the work where it is counted.
  CancelToken cancel{[]() noexcept { return InterruptSignal() != 0; }};

 private:
  std::optional<Secret> passphrase_;
};

int ExitStatus(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return exit_status::kSuccess;
    case Outcome::kFailed:
      return exit_status::kFailed;
    case Outcome::kDeclined:
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
// its line end and without the byte-order mark that some editors put before
// UTF-8 text. A file that gives no pass phrase is refused saying why.
Secret FirstLineOf(const std::string& source, FileSystem& fs, Console& console) {
  std::ifstream file;
  std::istream* in = &console.in();
  const std::string name =
      source == "-" ? "standard input" : "the pass phrase file \"" + source + "\"";
  if (source != "-") {
    if (fs.Stat(source).is_directory) {
      throw Failure(FailureKind::kRefused, "The pass phrase file \"" + source + "\" is a folder")
          .AsSaid();
    }
    file.open(source, std::ios::binary);
    if (!file)
      throw Failure::About(FailureKind::kIo, source,
                           "Cannot read the pass phrase file \"" + source + "\"");
    in = &file;
  }
  Secret line;
  int c = in->get();
  if (c == std::char_traits<char>::eof()) {
    throw Failure(FailureKind::kRefused, "There is no pass phrase: " + name + " is empty").AsSaid();
  }
  for (; c != std::char_traits<char>::eof() && c != '\n'; c = in->get()) {
    line.push_back(static_cast<char>(c));
  }
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::string_view text = line.view();
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (text.empty()) {
    throw Failure(FailureKind::kRefused, "There is no pass phrase: the first line of " + name +
                                             " is empty (the pass phrase is the first line)")
        .AsSaid();
  }
  return Secret(text);
}

// The pass phrase as the password window would hand it on: from the file, or
// typed twice on the terminal; checked in the window's order.
Secret ObtainPassphrase(const Invocation& inv, Direction direction, FileSystem& fs,
                        Console& console) {
  Secret first;
  Secret second;
  if (const auto it = inv.options.find("--passphrase-file"); it != inv.options.end()) {
    first = FirstLineOf(it->second, fs, console);
    second = first.Copy();
  } else {
    if (!console.HasTerminal()) {
      throw Failure(
          FailureKind::kRefused,
          "No terminal to ask for the password on: give it with --passphrase-file FILE (- for "
          "standard input)")
          .AsSaid();
    }
    std::optional<Secret> typed = console.ReadHidden("Password: ");
    if (!typed)
      throw Failure(FailureKind::kRefused,
                    "No password was given: the input ended before it was typed")
          .AsSaid();
    first = std::move(*typed);
    std::optional<Secret> again = console.ReadHidden("Re-enter password: ");
    if (!again)
      throw Failure(FailureKind::kRefused, "The password was not entered a second time").AsSaid();
    second = std::move(*again);
  }
  if (CharacterCount(first.view()) > kPasswordFieldLimit ||
      CharacterCount(second.view()) > kPasswordFieldLimit) {
    throw Failure(FailureKind::kRefused, "The password may be at most 401 characters long!")
        .AsSaid();
  }
  PassphraseCheck check = CheckPassphrase(AnsiUpperCaseSecret(first.view()).view(),
                                          AnsiUpperCaseSecret(second.view()).view(), direction);
  if (check.verdict != PassphraseCheck::Verdict::kAccepted)
    throw Failure(FailureKind::kRefused, check.message).AsSaid();
  return std::move(check.passphrase);
}

const Secret& Session::Passphrase() {
  if (!passphrase_) {
    try {
      passphrase_ = ObtainPassphrase(
          inv, inv.command == "encrypt" ? Direction::kEncrypt : Direction::kDecrypt, fs, console);
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kRefused) throw;
      Failure whole_run = e;
      throw whole_run.ForWholeRun();  // the same for every file
    }
  }
  return *passphrase_;
}

// Refuses an operand that names no file (its path is whole by now: see
// ResolvePaths).
void RequireFile(const std::string& operand, FileSystem& fs) {
  const FileInfo info = fs.Stat(operand);
  if (info.unreachable != 0) RaiseErrno(info.unreachable, operand);
  if (!info.exists) RaiseIoError(io_code::kFileNotFound, operand);
  if (info.is_directory)
    throw Failure(FailureKind::kRefused, "\"" + operand + "\" is a folder, not a file").AsSaid();
}

int RunCipher(Session& s, const std::string& operand) {
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
      throw Failure(FailureKind::kWrongUsage,
                    "unknown method \"" + it->second + "\" (" + Alternatives(names) + ")");
    }
  } else if (encrypt) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : "|") + name;
    throw Failure(FailureKind::kWrongUsage, "encrypt needs --method " + list);
  }
  if (method == nullptr) method = MethodByExtension(ExtractFileExt(operand));
  if (method == nullptr) {
    throw Failure(FailureKind::kRefused, "File extension must be " + Alternatives(extensions))
        .AsSaid();
  }
  if (std::string refusal = Commands::CipherRefusal(*method, direction, operand);
      !refusal.empty()) {
    throw Failure(FailureKind::kRefused, refusal).AsSaid();
  }
  RequireFile(operand, s.fs);
  const Secret& passphrase = s.Passphrase();
  s.console.out() << LineSafePath(s.commands.Cipher(*method, direction, operand, passphrase.view(),
                                                    s.cancel))
                  << '\n';
  return exit_status::kSuccess;
}

int RunDestroy(Session& s, const std::string& path) {
  RequireFile(path, s.fs);
  const Outcome outcome = s.commands.Destroy(path, kDestroyQuestionMenu);
  if (outcome == Outcome::kDone) s.console.out() << LineSafePath(path) << " destroyed\n";
  return ExitStatus(outcome);
}

int RunPack(Session& s, const std::string& source) {
  const auto it = s.inv.options.find("--format");
  if (it == s.inv.options.end())
    throw Failure(FailureKind::kWrongUsage, "pack needs --format cab|lha|zip|bh");
  const std::optional<ArchiveKindInfo> kind = ArchiveKindByName(it->second);
  if (!kind)
    throw Failure(FailureKind::kWrongUsage,
                  "unknown format \"" + it->second + "\" (cab, lha, zip or bh)");
  RequireFile(source, s.fs);
  std::string archive;
  const Outcome outcome = s.commands.Pack(kind->kind, source, &archive, s.cancel);
  if (!archive.empty()) s.console.out() << LineSafePath(archive) << '\n';
  return ExitStatus(outcome);
}

int RunUnpack(Session& s, const std::string& archive) {
  std::string folder = ExtractFileDir(archive);
  if (const auto it = s.inv.options.find("--to"); it != s.inv.options.end()) folder = it->second;
  const Outcome outcome = s.commands.Unpack(archive, folder, s.cancel);
  if (outcome == Outcome::kDone) s.console.out() << LineSafePath(folder) << '\n';
  return ExitStatus(outcome);
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

int RunList(Session& s, const std::string& archive) {
  if (s.inv.operands.size() > 1) s.console.out() << LineSafePath(archive) << ":\n";
  return ExitStatus(s.commands.List(
      archive,
      [&](const ArchiveEntry& e) {
        char line[160];
        std::snprintf(line, sizeof line, "%-7s %12llu %12llu  %s  %0*X  ", e.method.c_str(),
                      static_cast<unsigned long long>(e.original_size),
                      static_cast<unsigned long long>(e.packed_size),
                      FormatDosTime(e.dos_time).c_str(), e.crc_bits / 4,
                      static_cast<unsigned>(e.crc));
        s.console.out() << line << Printable(e.name) << (e.is_folder ? "/" : "") << '\n';
      },
      s.cancel));
}

// A protected file (known by its extension) is deciphered into nothing
// with the pass phrase; anything else is read as an archive.
int RunTest(Session& s, const std::string& file) {
  if (const ProtectionMethod* method = MethodByExtension(ExtractFileExt(file))) {
    RequireFile(file, s.fs);
    s.commands.TestProtected(*method, file, s.Passphrase().view(), s.cancel);
    s.console.out() << LineSafePath(file)
                    << (method->can_tell_wrong_passphrase
                            ? ": sound, and the pass phrase opens it\n"
                            : ": read to its end (TRAP cannot tell a wrong pass phrase)\n");
    return exit_status::kSuccess;
  }
  // With several archives, each line says which one it is about.
  const std::string archive = s.inv.operands.size() > 1 ? LineSafePath(file) + ": " : "";
  return ExitStatus(s.commands.TestArchive(
      file,
      [&](const ArchiveEntry& e, bool sound) {
        s.console.out() << archive << (sound ? "sound    " : "DAMAGED  ") << Printable(e.name)
                        << (e.is_folder ? "/" : "") << '\n';
      },
      s.cancel));
}

using Runner = int (*)(Session&, const std::string&);

Runner RunnerFor(const std::string& command) {
  if (command == "encrypt" || command == "decrypt") return RunCipher;
  if (command == "destroy") return RunDestroy;
  if (command == "pack") return RunPack;
  if (command == "unpack") return RunUnpack;
  if (command == "test") return RunTest;
  return RunList;
}

// Says the failure `e` on `out` and gives the exit status that follows from
// its kind. A failure met on the file `operand` (empty when it concerns the
// whole run, or when every line starts with its file already) whose words
// name neither that file nor one named after it (its result, its temporary
// file) is said of it: "Invalid file format" becomes "/home/ann/a.trp:
// Invalid file format.".
int Tell(std::ostream& out, const std::exception& e, const std::string& operand) {
  const auto* failure = dynamic_cast<const Failure*>(&e);
  const FailureKind kind = failure != nullptr ? failure->kind() : FailureKind::kIo;
  if (kind == FailureKind::kCancelled) {
    out << e.what() << '\n';
    return 128 + (InterruptSignal() != 0 ? InterruptSignal() : SIGINT);
  }
  if (kind == FailureKind::kWrongUsage) {
    out << "talvor: " << e.what() << "\n" << kUsage;
    return exit_status::kRefused;
  }
  const bool as_said = failure != nullptr && failure->as_said();
  const std::string words = as_said ? e.what() : ErrorDisplayText(e.what());
  if (kind == FailureKind::kRefused) {
    out << words << '\n';
    return exit_status::kRefused;
  }
  const bool named =
      failure != nullptr && !failure->file().empty() && failure->file().starts_with(operand);
  out << (operand.empty() || named ? "" : operand + ": ") << words << '\n';
  return exit_status::kFailed;
}

// One file of the run: its failure is reported and the next file goes on.
// Wrong usage, a refusal of the whole run and a cancel end the run.
int RunOne(Session& s, Runner run, const std::string& operand) {
  try {
    return run(s, operand);
  } catch (const std::exception& e) {
    const auto* failure = dynamic_cast<const Failure*>(&e);
    if (failure != nullptr && (failure->whole_run() || failure->kind() == FailureKind::kCancelled ||
                               failure->kind() == FailureKind::kWrongUsage)) {
      throw;
    }
    return Tell(s.host.Line(), e, s.inv.operands.size() > 1 ? std::string() : operand);
  }
}

int Dispatch(const Invocation& inv, Console& console, FileSystem& fs, ProgressWindow* progress) {
  Session session(inv, console, fs, progress);
  const Runner run = RunnerFor(inv.command);
  int worst = exit_status::kSuccess;
  for (const std::string& operand : inv.operands) {
    if (inv.operands.size() > 1) session.host.SetSubject(operand);
    worst = std::max(worst, RunOne(session, run, operand));
  }
  return worst;
}

}  // namespace

int RunTalvor(const std::vector<std::string>& args, Console& console, FileSystem& fs,
              ProgressWindow* progress) {
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
    return Dispatch(ResolvePaths(Parse(args), ProcessWorkingFolder()), console, fs, progress);
  } catch (const std::exception& e) {
    return Tell(console.err(), e, {});
  }
}

}  // namespace talvor

#include "cli/cli.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "archive/archive_kinds.h"
#include "cli/progress_line.h"
#include "password/file_routines.h"
#include "password/hand_over.h"
#include "password/passphrase.h"
#include "password/shred_file.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/random_generator.h"
#include "platform/text.h"

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
    "Exit status: 0 done, 1 the operation failed, 2 wrong usage or refused input.\n";

struct Method {
  const char* name;
  std::uint8_t encrypt_code;
  std::uint8_t decrypt_code;
  const char* extension;
};

constexpr std::array<Method, 5> kMethods = {{
    {"trap", operation::kEncryptTrap, operation::kDecryptTrap, ".trp"},
    {"orm", operation::kEncryptOrm, operation::kDecryptOrm, ".orm"},
    {"blowfish", operation::kEncryptBlowfish, operation::kDecryptBlowfish, ".blf"},
    {"rijndael", operation::kEncryptRijndael, operation::kDecryptRijndael, ".rnl"},
    {"random", operation::kEncryptRandom, operation::kDecryptRandom, ".erh"},
}};

const Method* MethodByName(const std::string& name) {
  for (const Method& m : kMethods) {
    if (name == m.name) return &m;
  }
  return nullptr;
}

const Method* MethodByExtension(const std::string& ext) {
  for (const Method& m : kMethods) {
    if (ext == m.extension) return &m;
  }
  return nullptr;
}

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

std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The first line of a pass-phrase file ("-" for standard input).
std::string FirstLineOf(const std::string& source, Console& console) {
  std::string line;
  if (source == "-") {
    std::getline(console.in(), line);
    return StripLineEnd(line);
  }
  std::ifstream file(source, std::ios::binary);
  if (!file) throw Failure("Cannot read the pass phrase file \"" + source + "\"");
  std::getline(file, line);
  return StripLineEnd(line);
}

// The pass phrase as the password window would hand it on: from the file, or
// typed twice on the terminal; checked in the window's order.
std::string ObtainPassphrase(const Invocation& inv, Console& console) {
  std::string first;
  std::string second;
  if (const auto it = inv.options.find("--passphrase-file"); it != inv.options.end()) {
    first = FirstLineOf(it->second, console);
    second = first;
  } else {
    auto typed = console.ReadHidden("Password: ");
    if (!typed) {
      throw Refusal{
          "No terminal to ask for the password on: give it with --passphrase-file FILE (- for "
          "standard input)"};
    }
    first = std::move(*typed);
    auto again = console.ReadHidden("Re-enter password: ");
    if (!again) throw Refusal{"The password was not entered a second time"};
    second = std::move(*again);
  }
  if (CharacterCount(first) > kPasswordFieldLimit || CharacterCount(second) > kPasswordFieldLimit) {
    Wipe(first);
    Wipe(second);
    throw Refusal{"The password may be at most 401 characters long!"};
  }
  first = AnsiUpperCase(first);
  second = AnsiUpperCase(second);
  PassphraseCheck check = CheckPassphrase(first, second);
  Wipe(first);
  Wipe(second);
  if (check.verdict != PassphraseCheck::Verdict::kAccepted) throw Refusal{check.message};
  return std::move(check.passphrase);
}

// Makes the file's folder the current folder, as the file panel does for the
// folder it shows, and returns the file's full path.
std::string EnterFolderOf(const std::string& operand, FileSystem& fs) {
  const std::string full = AbsolutePath(operand, fs.CurrentDirectory());
  const FileInfo info = fs.Stat(full);
  if (!info.exists) RaiseIoError(io_code::kFileNotFound);
  if (info.is_directory) throw Refusal{"\"" + operand + "\" is a folder, not a file"};
  const std::string folder = ExtractFileDir(full);
  fs.SetCurrentDirectory(folder);
  return JoinPath(folder, ExtractFileName(full));
}

int RunCipher(const Invocation& inv, Console& console, FileSystem& fs) {
  const bool encrypt = inv.command == "encrypt";
  const Method* method = nullptr;
  if (const auto it = inv.options.find("--method"); it != inv.options.end()) {
    method = MethodByName(it->second);
    if (method == nullptr) {
      throw UsageError{"unknown method \"" + it->second +
                       "\" (trap, orm, blowfish, rijndael or random)"};
    }
  } else if (encrypt) {
    throw UsageError{"encrypt needs --method trap|orm|blowfish|rijndael|random"};
  }
  const std::string& operand = inv.operands.front();
  const std::string ext = ExtractFileExt(operand);
  if (!encrypt) {
    if (method != nullptr && ext != method->extension) {
      throw Refusal{std::string("File extension must be *") + method->extension};
    }
    if (method == nullptr) method = MethodByExtension(ext);
    if (method == nullptr) {
      throw Refusal{"File extension must be *.trp, *.orm, *.blf, *.rnl or *.erh"};
    }
  }
  const std::uint8_t code = encrypt ? method->encrypt_code : method->decrypt_code;
  if (!FileRoutines::IsAvailable(code)) {
    throw Refusal{std::string("The method ") + method->name + " is not available in this version"};
  }
  const std::string path = EnterFolderOf(operand, fs);
  std::string passphrase = ObtainPassphrase(inv, console);
  SystemClock clock;
  RandomGenerator random;
  FileRoutines routines(fs, random, clock);
  std::string result;
  try {
    result = routines.Run(code, path, passphrase);
  } catch (...) {
    Wipe(passphrase);
    throw;
  }
  Wipe(passphrase);
  console.out() << result << '\n';
  return exit_status::kSuccess;
}

// Asks the windows' question on the terminal, unless --yes answered it.
bool Confirmed(const Invocation& inv, Console& console, std::string question) {
  if (inv.options.count("--yes") != 0) return true;
  for (char& c : question) {
    if (c == '\r') c = '\n';
  }
  const std::optional<bool> answer = console.AskYesNo(question);
  if (!answer) {
    throw Refusal{"This command asks a question first: answer it on a terminal, or give --yes"};
  }
  return *answer;
}

int RunDestroy(const Invocation& inv, Console& console, FileSystem& fs) {
  const std::string path = EnterFolderOf(inv.operands.front(), fs);
  if (!Confirmed(inv, console, kDestroyQuestionMenu + path + "?")) return exit_status::kRefused;
  SystemClock clock;
  RandomGenerator random;
  ShredFile(fs, random, clock, path);
  return exit_status::kSuccess;
}

// Prints the engine's error events; remembers that there were some.
class ErrorPrinter {
 public:
  explicit ErrorPrinter(Console& console) : console_(console) {}
  void Attach(TZipCommon& component) {
    component.OnError = [this](const ArchiveError& e) {
      ++count_;
      console_.err() << "Error " << e.code << ": " << ArchiveErrorText(e.code);
      if (!e.file.empty()) console_.err() << ": " << e.file;
      if (!e.extra.empty()) console_.err() << " (" << e.extra << ")";
      console_.err() << '\n';
    };
  }
  [[nodiscard]] int count() const { return count_; }

 private:
  Console& console_;
  int count_ = 0;
};

int RunPack(const Invocation& inv, Console& console, FileSystem& fs) {
  const auto it = inv.options.find("--format");
  if (it == inv.options.end()) throw UsageError{"pack needs --format cab|lha|zip|bh"};
  const std::optional<ArchiveKindInfo> kind = ArchiveKindByName(it->second);
  if (!kind) throw UsageError{"unknown format \"" + it->second + "\" (cab, lha, zip or bh)"};
  if (!CanWrite(kind->kind)) {
    throw Refusal{std::string("Packing into the format ") + kind->name +
                  " is not available in this version"};
  }
  const std::string source = EnterFolderOf(inv.operands.front(), fs);
  const std::string target = ChangeFileExt(source, kind->extension);
  if (target == source) {
    throw Refusal{"The archive would take the place of the file itself: \"" + source +
                  "\" already has the extension " + kind->extension};
  }
  if (fs.Stat(target).exists &&
      !Confirmed(inv, console,
                 "File : " + target + " already exists. Do you want to overwrite this file?")) {
    return exit_status::kRefused;
  }
  std::unique_ptr<TCustomCClass> writer = MakeWriter(kind->kind, fs);
  ErrorPrinter errors(console);
  errors.Attach(*writer);
  const int packed = PackNewArchive(*writer, source, target);
  if (packed > 0) console.out() << target << '\n';
  return packed > 0 && errors.count() == 0 ? exit_status::kSuccess : exit_status::kFailed;
}

// The reader for an archive: by its extension, else by its content.
std::unique_ptr<TCustomDClass> ReaderFor(const std::string& path, FileSystem& fs) {
  const std::optional<ArchiveKindInfo> kind = ArchiveKindOfFile(path);
  if (!kind) {
    throw Refusal{"File extension must be *.cab, *.lha, *.lzh, *.zip or *.bh"};
  }
  if (!CanRead(kind->kind)) {
    throw Refusal{std::string("Reading the format ") + kind->name +
                  " is not available in this version"};
  }
  return MakeReader(kind->kind, fs);
}

std::string ArchivePath(const std::string& operand, FileSystem& fs) {
  const std::string full = AbsolutePath(operand, fs.CurrentDirectory());
  const FileInfo info = fs.Stat(full);
  if (!info.exists) RaiseIoError(io_code::kFileNotFound);
  if (info.is_directory) throw Refusal{"\"" + operand + "\" is a folder, not an archive"};
  return full;
}

int RunUnpack(const Invocation& inv, Console& console, FileSystem& fs) {
  const std::string archive = ArchivePath(inv.operands.front(), fs);
  std::unique_ptr<TCustomDClass> reader = ReaderFor(archive, fs);
  std::string folder = ExtractFileDir(archive);
  if (const auto it = inv.options.find("--to"); it != inv.options.end()) {
    folder = AbsolutePath(it->second, fs.CurrentDirectory());
    // The folder chain is made as needed.
    std::string step;
    for (std::size_t at = 1; at != std::string::npos;) {
      at = folder.find('/', at + 1);
      step = folder.substr(0, at);
      if (!fs.Stat(step).exists) fs.CreateDirectory(step);
    }
    if (!fs.Stat(folder).is_directory) throw Refusal{"\"" + it->second + "\" is not a folder"};
  }
  ErrorPrinter errors(console);
  errors.Attach(*reader);
  reader->SetArchiveFile(archive);
  reader->FileSpec = {"*.*"};
  reader->SetExtractDir(folder);
  const int count = reader->Extract();
  (void)count;
  return errors.count() == 0 ? exit_status::kSuccess : exit_status::kFailed;
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

int RunList(const Invocation& inv, Console& console, FileSystem& fs) {
  const std::string archive = ArchivePath(inv.operands.front(), fs);
  std::unique_ptr<TCustomDClass> reader = ReaderFor(archive, fs);
  ErrorPrinter errors(console);
  errors.Attach(*reader);
  reader->SetArchiveFile(archive);
  reader->List([&](const ArchiveEntry& e) {
    char line[160];
    std::snprintf(line, sizeof line, "%-7s %12llu %12llu  %s  %0*X  ", e.method.c_str(),
                  static_cast<unsigned long long>(e.original_size),
                  static_cast<unsigned long long>(e.packed_size), FormatDosTime(e.dos_time).c_str(),
                  e.crc_bits / 4, static_cast<unsigned>(e.crc));
    console.out() << line << Printable(e.name) << (e.is_folder ? "/" : "") << '\n';
  });
  return errors.count() == 0 ? exit_status::kSuccess : exit_status::kFailed;
}

int Dispatch(const Invocation& inv, Console& console, FileSystem& fs) {
  if (inv.command == "encrypt" || inv.command == "decrypt") return RunCipher(inv, console, fs);
  if (inv.command == "destroy") return RunDestroy(inv, console, fs);
  if (inv.command == "pack") return RunPack(inv, console, fs);
  if (inv.command == "unpack") return RunUnpack(inv, console, fs);
  return RunList(inv, console, fs);
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
    const Invocation request = Parse(args);
    std::optional<ProgressLine> line;
    std::optional<ProgressScope> progress;
    if (console.ErrorIsTerminal()) {
      const FileInfo file = fs.Stat(args.back());
      line.emplace(console.err(), ExtractFileName(args.back()),
                   file.exists ? static_cast<std::uint64_t>(file.size) : 0);
      progress.emplace([&](std::uint64_t done, std::uint64_t total) { line->Report(done, total); });
    }
    return Dispatch(request, console, fs);
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

// How the program starts on what it is given: the commands a start can
// name, its arguments, and the window's side of running one.
#include "main_window/start_command.h"

#include <cstring>

#include "main_window/main_window.h"
#include "platform/path.h"

namespace talvor {

const std::vector<StartCommand>& StartCommands() {
  // open and decrypt, then the window's commands that have a start name:
  // encrypt-<method>, decrypt-<method>, destroy, pack-<format>; then unpack.
  static const std::vector<StartCommand> commands = [] {
    std::vector<StartCommand> table = {{"open", StartVerb::kOpen},
                                       {"decrypt", StartVerb::kDecrypt}};
    const auto add = [&table](StartVerb verb, auto&& takes) {
      for (const WindowCommandRow& row : WindowCommands()) {
        if (row.start_name == nullptr || !takes(row)) continue;
        table.push_back({row.start_name, verb,
                         row.method != nullptr ? MethodByName(row.method) : nullptr, row.kind});
      }
    };
    const auto cipher = [](Direction direction) {
      return [direction](const WindowCommandRow& row) {
        return row.action == Action::kCipher && row.direction == direction;
      };
    };
    const auto doing = [](Action action) {
      return [action](const WindowCommandRow& row) { return row.action == action; };
    };
    add(StartVerb::kEncrypt, cipher(Direction::kEncrypt));
    add(StartVerb::kDecrypt, cipher(Direction::kDecrypt));
    add(StartVerb::kDestroy, doing(Action::kDestroy));
    add(StartVerb::kPack, doing(Action::kPack));
    table.push_back({"unpack", StartVerb::kUnpack});
    return table;
  }();
  return commands;
}

const StartCommand* StartCommandByName(std::string_view name) {
  for (const StartCommand& c : StartCommands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

namespace {

// "a, b, c": one text of each item.
template <typename Items, typename Text>
std::string Listed(const Items& items, Text text) {
  std::string list;
  for (const auto& item : items) {
    if (!list.empty()) list += ", ";
    list += text(item);
  }
  return list;
}

std::string CommandNames() {
  return Listed(StartCommands(), [](const StartCommand& c) { return c.name; });
}

std::string ProtectedExtensions() {
  return Listed(ProtectionMethods(), [](const ProtectionMethod& m) { return m.extension; });
}

}  // namespace

StartRequest ParseStartArguments(const std::vector<std::string>& args) {
  StartRequest request;
  const auto complain = [&request](const std::string& text) {
    if (request.complaint.empty()) request.complaint = text;
  };
  std::vector<std::string> files;
  std::string name;
  bool named = false;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      files.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "--help" || arg == "-h") {
      request.help = true;
    } else if (arg == "--command" || arg.rfind("--command=", 0) == 0) {
      std::string value;
      if (arg != "--command") {
        value = arg.substr(arg.find('=') + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      // The first one counts.
      if (named) complain("\"--command\" is given twice.");
      if (!named) name = value;
      named = true;
    } else {
      complain("Unknown option \"" + arg + "\". Usage: zem-talvor [--command NAME] [FILE]");
    }
  }
  if (!files.empty()) request.file = files.front();
  if (files.size() > 1) {
    complain("ZEM Talvor opens one file at a time: \"" + files[1] +
             "\" and any file after it are left out.");
  }
  if (named && name.empty()) {
    complain("\"--command\" needs a NAME: zem-talvor --command NAME FILE.");
  }
  if (!name.empty()) {
    const StartCommand* command = StartCommandByName(name);
    if (command == nullptr) {
      complain("Unknown command \"" + name + "\". The commands are: " + CommandNames() + ".");
    } else if (request.file.empty() && command->verb != StartVerb::kOpen) {
      complain("The command \"" + name + "\" needs a file: zem-talvor --command " + name + " FILE");
    } else {
      request.command = name;
    }
  }
  return request;
}

std::string StartUsage() {
  return "Usage: zem-talvor [--command NAME] [FILE]\n"
         "\n"
         "Starts ZEM Talvor with FILE's folder shown and FILE selected; with\n"
         "--command, also starts command NAME on FILE: the password window of a\n"
         "cipher command, Destroy's question, packing or unpacking.\n"
         "\n"
         "NAME is one of: " +
         CommandNames() +
         ".\n"
         "  open        a protected file (" +
         ProtectedExtensions() +
         "): its decrypt\n"
         "              command; any other file is only shown\n"
         "  decrypt     the decrypt command of the file's extension\n"
         "  unpack      unpacks the archive into its own folder, whatever its\n"
         "              extension\n";
}

void MainWindow::StartWith(const StartRequest& request,
                           const std::function<void(const std::string&)>& complain) {
  std::string complaint = request.complaint;
  std::string path;
  bool is_folder = false;
  if (!request.file.empty()) {
    path = AbsolutePath(request.file, start_folder_);
    const FileInfo info = fs_.Stat(path);
    if (!info.exists) {
      if (complaint.empty() && info.unreachable != 0) {
        complaint = "The file \"" + path + "\" cannot be read: " + std::strerror(info.unreachable) +
                    " (a folder on its way may not be opened).";
      } else if (complaint.empty()) {
        complaint = "There is no file \"" + path + "\".";
      }
      path.clear();
    } else {
      is_folder = info.is_directory;
      OnFileDropped(path);
    }
  }
  const StartCommand* command = StartCommandByName(request.command);
  if (complaint.empty() && command != nullptr && is_folder && command->verb != StartVerb::kOpen) {
    complaint = "\"" + path + "\" is a folder; the command \"" + command->name + "\" takes a file.";
  }
  if (!complaint.empty()) {
    complain(complaint);
    dialogs_.ShowMessage(complaint);
    return;
  }
  if (command != nullptr && !path.empty() && !is_folder) RunStartCommand(*command, path);
}

void MainWindow::RunStartCommand(const StartCommand& command, const std::string& path) {
  const ProtectionMethod* method = command.method;
  switch (command.verb) {
    case StartVerb::kOpen:
      method = MethodByExtension(ExtractFileExt(path));
      if (method != nullptr) EncryptOrDecrypt(*method, Direction::kDecrypt, path);
      return;
    case StartVerb::kEncrypt:
      EncryptOrDecrypt(*method, Direction::kEncrypt, path);
      return;
    case StartVerb::kDecrypt:
      if (method == nullptr) method = MethodByExtension(ExtractFileExt(path));
      if (method == nullptr) {
        dialogs_.ShowMessage("\"" + path + "\" is no protected file: decrypting takes a file " +
                             "named with one of the extensions " + ProtectedExtensions() + ".");
        return;
      }
      EncryptOrDecrypt(*method, Direction::kDecrypt, path);
      return;
    case StartVerb::kDestroy:
      DestroyFile(path, RowOf(WindowCommand::kDestroy).wording.menu);
      return;
    case StartVerb::kPack:
      PackFile(command.kind, path);
      return;
    case StartVerb::kUnpack:
      UnpackFile(path, ExtractFileDir(path));
      return;
  }
}

}  // namespace talvor

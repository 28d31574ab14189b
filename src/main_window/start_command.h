// What zem-talvor is started with: `zem-talvor [--command NAME] [FILE]`.
// The desktop entry and the file managers' actions start the program this
// way; the names are those of talvor's commands, one per method and format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/kind_detection.h"
#include "protect/methods.h"

namespace talvor {

enum class StartVerb {
  kOpen,     // a protected file: its decrypt command; any other: only shown
  kEncrypt,  // encrypt-<method>
  kDecrypt,  // decrypt-<method>; "decrypt": the method of the file's extension
  kDestroy,
  kPack,    // pack-<format>
  kUnpack,  // into the archive's own folder, whatever its extension
};

struct StartCommand {
  std::string name;  // "encrypt-rijndael"
  StartVerb verb;
  const ProtectionMethod* method = nullptr;  // nullptr: by the file's extension
  ArchiveKind kind = ArchiveKind::kZip;      // the format of a pack command
};

// Every NAME, from the table of methods and the archive kinds: open, decrypt,
// encrypt-<method>, decrypt-<method>, destroy, pack-<format>, unpack.
[[nodiscard]] const std::vector<StartCommand>& StartCommands();
[[nodiscard]] const StartCommand* StartCommandByName(std::string_view name);

struct StartRequest {
  std::string file;     // as given; empty for none
  std::string command;  // a known NAME; empty for none
  // What is wrong with the arguments, in words; empty when nothing is.
  std::string complaint;
  bool help = false;
};

// The arguments after the program's name, those of Qt taken out already.
// "--" ends the options.
[[nodiscard]] StartRequest ParseStartArguments(const std::vector<std::string>& args);

// What `zem-talvor --help` prints: the usage and every NAME.
[[nodiscard]] std::string StartUsage();

}  // namespace talvor

// The user's commands, each written once for both front ends: the windows
// run them on their worker thread, talvor from its sub-commands. A command
// asks its questions, tells its refusals, shows its progress and hands on
// the archive engine's reports and the files it replaced through the front
// end's CommandHost; failures of its work are raised, and so is a kCancelled
// Failure once the token it was given is cancelled. A file that a result
// replaces goes to the desktop's trash.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archive_kinds.h"
#include "commands/command_host.h"
#include "protect/methods.h"
#include "protect/shred_file.h"

namespace talvor {

// The Destroy command's question, from the toolbar and from the menu ("\r"
// breaks the line); the path and "?" follow.
inline constexpr char kDestroyQuestionToolbar[] =
    "Do you really want to destroy the selected file \r";
inline constexpr char kDestroyQuestionMenu[] = "Do you really want to destroy the selected file\r";

enum class Outcome {
  kDone,
  kDeclined,  // the user answered No; nothing changed
  kFailed,    // the archive engine reported failures (the host was given them)
};

class Commands {
 public:
  Commands(FileSystem& fs, RandomGenerator& random, Clock& clock, CommandHost& host)
      : fs_(fs), random_(random), clock_(clock), host_(host) {}
  Commands(const Commands&) = delete;
  Commands& operator=(const Commands&) = delete;

  // Why `path` cannot be given to a cipher command, in the program's words
  // (a file to decrypt carries the method's extension); empty when it can.
  [[nodiscard]] static std::string CipherRefusal(const ProtectionMethod& method,
                                                 Direction direction, const std::string& path);
  // Encrypts or decrypts `path` with the trimmed pass phrase (code-page
  // bytes); returns the path of the file written.
  std::string Cipher(const ProtectionMethod& method, Direction direction, const std::string& path,
                     std::string_view passphrase, CancelToken& cancel);

  // Asks `question` + path + "?", then overwrites the file and deletes it.
  // Once begun, it is not cancelled.
  Outcome Destroy(const std::string& path, const std::string& question,
                  const ShredHooks& hooks = {});

  // Copies `source` to `target`; the copy takes its name only when complete.
  Outcome Copy(const std::string& source, const std::string& target);
  // Renames `source` to `target`.
  Outcome Rename(const std::string& source, const std::string& target);

  // Packs `source` alone into a new archive of `kind` beside it, after
  // asking before an existing archive is replaced. *archive gets the
  // archive's path when a file was packed.
  Outcome Pack(ArchiveKind kind, const std::string& source, std::string* archive,
               CancelToken& cancel);
  // Unpacks every entry of `archive` into `folder`, which is made when
  // missing.
  Outcome Unpack(const std::string& archive, const std::string& folder, CancelToken& cancel);
  // Visits every entry of `archive`.
  Outcome List(const std::string& archive, const std::function<void(const ArchiveEntry&)>& visit,
               CancelToken& cancel);
  // Reads `archive` to its end and checks every entry's CRC, writing
  // nothing; `each` sees every entry with its verdict. kFailed when an entry
  // is damaged or the archive cannot be read to its end.
  Outcome TestArchive(const std::string& archive,
                      const std::function<void(const ArchiveEntry&, bool sound)>& each,
                      CancelToken& cancel);
  // Deciphers the protected file `path` into nothing: returns when the pass
  // phrase opens it as far as the method can tell, else raises what
  // decrypting would.
  void TestProtected(const ProtectionMethod& method, const std::string& path,
                     std::string_view passphrase, CancelToken& cancel);

 private:
  // The reader for the kind of archive `archive` holds, judged by its
  // content. A file that is no archive the engine reads is a failure; a
  // folder, or a format this version does not read, is refused.
  [[nodiscard]] std::unique_ptr<ArchiveReader> ReaderFor(const std::string& archive);
  // Runs one operation of an archive component, its progress shown under
  // `title` on `file`, and hands on what the engine reported.
  [[nodiscard]] Outcome RunArchiveOperation(ArchiveComponent& component, const std::string& title,
                                            const std::string& file, CancelToken& cancel,
                                            const std::function<void()>& operation);

  FileSystem& fs_;
  RandomGenerator& random_;
  Clock& clock_;
  CommandHost& host_;
};

}  // namespace talvor

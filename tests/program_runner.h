// Running the talvor program as a separate process on prepared files: the
// commands it runs in the fault, interruption and kill tests, and the
// protected files and archives it makes of one document.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace talvor::testing {

inline constexpr char kPass[] = "A FAULTY AFTERNOON\n";
inline constexpr uid_t kNobody = 65534;

struct Exit {
  int status = -1;  // the exit status; -1 when a signal ended the process
  int signal = 0;
  std::string err;
};

// Runs the program in `folder` with the pass phrase on standard input. With
// `unprivileged`, a process of the super-user runs it as "nobody", so that
// permissions apply to it. With `signal_after`, the process gets `signal`
// that long after it has opened the file it is given (the last argument).
Exit RunProgram(const std::vector<std::string>& args, const std::string& folder,
                bool unprivileged = false,
                std::chrono::milliseconds signal_after = std::chrono::milliseconds(-1),
                int signal = SIGKILL);

// A small file system of its own, mounted over a folder while it lives.
class SmallDisk {
 public:
  SmallDisk(const std::string& folder, const std::string& size) : folder_(folder) {
    const std::string options = "size=" + size + ",mode=0777";
    mounted_ =
        ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  [[nodiscard]] bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// One command of the program on a file "doc.<in>" that writes "doc.<out>".
struct Command {
  const char* name;
  std::vector<std::string> args;  // before the file's name
  const char* in;
  const char* out;  // "" when it writes no file
  bool destroys = false;
  bool restores = false;  // its result is the original document again
  // It opens its input for reading and writing, as an existing file is
  // opened throughout, so a read-only input gives "File access denied";
  // the cipher library and the archive engine read theirs read-only.
  bool needs_writable_input = false;
};

inline const std::vector<std::string> kEncrypt = {"encrypt", "--passphrase-file", "-", "--method"};
inline const std::vector<std::string> kDecrypt = {"decrypt", "--passphrase-file", "-"};

inline std::vector<std::string> With(std::vector<std::string> args, const char* last) {
  args.emplace_back(last);
  return args;
}

inline const Command kCommands[] = {
    {"EncryptTrap", With(kEncrypt, "trap"), "txt", "trp", false, false, true},
    {"EncryptOrm", With(kEncrypt, "orm"), "txt", "orm"},
    {"EncryptBlowfish", With(kEncrypt, "blowfish"), "txt", "blf"},
    {"EncryptRijndael", With(kEncrypt, "rijndael"), "txt", "rnl"},
    {"EncryptRandom", With(kEncrypt, "random"), "txt", "erh"},
    {"DecryptTrap", kDecrypt, "trp", "txt", false, true, true},
    {"DecryptOrm", kDecrypt, "orm", "txt", false, true, true},
    {"DecryptBlowfish", kDecrypt, "blf", "txt", false, true, true},
    {"DecryptRijndael", kDecrypt, "rnl", "txt", false, true, true},
    {"DecryptRandom", kDecrypt, "erh", "txt", false, true, true},
    {"Destroy", {"destroy", "--yes"}, "txt", "", true, false, true},
    {"PackCab", {"pack", "--yes", "--format", "cab"}, "txt", "cab"},
    {"PackLha", {"pack", "--yes", "--format", "lha"}, "txt", "lha"},
    {"PackZip", {"pack", "--yes", "--format", "zip"}, "txt", "zip"},
    {"PackBh", {"pack", "--yes", "--format", "bh"}, "txt", "bh"},
    {"UnpackCab", {"unpack"}, "cab", "txt", false, true},
    {"UnpackLha", {"unpack"}, "lha", "txt", false, true},
    {"UnpackZip", {"unpack"}, "zip", "txt", false, true},
    {"UnpackBh", {"unpack"}, "bh", "txt", false, true},
    {"ListLha", {"list"}, "lha", ""},
    {"ListZip", {"list"}, "zip", ""},
    {"ListCab", {"list"}, "cab", ""},
    {"ListBh", {"list"}, "bh", ""},
};

// The document and the protected files and archives made from it, by the
// program itself, each when first asked for, under the name `base`.
class Library {
 public:
  static Library& For(const std::string& base, std::size_t size) {
    static std::map<std::pair<std::string, std::size_t>, std::unique_ptr<Library>> made;
    auto& entry = made[{base, size}];
    if (!entry) entry = std::make_unique<Library>(base, size);
    return *entry;
  }

  Library(std::string base, std::size_t size)
      : base_(std::move(base)), document_(SomeBytes(size, static_cast<unsigned>(size))) {}

  [[nodiscard]] std::string File(const std::string& extension) {
    if (extension == "txt") return document_;
    const std::string path = dir_ / (base_ + "." + extension);
    if (!testing::Exists(path)) {
      const std::string doc = dir_ / (base_ + ".txt");
      for (const Command& c : kCommands) {
        if (std::strcmp(c.in, "txt") != 0 || c.out != extension) continue;
        WriteFile(doc, document_);
        const Exit exit = RunProgram(With(c.args, doc.c_str()), dir_.path());
        if (exit.status != 0) throw std::runtime_error(std::string(c.name) + ": " + exit.err);
        ::unlink(doc.c_str());
      }
    }
    return ReadFile(path);
  }
  [[nodiscard]] const std::string& document() const { return document_; }

 private:
  TempDir dir_;
  std::string base_;
  std::string document_;
};

// The names ListNames gives for a folder holding the input (when `kept`)
// and the result (when named).
inline std::string FolderAfter(const std::string& input, bool kept, const std::string& result) {
  std::vector<std::string> names;
  if (kept) names.push_back(input);
  if (!result.empty()) names.push_back(result);
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& n : names) joined += (joined.empty() ? "" : " ") + n;
  return joined;
}

}  // namespace talvor::testing

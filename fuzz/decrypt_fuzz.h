// Runs a decrypt routine over arbitrary bytes given as a protected file, in a
// private folder of its own (on /dev/shm where there is one). The routine
// may refuse the file, but it must never crash or hang, and afterwards the
// folder holds the protected file, unchanged unless it was the result, and
// the result only when the routine reported one: no working file, no work
// folder, nothing half written.
//
// The target changes the process's current folder: give libFuzzer absolute
// paths for its corpus and artifacts.
//
// Writes are limited to a few MiB (RLIMIT_FSIZE, with SIGXFSZ ignored) so
// that a file which decodes to gigabytes ends in a write error, the same path
// a full disk takes.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/random_generator.h"

namespace talvor::fuzz {

inline constexpr char kFuzzPassphrase[] = "FUZZING PASSPHRASE";
inline constexpr rlim_t kMaxWritten = 8 << 20;

// The folder's entries other than "." and "..".
inline std::vector<std::string> FolderEntries() {
  std::vector<std::string> names;
  DIR* dir = ::opendir(".");
  if (dir == nullptr) __builtin_trap();
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      names.emplace_back(e->d_name);
    }
  }
  ::closedir(dir);
  return names;
}

inline void RemoveEntry(const std::string& name) {
  if (::unlink(name.c_str()) == 0) return;
  // A folder left behind: empty it first (one level is all a routine makes).
  if (DIR* dir = ::opendir(name.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
        (void)::unlink((name + "/" + e->d_name).c_str());
      }
    }
    ::closedir(dir);
  }
  (void)::rmdir(name.c_str());
}

// Makes and enters the private folder once per process.
inline void EnterPrivateFolder() {
  static const bool entered = [] {
    char pattern[] = "/dev/shm/talvor-fuzz-XXXXXX";
    char fallback[] = "/tmp/talvor-fuzz-XXXXXX";
    const char* folder = ::mkdtemp(pattern);
    if (folder == nullptr) folder = ::mkdtemp(fallback);
    if (folder == nullptr || ::chdir(folder) != 0) __builtin_trap();
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kMaxWritten, kMaxWritten};
    (void)::setrlimit(RLIMIT_FSIZE, &limit);
    return true;
  }();
  (void)entered;
}

inline void WriteWhole(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) __builtin_trap();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) __builtin_trap();
  if (std::fclose(f) != 0) __builtin_trap();
}

inline std::string ReadWhole(const std::string& name) {
  std::string bytes;
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return bytes;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

// `decrypt` gets the protected file's name and returns the result's path.
inline void FuzzDecrypt(const std::uint8_t* data, std::size_t size, const char* source,
                        const std::function<std::string(const std::string&)>& decrypt) {
  EnterPrivateFolder();
  for (const std::string& name : FolderEntries()) RemoveEntry(name);
  WriteWhole(source, data, size);

  std::string result;
  bool failed = false;
  try {
    result = decrypt(source);
  } catch (const std::exception&) {
    failed = true;
  }
  if (!failed && result.empty()) __builtin_trap();
  const std::string result_name = failed ? "" : result.substr(result.rfind('/') + 1);

  for (const std::string& name : FolderEntries()) {
    if (name == source || name == result_name) continue;
    std::fprintf(stderr, "left behind: %s\n", name.c_str());
    __builtin_trap();
  }
  // The protected file is there, as it was, unless the result replaced it.
  if (result_name != source) {
    const std::string now = ReadWhole(source);
    if (now.size() != size || (size > 0 && std::memcmp(now.data(), data, size) != 0)) {
      std::fprintf(stderr, "the protected file changed\n");
      __builtin_trap();
    }
  }
}

}  // namespace talvor::fuzz

// Helpers shared by the tests: temporary folders and whole-file access.
#pragma once

#include <optional>
#include <string>

namespace talvor::testing {

// A fresh folder under the system's temporary folder, removed with all its
// content when the object goes.
class TempDir {
 public:
  TempDir();
  // A folder inside `parent` instead of the system's temporary folder.
  explicit TempDir(const std::string& parent);
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets an environment variable (nullptr: removes it) until it goes; a
// change of TZ takes effect at once.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment();

 private:
  void Set(const char* value);
  const char* name_;
  std::optional<std::string> saved_;
};

// Restores the current folder when it goes.
class CurrentDirGuard {
 public:
  CurrentDirGuard();
  // Enters `folder` until the guard goes.
  explicit CurrentDirGuard(const std::string& folder);
  CurrentDirGuard(const CurrentDirGuard&) = delete;
  CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;
  ~CurrentDirGuard();

 private:
  std::string saved_;
};

void WriteFile(const std::string& path, const std::string& content);
[[nodiscard]] std::string ReadFile(const std::string& path);
[[nodiscard]] bool Exists(const std::string& path);
// Names in a folder, sorted (files and folders, hidden ones included).
[[nodiscard]] std::string ListNames(const std::string& folder);
// Pseudo-random bytes, the same for the same arguments.
[[nodiscard]] std::string SomeBytes(std::size_t size, unsigned salt = 1);

}  // namespace talvor::testing

namespace talvor::testing {

// Names parameterised cases after their `name` member.
struct ByName {
  template <typename Info>
  std::string operator()(const Info& case_info) const {
    return case_info.param.name;
  }
};

}  // namespace talvor::testing

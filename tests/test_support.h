// Helpers shared by the tests: temporary folders and whole-file access.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/failure.h"

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

// Runs `statement`: whether it raised a Failure of `kind`, and what it
// raised in words (its text, or what else happened).
template <typename Statement>
std::pair<bool, std::string> RunForFailure(FailureKind kind, Statement&& statement) {
  try {
    std::forward<Statement>(statement)();
  } catch (const Failure& e) {
    if (e.kind() == kind) return {true, e.what()};
    return {false,
            "a failure of kind " + std::to_string(static_cast<int>(e.kind())) + ": " + e.what()};
  } catch (const std::exception& e) {
    return {false, std::string("an exception that is no Failure: ") + e.what()};
  }
  return {false, "no failure"};
}

// Checks that `statement` raises a Failure of `kind`.
template <typename Statement>
::testing::AssertionResult RaisesFailure(FailureKind kind, Statement&& statement) {
  auto [raised, text] = RunForFailure(kind, std::forward<Statement>(statement));
  if (raised) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "raised " << text;
}

// The text of the Failure of `kind` that `statement` raises; otherwise what
// happened instead, which no expected text matches.
template <typename Statement>
std::string FailureText(FailureKind kind, Statement&& statement) {
  auto [raised, text] = RunForFailure(kind, std::forward<Statement>(statement));
  return raised ? text : "(" + text + ")";
}

}  // namespace talvor::testing

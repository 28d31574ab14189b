// Progress of the long operations, in bytes done of bytes total.
//
// The routine a command runs says up front how many bytes its work will
// touch (ExpectWork); the loops that walk files count what they did
// (AdvanceWork). Whoever shows progress installs a ProgressScope with a
// callback on the thread that runs the command; without one, counting costs
// a thread-local test per buffer.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "platform/failure.h"

namespace talvor {

class ExpectedWork;

using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

class ProgressScope {
 public:
  // Reports go to `callback`, at most every `step` bytes and once more when
  // the work is done, until the scope ends (an enclosing scope then takes
  // over again).
  explicit ProgressScope(ProgressCallback callback, std::uint64_t step = 1 << 20);
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;
  ~ProgressScope();

  [[nodiscard]] std::uint64_t done() const noexcept { return done_; }
  [[nodiscard]] std::uint64_t total() const noexcept { return total_; }

 private:
  friend class ExpectedWork;
  friend void ExpectWork(std::uint64_t bytes) noexcept;
  friend void AdvanceWork(std::uint64_t bytes);
  void Report() noexcept;

  ProgressCallback callback_;
  std::uint64_t step_;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t next_report_ = 0;
  int declared_ = 0;  // ExpectedWork objects alive
  ProgressScope* outer_;
};

// While it lives, work counted on this thread (AdvanceWork) raises Cancelled
// once `cancelled` says the user cancelled it; an inner scope stands for the
// outer ones until it ends (work that must not stop half-way installs one
// that never cancels).
class CancellationScope {
 public:
  explicit CancellationScope(std::function<bool()> cancelled);
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;
  ~CancellationScope();

 private:
  friend bool WorkCancelled();
  std::function<bool()> cancelled_;
  CancellationScope* outer_;
};

// The work a routine is about to do, declared for as long as it runs. A
// routine called by another that declared its work already (destroying an
// intermediate file, say) adds nothing: the caller counted it.
class ExpectedWork {
 public:
  explicit ExpectedWork(std::uint64_t bytes) noexcept;
  ExpectedWork(const ExpectedWork&) = delete;
  ExpectedWork& operator=(const ExpectedWork&) = delete;
  ~ExpectedWork();

  // Adds work found to be needed once the routine knows more (nothing when
  // a caller declared the work).
  void Add(std::uint64_t bytes) noexcept;
  // Counts the rest of the declared work as done, for a total that was an
  // estimate (nothing when a caller declared the work).
  void Finish();

 private:
  ProgressScope* scope_;
  bool counted_ = false;
};

// Adds `bytes` of work that turned out to be needed on top of what was
// declared (data read a second time, say).
void ExpectWork(std::uint64_t bytes) noexcept;
// Counts `bytes` of that work as done; raises Cancelled when the user
// cancelled the work.
void AdvanceWork(std::uint64_t bytes);
// Whether the user cancelled the work of this thread (for code that must
// find out after a library in C has given up, rather than raise).
[[nodiscard]] bool WorkCancelled();

// "25 % (2.5 of 10.0 MiB), about 3 s left": the share of the work done,
// applied to the size of the file it is done on, and the time left if the
// rest goes as fast as what took `seconds` so far.
[[nodiscard]] std::string ProgressSummary(std::uint64_t done, std::uint64_t total,
                                          std::uint64_t file_size, double seconds);

// The work of destroying a file of `size` bytes: four passes over the file
// and three over its fourfold length.
[[nodiscard]] constexpr std::uint64_t ShredWork(std::uint64_t size) noexcept {
  return 16 * size;
}

}  // namespace talvor

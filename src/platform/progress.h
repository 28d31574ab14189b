// Progress of the long operations, in bytes done of bytes total, and their
// cancelling.
//
// The routine a command runs says up front how many bytes its work will
// touch (ExpectedWork); the loops that walk files count what they did
// (Job::Advance). The front end that runs the command makes its Job, with a
// callback that shows the progress and the token that cancels it, and hands
// it down.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace talvor {

using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

// What the one who started a command holds to stop it. The command's loops
// look at it where they count their work; it may be set from any thread.
class CancelToken {
 public:
  CancelToken() = default;
  // Also cancelled once `also` says so (a signal that arrived, say).
  explicit CancelToken(bool (*also)() noexcept) : also_(also) {}
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void Cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
  // Ready for the next command.
  void Reset() noexcept { cancelled_.store(false, std::memory_order_relaxed); }
  [[nodiscard]] bool cancelled() const noexcept {
    return cancelled_.load(std::memory_order_relaxed) || (also_ != nullptr && also_());
  }

 private:
  std::atomic<bool> cancelled_{false};
  bool (*also_)() noexcept = nullptr;
};

// One command's work as its loops see it. They count the bytes they touch
// against it, which reports the progress and raises CancelFailure() once the
// command's token says so; and its results note here the files they
// replaced (those are in the trash), for whoever tells the user. A job
// belongs to the one thread that runs the command.
class Job {
 public:
  // Counts without reporting and is never cancelled.
  Job() = default;
  // Reports go to `report`, at most every `step` bytes and once more when
  // the work is done; `cancel` (none: work that must not stop half-way)
  // stops the work.
  Job(ProgressCallback report, const CancelToken* cancel, std::uint64_t step = 1 << 20);
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // Adds `bytes` of work that turned out to be needed on top of what was
  // declared (data read a second time, say).
  void Expect(std::uint64_t bytes) noexcept;
  // Counts `bytes` of that work as done; raises CancelFailure() when the
  // command was cancelled.
  void Advance(std::uint64_t bytes);
  // Whether the command was cancelled (for code that must find out after a
  // library in C has given up, rather than raise).
  [[nodiscard]] bool cancelled() const noexcept;

  void NoteReplaced(const std::string& path) { replaced_.push_back(path); }
  [[nodiscard]] const std::vector<std::string>& replaced() const noexcept { return replaced_; }

  [[nodiscard]] std::uint64_t done() const noexcept { return done_; }
  [[nodiscard]] std::uint64_t total() const noexcept { return total_; }

 private:
  friend class ExpectedWork;
  void Report() noexcept;

  ProgressCallback report_;
  const CancelToken* cancel_ = nullptr;
  std::uint64_t step_ = 1 << 20;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t next_report_ = 0;
  int declared_ = 0;  // ExpectedWork objects alive
  std::vector<std::string> replaced_;
};

// The work a routine is about to do, declared for as long as it runs. A
// routine called by another that declared its work already (destroying an
// intermediate file, say) adds nothing: the caller counted it.
class ExpectedWork {
 public:
  ExpectedWork(Job& job, std::uint64_t bytes) noexcept;
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
  Job& job_;
  bool counted_ = false;
};

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

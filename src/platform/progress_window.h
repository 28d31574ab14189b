// The progress window of the front ends, and the display that feeds it from
// the progress reports of the command it shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/progress.h"

namespace talvor {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // A command starts its work, named by `title` ("Encrypting notes.txt
  // (BLOWFISH)"), on `file`, whose size the share done is shown in; with
  // `cancellable` the user may cancel it. The window may wait a moment
  // before it shows.
  virtual void Open(const std::string& title, const std::string& file, bool cancellable) = 0;
  // Bytes done of bytes total; the window repaints the program meanwhile.
  virtual void Update(std::uint64_t done, std::uint64_t total) = 0;
  // Whether the user asked to cancel the work.
  [[nodiscard]] virtual bool CancelRequested() = 0;
  // The work has ended; the window is gone when this returns.
  virtual void Close() = 0;
};

// Shows the progress of the work done while it lives (nothing without a
// window); work that may be cancelled raises a kCancelled Failure where it is counted
// once the user asked the window for it, work that may not is not cancelled
// at all.
class ProgressDisplay {
 public:
  ProgressDisplay(ProgressWindow* window, const std::string& title, const std::string& file,
                  bool cancellable = true)
      : window_(window) {
    // Work that must not stop half-way is not cancelled by anyone.
    if (!cancellable) cancellation_.emplace(std::function<bool()>());
    if (window_ == nullptr) return;
    window_->Open(title, file, cancellable);
    scope_.emplace(
        [this](std::uint64_t done, std::uint64_t total) { window_->Update(done, total); });
    if (cancellable) cancellation_.emplace([this] { return window_->CancelRequested(); });
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;
  ~ProgressDisplay() {
    cancellation_.reset();
    scope_.reset();
    if (window_ != nullptr) window_->Close();
  }

 private:
  ProgressWindow* window_;
  std::optional<ProgressScope> scope_;
  std::optional<CancellationScope> cancellation_;
};

}  // namespace talvor

// The modal progress window of the desktop windows, and the display that
// feeds it from the progress reports of the command it shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/progress.h"

namespace talvor {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // A command starts on `file`; the window may wait a moment before it shows.
  virtual void Open(const std::string& file) = 0;
  // Bytes done of bytes total; the window repaints the program meanwhile.
  virtual void Update(std::uint64_t done, std::uint64_t total) = 0;
  virtual void Close() = 0;
};

// Shows the progress of the work done while it lives (nothing without a
// window).
class ProgressDisplay {
 public:
  ProgressDisplay(ProgressWindow* window, const std::string& file) : window_(window) {
    if (window_ == nullptr) return;
    window_->Open(file);
    scope_.emplace(
        [this](std::uint64_t done, std::uint64_t total) { window_->Update(done, total); });
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;
  ~ProgressDisplay() {
    scope_.reset();
    if (window_ != nullptr) window_->Close();
  }

 private:
  ProgressWindow* window_;
  std::optional<ProgressScope> scope_;
};

}  // namespace talvor

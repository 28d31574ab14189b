// The progress window of the front ends.
#pragma once

#include <cstdint>
#include <string>

#include "platform/progress.h"

namespace talvor {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // A command starts its work, named by `title` ("Encrypting notes.txt
  // (BLOWFISH)"), on `file`, whose size the share done is shown in. The
  // user's Cancel sets `cancel`; without one the work may not be cancelled.
  // The window may wait a moment before it shows.
  virtual void Open(const std::string& title, const std::string& file, CancelToken* cancel) = 0;
  // Bytes done of bytes total.
  virtual void Update(std::uint64_t done, std::uint64_t total) = 0;
  // The work has ended; the window is gone when this returns.
  virtual void Close() = 0;
};

}  // namespace talvor

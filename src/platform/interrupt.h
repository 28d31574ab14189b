// Ctrl+C (SIGINT) and SIGTERM as a request to cancel the work, for a
// program on a terminal: the work stops where it is counted (a kCancelled Failure) and
// cleans up after itself instead of being killed half-way.
#pragma once

namespace talvor {

// From now on SIGINT and SIGTERM are taken as a request to cancel. Calls
// that wait (reading a terminal) then return early with EINTR.
void CatchInterrupts();
// The signal that asked to cancel (SIGINT, SIGTERM), or 0.
[[nodiscard]] int InterruptSignal() noexcept;

}  // namespace talvor

#include "platform/clock.h"

#include <ctime>

namespace talvor {

namespace {

std::uint64_t MonotonicNanoseconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ULL +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace

std::uint64_t SystemClock::PerformanceCounter() {
  return MonotonicNanoseconds();
}

std::uint32_t SystemClock::TickCount() {
  return static_cast<std::uint32_t>(MonotonicNanoseconds() / 1000000ULL);
}

std::uint32_t SystemClock::TimeGetTime() {
  return TickCount();
}

}  // namespace talvor

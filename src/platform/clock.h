// Clocks of the machine.
#pragma once

#include <cstdint>

namespace talvor {

class Clock {
 public:
  virtual ~Clock() = default;
  // The high-resolution performance counter; HasPerformanceCounter() tells whether the
  // machine has one.
  [[nodiscard]] virtual bool HasPerformanceCounter() = 0;
  [[nodiscard]] virtual std::uint64_t PerformanceCounter() = 0;
  // Milliseconds since the system started.
  [[nodiscard]] virtual std::uint32_t TickCount() = 0;
  // The multimedia timer in milliseconds.
  [[nodiscard]] virtual std::uint32_t TimeGetTime() = 0;
};

class SystemClock final : public Clock {
 public:
  bool HasPerformanceCounter() override { return true; }
  std::uint64_t PerformanceCounter() override;
  std::uint32_t TickCount() override;
  std::uint32_t TimeGetTime() override;
};

}  // namespace talvor

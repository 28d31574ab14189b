#include "platform/random_generator.h"

namespace talvor {

void RandomGenerator::Randomize(Clock& clock) {
  state_ = clock.HasPerformanceCounter() ? static_cast<std::uint32_t>(clock.PerformanceCounter())
                                         : clock.TickCount();
}

namespace {

constexpr std::uint32_t kMultiplier = 134775813U;
constexpr std::size_t kLanes = 8;

// The step taken kLanes times at once: s -> a^8 s + c (a^7 + ... + a + 1).
constexpr std::uint32_t LaneMultiplier() {
  std::uint32_t a = 1;
  for (std::size_t i = 0; i < kLanes; ++i) a *= kMultiplier;
  return a;
}

constexpr std::uint32_t LaneIncrement() {
  std::uint32_t c = 0;
  for (std::size_t i = 0; i < kLanes; ++i) c = c * kMultiplier + 1U;
  return c;
}

}  // namespace

void RandomGenerator::NextStates(std::uint32_t* states, std::size_t count) noexcept {
  const std::size_t head = count < kLanes ? count : kLanes;
  for (std::size_t i = 0; i < head; ++i) {
    state_ = state_ * kMultiplier + 1U;
    states[i] = state_;
  }
  constexpr std::uint32_t a = LaneMultiplier();
  constexpr std::uint32_t c = LaneIncrement();
  for (std::size_t i = kLanes; i < count; ++i) states[i] = states[i - kLanes] * a + c;
  if (count > kLanes) state_ = states[count - 1];
}

}  // namespace talvor

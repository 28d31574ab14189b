// The program-wide pseudo-random generator: a 32-bit linear congruential
// generator (multiplier 134775813, increment 1).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace talvor {

class RandomGenerator {
 public:
  [[nodiscard]] std::uint32_t state() const noexcept { return state_; }
  void set_state(std::uint32_t state) noexcept { state_ = state; }

  // Starts the generator from the clock: the low 32 bits of the performance
  // counter, or the millisecond tick count when there is no such counter.
  void Randomize(Clock& clock);

  // A number from 0 to range - 1 (0 when range is 0): the generator steps,
  // and the upper 32 bits of the 64-bit product of its state and range are
  // the result.
  [[nodiscard]] std::uint32_t Random(std::uint32_t range) noexcept {
    state_ = state_ * 134775813U + 1U;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state_) * range) >> 32);
  }

  // Steps the generator `count` times and stores every state it passes
  // through: Random(range) of the k-th step is (states[k] * range) >> 32.
  // Works on interleaved lanes, so that long runs go at the speed of the
  // multiplier rather than of one dependent chain.
  void NextStates(std::uint32_t* states, std::size_t count) noexcept;

 private:
  std::uint32_t state_ = 0;
};

}  // namespace talvor

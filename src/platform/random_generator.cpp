#include "platform/random_generator.h"

namespace talvor {

void RandomGenerator::Randomize(Clock& clock) {
  state_ = clock.HasPerformanceCounter() ? static_cast<std::uint32_t>(clock.PerformanceCounter())
                                         : clock.TickCount();
}

}  // namespace talvor

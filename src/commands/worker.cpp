#include "commands/worker.h"

#include <utility>

namespace talvor {

bool Worker::Start(Work work, Then then) {
  if (busy_) return false;
  busy_ = true;
  cancel_.Reset();
  const bool launched = Launch([this, work = std::move(work), then = std::move(then)]() mutable {
    std::exception_ptr failure;
    try {
      work(cancel_);
    } catch (...) {
      failure = std::current_exception();
    }
    PostToWindowThread([this, then = std::move(then), failure] {
      Ended();
      busy_ = false;
      then(failure);
      if (after_) std::exchange(after_, nullptr)();
    });
  });
  if (!launched) busy_ = false;
  return launched;
}

void Worker::CancelThen(std::function<void()> after) {
  if (!busy_) {
    after();
    return;
  }
  cancel_.Cancel();
  after_ = std::move(after);
}

}  // namespace talvor

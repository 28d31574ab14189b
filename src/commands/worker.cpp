#include "commands/worker.h"

#include <utility>

namespace talvor {

bool InlineWorker::Start(Work work, Then then) {
  if (busy_) return false;
  busy_ = true;
  cancel_.Reset();
  std::exception_ptr failure;
  try {
    work(cancel_);
  } catch (...) {
    failure = std::current_exception();
  }
  busy_ = false;
  then(failure);
  if (after_) std::exchange(after_, nullptr)();
  return true;
}

void InlineWorker::CancelThen(std::function<void()> after) {
  if (!busy_) {
    after();
    return;
  }
  cancel_.Cancel();
  after_ = std::move(after);
}

}  // namespace talvor

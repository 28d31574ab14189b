#include "app/qt_worker.h"

#include <QMetaObject>
#include <QThread>
#include <utility>

#include "platform/progress.h"

namespace talvor {

QtWorker::QtWorker() : window_side_(std::make_unique<QObject>()) {}

QtWorker::~QtWorker() {
  Stop();
}

bool QtWorker::OnWindowThreadNow() const {
  return window_side_ == nullptr || QThread::currentThread() == window_side_->thread();
}

bool QtWorker::Launch(std::function<void()> run) {
  if (window_side_ == nullptr) return false;
  if (thread_.joinable()) thread_.join();
  thread_ = std::thread(std::move(run));
  return true;
}

void QtWorker::Ended() {
  if (thread_.joinable()) thread_.join();
}

void QtWorker::OnWindowThread(const std::function<void()>& call) {
  if (OnWindowThreadNow()) {
    call();
    return;
  }
  // Answered on the window's thread; the worker waits for it, unless the
  // program ends meanwhile (the call is then dropped with the window's side).
  struct Handover {
    bool done = false;
    std::exception_ptr failure;
  };
  const auto handover = std::make_shared<Handover>();
  PostToWindowThread([this, handover, &call] {
    std::exception_ptr failure;
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
    {
      const std::lock_guard lock(mutex_);
      handover->done = true;
      handover->failure = failure;
    }
    handed_back_.notify_all();
  });
  std::unique_lock lock(mutex_);
  handed_back_.wait(lock, [&] { return handover->done || stopping_; });
  if (!handover->done) throw CancelFailure();
  if (handover->failure) std::rethrow_exception(handover->failure);
}

void QtWorker::PostToWindowThread(std::function<void()> call) {
  const std::lock_guard lock(mutex_);
  if (stopping_) return;
  QMetaObject::invokeMethod(window_side_.get(), std::move(call), Qt::QueuedConnection);
}

void QtWorker::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  handed_back_.notify_all();
  Cancel();
  if (thread_.joinable()) thread_.join();
  // Whatever the work handed over and the window has not taken goes with it.
  window_side_.reset();
  Release();
}

}  // namespace talvor

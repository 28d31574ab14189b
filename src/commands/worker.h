// Where the windows run their commands: on a worker beside the window's
// thread, one command at a time, so that the window keeps its own event
// loop (it repaints, and its Cancel is heard) while the work goes on. What
// the command needs of the window on the way (a question, a refusal, the
// progress) is handed to the window's thread.
#pragma once

#include <exception>
#include <functional>

#include "platform/progress.h"

namespace talvor {

class Worker {
 public:
  using Work = std::function<void(CancelToken& cancel)>;
  // Runs on the window's thread once the work has ended, with what it
  // raised (null when it ended well).
  using Then = std::function<void(std::exception_ptr failure)>;

  virtual ~Worker() = default;
  // Starts `work` with a fresh token unless a work is running (then false,
  // and nothing happens).
  [[nodiscard]] virtual bool Start(Work work, Then then) = 0;
  [[nodiscard]] virtual bool busy() const = 0;
  // Cancels the running work, if any.
  virtual void Cancel() = 0;
  // Cancels the running work and runs `after` on the window's thread once
  // it has ended (and what follows it, `then`, has run).
  virtual void CancelThen(std::function<void()> after) = 0;
  // Runs `call` on the window's thread and waits until it has returned (what
  // it raises is raised here).
  virtual void OnWindowThread(const std::function<void()>& call) = 0;
  // Has `call` run on the window's thread soon; does not wait.
  virtual void PostToWindowThread(std::function<void()> call) = 0;
};

// The worker of a program without a window's thread of its own, and of the
// window logic's tests: the work runs at once, on the calling thread.
class InlineWorker final : public Worker {
 public:
  bool Start(Work work, Then then) override;
  [[nodiscard]] bool busy() const override { return busy_; }
  void Cancel() override { cancel_.Cancel(); }
  void CancelThen(std::function<void()> after) override;
  void OnWindowThread(const std::function<void()>& call) override { call(); }
  void PostToWindowThread(std::function<void()> call) override { call(); }

 private:
  CancelToken cancel_;
  bool busy_ = false;
  std::function<void()> after_;
};

}  // namespace talvor

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
  // and nothing happens). Called on the window's thread, as are the two
  // below.
  [[nodiscard]] bool Start(Work work, Then then);
  [[nodiscard]] bool busy() const noexcept { return busy_; }
  // Cancels the running work, if any.
  void Cancel() noexcept { cancel_.Cancel(); }
  // Cancels the running work and runs `after` on the window's thread once
  // it has ended (and what follows it, `then`, has run).
  void CancelThen(std::function<void()> after);
  // Runs `call` on the window's thread and waits until it has returned (what
  // it raises is raised here).
  virtual void OnWindowThread(const std::function<void()>& call) = 0;
  // Has `call` run on the window's thread soon; does not wait.
  virtual void PostToWindowThread(std::function<void()> call) = 0;

 protected:
  // Runs `run` where the work goes: at once, or on a thread of its own;
  // false when no work may start any more.
  [[nodiscard]] virtual bool Launch(std::function<void()> run) = 0;
  // On the window's thread, once the work has ended, before `then`.
  virtual void Ended() {}
  // The work is over, however (the program ends).
  void Release() noexcept { busy_ = false; }

 private:
  CancelToken cancel_;
  bool busy_ = false;
  std::function<void()> after_;
};

// The worker of a program without a window's thread of its own, and of the
// window logic's tests: the work runs at once, on the calling thread.
class InlineWorker final : public Worker {
 public:
  void OnWindowThread(const std::function<void()>& call) override { call(); }
  void PostToWindowThread(std::function<void()> call) override { call(); }

 protected:
  bool Launch(std::function<void()> run) override {
    run();
    return true;
  }
};

}  // namespace talvor

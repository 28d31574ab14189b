// The windows' worker: a thread beside the window's, which runs one command
// at a time while the window's event loop goes on.
#pragma once

#include <QObject>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "commands/worker.h"

namespace talvor {

class QtWorker final : public Worker {
 public:
  QtWorker();
  QtWorker(const QtWorker&) = delete;
  QtWorker& operator=(const QtWorker&) = delete;
  ~QtWorker() override;

  void OnWindowThread(const std::function<void()>& call) override;
  void PostToWindowThread(std::function<void()> call) override;

  // Cancels the running command and waits for it to end; what it would
  // still hand to the window's thread is dropped. For the program's end:
  // no work starts afterwards.
  void Stop();

 protected:
  bool Launch(std::function<void()> run) override;
  void Ended() override;

 private:
  [[nodiscard]] bool OnWindowThreadNow() const;

  std::unique_ptr<QObject> window_side_;  // lives on the window's thread
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable handed_back_;
  bool stopping_ = false;  // guarded by mutex_
};

}  // namespace talvor

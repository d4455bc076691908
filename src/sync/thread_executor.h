// An executor with a thread of its own: the event loop of keyloftctl and of
// tests, standing where the desktop program has its Qt main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sync/ports.h"

namespace keyloft {

class ThreadExecutor : public Executor {
 public:
  ThreadExecutor();
  ~ThreadExecutor() override;

  void RunAndWait(std::function<void()> task) override;
  void Post(std::function<void()> task) override;
  void PostAfter(int delayMs, std::function<void()> task) override;
  void Shutdown() override;

  // Waits until every task due by now has run (tests use it to settle).
  void Drain();
  bool OnExecutorThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  struct Task {
    std::chrono::steady_clock::time_point due;
    uint64_t order;
    std::function<void()> run;
  };
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Task> tasks_;
  uint64_t nextOrder_ = 0;
  bool stopping_ = false;
  bool busy_ = false;
  std::thread thread_;
};

}  // namespace keyloft

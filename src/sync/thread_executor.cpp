#include "sync/thread_executor.h"

#include <algorithm>
#include <future>

namespace keyloft {

ThreadExecutor::ThreadExecutor() : thread_([this] { Loop(); }) {}

ThreadExecutor::~ThreadExecutor() {
  Shutdown();
  if (thread_.joinable()) thread_.join();
}

void ThreadExecutor::Shutdown() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  std::vector<Task> dropped = std::move(tasks_);  // their waiters are released by the dropped promises
  tasks_.clear();
  changed_.notify_all();
  // A task that is running may still use what its owner is about to destroy.
  if (!OnExecutorThread()) changed_.wait(lock, [this] { return !busy_; });
  lock.unlock();
  dropped.clear();
}

void ThreadExecutor::Post(std::function<void()> task) { PostAfter(0, std::move(task)); }

void ThreadExecutor::PostAfter(int delayMs, std::function<void()> task) {
  {
    std::scoped_lock lock(mutex_);
    if (stopping_) return;
    tasks_.push_back({std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs), nextOrder_++, std::move(task)});
  }
  changed_.notify_all();
}

void ThreadExecutor::RunAndWait(std::function<void()> task) {
  if (OnExecutorThread()) {
    task();
    return;
  }
  // Only the queued task holds the promise: dropped unrun, it breaks it.
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  Post([task = std::move(task), done = std::move(done)] {
    task();
    done->set_value();
  });
  // A task dropped by Shutdown breaks the promise: the wait ends either way.
  finished.wait();
}

void ThreadExecutor::Drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] {
    auto now = std::chrono::steady_clock::now();
    return stopping_ || (!busy_ && std::none_of(tasks_.begin(), tasks_.end(), [&](const Task& t) { return t.due <= now; }));
  });
}

void ThreadExecutor::Loop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (tasks_.empty()) {
      changed_.wait(lock);
      continue;
    }
    auto next = std::min_element(tasks_.begin(), tasks_.end(), [](const Task& a, const Task& b) {
      return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    if (next->due > std::chrono::steady_clock::now()) {
      changed_.wait_until(lock, next->due);
      continue;
    }
    Task task = std::move(*next);
    tasks_.erase(next);
    busy_ = true;
    lock.unlock();
    task.run();
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace keyloft

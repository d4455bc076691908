// Tells a worker thread to end, and lets it sleep until told.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace keyloft {

class StopSignal {
 public:
  void Reset() {
    std::scoped_lock lock(mutex_);
    raised_ = false;
  }
  void Raise() {
    {
      std::scoped_lock lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }
  bool Raised() const {
    std::scoped_lock lock(mutex_);
    return raised_;
  }
  // Sleeps up to ms; false when the signal was raised meanwhile.
  bool SleepFor(int ms) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return raised_; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

}  // namespace keyloft

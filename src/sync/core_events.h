// What the core did, for whoever watches it (keyloftctl watch, here or through
// the running program): connected, removed, profile N, lighting, applied N.
// Published on the sequence thread, wherever the change came from.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string_view>

namespace keyloft {

class CoreEvents {
 public:
  // event and, for profile and applied, the profile (0..2), else -1.
  using Sink = std::function<void(std::string_view event, int profile)>;

  int Subscribe(Sink sink) {
    std::scoped_lock lock(mutex_);
    sinks_.emplace(++last_, std::move(sink));
    return last_;
  }
  // Returns once no call of that sink runs any more.
  void Unsubscribe(int id) {
    std::scoped_lock lock(mutex_);
    sinks_.erase(id);
  }
  // A sink must not subscribe or unsubscribe from inside its call.
  void Publish(std::string_view event, int profile = -1) {
    std::scoped_lock lock(mutex_);
    for (auto& [id, sink] : sinks_) sink(event, profile);
  }

 private:
  std::mutex mutex_;
  std::map<int, Sink> sinks_;
  int last_ = 0;
};

}  // namespace keyloft

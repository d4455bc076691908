// DeviceEvents that write down what they are told, for tests; a test waits for
// an event instead of sleeping.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_events.h"

namespace keyloft::test {

class RecordingEvents : public DeviceEvents {
 public:
  // Runs inside KeyboardConnected, as the program's read-back would.
  std::function<void()> onConnected;

  void KeyboardConnected() override {
    if (onConnected) onConnected();
    Add("connected");
  }
  void KeyboardDisconnected() override { Add("disconnected"); }
  void OpenRequested() override { Add("open"); }
  void Notify(std::string_view textKey) override { Add("notify " + std::string(textKey)); }
  void ShowTrayIcon(TrayIcon icon, bool remember) override {
    Add("icon " + std::string(IconName(icon)) + (remember ? "" : " once"));
  }
  void MacroPlaying(bool playing) override { Add(playing ? "macro playing" : "macro stopped"); }
  void LightingChangedOnKeyboard() override { Add("lighting changed"); }
  void ProfileChangedOnKeyboard() override { Add("profile changed"); }

  static std::string_view IconName(TrayIcon icon) {
    switch (icon) {
      case TrayIcon::Disconnected: return "disconnected";
      case TrayIcon::Connected: return "connected";
      case TrayIcon::MacroPlaying: return "playing";
    }
    return "?";
  }

  std::vector<std::string> Events() const {
    std::scoped_lock lock(mutex_);
    return events_;
  }

  // Waits until the event has been recorded count times.
  bool WaitFor(const std::string& event, size_t count = 1, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return CountLocked(event) >= count; });
  }

  size_t Count(const std::string& event) const {
    std::scoped_lock lock(mutex_);
    return CountLocked(event);
  }

 private:
  void Add(std::string event) {
    std::scoped_lock lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }
  size_t CountLocked(const std::string& event) const {
    size_t n = 0;
    for (const auto& e : events_) n += e == event;
    return n;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
};

}  // namespace keyloft::test

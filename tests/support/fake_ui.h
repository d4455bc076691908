// A headless user interface for the synchronisation: the quiet one the
// programs without windows use, with every port call a test may look for
// written down in one log, and questions answered as the test says.
#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "recording_events.h"
#include "sync/headless_ui.h"

namespace keyloft::test {

class FakeUi : public HeadlessUi {
 public:
  // Answers and states the sequences ask about.
  bool answer = false;
  bool applyEnabled = false;  // the Apply button, as the core last set it
  bool keyDialogOpen = false;
  bool recording = false;
  bool managerOpen = false;
  bool managerPending = false;
  // Runs inside Confirm, before it answers (a test does what a user might meanwhile).
  std::function<void()> whileAsked;

  std::vector<std::string> Log() const {
    std::scoped_lock lock(mutex_);
    return log_;
  }
  bool Saw(const std::string& entry) const {
    std::scoped_lock lock(mutex_);
    for (const auto& e : log_) {
      if (e == entry) return true;
    }
    return false;
  }
  int Count(const std::string& entry) const {
    std::scoped_lock lock(mutex_);
    return static_cast<int>(std::count(log_.begin(), log_.end(), entry));
  }
  void ClearLog() {
    std::scoped_lock lock(mutex_);
    log_.clear();
  }

  void Notify(std::string_view key) override { Add("notify " + std::string(key)); }
  void NotifyFormatted(std::string_view key, const FormatArg&) override { Add("notify " + std::string(key)); }
  bool Confirm(std::string_view key) override {
    Add("confirm " + std::string(key));
    if (whileAsked) whileAsked();
    return answer;
  }

  void KeyboardConnected() override { Add("shell connected"); }
  void KeyboardRemoved() override { Add("shell removed"); }
  void OpenRequested() override { Add("shell open"); }
  void ShowTrayIcon(TrayIcon icon) override { Add("tray " + std::string(RecordingEvents::IconName(icon))); }

  void SetApplyEnabled(bool enabled) override {
    applyEnabled = enabled;
    Add(enabled ? "apply on" : "apply off");
  }
  bool KeyDialogOpen() override { return keyDialogOpen; }
  bool RecordingRunning() override { return recording; }
  void StopRecording() override {
    recording = false;
    Add("recording stopped");
  }
  bool ProfileManagerOpen() override { return managerOpen; }
  bool ProfileManagerPending() override { return managerPending; }
  void ProfileManagerShowActive(int p) override { Add("manager row " + std::to_string(p)); }

  void RedrawKeys() override { Add("keys redrawn"); }
  void MarkProfileButton(int p) override { Add("profile button " + std::to_string(p)); }
  void RefreshProfileCaption() override { Add("caption"); }

  void RefreshPanel() override { Add("panel"); }
  void LeaveLightingView() override { Add("view left"); }

  void Show() override { Add("progress on"); }
  void Hide() override { Add("progress off"); }

 private:
  void Add(std::string entry) {
    std::scoped_lock lock(mutex_);
    log_.push_back(std::move(entry));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
};

}  // namespace keyloft::test

// A headless user interface for the synchronisation: every port call written
// down in one log, questions answered as the test says.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "lang/prompts.h"
#include "model/lighting_view.h"
#include "sync/ports.h"

namespace keyloft::test {

class FakeUi : public Prompts, public ShellPort, public EditingState, public KeyView, public LightingView,
               public ProgressPort {
 public:
  // Answers and states the sequences ask about.
  bool answer = false;
  bool applyEnabled = false;
  bool keyDialogOpen = false;
  bool recording = false;
  bool managerOpen = false;
  bool managerPending = false;

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
  void ClearLog() {
    std::scoped_lock lock(mutex_);
    log_.clear();
  }

  void Notify(std::string_view key) override { Add("notify " + std::string(key)); }
  void NotifyFormatted(std::string_view key, const FormatArg&) override { Add("notify " + std::string(key)); }
  bool Confirm(std::string_view key) override {
    Add("confirm " + std::string(key));
    return answer;
  }

  void KeyboardConnected() override { Add("shell connected"); }
  void KeyboardRemoved() override { Add("shell removed"); }
  void OpenRequested() override { Add("shell open"); }
  void ShowTrayIcon(int icon) override { Add("tray " + std::to_string(icon)); }

  bool ApplyEnabled() override { return applyEnabled; }
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
  void BlankKeyColours() override {}
  void LayDirectionArrows(int) override {}
  void ShowEffectControls(int) override {}
  void RepaintKeysFromMirror() override {}
  void LeaveLightingView() override { Add("view left"); }
  void FillSchemeList(std::span<const std::string>) override {}
  void RestartPreview() override {}

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

// A user interface with nothing to show: every port answered quietly, the
// questions with No. Programs without windows build on it
// and override what they do show.
#pragma once

#include "lang/prompts.h"
#include "sync/lighting_view.h"
#include "sync/ports.h"

namespace keyloft {

class HeadlessUi : public Prompts, public ShellPort, public EditingState, public KeyView, public LightingView,
                   public ProgressPort {
 public:
  // The ports as the core's sequences take them.
  SyncPorts Ports() { return {*this, *this, *this, *this, *this, *this}; }

  void Notify(std::string_view) override {}
  void NotifyFormatted(std::string_view, const FormatArg&) override {}
  bool Confirm(std::string_view) override { return false; }

  void KeyboardConnected() override {}
  void KeyboardRemoved() override {}
  void OpenRequested() override {}
  void ShowTrayIcon(TrayIcon) override {}

  void SetApplyEnabled(bool) override {}
  bool KeyDialogOpen() override { return false; }
  bool RecordingRunning() override { return false; }
  void StopRecording() override {}
  bool ProfileManagerOpen() override { return false; }
  bool ProfileManagerPending() override { return false; }
  void ProfileManagerShowActive(int) override {}

  void RedrawKeys() override {}
  void MarkProfileButton(int) override {}
  void RefreshProfileCaption() override {}

  void RefreshPanel() override {}
  void BlankKeyColours() override {}
  void LayDirectionArrows(int) override {}
  void ShowEffectControls(int) override {}
  void RepaintKeysFromMirror() override {}
  void LeaveLightingView() override {}
  void FillSchemeList(std::span<const std::string>) override {}
  void RestartPreview() override {}

  void Show() override {}
  void Hide() override {}
};

}  // namespace keyloft

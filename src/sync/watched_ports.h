// The program's shell, key view and lighting view, with what watchers want to
// hear of them published as events on the way through.
#pragma once

#include "sync/core_events.h"
#include "sync/lighting_view.h"
#include "sync/ports.h"

namespace keyloft {

class WatchedPorts : public ShellPort, public KeyView, public LightingView {
 public:
  WatchedPorts(const SyncPorts& inner, CoreEvents& events) : inner_(inner), events_(events) {}

  void KeyboardConnected() override {
    inner_.shell.KeyboardConnected();
    events_.Publish("connected");
  }
  void KeyboardRemoved() override {
    inner_.shell.KeyboardRemoved();
    events_.Publish("removed");
  }
  void OpenRequested() override { inner_.shell.OpenRequested(); }
  void ShowTrayIcon(TrayIcon icon) override { inner_.shell.ShowTrayIcon(icon); }

  void RedrawKeys() override { inner_.keys.RedrawKeys(); }
  void MarkProfileButton(int profile) override {
    inner_.keys.MarkProfileButton(profile);
    events_.Publish("profile", profile);
  }
  void RefreshProfileCaption() override { inner_.keys.RefreshProfileCaption(); }

  void RefreshPanel() override {
    inner_.lightingView.RefreshPanel();
    events_.Publish("panel");
  }
  void BlankKeyColours() override { inner_.lightingView.BlankKeyColours(); }
  void LayDirectionArrows(int mode) override { inner_.lightingView.LayDirectionArrows(mode); }
  void ShowEffectControls(int mode) override { inner_.lightingView.ShowEffectControls(mode); }
  void RepaintKeysFromMirror() override { inner_.lightingView.RepaintKeysFromMirror(); }
  void LeaveLightingView() override { inner_.lightingView.LeaveLightingView(); }
  void FillSchemeList(std::span<const std::string> names) override { inner_.lightingView.FillSchemeList(names); }
  void RestartPreview() override { inner_.lightingView.RestartPreview(); }

 private:
  SyncPorts inner_;
  CoreEvents& events_;
};

}  // namespace keyloft

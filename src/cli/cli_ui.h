// The command-line tool's user interface for the core's sequences: messages
// go to stderr, questions answer Yes only with --yes, and what a command needs
// to judge the outcome (messages said, the connection, Apply) is kept.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "lang/localisation.h"
#include "lang/prompts.h"
#include "model/lighting_view.h"
#include "sync/ports.h"

namespace keyloft::cli {

class CliUi : public Prompts, public ShellPort, public EditingState, public KeyView, public LightingView,
              public ProgressPort {
 public:
  explicit CliUi(bool answerYes) : answerYes_(answerYes) {}

  // Texts are looked up once the core has made its language.
  void SetLanguage(const Localisation* lang) { lang_ = lang; }
  // Called on the executor's thread for each shell or panel event (watch).
  void SetEventSink(std::function<void(std::string_view)> sink) { sink_ = std::move(sink); }

  // The text keys said so far.
  std::vector<std::string> Said() const;

  void Notify(std::string_view textKey) override;
  void NotifyFormatted(std::string_view textKey, const FormatArg& argument) override;
  bool Confirm(std::string_view textKey) override;

  void KeyboardConnected() override;
  void KeyboardRemoved() override;
  void OpenRequested() override {}
  void ShowTrayIcon(int) override {}

  bool ApplyEnabled() override { return applyEnabled_; }
  void SetApplyEnabled(bool enabled) override { applyEnabled_ = enabled; }
  bool KeyDialogOpen() override { return false; }
  bool RecordingRunning() override { return false; }
  void StopRecording() override {}
  bool ProfileManagerOpen() override { return false; }
  bool ProfileManagerPending() override { return false; }
  void ProfileManagerShowActive(int) override {}

  void RedrawKeys() override {}
  void MarkProfileButton(int profile) override;
  void RefreshProfileCaption() override {}

  void RefreshPanel() override;
  void BlankKeyColours() override {}
  void LayDirectionArrows(int) override {}
  void ShowEffectControls(int) override {}
  void RepaintKeysFromMirror() override {}
  void LeaveLightingView() override {}
  void FillSchemeList(std::span<const std::string>) override {}
  void RestartPreview() override {}

  void Show() override {}
  void Hide() override {}

 private:
  std::string Text(std::string_view key) const;
  void Remember(std::string_view key);
  void Emit(std::string_view event);

  bool answerYes_;
  const Localisation* lang_ = nullptr;
  std::function<void(std::string_view)> sink_;
  std::atomic<bool> applyEnabled_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> said_;
};

}  // namespace keyloft::cli

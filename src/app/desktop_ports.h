// The core's ports answered by the desktop program. The sequences call them on
// their own thread; every call reaches the windows on the Qt thread as a
// queued call, so no sequence waits on a window and the windows never wait on
// the keyboard. Two calls do wait, as the sequences need their outcome: a
// question (Yes or No) and stopping a recording; both end with No (or at
// once) when the program closes meanwhile. What a sequence asks about the
// windows (is a key dialog open, ...) is answered from values the windows keep
// up to date here.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lang/localisation.h"
#include "lang/prompts.h"
#include "model/lighting.h"
#include "sync/lighting_view.h"
#include "sync/scheme_editor.h"
#include "sync/ports.h"

namespace keyloft::app {

// What the ports drive, on the Qt thread: the application's window parts.
class DesktopShell {
 public:
  virtual ~DesktopShell() = default;
  virtual void showNotice(const QString& text) = 0;
  virtual bool askYesNo(const QString& text) = 0;  // modal; No preselected
  virtual void keyboardConnected() = 0;
  virtual void keyboardRemoved() = 0;
  virtual void openRequested() = 0;
  virtual void showTrayIcon(TrayIcon icon) = 0;
  virtual void setApplyEnabled(bool enabled) = 0;
  virtual void stopRecording() = 0;
  virtual void profileManagerShowActive(int profile) = 0;
  virtual void redrawKeys() = 0;
  virtual void markProfileButton(int profile) = 0;
  virtual void refreshProfileCaption() = 0;
  virtual void showProgress(bool shown) = 0;
  // The lighting view's calls, each with the lighting as the sequence left it.
  virtual void refreshLighting(const LightingSnapshot& lighting) = 0;
  virtual void lightingViewCall(const LightingSnapshot& lighting, const std::function<void(LightingView&)>& call) = 0;
};

class DesktopPorts : public QObject,
                     public Prompts,
                     public ShellPort,
                     public EditingState,
                     public KeyView,
                     public LightingView,
                     public ProgressPort {
  Q_OBJECT

 public:
  // The shell is told on the Qt thread.
  explicit DesktopPorts(DesktopShell& shell, QObject* parent = nullptr);

  // Turns text keys into texts; set once the core has made its language.
  void setLanguage(const Localisation& lang) { lang_ = &lang; }

  SyncPorts Ports() { return {*this, *this, *this, *this, *this, *this}; }
  // Where the lighting view's calls read the lighting: the core's, read on
  // the sequence thread that calls them.
  void setLightingSource(std::function<LightingSnapshot()> source) { lightingSource_ = std::move(source); }

  // The windows' state, which the sequences read.
  void setKeyDialogOpen(bool open) { keyDialogOpen_ = open; }
  void setRecording(bool running) { recording_ = running; }
  void setProfileManagerOpen(bool open) { managerOpen_ = open; }
  void setProfileManagerPending(bool pending) { managerPending_ = pending; }

  // The program closes: waiting questions are answered No and new ones at
  // once, so a sequence never waits on windows that are going away.
  void close();

  // Prompts
  void Notify(std::string_view textKey) override;
  void NotifyFormatted(std::string_view textKey, const FormatArg& argument) override;
  bool Confirm(std::string_view textKey) override;
  // ShellPort
  void KeyboardConnected() override;
  void KeyboardRemoved() override;
  void OpenRequested() override;
  void ShowTrayIcon(TrayIcon icon) override;
  // EditingState
  void SetApplyEnabled(bool enabled) override;
  bool KeyDialogOpen() override { return keyDialogOpen_; }
  bool RecordingRunning() override { return recording_; }
  void StopRecording() override;
  bool ProfileManagerOpen() override { return managerOpen_; }
  bool ProfileManagerPending() override { return managerPending_; }
  void ProfileManagerShowActive(int profile) override;
  // KeyView
  void RedrawKeys() override;
  void MarkProfileButton(int profile) override;
  void RefreshProfileCaption() override;
  // LightingView
  void RefreshPanel() override;
  void BlankKeyColours() override;
  void LayDirectionArrows(int mode) override;
  void ShowEffectControls(int mode) override;
  void RepaintKeysFromMirror() override;
  void LeaveLightingView() override;
  void FillSchemeList(std::span<const std::string> names) override;
  void RestartPreview() override;
  // ProgressPort
  void Show() override;
  void Hide() override;

 private:
  struct Waiter;
  // Runs work on the Qt thread: at once when called there, else queued.
  void onQtThread(std::function<void()> work);
  // Runs work on the Qt thread and waits for its answer; false when closing.
  bool waitForQtThread(std::function<bool()> work);
  QString text(std::string_view key) const;

  const Localisation* lang_ = nullptr;
  DesktopShell& shell_;
  // A lighting view call on the Qt thread, with the lighting as it is now.
  void lightingCall(std::function<void(LightingView&)> call);

  std::function<LightingSnapshot()> lightingSource_;
  std::atomic<bool> keyDialogOpen_{false};
  std::atomic<bool> recording_{false};
  std::atomic<bool> managerOpen_{false};
  std::atomic<bool> managerPending_{false};
  std::mutex waitersMutex_;
  bool closing_ = false;
  std::vector<std::shared_ptr<Waiter>> waiters_;
};

}  // namespace keyloft::app

// What the synchronisation sequences ask of the user interface. The desktop
// program answers with its windows, keyloftctl and the tests headless.
#pragma once

#include <functional>

#include "device/device_events.h"
#include "sync/core_events.h"

namespace keyloft {

class LightingView;
class Prompts;

// Where the sequences run: one thread, as the user interface's own.
class Executor {
 public:
  virtual ~Executor() = default;
  // Runs the task on the executor's thread and returns once it has run. After
  // Shutdown it returns at once without running it, so no caller can wait on
  // an executor that has stopped.
  virtual void RunAndWait(std::function<void()> task) = 0;
  virtual void Post(std::function<void()> task) = 0;
  virtual void PostAfter(int delayMs, std::function<void()> task) = 0;
  // Drops what is queued and, called from another thread, waits for a task
  // that is running to end.
  virtual void Shutdown() = 0;
};

// The program's shell: main window and tray.
class ShellPort {
 public:
  virtual ~ShellPort() = default;
  virtual void KeyboardConnected() = 0;
  virtual void KeyboardRemoved() = 0;  // open dialogs react; the main window hides
  virtual void OpenRequested() = 0;
  virtual void ShowTrayIcon(TrayIcon icon) = 0;
};

// Whether anything is being edited, and the Apply button. The core knows what
// is pending (ProfileWorkspace::Pending); the button follows what it is told.
class EditingState {
 public:
  virtual ~EditingState() = default;
  virtual void SetApplyEnabled(bool enabled) = 0;
  virtual bool KeyDialogOpen() = 0;
  virtual bool RecordingRunning() = 0;
  virtual void StopRecording() = 0;  // returns once it has stopped
  virtual bool ProfileManagerOpen() = 0;
  virtual bool ProfileManagerPending() = 0;
  // The profile manager shows row p as active, with nothing pending.
  virtual void ProfileManagerShowActive(int profile) = 0;
};

// The keyboard view of the main window.
class KeyView {
 public:
  virtual ~KeyView() = default;
  // From the active profile's records, read through the workspace (no lock is held by the caller).
  virtual void RedrawKeys() = 0;
  virtual void MarkProfileButton(int profile) = 0;
  virtual void RefreshProfileCaption() = 0;
};

// The apply animation.
class ProgressPort {
 public:
  virtual ~ProgressPort() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
};

// Everything the sequences ask of the user interface.
struct SyncPorts {
  Prompts& prompts;
  ShellPort& shell;
  EditingState& editing;
  KeyView& keys;
  LightingView& lightingView;
  ProgressPort& progress;
  // Where what the sequences did is published; none for a user interface alone.
  CoreEvents* events = nullptr;
};

}  // namespace keyloft

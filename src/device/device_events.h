// What the device link tells the rest of the program. The program answers
// through its user-interface ports; tests record the calls. The monitor and
// the listener call these on their own threads.
#pragma once

#include <string_view>

namespace keyloft {

// Tray icons by their resource numbers.
enum TrayIcon : int { kIconDisconnected = 128, kIconConnected = 141, kIconMacroPlaying = 142 };

// Timers the listener starts on the main window.
enum KeyboardTimer : int { kTimerLightingChanged = 1051, kTimerProfileChanged = 1053 };

// Which icon the tray shows: the monitor's icons become the base icon, and the
// keyboard's macro events show the playing icon or bring the base one back.
class TrayIconState {
 public:
  int Show(int icon, bool remember) {
    if (remember) base_ = icon;
    return shown_ = icon;
  }
  int ShowState(int state) { return shown_ = state == 1 ? kIconMacroPlaying : base_; }
  int Shown() const { return shown_; }

 private:
  int base_ = kIconDisconnected;
  int shown_ = kIconDisconnected;
};

class DeviceEvents {
 public:
  virtual ~DeviceEvents() = default;

  // The keyboard arrived (after the factory key map and the information block
  // were read). Returns once the program has handled it: the read-back runs
  // inside, and the monitor waits for it.
  virtual void KeyboardConnected() = 0;
  // The keyboard went away; returns once handled. The main window hides.
  virtual void KeyboardDisconnected() = 0;
  // The first report found the keyboard present: the main window may open.
  // Posted: returns at once.
  virtual void OpenRequested() = 0;
  // A message box with OK, its text a TEXT key. Returns once dismissed.
  virtual void Notify(std::string_view textKey) = 0;
  // Shows a tray icon; remember says it becomes the base icon.
  virtual void ShowTrayIcon(int icon, bool remember) = 0;
  // The tray shows the macro-playing icon (1) or the base icon again (0).
  virtual void ShowTrayIconState(int state) = 0;
  // Starts a main-window timer with a 0 ms period.
  virtual void StartTimer(int timerId) = 0;
};

}  // namespace keyloft

// What the device link tells the rest of the program. The program answers
// through its user-interface ports; tests record the calls. The monitor and
// the listener call these on their own threads.
#pragma once

#include <string_view>

namespace keyloft {

// The tray icon's three pictures.
enum class TrayIcon { Disconnected, Connected, MacroPlaying };

// Which icon the tray shows: the monitor's icons become the base icon, and the
// keyboard's macro events show the playing icon or bring the base one back.
class TrayIconState {
 public:
  TrayIcon Show(TrayIcon icon, bool remember) {
    if (remember) base_ = icon;
    return shown_ = icon;
  }
  TrayIcon ShowMacroPlaying(bool playing) { return shown_ = playing ? TrayIcon::MacroPlaying : base_; }
  TrayIcon Shown() const { return shown_; }

 private:
  TrayIcon base_ = TrayIcon::Disconnected;
  TrayIcon shown_ = TrayIcon::Disconnected;
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
  virtual void ShowTrayIcon(TrayIcon icon, bool remember) = 0;
  // The keyboard started (true) or stopped (false) playing a macro.
  virtual void MacroPlaying(bool playing) = 0;
  // The lighting was changed on the keyboard itself (its 0x0401 report).
  virtual void LightingChangedOnKeyboard() = 0;
  // The active profile was changed, or the keyboard reset, on the keyboard
  // itself (its 0x0402 report).
  virtual void ProfileChangedOnKeyboard() = 0;
};

}  // namespace keyloft

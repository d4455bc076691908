// The one object the desktop program and keyloftctl both drive: it owns the
// device link, the settings, the working model, the lighting and the
// synchronisation, offers the editing API, and turns the device threads'
// events into the sequences, run on the executor's thread. The device threads
// are stopped and joined before anything they use is destroyed.
#pragma once

#include <memory>
#include <span>
#include <vector>
#include <mutex>

#include "device/connection.h"
#include "device/device_context.h"
#include "device/device_events.h"
#include "device/input_listener.h"
#include "lang/localisation.h"
#include "model/keyboard_model.h"
#include "platform/paths.h"
#include "store/registry.h"
#include "store/settings.h"
#include "store/user_data.h"
#include "sync/lighting_controller.h"
#include "sync/profile_editor.h"
#include "sync/profile_workspace.h"
#include "sync/prompt_router.h"
#include "sync/readback.h"
#include "sync/scheme_editor.h"
#include "sync/scheme_store.h"
#include "sync/watched_ports.h"

namespace keyloft {

// The sequences' ports, and the thread they run on.
struct CorePorts {
  Executor& executor;
  SyncPorts ui;
};

struct CoreOptions {
  bool startedHidden = false;  // the first report never opens the main window
  MonitorTiming timing;
  bool listen = true;  // follow the keyboard's own events
};

// The known keyboard models as the device link looks for them.
std::vector<DeviceIdentity> DeviceIdentities(std::span<const KeyboardModel> models);

class KeyloftCore : private DeviceEvents {
 public:
  KeyloftCore(const Paths& paths, HidTransportConfig transport, CorePorts ports, CoreOptions options = {});
  ~KeyloftCore() override;
  KeyloftCore(const KeyloftCore&) = delete;
  KeyloftCore& operator=(const KeyloftCore&) = delete;

  // Prepares the user data folder and starts following the keyboard.
  void Start();
  // Stops the device threads; no sequence runs afterwards.
  void Stop();

  DeviceContext& Device() { return device_; }
  // The profiles, to read; they change only through Editor().
  const ProfileWorkspace& Workspace() const { return *workspace_; }
  ProfileEditor& Editor() { return editor_; }
  LightingController& Lighting() { return lighting_; }
  SyncEngine& Sync() { return sync_; }
  SchemeStore& Schemes() { return schemes_; }
  // The user-defined effect's per-key colours.
  SchemeEditor& KeyColours() { return keyColours_; }
  const Localisation& Lang() const { return lang_; }
  Settings& AppSettings() { return settings_; }
  UserData& UserFiles() { return userData_; }
  const ConnectionMonitor& Monitor() const { return monitor_; }
  // The tables of the keyboard shown: the connected model's, else the first.
  const KeyboardModel& Model() const { return model_; }
  TrayIcon ShownTrayIcon() const;
  // What the sequences did, whoever started them (keyloftctl watch).
  CoreEvents& Events() { return events_; }
  // The user has key or macro changes not yet applied, or is making some (a
  // key dialog is open): nothing from elsewhere may write keys or macros now.
  bool EditsUnapplied();
  // Key or macro changes not yet written to the keyboard (the Apply button).
  bool ChangesPending() const { return workspace_->Pending(); }
  // Sequence thread: the windows shown the whole state again (keys, the
  // active profile, the lighting), after a change they did not make.
  void ShowState();

 private:
  void KeyboardConnected() override;
  void KeyboardDisconnected() override;
  void OpenRequested() override;
  void Notify(std::string_view textKey) override;
  void ShowTrayIcon(TrayIcon icon, bool remember) override;
  void MacroPlaying(bool playing) override;
  void LightingChangedOnKeyboard() override;
  void ProfileChangedOnKeyboard() override;

  CorePorts ports_;
  CoreEvents events_;
  PromptRouter prompts_;
  WatchedPorts watched_;
  // What the sequences call: the program's ports, routed and watched.
  SyncPorts ui_;
  const KeyboardModel& model_;
  // Settings files set aside before anything reads them; told at the start.
  std::vector<std::filesystem::path> settingsSetAside_;
  RegistryKey registry_;
  Localisation lang_;
  Settings settings_;
  UserData userData_;
  DeviceContext device_;
  std::unique_ptr<ProfileWorkspace> workspace_;
  SchemeStore schemes_;
  LightingController lighting_;
  SchemeEditor keyColours_;
  SyncEngine sync_;
  ProfileEditor editor_;
  ConnectionMonitor monitor_;
  InputListener listener_;
  bool listen_;
  mutable std::mutex trayMutex_;
  TrayIconState tray_;
};

}  // namespace keyloft

// The one object the desktop program and keyloftctl both drive: it owns the
// device link, the settings, the working model, the lighting model and the
// synchronisation, and turns the device threads' events into the sequences,
// run on the executor's thread.
#pragma once

#include <memory>
#include <mutex>

#include "device/connection.h"
#include "device/device_context.h"
#include "device/device_events.h"
#include "device/input_listener.h"
#include "lang/localisation.h"
#include "model/lighting.h"
#include "model/profile_data.h"
#include "platform/paths.h"
#include "store/registry.h"
#include "store/settings.h"
#include "store/user_data.h"
#include "sync/readback.h"
#include "sync/scheme_store.h"

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
  ProfileWorkspace& Workspace() { return *workspace_; }
  LightingModel& Lighting() { return lighting_; }
  SyncEngine& Sync() { return sync_; }
  SchemeStore& Schemes() { return schemes_; }
  const Localisation& Lang() const { return lang_; }
  Settings& AppSettings() { return settings_; }
  UserData& UserFiles() { return userData_; }
  const ConnectionMonitor& Monitor() const { return monitor_; }
  int TrayIcon() const;

 private:
  void KeyboardConnected() override;
  void KeyboardDisconnected() override;
  void OpenRequested() override;
  void Notify(std::string_view textKey) override;
  void ShowTrayIcon(int icon, bool remember) override;
  void ShowTrayIconState(int state) override;
  void StartTimer(int timerId) override;

  CorePorts ports_;
  RegistryKey registry_;
  Localisation lang_;
  Settings settings_;
  UserData userData_;
  DeviceContext device_;
  std::unique_ptr<ProfileWorkspace> workspace_;
  SchemeStore schemes_;
  LightingModel lighting_;
  SyncEngine sync_;
  ConnectionMonitor monitor_;
  InputListener listener_;
  bool listen_;
  mutable std::mutex trayMutex_;
  TrayIconState tray_;
};

}  // namespace keyloft

#include "sync/core.h"

#include "platform/locale.h"
#include "util/ini_file.h"

#include <vector>

namespace keyloft {
namespace {

// A settings file no write could reach would keep the defaults it reads as
// for good: it goes aside first, so the choices made from now on are kept.
std::vector<std::filesystem::path> SetAsideUnreadableSettings(const Paths& paths) {
  std::vector<std::filesystem::path> aside;
  for (const std::filesystem::path& file : {SettingsFolder(paths) / "registry.ini", UserDataFolder(paths) / "lykb.ini"}) {
    if (std::optional<std::filesystem::path> moved = SetAsideForeignFile(file)) aside.push_back(std::move(*moved));
  }
  return aside;
}

}  // namespace

std::vector<DeviceIdentity> DeviceIdentities(std::span<const KeyboardModel> models) {
  std::vector<DeviceIdentity> keyboards;
  for (const KeyboardModel& m : models) keyboards.push_back({m.vendorId, m.productId, m.keyMapBytes, m.keyMapStride});
  return keyboards;
}

KeyloftCore::KeyloftCore(const Paths& paths, HidTransportConfig transport, CorePorts ports, CoreOptions options)
    : ports_(ports),
      prompts_(ports.ui.prompts),
      watched_(ports.ui, events_),
      ui_{prompts_, watched_, ports.ui.editing, watched_, watched_, ports.ui.progress, &events_},
      model_(DefaultKeyboardModel()),
      settingsSetAside_(SetAsideUnreadableSettings(paths)),
      registry_(SettingsFolder(paths) / "registry.ini"),
      lang_(paths.programFolder, ResolveLanguageId(registry_, SystemLanguageId())),
      settings_(registry_, UserDataFolder(paths), lang_),
      userData_(UserDataFolder(paths), paths.programFolder),
      device_(transport, PrivateRuntimeFolder(paths), DeviceIdentities(KeyboardModels()), model_.defaultKeyMap),
      workspace_(std::make_unique<ProfileWorkspace>()),
      schemes_(userData_, model_.ledSlots),
      lighting_(device_, lang_, settings_, ui_.lightingView, schemes_),
      keyColours_(lighting_, schemes_, ui_.lightingView, model_.ledSlots),
      sync_(device_, *workspace_, lighting_, userData_, lang_, ui_),
      editor_(device_, *workspace_, sync_, lighting_, lang_, model_, ui_),
      monitor_(device_, *this, options.startedHidden, options.timing),
      listener_(transport, DeviceIdentities(KeyboardModels()), *this),
      listen_(options.listen) {
  if (paths.stateHome.is_absolute()) device_.journalFolder = StateFolder(paths);
}

KeyloftCore::~KeyloftCore() { Stop(); }

void KeyloftCore::Start() {
  userData_.EnsureUserDataFolder();
  for (const std::filesystem::path& aside : settingsSetAside_) {
    ports_.executor.Post([this, aside] { prompts_.NotifyFormatted("SETTINGS_SET_ASIDE", std::string_view(aside.native())); });
  }
  settingsSetAside_.clear();
  if (listen_) listener_.Start();
  monitor_.Start();
}

void KeyloftCore::Stop() {
  // The executor first: a device thread waiting for a sequence is let go.
  ports_.executor.Shutdown();
  listener_.Stop();
  monitor_.Stop();
}

bool KeyloftCore::EditsUnapplied() { return workspace_->Pending() || ui_.editing.KeyDialogOpen(); }

void KeyloftCore::ShowState() {
  if (!device_.deviceConnected) return;
  // The program's own ports: a redraw is nothing for watchers to hear of.
  ports_.ui.keys.RedrawKeys();
  if (const int active = device_.activeProfileCache; active >= 0 && active < model_.profileCount) {
    ports_.ui.keys.MarkProfileButton(active);
  }
  ports_.ui.keys.RefreshProfileCaption();
  ports_.ui.lightingView.RefreshPanel();
}

TrayIcon KeyloftCore::ShownTrayIcon() const {
  std::scoped_lock lock(trayMutex_);
  return tray_.Shown();
}

void KeyloftCore::KeyboardConnected() {
  ports_.executor.RunAndWait([this] { sync_.OnConnected(); });
}

void KeyloftCore::KeyboardDisconnected() {
  ports_.executor.RunAndWait([this] { sync_.OnRemoved(); });
}

void KeyloftCore::OpenRequested() {
  ports_.executor.Post([this] { ui_.shell.OpenRequested(); });
}

void KeyloftCore::Notify(std::string_view textKey) {
  ports_.executor.RunAndWait([this, key = std::string(textKey)] { ports_.ui.prompts.Notify(key); });
}

void KeyloftCore::ShowTrayIcon(TrayIcon icon, bool remember) {
  TrayIcon shown;
  {
    std::scoped_lock lock(trayMutex_);
    shown = tray_.Show(icon, remember);
  }
  ports_.executor.Post([this, shown] { ui_.shell.ShowTrayIcon(shown); });
}

void KeyloftCore::MacroPlaying(bool playing) {
  TrayIcon shown;
  {
    std::scoped_lock lock(trayMutex_);
    shown = tray_.ShowMacroPlaying(playing);
  }
  ports_.executor.Post([this, shown] { ui_.shell.ShowTrayIcon(shown); });
}

void KeyloftCore::LightingChangedOnKeyboard() {
  ports_.executor.Post([this] { sync_.OnLightingChanged(); });
}

void KeyloftCore::ProfileChangedOnKeyboard() {
  ports_.executor.Post([this] { sync_.OnProfileChanged(); });
}

}  // namespace keyloft

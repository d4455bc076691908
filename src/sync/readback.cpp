#include "sync/readback.h"

#include <system_error>

#include "device/connection.h"
#include "model/key_assignments.h"
#include "store/profile_file.h"
#include "util/bytes.h"
#include "util/text.h"

namespace keyloft {

SyncEngine::SyncEngine(DeviceContext& device, ProfileWorkspace& workspace, LightingModel& lighting,
                       UserData& userData, const Localisation& lang, SyncPorts ports)
    : device_(device), channel_(device), workspace_(workspace), lighting_(lighting), userData_(userData),
      lang_(lang), ports_(ports) {}

std::filesystem::path SyncEngine::WorkingProfileFile() const { return keyloft::WorkingProfileFile(userData_.Folder()); }

int SyncEngine::ReadOnboardImage(const std::filesystem::path& path) {
  const int active = GetActiveProfile(device_, channel_);
  if (active < 0 || active > 2) return 0;
  const size_t keyMapBytes = device_.keyMapBytes;
  std::array<std::array<uint8_t, kDefaultKeyMapBytes>, kProfiles> keyMaps{};
  for (int p = 0; p < static_cast<int>(kProfiles); ++p) {
    if (channel_.DevReadKeyMap(keyMaps[static_cast<size_t>(p)], p) != DEV_OK) return 0;
  }
  std::vector<uint8_t> macroArea(kMacroImageHeaderBytes, 0);
  if (channel_.DevReadMacros(macroArea) != DEV_OK) return 0;
  uint16_t size = 0, count = 0;
  if (ReadMacroImageHeader(macroArea, size, count)) {
    macroArea.resize(std::max<size_t>(size, kMacroImageHeaderBytes));
    if (channel_.DevReadMacros(macroArea) != DEV_OK) return 0;
  } else {
    macroArea.clear();  // no macros on the keyboard
  }

  std::array<uint8_t, kDefaultKeyMapBytes> defaults;
  {
    std::scoped_lock lock(device_.stateLock);
    defaults = device_.defaultKeyMap;
  }
  ProfileData image;
  BuildDefaultProfile(image);
  for (size_t p = 0; p < kProfiles; ++p) {
    DecodeKeyMapImage(std::span(keyMaps[p]).first(keyMapBytes), std::span(defaults).first(keyMapBytes),
                      image.block.arrays[p]);
  }
  if (!macroArea.empty()) image.macros = DecodeMacroImage(macroArea, Utf8ToUtf16(lang_.GetText("MACRO_NEW_PREFIX")));
  userData_.EnsureUserDataFolder();
  return SaveProfileFile(path, image) ? 1 : 0;
}

void SyncEngine::StopRecordingAndSay() {
  if (!ports_.editing.RecordingRunning()) return;
  ports_.editing.StopRecording();
  ports_.prompts.Notify("PROFILE_LOAD_PROMPT");
}

void SyncEngine::LoadOnboardProfiles(bool keepApply) {
  userData_.EnsureUserDataFolder();
  StopRecordingAndSay();
  const bool read = GetActiveProfile(device_, channel_) >= 0 && ReadOnboardImage(WorkingProfileFile()) == 1;
  {
    std::scoped_lock lock(workspace_.workingLock);
    if (!read || !LoadProfileFile(WorkingProfileFile(), workspace_.workingProfile)) {
      BuildDefaultProfile(workspace_.workingProfile);
    }
    ports_.keys.RedrawKeys();
  }
  if (!keepApply) ports_.editing.SetApplyEnabled(false);
}

void SyncEngine::ShowProfileKeys(int /*profile*/) {
  StopRecordingAndSay();
  std::scoped_lock lock(workspace_.workingLock);
  ports_.keys.RedrawKeys();
}

int SyncEngine::SwitchProfile(int profile) {
  if (profile >= 3) profile = 0;
  if (ports_.editing.KeyDialogOpen()) {
    ports_.prompts.Notify("PROFILE_SEELCT_PROMPT2");
    return 0;
  }
  const bool pending = ports_.editing.ProfileManagerPending() || ports_.editing.ApplyEnabled();
  if (pending && !switchQuestionOpen_) {
    switchQuestionOpen_ = true;
    const bool apply = ports_.prompts.Confirm("PROFILE_SELECT_PROMPT");
    switchQuestionOpen_ = false;
    if (apply) {
      Apply();  // the changes reach the keyboard under the old profile
    } else {
      ports_.editing.SetApplyEnabled(false);
      if (GetActiveProfile(device_, channel_) >= 0) {
        // Discarded means discarded: without a working file to go back to,
        // the model goes back to the defaults, as after a failed read-back.
        std::scoped_lock lock(workspace_.workingLock);
        if (!LoadProfileFile(WorkingProfileFile(), workspace_.workingProfile)) {
          BuildDefaultProfile(workspace_.workingProfile);
        }
      }
    }
    SetActiveProfile(device_, channel_, profile);
  } else {
    SetActiveProfile(device_, channel_, profile);
    if (ports_.editing.ProfileManagerOpen()) ports_.editing.ProfileManagerShowActive(profile);
  }
  ShowProfileKeys(profile);
  ports_.keys.RefreshProfileCaption();
  return 1;
}

void SyncEngine::MarkActiveProfile() {
  const int p = GetActiveProfile(device_, channel_);
  if (p < 0 || p > 2) return;
  ports_.keys.MarkProfileButton(p);
  lighting_.SetProfile(p);
}

void SyncEngine::OnConnected() {
  LoadOnboardProfiles(false);
  MarkActiveProfile();
  lighting_.SyncOnConnect();  // refreshes the panel and the base flags itself
  ports_.shell.KeyboardConnected();
}

void SyncEngine::OnRemoved() { ports_.shell.KeyboardRemoved(); }

void SyncEngine::OnLightingChanged() {
  lighting_.ReadAllParams();
  ports_.lightingView.RefreshPanel();
}

void SyncEngine::OnProfileChanged() {
  InfoBlock info;
  {
    std::scoped_lock lock(device_.stateLock);
    info = device_.lastInfo;
  }
  if (channel_.DevReadInfo(info.bytes) == DEV_OK) {
    std::scoped_lock lock(device_.stateLock);
    device_.lastInfo = info;
  }
  const int profile = info.activeProfile() <= 2 ? info.activeProfile() : 0;
  lighting_.SetProfile(profile);
  lighting_.LeaveLightingView();
  if (SwitchProfile(profile)) {
    MarkActiveProfile();
    // The user's painted schemes stay; the current one goes to the keyboard again.
    if (lighting_.UserDefinedSupported()) lighting_.LoadSchemeWithUpload();
  }
  lighting_.SetProfile(profile);
  lighting_.ReadAllParams();
  ports_.lightingView.RefreshPanel();
  // Follow the keyboard: the button of the profile it reports, not profile 1.
  ProfileButton(profile);
}

void SyncEngine::ProfileButton(int profile) {
  lighting_.ChangeProfile(profile);
  if (GetActiveProfile(device_, channel_) != profile && SwitchProfile(profile)) ports_.keys.MarkProfileButton(profile);
}

void SyncEngine::ProfileManagerApply(int profile) {
  SetActiveProfile(device_, channel_, profile);
  LoadOnboardProfiles(false);
  ports_.keys.RefreshProfileCaption();
}

}  // namespace keyloft

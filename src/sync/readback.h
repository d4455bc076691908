// Keeping the program in step with the keyboard: the read-back of the three
// onboard profiles through the per-user working file, the switch of the active
// profile, the sequences run on connection, on removal, on the keyboard's own
// events and on the profile buttons; and Apply, which writes pending changes.
// Everything runs on the executor's thread.
#pragma once

#include <filesystem>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "lang/localisation.h"
#include "lang/prompts.h"
#include "model/lighting.h"
#include "model/lighting_view.h"
#include "model/profile_data.h"
#include "store/user_data.h"
#include "sync/ports.h"

namespace keyloft {

class SyncEngine {
 public:
  SyncEngine(DeviceContext& device, ProfileWorkspace& workspace, LightingModel& lighting, UserData& userData,
             const Localisation& lang, SyncPorts ports);

  std::filesystem::path WorkingProfileFile() const;

  // The three key maps and the macro area into a profile file at path, which
  // is replaced only when every read succeeded. 1 or 0.
  int ReadOnboardImage(const std::filesystem::path& path);
  // The keyboard's content (or, when it cannot be read, the defaults) into the
  // working model; Apply is cleared unless keepApply.
  void LoadOnboardProfiles(bool keepApply);
  // 1 switched, 0 refused (a key dialog is open).
  int SwitchProfile(int profile);
  void ShowProfileKeys(int profile);
  // The active profile's button marked and its lighting edited.
  void MarkActiveProfile();

  // The sequences.
  void OnConnected();
  void OnRemoved();
  void OnLightingChanged();  // the keyboard's 0x0401
  void OnProfileChanged();   // the keyboard's 0x0402
  void ProfileButton(int profile);
  void ProfileManagerApply(int profile);

  // Saves the working model to the working file and writes the pending changes
  // to the keyboard; Apply stays enabled unless both succeeded.
  void Apply();
  // The working model into the working file, when that file exists.
  bool SaveWorkingProfile();

 private:
  void StopRecordingAndSay();

  DeviceContext& device_;
  CommandChannel channel_;
  ProfileWorkspace& workspace_;
  LightingModel& lighting_;
  UserData& userData_;
  const Localisation& lang_;
  SyncPorts ports_;
  bool switchQuestionOpen_ = false;
};

}  // namespace keyloft

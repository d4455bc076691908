// Keeping the program in step with the keyboard: the read-back of the three
// onboard profiles through the per-user working file, the switch of the active
// profile, the sequences run on connection, on removal, on the keyboard's own
// events and on the profile buttons; and Apply, which writes pending changes.
// Everything runs on the sequence thread; no profile lock is held while a
// port is called or the user is asked.
#pragma once

#include <atomic>
#include <filesystem>
#include <future>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "lang/localisation.h"
#include "lang/prompts.h"
#include "model/keyboard_model.h"
#include "store/user_data.h"
#include "sync/lighting_controller.h"
#include "sync/ports.h"
#include "sync/profile_workspace.h"
#include "sync/save_to_keyboard.h"

namespace keyloft {

enum class ApplyResult {
  Applied,         // saved to the working file and written to the keyboard
  NothingPending,  // nothing to write; nothing sent
  Declined,        // a recording runs and the user kept it going
  MacrosTooLong,   // the macros do not fit the keyboard; nothing sent
  WriteFailed,     // the keyboard did not take it (see device); still pending
  NotSaved,        // the keyboard took it, but the working file is missing; still pending
  ReadBackFirst,   // the keyboard's profiles had not been read: they are now, the changes
                   // made over the defaults are dropped, and nothing was written
};

enum class SwitchResult {
  Switched,  // the keyboard is on the profile now
  Refused,   // a key dialog is open; nothing changed
  Failed,    // the keyboard did not take the switch (see device)
};

struct SwitchOutcome {
  SwitchResult result = SwitchResult::Switched;
  DevResult device = DevResult::Ok;
};

struct ApplyOutcome {
  ApplyResult result = ApplyResult::NothingPending;
  DevResult device = DevResult::Ok;
  bool namesDropped = false;
};

class SyncEngine {
 public:
  SyncEngine(DeviceContext& device, ProfileWorkspace& workspace, LightingController& lighting, UserData& userData,
             const Localisation& lang, SyncPorts ports);

  std::filesystem::path WorkingProfileFile() const;
  // The per-user data folder: the working file, the schemes, the backups.
  const std::filesystem::path& UserFolder() const;

  // The three key maps and the macro area into a profile file at path, which
  // is replaced only when every read succeeded: the first failure otherwise
  // (BadProfile while the active profile is unknown), or WriteFailed when the
  // file cannot be written.
  DevResult ReadOnboardImage(const std::filesystem::path& path);
  // The keyboard's content (or, when it cannot be read, the defaults) into the
  // working model; nothing pending afterwards unless keepApply.
  DevResult LoadOnboardProfiles(bool keepApply);
  // When the keyboard's content could not be read (it was silent when it
  // arrived), the model holds the defaults, and writing them would overwrite
  // the keyboard's profiles and macros. This reads them now, as the arrival
  // would have, and then marks the active profile and reads the lighting.
  // Without a read, the model and what is pending stay as they are.
  struct CatchUpOutcome {
    bool readNow = false;           // the model was replaced by the keyboard's content
    DevResult device = DevResult::Ok;  // the read's failure, when it failed
  };
  CatchUpOutcome CatchUpReadBack();
  // The model was replaced as a whole by the user (a restored backup): what
  // it holds is meant for the keyboard, not a stand-in for its content.
  void ModelReplaced() { readBackMissing_ = false; }
  // The user's request to make a profile the keyboard's active one.
  SwitchOutcome SwitchProfile(int profile);
  void ShowProfileKeys(int profile);
  // The lighting view's toggle turned on: the key changes are settled with
  // the user first (a profile switch to the active profile). False, with the
  // view and its setting unchanged, when that is refused (an editing dialog
  // is open).
  bool EnterLightingView();
  // The active profile's button marked and its lighting edited.
  void MarkActiveProfile();

  // The sequences.
  void OnConnected();
  void OnRemoved();
  void OnLightingChanged();  // the keyboard's 0x0401
  void OnProfileChanged();   // the keyboard's 0x0402
  // The first failure of what they sent, for the window to tell.
  DevResult ProfileButton(int profile);
  // The profile manager's Apply: the ticked profile made active and the
  // profiles read back; with key or macro edits pending, nothing is read over
  // them and a switch asks first, as a profile button does.
  DevResult ProfileManagerApply(int profile);

  // Saves the working model to the working file and writes the pending changes
  // to the keyboard; they stay pending unless both succeeded.
  ApplyOutcome Apply();
  // The working model into the working file, when that file exists.
  bool SaveWorkingProfile();

 private:
  // The same, its disk part on a thread of its own: the result, when done.
  std::future<bool> StartSavingWorkingProfile();
  // The three key maps and the macro area, decoded into image.
  DevResult ReadOnboardProfiles(ProfileData& image);
  // The same while the active profile is known, kept in the working file.
  DevResult ReadIntoWorkingFile(ProfileData& image);
  // A read-back's image (or, when read failed, the defaults) into the working
  // model, shown; nothing pending afterwards unless keepApply.
  void TakeReadBack(DevResult read, ProfileData&& image, bool keepApply);
  // The keyboard came back while changes it never took were pending: they
  // stay, and stay pending; the profiles they are not in are read back.
  void ReadBackUnderPendingChanges();
  // A write to this keyboard that was cut short (its journal is still there)
  // is written again, before anything is read from the keyboard, and the user
  // told; a keyboard that stops answering again leaves it for next time.
  void FinishInterruptedWrite();
  // A scheme file that cannot be read is put aside (never written over) and
  // the user told where, once: the profile's schemes start from the template.
  // So is a working file that cannot be loaded: the read-back makes a new one.
  void SetAsideUnreadableFiles();
  // True when the working file was there, could not be loaded, and was moved.
  bool SetAsideUnreadableWorkingFile();
  void StopRecordingAndSay();
  void SetPending(bool pending);

  DeviceContext& device_;
  CommandChannel channel_;
  ProfileWorkspace& workspace_;
  LightingController& lighting_;
  UserData& userData_;
  const Localisation& lang_;
  SyncPorts ports_;
  bool switchQuestionOpen_ = false;
  // The last read-back failed and the model holds the defaults.
  std::atomic<bool> readBackMissing_{false};
};

}  // namespace keyloft

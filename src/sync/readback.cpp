#include "sync/readback.h"

#include <system_error>

#include "device/connection.h"
#include "model/key_assignments.h"
#include "store/profile_file.h"
#include "store/write_journal.h"
#include "sync/save_to_keyboard.h"
#include "sync/lighting_view.h"
#include "util/atomic_file.h"
#include "util/bytes.h"
#include "util/text.h"

namespace keyloft {

SyncEngine::SyncEngine(DeviceContext& device, ProfileWorkspace& workspace, LightingController& lighting,
                       UserData& userData, const Localisation& lang, SyncPorts ports)
    : device_(device), channel_(device), workspace_(workspace), lighting_(lighting), userData_(userData),
      lang_(lang), ports_(ports) {}

std::filesystem::path SyncEngine::WorkingProfileFile() const { return keyloft::WorkingProfileFile(userData_.Folder()); }

const std::filesystem::path& SyncEngine::UserFolder() const { return userData_.Folder(); }

DevResult SyncEngine::ReadOnboardImage(const std::filesystem::path& path) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  ProfileData image;
  if (DevResult read = ReadOnboardProfiles(image); read != DevResult::Ok) return read;
  userData_.EnsureUserDataFolder();
  return SaveProfileFile(path, image) ? DevResult::Ok : DevResult::WriteFailed;
}

DevResult SyncEngine::ReadOnboardProfiles(ProfileData& image) {
  const int active = GetActiveProfile(device_, channel_);
  if (active < 0 || active > 2) return device_.unanswered ? DevResult::NoReply : DevResult::BadProfile;
  const size_t keyMapBytes = device_.keyMapBytes;
  std::array<std::array<uint8_t, kDefaultKeyMapBytes>, kProfiles> keyMaps{};
  for (int p = 0; p < static_cast<int>(kProfiles); ++p) {
    if (DevResult read = channel_.DevReadKeyMap(keyMaps[static_cast<size_t>(p)], p); read != DevResult::Ok) return read;
  }
  std::vector<uint8_t> macroArea(kMacroImageHeaderBytes, 0);
  if (DevResult read = channel_.DevReadMacros(macroArea); read != DevResult::Ok) return read;
  uint16_t size = 0, count = 0;
  if (ReadMacroImageHeader(macroArea, size, count)) {
    macroArea.resize(std::max<size_t>(size, kMacroImageHeaderBytes));
    if (DevResult read = channel_.DevReadMacros(macroArea); read != DevResult::Ok) return read;
  } else {
    macroArea.clear();  // no macros on the keyboard
  }

  std::array<uint8_t, kDefaultKeyMapBytes> defaults;
  {
    std::scoped_lock lock(device_.stateLock);
    defaults = device_.defaultKeyMap;
  }
  BuildDefaultProfile(image);
  for (size_t p = 0; p < kProfiles; ++p) {
    DecodeKeyMapImage(std::span(keyMaps[p]).first(keyMapBytes), std::span(defaults).first(keyMapBytes),
                      image.block.arrays[p]);
  }
  if (!macroArea.empty()) {
    if (MacroImageDamage(macroArea).empty()) {
      image.macros = DecodeMacroImage(macroArea, Utf8ToUtf16(lang_.GetText("MACRO_NEW_PREFIX")));
    } else {
      // A torn area is said, not taken: what it decodes to is no one's macros.
      ports_.prompts.Notify("MAIN_MACROS_DAMAGED");
    }
  }
  return DevResult::Ok;
}

void SyncEngine::StopRecordingAndSay() {
  if (!ports_.editing.RecordingRunning()) return;
  ports_.editing.StopRecording();
  ports_.prompts.Notify("PROFILE_LOAD_PROMPT");
}

DevResult SyncEngine::LoadOnboardProfiles(bool keepApply) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  userData_.EnsureUserDataFolder();
  StopRecordingAndSay();
  ProfileData image;
  const DevResult read = ReadIntoWorkingFile(image);
  TakeReadBack(read, std::move(image), keepApply);
  return read;
}

void SyncEngine::TakeReadBack(DevResult read, ProfileData&& image, bool keepApply) {
  readBackMissing_ = read != DevResult::Ok;
  workspace_.Edit([&](ProfileData& working) {
    if (read == DevResult::Ok) {
      working = std::move(image);
    } else {
      BuildDefaultProfile(working);
    }
  });
  ports_.keys.RedrawKeys();
  if (!keepApply) SetPending(false);
}

void SyncEngine::FinishInterruptedWrite() {
  const std::filesystem::path file = JournalFileOf(device_);
  std::error_code ec;
  if (file.empty() || !std::filesystem::exists(file, ec)) return;
  // Asked inside this sequence's turn at the keyboard: a program that is
  // writing holds the turn until its write is done and its journal gone.
  InfoBlock info;
  if (channel_.DevReadInfo(info.bytes) != DevResult::Ok || !std::filesystem::exists(file, ec)) return;
  const std::optional<WriteJournal> journal = LoadWriteJournal(file);
  DevResult written = DevResult::WriteFailed;
  if (journal) {
    bool begun = false;
    written = WriteMacrosAndKeyMaps(channel_, journal->macroImage, journal->keyMaps, &begun);
    if (WriteCutShort(begun, written)) return;
  }
  RemoveWriteJournal(file);
  ports_.prompts.Notify(written == DevResult::Ok ? "MAIN_WRITE_FINISHED" : "MAIN_WRITE_NOT_FINISHED");
}

void SyncEngine::SetAsideUnreadableFiles() {
  for (int p = 0; p < static_cast<int>(kProfiles); ++p) {
    if (const auto aside = userData_.SetAsideUnreadableLightingFile(p)) {
      ports_.prompts.NotifyFormatted("LIGHT_SCHEMES_SET_ASIDE", std::string_view(aside->native()));
    }
  }
  SetAsideUnreadableWorkingFile();
}

bool SyncEngine::SetAsideUnreadableWorkingFile() {
  const std::filesystem::path file = WorkingProfileFile();
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return false;
  if (ProfileData probe; LoadProfileFile(file, probe)) return false;
  const std::optional<std::filesystem::path> aside = SetFileAside(file);
  if (aside) ports_.prompts.NotifyFormatted("WORKING_FILE_SET_ASIDE", std::string_view(aside->native()));
  return aside.has_value();
}

void SyncEngine::ReadBackUnderPendingChanges() {
  userData_.EnsureUserDataFolder();
  StopRecordingAndSay();
  ProfileData image;
  // The working file takes the keyboard's content, so discarding the changes
  // goes back to it; the model keeps the changes. A keyboard that does not
  // answer leaves the model as it was: it is the user's, not the defaults.
  if (ReadIntoWorkingFile(image) == DevResult::Ok && !workspace_.WriteAll()) {
    const int edited = workspace_.EditedProfile();
    workspace_.Edit([&](ProfileData& working) {
      for (size_t p = 0; p < kProfiles; ++p) {
        if (static_cast<int>(p) == edited) continue;
        working.block.arrays[p] = image.block.arrays[p];
        for (size_t r = 0; r < kRecordsPerArray; ++r) {
          const size_t slot = p * kRecordsPerArray + r;
          working.texts.bySlot[slot] = std::move(image.texts.bySlot[slot]);
        }
      }
    });
    // Apply writes the active profile's key map: the changes were made in
    // another, so all three go.
    if (edited >= 0 && edited != GetActiveProfile(device_, channel_)) workspace_.SetWriteAll(true);
  }
  ports_.keys.RedrawKeys();
  ports_.editing.SetApplyEnabled(true);
}

DevResult SyncEngine::ReadIntoWorkingFile(ProfileData& image) {
  DevResult read = DevResult::NoReply;
  if (GetActiveProfile(device_, channel_) >= 0) read = ReadOnboardProfiles(image);
  // The keyboard's content goes through the working file: what cannot be kept
  // there is not taken either, and the defaults are shown, as after a failed read.
  if (read == DevResult::Ok && !SaveProfileFile(WorkingProfileFile(), image)) read = DevResult::WriteFailed;
  return read;
}

SyncEngine::CatchUpOutcome SyncEngine::CatchUpReadBack() {
  if (!readBackMissing_ || !device_.deviceConnected) return {};
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  // What the arrival could not read either: the defaults the key maps are
  // decoded against, and the macro memory's size that Apply checks.
  DevResults basics;
  basics.Add(ReadDefaultKeyMap(device_, channel_));
  basics.Add(ReadInfoBlock(device_, channel_));
  if (!basics.Ok()) return {false, basics.First()};
  ProfileData image;
  if (const DevResult read = ReadIntoWorkingFile(image); read != DevResult::Ok) return {false, read};
  StopRecordingAndSay();
  TakeReadBack(DevResult::Ok, std::move(image), false);
  MarkActiveProfile();
  [[maybe_unused]] DevResult lit = lighting_.SyncOnConnect();  // refreshes the panel itself
  return {true, DevResult::Ok};
}

void SyncEngine::ShowProfileKeys(int /*profile*/) {
  StopRecordingAndSay();
  ports_.keys.RedrawKeys();
}

SwitchOutcome SyncEngine::SwitchProfile(int profile) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  if (profile >= 3) profile = 0;
  if (ports_.editing.KeyDialogOpen()) {
    ports_.prompts.Notify("PROFILE_SEELCT_PROMPT2");
    return {SwitchResult::Refused};
  }
  DevResult switched = DevResult::Ok;
  const bool pending = ports_.editing.ProfileManagerPending() || workspace_.Pending();
  if (pending && !switchQuestionOpen_) {
    switchQuestionOpen_ = true;
    const bool apply = ports_.prompts.Confirm("PROFILE_SELECT_PROMPT");
    switchQuestionOpen_ = false;
    if (apply) {
      // The changes reach the keyboard under the old profile; a failure leaves
      // them pending, as the Apply button would.
      if (Apply().result == ApplyResult::ReadBackFirst) ports_.prompts.Notify("MAIN_APPLY_READ_BACK");
    } else {
      SetPending(false);
      if (GetActiveProfile(device_, channel_) >= 0) {
        // Discarded means discarded: without a working file to go back to,
        // the model goes back to the defaults, as after a failed read-back.
        const bool kept = workspace_.Edit([&](ProfileData& working) {
          if (LoadProfileFile(WorkingProfileFile(), working)) return true;
          BuildDefaultProfile(working);
          return false;
        });
        if (!kept) SetAsideUnreadableWorkingFile();
      }
    }
    switched = SetActiveProfile(device_, channel_, profile);
  } else {
    switched = SetActiveProfile(device_, channel_, profile);
    if (switched == DevResult::Ok && ports_.editing.ProfileManagerOpen()) ports_.editing.ProfileManagerShowActive(profile);
  }
  // A failed switch leaves the active profile unknown; the keys and the
  // caption show what is known.
  ShowProfileKeys(profile);
  ports_.keys.RefreshProfileCaption();
  // -1 changes nothing on the keyboard, as asked.
  if (switched == DevResult::Ok || profile < 0) return {SwitchResult::Switched};
  return {SwitchResult::Failed, switched};
}

bool SyncEngine::EnterLightingView() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  if (SwitchProfile(GetActiveProfile(device_, channel_)).result == SwitchResult::Refused) return false;
  [[maybe_unused]] CatchUpOutcome caught = CatchUpReadBack();
  lighting_.SetLightingView(true);
  return true;
}

void SyncEngine::MarkActiveProfile() {
  const int p = GetActiveProfile(device_, channel_);
  if (p < 0 || p > 2) return;
  ports_.keys.MarkProfileButton(p);
  lighting_.SetProfile(p);
}

void SyncEngine::OnConnected() {
  // Part of what the device link began: a keyboard found silent stays so.
  DeviceSequence sequence(device_, DeviceSequence::Continue);
  FinishInterruptedWrite();
  SetAsideUnreadableFiles();
  if (workspace_.Pending()) {
    ReadBackUnderPendingChanges();
  } else {
    [[maybe_unused]] DevResult read = LoadOnboardProfiles(false);  // the defaults when it fails
  }
  MarkActiveProfile();
  [[maybe_unused]] DevResult lit = lighting_.SyncOnConnect();  // refreshes the panel and the base flags itself
  ports_.shell.KeyboardConnected();
}

void SyncEngine::OnRemoved() { ports_.shell.KeyboardRemoved(); }

void SyncEngine::OnLightingChanged() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  [[maybe_unused]] DevResult read = lighting_.ReadAllParams();  // the panel shows what is known
  ports_.lightingView.RefreshPanel();
}

void SyncEngine::OnProfileChanged() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  InfoBlock info;
  {
    std::scoped_lock lock(device_.stateLock);
    info = device_.lastInfo;
  }
  if (channel_.DevReadInfo(info.bytes) == DevResult::Ok) {
    std::scoped_lock lock(device_.stateLock);
    device_.lastInfo = info;
  }
  const int profile = info.activeProfile() <= 2 ? info.activeProfile() : 0;
  lighting_.SetProfile(profile);
  lighting_.LeaveLightingView();
  if (SwitchProfile(profile).result == SwitchResult::Switched) {
    MarkActiveProfile();
    // The user's painted schemes stay; the current one goes to the keyboard again.
    if (lighting_.UserDefinedSupported()) [[maybe_unused]] DevResult uploaded = lighting_.LoadSchemeWithUpload();
  }
  lighting_.SetProfile(profile);
  [[maybe_unused]] DevResult read = lighting_.ReadAllParams();
  ports_.lightingView.RefreshPanel();
  // Follow the keyboard: the button of the profile it reports, not profile 1.
  [[maybe_unused]] DevResult followed = ProfileButton(profile);
}

DevResult SyncEngine::ProfileButton(int profile) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  DevResults results;
  results.Add(CatchUpReadBack().device);
  results.Add(lighting_.ChangeProfile(profile));
  if (GetActiveProfile(device_, channel_) != profile) {
    const SwitchOutcome switched = SwitchProfile(profile);
    if (switched.result == SwitchResult::Switched) ports_.keys.MarkProfileButton(profile);
    results.Add(switched.device);
  }
  return results.First();
}

DevResult SyncEngine::ProfileManagerApply(int profile) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  if (workspace_.Pending()) {
    // The key and macro edits are the user's: a read-back would put the
    // keyboard's content over them. Another profile ticked is asked as a
    // profile button asks; the same one leaves them as they are.
    if (profile < 0 || profile == GetActiveProfile(device_, channel_)) return DevResult::Ok;
    const SwitchOutcome switched = SwitchProfile(profile);
    return switched.result == SwitchResult::Failed ? switched.device : DevResult::Ok;
  }
  DevResults results;
  results.Add(SetActiveProfile(device_, channel_, profile));
  // The window's profile buttons and the lighting follow what the keyboard took.
  if (profile >= 0) MarkActiveProfile();
  results.Add(LoadOnboardProfiles(false));
  ports_.keys.RefreshProfileCaption();
  return results.First();
}

}  // namespace keyloft

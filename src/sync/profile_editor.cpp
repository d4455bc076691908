#include "sync/profile_editor.h"

#include <algorithm>
#include <system_error>

#include "device/connection.h"
#include "model/key_assignments.h"
#include "model/macros.h"
#include "util/atomic_file.h"
#include "util/text.h"

namespace keyloft {
namespace {

bool ValidProfile(int profile) { return profile >= 0 && profile < static_cast<int>(kProfiles); }

MacroRecord* MacroById(MacroList& list, uint16_t id) {
  auto it = std::find_if(list.begin(), list.end(), [id](const MacroRecord& m) { return m.id == id; });
  return it == list.end() ? nullptr : &*it;
}

bool NameTaken(const MacroList& list, std::u16string_view name, uint16_t except) {
  const std::string wanted = Utf16ToUtf8(name);
  return std::any_of(list.begin(), list.end(), [&](const MacroRecord& m) {
    return m.id != except && EqualsIgnoreCase(Utf16ToUtf8(m.name), wanted);
  });
}

bool ValidName(std::string_view name) { return !name.empty() && Utf8ToUtf16(name).size() <= kMaxMacroNameChars; }

uint8_t ClampCycles(int cycles) { return static_cast<uint8_t>(std::clamp(cycles, kMinMacroCycles, kMaxMacroCycles)); }

bool PlaysMacro(const KeyAssignment& r, uint16_t id) { return r.type == kAssignMacro && r.value == id; }

}  // namespace

ProfileEditor::ProfileEditor(DeviceContext& device, ProfileWorkspace& workspace, SyncEngine& sync,
                             LightingController& lighting, const Localisation& lang, const KeyboardModel& model,
                             SyncPorts ports)
    : device_(device), channel_(device), workspace_(workspace), sync_(sync), lighting_(lighting), lang_(lang),
      model_(model), ports_(ports) {}

std::vector<KeyCode> ProfileEditor::AssignableKeys() const { return keyloft::AssignableKeys(model_); }

KeyDescription ProfileEditor::Describe(int profile, KeyCode key) const {
  return workspace_.Read([&](const ProfileData& model) { return DescribeKey(lang_, model, profile, key); });
}

std::vector<KeyDescription> ProfileEditor::DescribeAll(int profile) const {
  return workspace_.Read([&](const ProfileData& model) {
    std::vector<KeyDescription> all;
    for (KeyCode key : AssignableKeys()) all.push_back(DescribeKey(lang_, model, profile, key));
    return all;
  });
}

bool ProfileEditor::KeyboardKeepsAssignment(KeyCode key) const {
  const auto defaults = DefaultKeyMap();
  return KeyMapHasSlot(std::span(defaults).first(device_.keyMapBytes), key);
}

MacroList ProfileEditor::Macros() const {
  return workspace_.Read([](const ProfileData& model) { return model.macros; });
}

std::optional<uint16_t> ProfileEditor::FindMacro(std::string_view name) const {
  return workspace_.Read([&](const ProfileData& model) -> std::optional<uint16_t> {
    for (const MacroRecord& m : model.macros) {
      if (EqualsIgnoreCase(Utf16ToUtf8(m.name), name)) return m.id;
    }
    return std::nullopt;
  });
}

void ProfileEditor::Changed() {
  workspace_.MarkEdited();
  ports_.editing.SetApplyEnabled(true);
  ports_.keys.RedrawKeys();
}

EditResult ProfileEditor::AssignKey(int profile, KeyCode key, const KeyAction& action) {
  if (!ValidProfile(profile)) return EditResult::NoSuchProfile;
  const std::vector<KeyCode> keys = AssignableKeys();
  if (std::find(keys.begin(), keys.end(), key) == keys.end()) return EditResult::NoSuchKey;
  const EditResult result = workspace_.Edit([&](ProfileData& model) {
    if (action.type == kAssignMacro && !MacroById(model.macros, static_cast<uint16_t>(action.value))) {
      return EditResult::NoSuchMacro;
    }
    KeyAssignment& record = model.block.arrays[static_cast<size_t>(profile)][KeyCodeToIndex(key)];
    KeyAssignment changed = record;  // mark and reserved are carried
    changed.type = action.type;
    changed.value = action.value;
    // A key that produces itself does what it does by default.
    if (action.type == kAssignKey && action.value == key) changed.type = kAssignDefault, changed.value = 0;
    // G-key records carry their identifier in aux unless a macro's cycles take it.
    changed.aux = changed.type == kAssignMacro ? action.cycles : GKeyAux(KeyCodeToIndex(key));
    record = changed;
    return EditResult::Ok;
  });
  if (result != EditResult::Ok) return result;
  // Apply writes the active profile's key map; another profile goes with all three.
  if (profile != device_.activeProfileCache) workspace_.SetWriteAll(true);
  workspace_.NoteEditedProfile(profile);
  Changed();
  return EditResult::Ok;
}

EditResult ProfileEditor::AddMacro(std::string_view name, std::vector<MacroStep> steps, int cycles, uint16_t* id) {
  if (!ValidName(name)) return EditResult::BadName;
  if (steps.empty()) return EditResult::NoSteps;
  if (steps.size() > kMaxMacroSteps) return EditResult::TooManySteps;
  const std::u16string wide = Utf8ToUtf16(name);
  uint16_t added = 0;
  const EditResult result = workspace_.Edit([&](ProfileData& model) {
    if (NameTaken(model.macros, wide, 0)) return EditResult::MacroExists;
    added = NextFreeMacroId(model.macros);
    if (added == 0 || model.macros.size() >= kMaxMacros) return EditResult::TooManyMacros;
    MacroRecord macro;
    macro.name = wide;
    macro.id = added;
    macro.cycles = ClampCycles(cycles);
    macro.steps = std::move(steps);
    model.macros.push_back(std::move(macro));
    return EditResult::Ok;
  });
  if (result != EditResult::Ok) return result;
  if (id) *id = added;
  Changed();
  return EditResult::Ok;
}

EditResult ProfileEditor::RenameMacro(uint16_t id, std::string_view name) {
  if (!ValidName(name)) return EditResult::BadName;
  const std::u16string wide = Utf8ToUtf16(name);
  const EditResult result = workspace_.Edit([&](ProfileData& model) {
    MacroRecord* macro = MacroById(model.macros, id);
    if (!macro) return EditResult::NoSuchMacro;
    if (NameTaken(model.macros, wide, id)) return EditResult::MacroExists;
    macro->name = wide;
    return EditResult::Ok;
  });
  if (result == EditResult::Ok) Changed();
  return result;
}

EditResult ProfileEditor::SetMacroCycles(uint16_t id, int cycles) {
  const EditResult result = workspace_.Edit([&](ProfileData& model) {
    MacroRecord* macro = MacroById(model.macros, id);
    if (!macro) return EditResult::NoSuchMacro;
    macro->cycles = ClampCycles(cycles);
    return EditResult::Ok;
  });
  if (result == EditResult::Ok) Changed();
  return result;
}

EditResult ProfileEditor::DeleteMacro(uint16_t id) {
  const bool exists = workspace_.Read([id](const ProfileData& model) {
    return std::any_of(model.macros.begin(), model.macros.end(), [id](const MacroRecord& m) { return m.id == id; });
  });
  if (!exists) return EditResult::NoSuchMacro;
  // Asked with no lock held: the sequences go on while the user thinks.
  if (KeysPlayMacro(id) && !ports_.prompts.Confirm("MACRO_DELETE_CONFIRM_OF_KEYS")) return EditResult::Declined;
  const EditResult result = workspace_.Edit([&](ProfileData& model) {
    auto it = std::find_if(model.macros.begin(), model.macros.end(), [id](const MacroRecord& m) { return m.id == id; });
    if (it == model.macros.end()) return EditResult::NoSuchMacro;  // gone while the user was asked
    model.macros.erase(it);
    // Keys that played it go back to their default, in every profile; G-keys
    // keep their identifier.
    for (RecordArray& records : model.block.arrays) {
      for (size_t i = 0; i < records.size(); ++i) {
        KeyAssignment& r = records[i];
        if (!PlaysMacro(r, id)) continue;
        r = KeyAssignment{};
        r.aux = GKeyAux(i);
      }
    }
    return EditResult::Ok;
  });
  if (result != EditResult::Ok) return result;
  // The macros after it move up in the image, so every key map is written.
  workspace_.SetWriteAll(true);
  Changed();
  return EditResult::Ok;
}

bool ProfileEditor::KeysPlayMacro(uint16_t id) const { return KeysPlayingMacro(id) > 0; }

int ProfileEditor::KeysPlayingMacro(uint16_t id) const {
  return workspace_.Read([id](const ProfileData& model) {
    int keys = 0;
    for (const RecordArray& records : model.block.arrays) {
      for (const KeyAssignment& r : records) keys += PlaysMacro(r, id) ? 1 : 0;
    }
    return keys;
  });
}

void ProfileEditor::WriteAllKeyMapsNextSave() { workspace_.SetWriteAll(true); }

size_t ProfileEditor::MacroCapacity() const { return device_.macroCapacity; }

void ProfileEditor::ReplaceMacros(const MacroList& macros) {
  workspace_.Edit([&](ProfileData& model) {
    for (RecordArray& records : model.block.arrays) {
      for (size_t i = 0; i < records.size(); ++i) {
        KeyAssignment& r = records[i];
        if (r.type != kAssignMacro) continue;
        if (r.value == 0) {
          if (!macros.empty()) r.value = macros.front().id;
          continue;
        }
        auto it = std::find_if(macros.begin(), macros.end(), [&](const MacroRecord& m) { return m.id == r.value; });
        // A macro that is gone, or one that only took a deleted macro's identifier, is not played on.
        if (it == macros.end() || it->pending != 0) {
          r.type = kAssignDefault;
          r.value = 0;
          r.aux = GKeyAux(i);
        }
      }
    }
    model.macros = macros;
    for (MacroRecord& m : model.macros) m.pending = 0;
  });
  Changed();
}

ApplyOutcome ProfileEditor::Apply() { return sync_.Apply(); }

RestoreOutcome ProfileEditor::RestoreDefaults(bool withLighting) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  RestoreOutcome outcome;
  const int active = GetActiveProfile(device_, channel_);
  if (!ValidProfile(active)) return outcome;
  outcome.profile = active;
  outcome.backup = SafetyBackup();
  if (outcome.backup.device != DevResult::Ok) {
    outcome.result = RestoreResult::BackupFailed;
    return outcome;
  }
  outcome.result = RestoreResult::Done;
  // The other profiles and the macros go to the keyboard too: they must be its own.
  if (const auto caught = sync_.CatchUpReadBack(); caught.device != DevResult::Ok) {
    outcome.apply = {ApplyResult::WriteFailed, caught.device};
    return outcome;
  }
  workspace_.Edit([&](ProfileData& model) { ResetProfileAssignments(model, active, model_.keys); });
  Changed();
  if (withLighting) {
    lighting_.SetProfile(active);
    outcome.lighting = lighting_.ResetLighting();
  }
  outcome.apply = sync_.Apply();
  return outcome;
}

std::array<uint8_t, kDefaultKeyMapBytes> ProfileEditor::DefaultKeyMap() const {
  std::scoped_lock lock(device_.stateLock);
  return device_.defaultKeyMap;
}

VerifyOutcome ProfileEditor::VerifyKeyMaps(std::span<const int> profiles) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  VerifyOutcome outcome;
  const size_t bytes = device_.keyMapBytes;
  const auto defaults = DefaultKeyMap();
  for (int p : profiles) {
    if (!ValidProfile(p)) {
      outcome.device = DevResult::BadProfile;
      return outcome;
    }
    const std::vector<uint8_t> expected = workspace_.Read([&](const ProfileData& model) {
      return EncodeKeyMapImage(model.block.arrays[static_cast<size_t>(p)], std::span(defaults).first(bytes),
                               model.macros);
    });
    std::array<uint8_t, kDefaultKeyMapBytes> read{};
    outcome.device = channel_.DevReadKeyMap(std::span(read).first(bytes), p);
    if (outcome.device != DevResult::Ok) return outcome;
    if (!std::equal(expected.begin(), expected.end(), read.begin())) outcome.differing.push_back(p);
  }
  return outcome;
}

VerifyOutcome ProfileEditor::VerifyMacros() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  const size_t capacity = device_.macroCapacity;
  const std::vector<uint8_t> image = workspace_.Read([&](const ProfileData& model) {
    return BuildMacroImage(model.macros, MacroImageSizes(model.macros).withNames <= capacity);
  });
  VerifyOutcome outcome;
  std::vector<uint8_t> read(image.size());
  outcome.device = channel_.DevReadMacros(read);
  if (outcome.device == DevResult::Ok && read != image) outcome.differing.push_back(0);
  return outcome;
}

ImportOutcome ProfileEditor::Import(const std::filesystem::path& path) {
  ImportOutcome outcome =
      ImportProfile(path, workspace_, sync_.WorkingProfileFile(), device_, channel_, ports_.prompts);
  if (!outcome.loaded) return outcome;
  sync_.ModelReplaced();
  if (outcome.Written()) {
    workspace_.ClearPending();
    ports_.editing.SetApplyEnabled(false);
  } else {
    // The file's profiles are in the model but not on the keyboard: a later
    // Apply must write all three, not report nothing to do.
    workspace_.MarkEdited();
    workspace_.SetWriteAll(true);
    ports_.editing.SetApplyEnabled(true);
  }
  ports_.keys.RedrawKeys();
  return outcome;
}

bool ProfileEditor::Export(const std::filesystem::path& path) { return ExportProfile(path, workspace_); }

SafetyBackupOutcome ProfileEditor::SafetyBackup() {
  const std::string stamp = LocalTimeStamp();
  const std::filesystem::path folder = sync_.UserFolder();
  SafetyBackupOutcome outcome;
  outcome.file = folder / (std::string("backup-") + stamp + ".fwc");
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(outcome.file, ec); ++n) {
    outcome.file = folder / (std::string("backup-") + stamp + "-" + std::to_string(n) + ".fwc");
  }
  outcome.device = sync_.ReadOnboardImage(outcome.file);
  return outcome;
}

ProfileEditor::FileRestoreOutcome ProfileEditor::RestoreFromFile(const std::filesystem::path& path) {
  // One turn: nothing comes between what was saved and what overwrites it.
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  FileRestoreOutcome outcome;
  outcome.backup = SafetyBackup();
  if (outcome.backup.device == DevResult::Ok) outcome.import = Import(path);
  return outcome;
}

}  // namespace keyloft

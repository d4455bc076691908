// Every edit of the key assignments and macros, and what brings them to the
// keyboard: the one editing API of the windows, keyloftctl and the tests, so
// no rule about the keyboard lives in a window or a command.
//
// The model edits (assign, add, rename, delete, cycles) are short and may be
// called on any thread; each marks the model changed, which enables Apply. The
// operations that talk to the keyboard (Apply, RestoreDefaults, Import, the
// read-back checks) run on the sequence thread. No operation holds a profile
// lock while it asks the user, calls a port or waits on the keyboard.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "lang/localisation.h"
#include "model/key_assignments.h"
#include "model/keyboard_model.h"
#include "model/profile_data.h"
#include "sync/lighting_controller.h"
#include "sync/ports.h"
#include "sync/profile_import.h"
#include "sync/profile_workspace.h"
#include "sync/readback.h"

namespace keyloft {

enum class EditResult {
  Ok,
  NoSuchProfile,  // a profile outside 0..2
  NoSuchKey,      // a key that cannot be assigned
  NoSuchMacro,
  MacroExists,    // another macro has that name
  TooManyMacros,  // the 100 identifiers are taken
  BadName,        // empty, or longer than 249 characters
  NoSteps,
  TooManySteps,   // more than 4000
  Declined,       // the user answered No; nothing changed
};

// What a key is made to do, as the editing API takes it.
struct KeyAction {
  uint16_t type = kAssignDefault;
  uint32_t value = 0;  // the produced key, the macro's identifier, the media or function index
  uint8_t cycles = 1;  // how often a macro plays

  static KeyAction Default() { return {}; }
  static KeyAction Key(KeyCode produced) { return {kAssignKey, produced, 1}; }
  static KeyAction Macro(uint16_t id, uint8_t cycles) { return {kAssignMacro, id, cycles}; }
  static KeyAction Media(uint32_t mediaIndex) { return {kAssignMedia, mediaIndex, 1}; }
  static KeyAction Function(uint32_t functionIndex) { return {kAssignFunction, functionIndex, 1}; }
};

enum class RestoreResult {
  Done,          // the records were reset and Apply ran (see apply)
  NoProfile,     // the active profile is not known (no keyboard): nothing was reset
  BackupFailed,  // what the keyboard held could not be saved first (see backup): nothing was reset
};

// What the keyboard held before an overwrite, saved first.
struct SafetyBackupOutcome {
  DevResult device = DevResult::NoReply;  // Ok: saved
  std::filesystem::path file;
};

struct RestoreOutcome {
  RestoreResult result = RestoreResult::NoProfile;
  int profile = -1;
  SafetyBackupOutcome backup;
  ApplyOutcome apply;
  DevResult lighting = DevResult::Ok;  // with the lighting reset
};

// A read-back check of what was written.
struct VerifyOutcome {
  DevResult device = DevResult::Ok;  // a read that failed
  std::vector<int> differing;        // profiles whose key map differs; for macros, {0} when the area differs
  bool Same() const { return device == DevResult::Ok && differing.empty(); }
};

class ProfileEditor {
 public:
  ProfileEditor(DeviceContext& device, ProfileWorkspace& workspace, SyncEngine& sync, LightingController& lighting,
                const Localisation& lang, const KeyboardModel& model, SyncPorts ports);

  const ProfileWorkspace& Workspace() const { return workspace_; }

  // ---- Reading --------------------------------------------------------------
  // The keys a user can assign: the keyboard's keys, then G1..G9.
  std::vector<KeyCode> AssignableKeys() const;
  KeyDescription Describe(int profile, KeyCode key) const;
  // Every assignable key of a profile, in AssignableKeys order, under one lock.
  std::vector<KeyDescription> DescribeAll(int profile) const;
  MacroList Macros() const;
  // Whether the keyboard keeps the key's assignment in its key map; the others
  // (the G-keys on the models known) are kept in the profile files only.
  bool KeyboardKeepsAssignment(KeyCode key) const;
  // The identifier of the macro of that name, compared without regard to case.
  std::optional<uint16_t> FindMacro(std::string_view name) const;

  // ---- Editing the model ----------------------------------------------------
  // A key assigned to itself goes back to its default. G-key records keep
  // their identifier in aux unless a macro's cycles take it. A profile other
  // than the active one is written with all three at the next Apply.
  EditResult AssignKey(int profile, KeyCode key, const KeyAction& action);
  // The macro gets the smallest free identifier, which *id receives.
  EditResult AddMacro(std::string_view name, std::vector<MacroStep> steps, int cycles, uint16_t* id = nullptr);
  EditResult RenameMacro(uint16_t id, std::string_view name);
  // Cycles are clamped into 1..255.
  EditResult SetMacroCycles(uint16_t id, int cycles);
  // When keys play it, asks MACRO_DELETE_CONFIRM_OF_KEYS first (No: Declined).
  // Keys that played it go back to their default in every profile, and every
  // key map is written at the next Apply, as the macros after it move up.
  EditResult DeleteMacro(uint16_t id);

  // ---- The key dialog's macros -----------------------------------------------
  // Whether any key of any profile plays the macro.
  bool KeysPlayMacro(uint16_t id) const;
  // How many key records, in all three profiles, play the macro.
  int KeysPlayingMacro(uint16_t id) const;
  void WriteAllKeyMapsNextSave();
  // Bytes of macro memory the keyboard reported; 0 before one connected.
  size_t MacroCapacity() const;
  // The dialog's working macros replace the model's, in their order. Keys that
  // play macro 0 then play the first; keys that play a macro not among them, or
  // one added while the dialog was open (pending: it only took a deleted
  // macro's identifier), go back to their default.
  void ReplaceMacros(const MacroList& macros);

  // ---- The keyboard (sequence thread) ----------------------------------------
  ApplyOutcome Apply();
  // The active profile's keys and G1..G9 back to their defaults (and, with
  // withLighting, its lighting), then Apply. Nothing when the active profile
  // is unknown.
  RestoreOutcome RestoreDefaults(bool withLighting);
  // Reads the profiles' key maps back and compares them with the working model.
  VerifyOutcome VerifyKeyMaps(std::span<const int> profiles);
  // Reads the macro area back and compares it with the image a save writes.
  VerifyOutcome VerifyMacros();
  ImportOutcome Import(const std::filesystem::path& path);
  bool Export(const std::filesystem::path& path);
  // The keyboard's three profiles and its macros saved to a new
  // backup-<date>-<time>.fwc in the user data folder: done before anything
  // overwrites them (RestoreDefaults, RestoreFromFile).
  SafetyBackupOutcome SafetyBackup();
  // A profile file put on the keyboard in place of all three profiles and the
  // macros, after a SafetyBackup; nothing is imported when the backup failed.
  struct FileRestoreOutcome {
    SafetyBackupOutcome backup;
    ImportOutcome import;
  };
  FileRestoreOutcome RestoreFromFile(const std::filesystem::path& path);

 private:
  // A change made: Apply enabled, and the keys shown again.
  void Changed();
  std::array<uint8_t, kDefaultKeyMapBytes> DefaultKeyMap() const;

  DeviceContext& device_;
  CommandChannel channel_;
  ProfileWorkspace& workspace_;
  SyncEngine& sync_;
  LightingController& lighting_;
  const Localisation& lang_;
  const KeyboardModel& model_;
  SyncPorts ports_;
};

}  // namespace keyloft

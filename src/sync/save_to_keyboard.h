// The save that writes the working model to the keyboard: a snapshot of the
// working model, its macro image and key map(s), and one begin/end bracket.
#pragma once

#include <filesystem>
#include <span>
#include <utility>
#include <vector>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "lang/prompts.h"
#include "sync/profile_workspace.h"

namespace keyloft {

enum class SaveResult {
  Saved,          // every write was accepted
  MacrosTooLong,  // the macros do not fit the keyboard even without names; nothing was sent
  WriteFailed,    // some write failed: see device
};

struct SaveOutcome {
  SaveResult result = SaveResult::WriteFailed;
  DevResult device = DevResult::Ok;  // the first failed command, for WriteFailed
  bool namesDropped = false;         // the macros went without their names, to fit
};

// Snapshots the working model and writes the macro image and the active
// profile's key map (all three with allProfiles or the write-all flag) in one
// bracket. Good only if every write was: the write-all flag is cleared only
// then, so key maps left stale by a failed save are written again next time.
// The working model is locked only while the snapshot is taken.
// EXTRA_MACRO_TOO_LONG is said when nothing is sent for want of room,
// EXTRA_PROFILE_SPACE_TIGHT after a write that left the names out.
SaveOutcome SaveToKeyboard(ProfileWorkspace& workspace, DeviceContext& device, CommandChannel& channel,
                           Prompts& prompts, bool allProfiles);

// The macro image and key maps in one bracket; the first failure. begun: the
// bracket's begin was taken, so what followed may have reached the keyboard.
DevResult WriteMacrosAndKeyMaps(CommandChannel& channel, std::span<const uint8_t> macroImage,
                                std::span<const std::pair<int, std::vector<uint8_t>>> keyMaps, bool* begun = nullptr);
// Whether such a write stopped in the middle for want of an answer, so the
// keyboard may hold part of it: its journal stays, to finish it later.
inline bool WriteCutShort(bool begun, DevResult result) {
  return begun && (result == DevResult::NoReply || result == DevResult::WriteFailed);
}
// The journal file of the connected keyboard; empty when the program keeps none.
std::filesystem::path JournalFileOf(DeviceContext& device);

}  // namespace keyloft

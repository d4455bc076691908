// Backup and restore of the working model through a profile file (.fwc): the
// export writes the working model to a file of the user's; the import replaces
// it from one and writes all three profiles to the keyboard.
#pragma once

#include <filesystem>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "lang/prompts.h"
#include "sync/profile_workspace.h"
#include "sync/save_to_keyboard.h"

namespace keyloft {

// The working model saved to path, atomically; false, with any old file kept,
// when it cannot be written.
bool ExportProfile(const std::filesystem::path& path, ProfileWorkspace& workspace);

struct ImportOutcome {
  bool loaded = false;  // the working model was replaced from the file
  SaveOutcome written;  // and what the keyboard made of it (when loaded)
  bool Written() const { return loaded && written.result == SaveResult::Saved; }
};

// Validates the file (MAIN_PROMPT_INPORT when it is refused), replaces the
// working model, updates the working copy when it exists, and writes all three
// profiles to the keyboard. A file that fails to load leaves the model as it was.
ImportOutcome ImportProfile(const std::filesystem::path& path, ProfileWorkspace& workspace,
                            const std::filesystem::path& workingFile, DeviceContext& device, CommandChannel& channel,
                            Prompts& prompts);

}  // namespace keyloft

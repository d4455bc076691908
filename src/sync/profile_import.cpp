#include "sync/profile_import.h"

#include <system_error>

#include "store/profile_file.h"

namespace keyloft {

bool ExportProfile(const std::filesystem::path& path, ProfileWorkspace& workspace) {
  // The save writes the texts' pool offsets back into the model it saves.
  return workspace.Edit([&](ProfileData& working) { return SaveProfileFile(path, working); });
}

ImportOutcome ImportProfile(const std::filesystem::path& path, ProfileWorkspace& workspace,
                            const std::filesystem::path& workingFile, DeviceContext& device, CommandChannel& channel,
                            Prompts& prompts) {
  ImportOutcome outcome;
  if (ValidateProfileFile(path, prompts) != kProfileFileValid) {
    prompts.Notify("MAIN_PROMPT_INPORT");
    return outcome;
  }
  outcome.loaded = workspace.Edit([&](ProfileData& working) {
    if (!LoadProfileFile(path, working)) return false;
    std::error_code ec;
    // The working copy follows when there is one; the keyboard is the reference anyway.
    if (std::filesystem::exists(workingFile, ec)) SaveProfileFile(workingFile, working);
    return true;
  });
  if (!outcome.loaded) {
    prompts.Notify("MAIN_PROMPT_INPORT");
    return outcome;
  }
  outcome.written = SaveToKeyboard(workspace, device, channel, prompts, true);
  return outcome;
}

}  // namespace keyloft

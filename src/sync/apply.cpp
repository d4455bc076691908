// Apply: pending key and macro changes saved to the working file and written
// to the keyboard, with the progress animation shown meanwhile.
#include <system_error>

#include "model/key_assignments.h"
#include "store/profile_file.h"
#include "sync/readback.h"

namespace keyloft {

bool SyncEngine::SaveWorkingProfile() {
  std::error_code ec;
  if (!std::filesystem::exists(WorkingProfileFile(), ec)) return false;
  std::scoped_lock lock(workspace_.workingLock);
  return SaveProfileFile(WorkingProfileFile(), workspace_.workingProfile);
}

void SyncEngine::Apply() {
  if (ports_.editing.RecordingRunning()) {
    if (!ports_.prompts.Confirm("MAIN_APPLY_PROMPT")) return;
    ports_.editing.StopRecording();
  }
  ports_.progress.Show();
  if (ports_.editing.ApplyEnabled()) {
    std::scoped_lock lock(workspace_.workingLock);
    const bool saved = SaveWorkingProfile();
    const bool written = SaveToKeyboard(workspace_, device_, channel_, ports_.prompts, false);
    if (saved && written) ports_.editing.SetApplyEnabled(false);
  }
  ports_.progress.Hide();
}

}  // namespace keyloft

// Apply: pending key and macro changes saved to the working file and written
// to the keyboard, with the progress animation shown meanwhile.
#include <system_error>

#include "store/profile_file.h"
#include "sync/readback.h"

namespace keyloft {

bool SyncEngine::SaveWorkingProfile() {
  std::error_code ec;
  if (!std::filesystem::exists(WorkingProfileFile(), ec)) return false;
  // SaveProfileFile writes the texts' pool offsets back into the model.
  return workspace_.Edit([&](ProfileData& working) { return SaveProfileFile(WorkingProfileFile(), working); });
}

void SyncEngine::SetPending(bool pending) {
  if (pending) {
    workspace_.MarkEdited();
  } else {
    workspace_.ClearPending();
  }
  ports_.editing.SetApplyEnabled(pending);
}

ApplyOutcome SyncEngine::Apply() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  if (ports_.editing.RecordingRunning()) {
    if (!ports_.prompts.Confirm("MAIN_APPLY_PROMPT")) return {ApplyResult::Declined};
    ports_.editing.StopRecording();
  }
  ports_.progress.Show();
  ApplyOutcome outcome;
  if (workspace_.Pending()) {
    // Changes made while the keyboard is written stay pending.
    const uint64_t edits = workspace_.Edits();
    const bool saved = SaveWorkingProfile();
    const SaveOutcome written = SaveToKeyboard(workspace_, device_, channel_, ports_.prompts, false);
    outcome.device = written.device;
    outcome.namesDropped = written.namesDropped;
    if (written.result == SaveResult::MacrosTooLong) {
      outcome.result = ApplyResult::MacrosTooLong;
    } else if (written.result != SaveResult::Saved) {
      outcome.result = ApplyResult::WriteFailed;
    } else if (!saved) {
      outcome.result = ApplyResult::NotSaved;
    } else {
      outcome.result = ApplyResult::Applied;
      workspace_.ClearPendingIfUnchangedSince(edits);
      ports_.editing.SetApplyEnabled(workspace_.Pending());
    }
  }
  ports_.progress.Hide();
  return outcome;
}

}  // namespace keyloft

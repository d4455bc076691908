// Apply: pending key and macro changes saved to the working file and written
// to the keyboard, with the progress animation shown meanwhile.
#include <future>
#include <system_error>
#include <vector>

#include "store/profile_file.h"
#include "sync/readback.h"

namespace keyloft {

bool SyncEngine::SaveWorkingProfile() { return StartSavingWorkingProfile().get(); }

std::future<bool> SyncEngine::StartSavingWorkingProfile() {
  std::error_code ec;
  if (!std::filesystem::exists(WorkingProfileFile(), ec)) {
    std::promise<bool> none;
    none.set_value(false);
    return none.get_future();
  }
  try {
    // Encoding writes the texts' pool offsets back into the model: under its
    // lock. The disk's part needs no lock and goes on while the keyboard is written.
    std::vector<uint8_t> bytes = workspace_.Edit([](ProfileData& working) { return EncodeProfileFile(working); });
    return std::async(std::launch::async, [path = WorkingProfileFile(), bytes = std::move(bytes)] {
      return WriteProfileFile(path, bytes);
    });
  } catch (const std::exception&) {  // no memory, or no thread: not saved
    std::promise<bool> failed;
    failed.set_value(false);
    return failed.get_future();
  }
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
  // Changes made over the defaults of a keyboard that was never read would
  // overwrite its own profiles and macros: it is read first, and they go.
  if (const CatchUpOutcome caught = CatchUpReadBack(); caught.readNow) {
    outcome.result = ApplyResult::ReadBackFirst;
  } else if (caught.device != DevResult::Ok) {
    outcome.result = ApplyResult::WriteFailed;
    outcome.device = caught.device;
  } else if (workspace_.Pending()) {
    // Changes made while the keyboard is written stay pending.
    const uint64_t edits = workspace_.Edits();
    std::future<bool> saving = StartSavingWorkingProfile();
    const SaveOutcome written = SaveToKeyboard(workspace_, device_, channel_, ports_.prompts, false);
    const bool saved = saving.get();
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
      if (ports_.events) ports_.events->Publish("applied", device_.activeProfileCache.load());
    }
  }
  ports_.progress.Hide();
  return outcome;
}

}  // namespace keyloft

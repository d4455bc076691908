// The profiles the program edits: the working model (all three onboard
// profiles' key assignments, the macros and the texts) and the snapshot a save
// writes from, each behind its lock, and what is pending. Callers outside the
// core get it const: they read through Read, which holds the lock for the read
// alone, and change it only through the editing API (sync/profile_editor.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "model/profile_data.h"

namespace keyloft {

class ProfileWorkspace {
 public:
  ProfileWorkspace() {
    BuildDefaultProfile(working_);
    BuildDefaultProfile(upload_);
  }
  ProfileWorkspace(const ProfileWorkspace&) = delete;
  ProfileWorkspace& operator=(const ProfileWorkspace&) = delete;

  // read(const ProfileData&) under the working lock; what it returns. Keep it
  // short: nothing that waits (on the keyboard, a thread, the user) belongs inside.
  template <class Fn>
  decltype(auto) Read(Fn&& read) const {
    std::scoped_lock lock(workingLock_);
    return std::forward<Fn>(read)(std::as_const(working_));
  }

  // The same for a change of the working model.
  template <class Fn>
  decltype(auto) Edit(Fn&& edit) {
    std::scoped_lock lock(workingLock_);
    return std::forward<Fn>(edit)(working_);
  }

  // A save: take(working, snapshot) under both locks, taken in their order
  // (working, then snapshot); then write(snapshot) under the snapshot's lock
  // alone, so the working model can be read and edited while the keyboard is
  // written, and a second save waits for the first.
  template <class Take, class Write>
  decltype(auto) Snapshot(Take&& take, Write&& write) {
    std::unique_lock working(workingLock_);
    std::scoped_lock upload(uploadLock_);
    std::forward<Take>(take)(working_, upload_);
    working.unlock();
    return std::forward<Write>(write)(std::as_const(upload_));
  }

  // Changes not yet written to the keyboard (the Apply button's state). Every
  // change counts one edit, so a save can tell whether the model changed while
  // it wrote.
  bool Pending() const { return pending_; }
  uint64_t Edits() const { return edits_; }
  void MarkEdited() {
    ++edits_;
    pending_ = true;
  }
  // Nothing pending any more; with a count from Edits(), only if no change came since.
  void ClearPending() {
    pending_ = false;
    editedProfile_ = -1;
  }
  void ClearPendingIfUnchangedSince(uint64_t edits) {
    if (edits_ == edits) ClearPending();
  }
  // The profile whose key map the pending changes are in (-1: none, the
  // macros only); changes in another go with the write-all flag.
  int EditedProfile() const { return editedProfile_; }
  void NoteEditedProfile(int profile) {
    if (editedProfile_ < 0) editedProfile_ = profile;
    else if (editedProfile_ != profile) writeAll_ = true;
  }
  // The next save writes the key maps of all three profiles.
  bool WriteAll() const { return writeAll_; }
  void SetWriteAll(bool all) { writeAll_ = all; }

 private:
  // Re-entrant: a reader may read again inside its own read.
  mutable std::recursive_mutex workingLock_;
  ProfileData working_;
  std::recursive_mutex uploadLock_;
  ProfileData upload_;
  std::atomic<bool> pending_{false};
  std::atomic<uint64_t> edits_{0};
  std::atomic<bool> writeAll_{false};
  std::atomic<int> editedProfile_{-1};
};

}  // namespace keyloft

// An advisory lock on a file (flock), shared by every process of the user that
// opens the same path. Used to keep two programs' exchanges with one keyboard
// from interleaving.
#pragma once

#include <chrono>
#include <filesystem>

namespace keyloft {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Close(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens (creating, mode 0600) the lock file; false when it cannot.
  bool Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Blocks until the lock is ours; does nothing when no file is open.
  void Lock();
  // The same, giving up after limit; true when the lock is ours or no file is open.
  bool LockFor(std::chrono::milliseconds limit);
  void Unlock();

 private:
  int fd_ = -1;
};

}  // namespace keyloft

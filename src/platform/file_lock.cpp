#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace keyloft {

bool FileLock::Open(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  return fd_ >= 0;
}

void FileLock::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  fd_ = -1;
}

void FileLock::Lock() {
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void FileLock::Unlock() {
  if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

}  // namespace keyloft

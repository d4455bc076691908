#include "util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

namespace keyloft {
namespace {

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    content.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Opens a fresh, uniquely named file beside target; O_EXCL keeps it ours.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath) {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << '.' << target.filename().string() << ".tmp" << std::hex << rd() << rd();
    tempPath = target.parent_path() / name.str();
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void SyncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself has already happened
  ::close(fd);
}

}  // namespace

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content) {
  std::error_code ec;
  std::filesystem::path target = path;
  if (std::filesystem::is_symlink(path, ec)) {
    target = std::filesystem::weakly_canonical(path, ec);
    if (ec) return false;
  }
  std::filesystem::path temp;
  int fd = CreateTemporary(target, temp);
  if (fd < 0) return false;

  struct stat old{};
  bool ok = true;
  if (::stat(target.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(target.parent_path());
  return true;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(s).str();
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return stamp;
}

std::optional<std::filesystem::path> SetFileAside(const std::filesystem::path& path) {
  const std::string stamp = LocalTimeStamp();
  for (int n = 1; n < 100; ++n) {
    std::filesystem::path aside = path;
    aside += std::string(".unreadable-") + stamp + (n > 1 ? "-" + std::to_string(n) : std::string());
    // No-replace: a file set aside a moment ago under the same name stays.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace keyloft

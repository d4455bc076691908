#include "emu_test_support.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace keyloft::emu::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

}  // namespace

Bytes CommandReport(uint8_t command, uint8_t length, uint16_t offset, std::span<const uint8_t> payload) {
  Bytes r(64, 0);
  r[0] = 4;
  r[3] = command;
  r[4] = length;
  r[5] = static_cast<uint8_t>(offset & 0xFF);
  r[6] = static_cast<uint8_t>(offset >> 8);
  std::copy_n(payload.begin(), std::min<size_t>(payload.size(), 56), r.begin() + 8);
  unsigned sum = std::accumulate(r.begin() + 3, r.end(), 0u);
  r[1] = static_cast<uint8_t>(sum & 0xFF);
  r[2] = static_cast<uint8_t>((sum >> 8) & 0xFF);
  return r;
}

VhidHost::VhidHost(const std::filesystem::path& socket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = socket.string();
  if (path.size() >= sizeof(address.sun_path)) return;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    Close();
    return;
  }
  if (auto hello = Receive()) hello_ = std::move(*hello);
}

VhidHost::~VhidHost() { Close(); }

void VhidHost::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool VhidHost::Send(std::span<const uint8_t> report) {
  return fd_ >= 0 && ::send(fd_, report.data(), report.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(report.size());
}

std::optional<Bytes> VhidHost::Receive(std::chrono::milliseconds wait) {
  if (fd_ < 0) return std::nullopt;
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
  Bytes message(8192);
  ssize_t n = ::recv(fd_, message.data(), message.size(), 0);
  if (n <= 0) return std::nullopt;
  message.resize(static_cast<size_t>(n));
  return message;
}

bool VhidHost::WaitClosed(std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  while (fd_ >= 0) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, MillisecondsLeft(deadline)) <= 0) return false;
    char scratch[8192];
    if (::recv(fd_, scratch, sizeof(scratch), 0) <= 0) return true;
  }
  return false;
}

bool WaitForFolder(const std::filesystem::path& folder, const std::function<bool()>& done,
                   std::chrono::milliseconds wait) {
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return done();
  ::inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_CLOSE_WRITE);
  const auto deadline = Clock::now() + wait;
  bool result = done();
  while (!result) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, MillisecondsLeft(deadline)) <= 0) break;
    char events[4096];
    while (::read(fd, events, sizeof(events)) > 0) {
    }
    result = done();
  }
  ::close(fd);
  return result || done();
}

std::vector<std::string> FilesEndingIn(const std::filesystem::path& folder, std::string_view suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.ends_with(suffix)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace keyloft::emu::test

// The virtual HID transport: every *.sock in a folder is one interface node,
// a SOCK_SEQPACKET socket whose first message is the device's hello.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "device/hid_backend.h"
#include "device/vhid_protocol.h"

namespace keyloft {
namespace {

namespace fs = std::filesystem;

constexpr int kHelloTimeoutMs = 1000;

// Connects and reads the hello. Returns the socket (non-blocking) or -1.
int Connect(const std::string& node, VhidHello& hello) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (node.size() >= sizeof addr.sun_path) return -1;
  std::memcpy(addr.sun_path, node.c_str(), node.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::fcntl(fd, F_SETFL, O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  std::vector<uint8_t> message(kVhidMaxMessage);
  pollfd p{fd, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&p, 1, kHelloTimeoutMs);
  } while (rc < 0 && errno == EINTR);
  ssize_t n = rc > 0 ? ::recv(fd, message.data(), message.size(), 0) : -1;
  auto decoded = n > 0 ? DecodeVhidHello(std::span(message.data(), static_cast<size_t>(n))) : std::nullopt;
  if (!decoded) {
    ::close(fd);
    return -1;
  }
  hello = std::move(*decoded);
  return fd;
}

void Fill(HidNodeInfo& info, const std::string& node, const VhidHello& hello) {
  info.node = node;
  info.vendorId = hello.vendorId;
  info.productId = hello.productId;
  info.versionNumber = hello.versionNumber;
  info.interfaceNumber = hello.interfaceNumber;
  info.descriptor = hello.descriptor;
}

class VhidDevice final : public HidDevice {
 public:
  VhidDevice(int fd, std::string node, dev_t dev, ino_t ino) : fd_(fd), node_(std::move(node)), dev_(dev), ino_(ino) {}
  ~VhidDevice() override { ::close(fd_); }

  int Fd() const override { return fd_; }

  bool StillPresent() const override {
    struct stat st{};
    if (::stat(node_.c_str(), &st) != 0 || st.st_dev != dev_ || st.st_ino != ino_) return false;
    pollfd p{fd_, 0, 0};  // a device that hung up is gone even if a new socket took its name
    return ::poll(&p, 1, 0) == 0 || !(p.revents & (POLLHUP | POLLERR));
  }

 private:
  int fd_;
  std::string node_;
  dev_t dev_;
  ino_t ino_;
};

class VhidBackend final : public HidBackend {
 public:
  explicit VhidBackend(fs::path folder) : folder_(std::move(folder)) {}

  bool Enumerate(std::vector<HidNodeInfo>& nodes) override {
    nodes.clear();
    std::error_code ec;
    std::vector<std::string> sockets;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->path().extension() == ".sock") sockets.push_back(it->path().string());
    }
    if (ec) return ec == std::errc::no_such_file_or_directory;
    std::sort(sockets.begin(), sockets.end());
    for (const auto& node : sockets) {
      VhidHello hello;
      int fd = Connect(node, hello);
      if (fd < 0) continue;  // a socket left behind, or a device going away
      ::close(fd);
      HidNodeInfo info;
      Fill(info, node, hello);
      nodes.push_back(std::move(info));
    }
    return true;
  }

  std::unique_ptr<HidDevice> Open(const std::string& node, bool, bool, bool, HidNodeInfo& info) override {
    struct stat st{};
    if (::stat(node.c_str(), &st) != 0) return nullptr;
    VhidHello hello;
    int fd = Connect(node, hello);
    if (fd < 0) return nullptr;
    Fill(info, node, hello);
    return std::make_unique<VhidDevice>(fd, node, st.st_dev, st.st_ino);
  }

 private:
  fs::path folder_;
};

}  // namespace

std::unique_ptr<HidBackend> MakeVhidBackend(std::filesystem::path folder) {
  return std::make_unique<VhidBackend>(std::move(folder));
}

}  // namespace keyloft

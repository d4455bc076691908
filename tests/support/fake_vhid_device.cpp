#include "fake_vhid_device.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace keyloft::test {

FakeVhidDevice::FakeVhidDevice(std::filesystem::path socketPath, VhidHello hello)
    : path_(std::move(socketPath)), hello_(EncodeVhidHello(hello)) {
  listenFd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 8) != 0) {
    throw std::runtime_error("cannot listen on " + path_.string());
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { Serve(); });
}

FakeVhidDevice::~FakeVhidDevice() {
  stop_ = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
  thread_.join();
  Unplug();
  for (int h : hosts_) ::close(h);
  if (listenFd_ >= 0) ::close(listenFd_);
  ::close(wakeFd_);
}

void FakeVhidDevice::Serve() {
  while (!stop_) {
    std::vector<pollfd> fds = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    {
      std::scoped_lock lock(mutex_);
      for (int h : hosts_) fds.push_back({h, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      int h = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (h >= 0) {
        ::send(h, hello_.data(), hello_.size(), MSG_NOSIGNAL);
        std::scoped_lock lock(mutex_);
        hosts_.push_back(h);
        changed_.notify_all();
      }
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      std::vector<uint8_t> buf(4096);
      ssize_t n = ::recv(fds[i].fd, buf.data(), buf.size(), MSG_DONTWAIT);
      std::scoped_lock lock(mutex_);
      if (n <= 0) {
        std::erase(hosts_, fds[i].fd);
        ::close(fds[i].fd);
      } else {
        buf.resize(static_cast<size_t>(n));
        written_.push_back(std::move(buf));
      }
      changed_.notify_all();
    }
  }
}

void FakeVhidDevice::Send(const std::vector<uint8_t>& report) {
  std::scoped_lock lock(mutex_);
  for (int h : hosts_) ::send(h, report.data(), report.size(), MSG_NOSIGNAL);
}

bool FakeVhidDevice::WaitForHosts(size_t n) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return hosts_.size() >= n; });
}

std::vector<uint8_t> FakeVhidDevice::NextWritten(int timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !written_.empty(); })) return {};
  auto report = written_.front();
  written_.erase(written_.begin());
  return report;
}

void FakeVhidDevice::Unplug() {
  // The serving thread sees the hang-up and closes its end.
  std::scoped_lock lock(mutex_);
  for (int h : hosts_) ::shutdown(h, SHUT_RDWR);
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

}  // namespace keyloft::test

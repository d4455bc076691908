// A vhid device for tests: listens on a socket in a folder, greets every host
// with a hello, sends reports to all of them and collects what they write.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "device/vhid_protocol.h"

namespace keyloft::test {

class FakeVhidDevice {
 public:
  FakeVhidDevice(std::filesystem::path socketPath, VhidHello hello);
  ~FakeVhidDevice();

  // Sends one input report to every connected host.
  void Send(const std::vector<uint8_t>& report);
  // Waits until at least n hosts are connected.
  bool WaitForHosts(size_t n);
  // Waits for the next report a host wrote; empty after the deadline.
  std::vector<uint8_t> NextWritten(int timeoutMs = 2000);
  // Closes every connection and removes the socket file, as an unplug does.
  void Unplug();

 private:
  void Serve();

  std::filesystem::path path_;
  std::vector<uint8_t> hello_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> hosts_;
  std::vector<std::vector<uint8_t>> written_;
  std::thread thread_;
};

}  // namespace keyloft::test

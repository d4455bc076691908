// What the virtual keyboard's tests share: command reports built as a host
// builds them, a raw host on one interface socket, and waits on folder events.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyloft::emu::test {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;
inline constexpr std::chrono::milliseconds kPatience = 5s;

// A 64-byte command report: id 4, checksum, command, length, offset, payload.
Bytes CommandReport(uint8_t command, uint8_t length = 0, uint16_t offset = 0, std::span<const uint8_t> payload = {});

// A raw SOCK_SEQPACKET client on one interface; reads the hello on connecting.
class VhidHost {
 public:
  explicit VhidHost(const std::filesystem::path& socket);
  ~VhidHost();
  VhidHost(const VhidHost&) = delete;
  VhidHost& operator=(const VhidHost&) = delete;

  bool Connected() const { return fd_ >= 0 && !hello_.empty(); }
  const Bytes& Hello() const { return hello_; }
  bool Send(std::span<const uint8_t> report);
  // The next message, or nothing when none comes in time or the device closed.
  std::optional<Bytes> Receive(std::chrono::milliseconds wait = kPatience);
  // Whether the device ends the connection in time (messages before the end are skipped).
  bool WaitClosed(std::chrono::milliseconds wait = kPatience);
  void Close();

 private:
  int fd_ = -1;
  Bytes hello_;
};

// Waits on the folder's change events until done() holds; false at the deadline.
bool WaitForFolder(const std::filesystem::path& folder, const std::function<bool()>& done,
                   std::chrono::milliseconds wait = kPatience);

// The names of the folder's files that end in suffix, sorted.
std::vector<std::string> FilesEndingIn(const std::filesystem::path& folder, std::string_view suffix);

}  // namespace keyloft::emu::test

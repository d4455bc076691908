// What the HID transport needs from a platform: the HID interface nodes present,
// and an open node to move reports through. Two backends provide it: hidraw
// (the kernel's /dev/hidrawN) and vhid (the virtual HID transport over Unix
// sockets, served by the virtual keyboard).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace keyloft {

// One interface node: a hidraw node or a vhid socket. Several top-level
// collections may share it.
struct HidNodeInfo {
  std::string node;  // /dev/hidrawN or the socket's path
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
  int interfaceNumber = -1;  // USB interface number; -1 when unknown
  std::vector<uint8_t> descriptor;
};

// An open node. Reports cross it whole: one read gives one input report, one
// write sends one output report, as hidraw does.
class HidDevice {
 public:
  virtual ~HidDevice() = default;
  // A descriptor that poll() reports readable and writable; non-blocking.
  virtual int Fd() const = 0;
  // Whether the node is still there and still the device that was opened.
  virtual bool StillPresent() const = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // The nodes present, in a stable order. False when the list cannot be made.
  virtual bool Enumerate(std::vector<HidNodeInfo>& nodes) = 0;
  // Opens a node and tells what it is; nullptr when it cannot be opened.
  virtual std::unique_ptr<HidDevice> Open(const std::string& node, bool read, bool write, bool exclusive,
                                          HidNodeInfo& info) = 0;
};

// Where the backends look; tests point them at fake trees.
struct HidTransportConfig {
  std::filesystem::path vhidDir;     // when it names an existing folder, vhid is used instead of hidraw
  std::filesystem::path sysfsRoot = "/sys";
  std::filesystem::path devRoot = "/dev";
  // When set, makes the backend instead (tests put a backend of their own here).
  std::function<std::unique_ptr<HidBackend>()> makeBackend;

  // KEYLOFT_VHID_DIR names the vhid folder.
  static HidTransportConfig FromEnvironment();
  static HidTransportConfig Vhid(std::filesystem::path folder);
  static HidTransportConfig Hidraw(std::filesystem::path sysfsRoot, std::filesystem::path devRoot);
};

std::unique_ptr<HidBackend> MakeHidBackend(const HidTransportConfig& config);
std::unique_ptr<HidBackend> MakeHidrawBackend(std::filesystem::path sysfsRoot, std::filesystem::path devRoot);
std::unique_ptr<HidBackend> MakeVhidBackend(std::filesystem::path folder);

}  // namespace keyloft

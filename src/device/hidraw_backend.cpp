// The kernel's hidraw nodes: enumerated from sysfs, opened under /dev.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "device/hid_backend.h"
#include "util/atomic_file.h"

namespace keyloft {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHidrawPrefix = "hidraw";

// hidrawN -> N, or -1 for anything else.
long NodeNumber(std::string_view name) {
  if (!name.starts_with(kHidrawPrefix) || name.size() == kHidrawPrefix.size()) return -1;
  long n = 0;
  for (char c : name.substr(kHidrawPrefix.size())) {
    if (c < '0' || c > '9' || n > 1'000'000) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// HID_ID=0003:00000C45:0000652F and HID_PHYS=usb-0000:00:14.0-2/input2.
void ParseUevent(const std::string& uevent, HidNodeInfo& info) {
  std::istringstream lines(uevent);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("HID_ID=")) {
      unsigned bus = 0, vendor = 0, product = 0;
      if (std::sscanf(line.c_str() + 7, "%x:%x:%x", &bus, &vendor, &product) == 3) {
        info.vendorId = static_cast<uint16_t>(vendor);
        info.productId = static_cast<uint16_t>(product);
      }
    } else if (line.starts_with("HID_PHYS=") && info.interfaceNumber < 0) {
      size_t at = line.rfind("/input");
      if (at != std::string::npos && at + 6 < line.size()) info.interfaceNumber = std::atoi(line.c_str() + at + 6);
    }
  }
}

// Reads what sysfs tells of one hidraw node. The device link of
// /sys/class/hidraw/hidrawN/device leads to the HID device, whose parent is the
// USB interface (bInterfaceNumber) and whose grandparent the USB device (bcdDevice).
bool ReadSysfs(const fs::path& classDir, const std::string& name, HidNodeInfo& info, std::string* identity) {
  std::error_code ec;
  fs::path device = classDir / name / "device";
  fs::path real = fs::canonical(device, ec);
  if (ec) return false;
  std::string interfaceText = ReadText(real.parent_path() / "bInterfaceNumber");
  if (!interfaceText.empty()) info.interfaceNumber = static_cast<int>(std::strtol(interfaceText.c_str(), nullptr, 16));
  ParseUevent(ReadText(device / "uevent"), info);
  for (fs::path p = real.parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path()) {
    std::string bcd = ReadText(p / "bcdDevice");
    if (!bcd.empty()) {
      info.versionNumber = static_cast<uint16_t>(std::strtoul(bcd.c_str(), nullptr, 16));
      break;
    }
  }
  auto descriptor = ReadWholeFile(device / "report_descriptor");
  if (!descriptor) return false;
  info.descriptor.assign(descriptor->begin(), descriptor->end());
  if (identity) *identity = real.string();
  return true;
}

class HidrawDevice final : public HidDevice {
 public:
  HidrawDevice(int fd, fs::path node, dev_t rdev, fs::path sysfsDevice, std::string identity)
      : fd_(fd), node_(std::move(node)), rdev_(rdev), sysfsDevice_(std::move(sysfsDevice)),
        identity_(std::move(identity)) {}
  ~HidrawDevice() override { ::close(fd_); }

  int Fd() const override { return fd_; }

  bool StillPresent() const override {
    struct stat st{};
    if (::stat(node_.c_str(), &st) != 0 || st.st_rdev != rdev_) return false;
    std::error_code ec;
    return fs::canonical(sysfsDevice_, ec).string() == identity_ && !ec;
  }

 private:
  int fd_;
  fs::path node_;
  dev_t rdev_;
  fs::path sysfsDevice_;
  std::string identity_;  // the HID device's sysfs path: a new plug-in gets a new one
};

class HidrawBackend final : public HidBackend {
 public:
  HidrawBackend(fs::path sysfsRoot, fs::path devRoot)
      : classDir_(std::move(sysfsRoot) / "class" / "hidraw"), devRoot_(std::move(devRoot)) {}

  bool Enumerate(std::vector<HidNodeInfo>& nodes) override {
    nodes.clear();
    std::error_code ec;
    if (!fs::exists(classDir_, ec)) return !ec;  // no hidraw nodes at all
    std::vector<std::pair<long, std::string>> names;
    for (fs::directory_iterator it(classDir_, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      if (long n = NodeNumber(name); n >= 0) names.emplace_back(n, name);
    }
    if (ec) return false;
    std::sort(names.begin(), names.end());
    for (const auto& [number, name] : names) {
      HidNodeInfo info;
      if (!ReadSysfs(classDir_, name, info, nullptr)) continue;  // vanished while listing
      info.node = (devRoot_ / name).string();
      nodes.push_back(std::move(info));
    }
    return true;
  }

  std::unique_ptr<HidDevice> Open(const std::string& node, bool read, bool write, bool /*exclusive*/,
                                  HidNodeInfo& info) override {
    std::string name = fs::path(node).filename().string();
    if (NodeNumber(name) < 0) return nullptr;
    int access = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    int fd = ::open(node.c_str(), access | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::string identity;
    info = HidNodeInfo();
    info.node = node;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !ReadSysfs(classDir_, name, info, &identity)) {
      ::close(fd);
      return nullptr;
    }
    // The kernel's own word, where the node is a real hidraw device; its ids
    // are signed 16-bit values.
    hidraw_devinfo devinfo{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &devinfo) == 0) {
      info.vendorId = static_cast<uint16_t>(devinfo.vendor);
      info.productId = static_cast<uint16_t>(devinfo.product);
    }
    return std::make_unique<HidrawDevice>(fd, node, st.st_rdev, classDir_ / name / "device", identity);
  }

 private:
  fs::path classDir_;
  fs::path devRoot_;
};

}  // namespace

std::unique_ptr<HidBackend> MakeHidrawBackend(std::filesystem::path sysfsRoot, std::filesystem::path devRoot) {
  return std::make_unique<HidrawBackend>(std::move(sysfsRoot), std::move(devRoot));
}

}  // namespace keyloft

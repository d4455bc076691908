#include "device/hid_link.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>

#include "util/text.h"

namespace keyloft {
namespace {

using Clock = std::chrono::steady_clock;

// The identifier part of a path: after its last '#', so folder names in the
// node part can never be mistaken for fields.
std::string_view IdentifierPart(std::string_view path) {
  size_t hash = path.rfind('#');
  return hash == std::string_view::npos ? std::string_view() : path.substr(hash);
}

std::string NodePart(std::string_view path) {
  size_t hash = path.rfind('#');
  return std::string(hash == std::string_view::npos ? path : path.substr(0, hash));
}

std::string MakePath(const HidNodeInfo& node, size_t collection) {
  char id[64];
  if (node.interfaceNumber >= 0) {
    std::snprintf(id, sizeof id, "#vid_%04x&pid_%04x&mi_%02x&col%02zx", node.vendorId, node.productId,
                  static_cast<unsigned>(node.interfaceNumber), collection + 1);
  } else {
    std::snprintf(id, sizeof id, "#vid_%04x&pid_%04x&col%02zx", node.vendorId, node.productId, collection + 1);
  }
  return node.node + id;
}

// poll()'s timeout for what is left until the deadline; -1 without one.
int RemainingMs(std::optional<Clock::time_point> deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT32_MAX));
}

// What a parsed collection says of itself.
void DescribeCollection(const HidCollection& c, HidInterfaceInfo& info) {
  info.usagePage = c.usagePage;
  info.usage = c.usage;
  info.inputReportLength = c.reportByteLength[HidP_Input];
  info.outputReportLength = c.reportByteLength[HidP_Output];
  info.featureReportLength = c.reportByteLength[HidP_Feature];
}

}  // namespace

uint32_t PathHexField(std::string_view path, std::string_view marker) {
  std::string_view id = IdentifierPart(path);
  for (size_t i = 0; i + marker.size() <= id.size(); ++i) {
    if (!EqualsIgnoreCase(id.substr(i, marker.size()), marker)) continue;
    uint32_t value = 0;
    for (size_t j = i + marker.size(); j < id.size() && j < i + marker.size() + 8; ++j) {
      char c = id[j];
      int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
      if (d < 0) break;
      value = value << 4 | static_cast<uint32_t>(d);
    }
    return value;
  }
  return 0;
}

HidLink::HidLink(HidTransportConfig config)
    : config_(std::move(config)), backend_(MakeHidBackend(config_)),
      cancelFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

HidLink::~HidLink() {
  Close();
  if (cancelFd_ >= 0) ::close(cancelFd_);
}

std::optional<std::vector<HidInterfaceInfo>> HidLink::Enumerate() {
  std::vector<HidNodeInfo> nodes;
  if (!backend_ || !backend_->Enumerate(nodes)) return std::nullopt;
  std::vector<HidInterfaceInfo> interfaces;
  for (const auto& node : nodes) {
    HidDescriptor parsed;
    if (ParseReportDescriptor(node.descriptor, parsed) != HidParseStatus::kOk) continue;
    for (size_t c = 0; c < parsed.collections.size(); ++c) {
      HidInterfaceInfo info;
      info.path = MakePath(node, c);
      info.vendorId = node.vendorId;
      info.productId = node.productId;
      info.versionNumber = node.versionNumber;
      info.interfaceNumber = PathHexField(info.path, "&mi_");
      info.collectionNumber = static_cast<uint32_t>(c + 1);
      DescribeCollection(parsed.collections[c], info);
      interfaces.push_back(std::move(info));
    }
  }
  return interfaces;
}

bool HidLink::Open(const std::string& path, Access access) {
  Close();
  path_ = path;
  access_ = access;
  return Reopen();
}

bool HidLink::Reopen() {
  Close();
  if (!backend_ || cancelFd_ < 0) return false;
  HidNodeInfo node;
  const bool write = access_ == Access::ReadWrite;
  auto device = backend_->Open(NodePart(path_), true, write, false, node);
  if (!device) return false;
  std::scoped_lock lock(readMutex_, writeMutex_);
  device_ = std::move(device);
  if (!LoadLayout(node)) {
    CloseLocked();
    return false;
  }
  return true;
}

bool HidLink::IsOpen() const { return device_ != nullptr; }

bool HidLink::LoadLayout(const HidNodeInfo& node) {
  if (ParseReportDescriptor(node.descriptor, descriptor_) != HidParseStatus::kOk) return false;
  const uint32_t number = PathHexField(path_, "&col");
  const size_t index = number == 0 ? 0 : number - 1;
  if (index >= descriptor_.collections.size()) return false;
  collection_ = &descriptor_.collections[index];

  info_ = HidInterfaceInfo{};
  info_.path = path_;
  info_.vendorId = node.vendorId;
  info_.productId = node.productId;
  info_.versionNumber = node.versionNumber;
  info_.interfaceNumber = PathHexField(path_, "&mi_");
  info_.collectionNumber = static_cast<uint32_t>(index + 1);
  DescribeCollection(*collection_, info_);

  // Every report of the node arrives here before filtering; unnumbered ones get
  // a zero id byte in front.
  size_t longest = 0;
  for (const auto& c : descriptor_.collections) longest = std::max<size_t>(longest, c.reportByteLength[HidP_Input]);
  rxBuffer_.assign(longest + 1, 0);
  return true;
}

void HidLink::CloseLocked() {
  collection_ = nullptr;
  descriptor_ = HidDescriptor();
  rxBuffer_.clear();
  info_ = HidInterfaceInfo();
  device_.reset();
  gone_ = false;
}

bool HidLink::Close() {
  // Wake any transfer that waits, then wait for it to leave.
  cancelled_ = true;
  if (cancelFd_ >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(cancelFd_, &one, sizeof one);
  }
  std::scoped_lock lock(readMutex_, writeMutex_);
  const bool wasOpen = device_ != nullptr;
  CloseLocked();
  if (cancelFd_ >= 0) {
    uint64_t drained = 0;
    [[maybe_unused]] ssize_t n = ::read(cancelFd_, &drained, sizeof drained);
  }
  cancelled_ = false;
  return wasOpen;
}

bool HidLink::ReportBelongsHere(uint8_t reportId) const {
  const auto& ids = collection_->reportIds[HidP_Input];
  return std::find(ids.begin(), ids.end(), reportId) != ids.end();
}

std::optional<size_t> HidLink::Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) {
  return Transfer(true, buffer, {}, timeout);
}

std::optional<size_t> HidLink::ReadUntilClosed(std::span<uint8_t> buffer) {
  return Transfer(true, buffer, {}, std::nullopt);
}

bool HidLink::Write(std::span<const uint8_t> report, std::chrono::milliseconds timeout) {
  return Transfer(false, {}, report, timeout).has_value();
}

std::optional<size_t> HidLink::Transfer(bool isRead, std::span<uint8_t> in, std::span<const uint8_t> out,
                                        std::optional<std::chrono::milliseconds> timeout) {
  std::mutex& mutex = isRead ? readMutex_ : writeMutex_;
  std::scoped_lock lock(mutex);
  if (!device_ || gone_ || cancelled_) return std::nullopt;
  if (isRead ? in.empty() : out.empty()) return std::nullopt;
  if (isRead) reading_ = true;
  struct ReadingGuard {
    std::atomic<bool>& flag;
    ~ReadingGuard() { flag = false; }
  } guard{reading_};

  std::optional<Clock::time_point> deadline;
  if (timeout) deadline = Clock::now() + *timeout;
  const int fd = device_->Fd();
  // The descriptor is non-blocking. A write, and a read that may not wait, is
  // tried at once, so it costs no poll; a read that may wait polls first, as
  // what it waits for (a reply) is seldom there yet.
  bool wait = isRead && (!timeout || timeout->count() > 0);
  for (;;) {
    if (wait) {
      // Nothing there and no time to wait for it: a time-out at once.
      if (timeout && timeout->count() == 0) return std::nullopt;
      pollfd fds[2] = {{fd, static_cast<short>(isRead ? POLLIN : POLLOUT), 0}, {cancelFd_, POLLIN, 0}};
      int rc = ::poll(fds, 2, RemainingMs(deadline));
      if (rc < 0 && errno == EINTR) continue;
      if (rc <= 0 || (fds[1].revents & POLLIN)) return std::nullopt;  // error, time-out or cancel
      const short ready = isRead ? POLLIN : POLLOUT;
      if (!(fds[0].revents & ready)) {
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) gone_ = true;
        return std::nullopt;
      }
    }
    if (cancelled_) return std::nullopt;
    wait = true;  // unless what follows says otherwise
    if (!isRead) {
      ssize_t n = ::write(fd, out.data(), out.size());
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n < 0 && errno != EINVAL) gone_ = true;  // a report the device refuses is no vanished device
      if (n <= 0) return std::nullopt;
      return static_cast<size_t>(n);
    }

    const bool numbered = descriptor_.usesReportIds;
    uint8_t* raw = rxBuffer_.data() + (numbered ? 0 : 1);
    ssize_t n = ::read(fd, raw, rxBuffer_.size() - (numbered ? 0 : 1));
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {  // EIO, ENODEV, or the far end of a socket closed
      gone_ = true;
      return std::nullopt;
    }
    size_t length = static_cast<size_t>(n) + (numbered ? 0 : 1);
    if (!numbered) rxBuffer_[0] = 0;
    if (!ReportBelongsHere(rxBuffer_[0])) {  // another collection's report: look again at once
      wait = false;
      continue;
    }

    size_t copied = std::min(in.size(), length);
    std::copy_n(rxBuffer_.begin(), copied, in.begin());
    size_t padded = std::max(copied, std::min<size_t>(in.size(), info_.inputReportLength));
    std::fill(in.begin() + static_cast<std::ptrdiff_t>(copied), in.begin() + static_cast<std::ptrdiff_t>(padded), 0);
    return padded;
  }
}

std::vector<uint16_t> HidLink::UsagesDown(std::span<const uint8_t> report) const {
  std::vector<uint16_t> usages;
  if (collection_ && !report.empty()) HidGetUsages(*collection_, HidP_Input, 0, report, usages);
  return usages;
}

bool HidLink::StillPresent() const {
  // Called by the thread that opens and closes the link, so device_ is stable here.
  return device_ && !gone_ && device_->StillPresent();
}

}  // namespace keyloft

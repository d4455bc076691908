#include "device/hid_link.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
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

int RemainingMs(Clock::time_point deadline, uint32_t timeoutMs) {
  if (timeoutMs == INFINITE) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(0, left));
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

HidLink::HidLink(HidTransportConfig config) : config_(std::move(config)) {}

HidLink::~HidLink() { Destroy(); }

bool HidLink::Init() {
  Destroy();
  backend_ = MakeHidBackend(config_);
  cancelFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return backend_ != nullptr && cancelFd_ >= 0;
}

void HidLink::Destroy() {
  Close();
  FreePathList();
  if (cancelFd_ >= 0) ::close(cancelFd_);
  cancelFd_ = -1;
  backend_.reset();
}

bool HidLink::Enumerate() {
  pathCursor = 0;
  pathList.clear();
  std::vector<HidNodeInfo> nodes;
  if (!backend_ || !backend_->Enumerate(nodes)) return false;
  for (const auto& node : nodes) {
    HidDescriptor parsed;
    if (ParseReportDescriptor(node.descriptor, parsed) != HidParseStatus::kOk) continue;
    for (size_t c = 0; c < parsed.collections.size(); ++c) pathList.push_back(MakePath(node, c));
  }
  return true;
}

const std::string* HidLink::NextPath() {
  if (pathCursor >= pathList.size()) return nullptr;
  return &pathList[pathCursor++];
}

void HidLink::FreePathList() {
  pathList.clear();
  pathList.shrink_to_fit();
  pathCursor = 0;
}

bool HidLink::Open(const std::string& path, bool wantRead, bool wantWrite, bool overlapped, bool exclusive) {
  openForRead = wantRead;
  openForWrite = wantWrite;
  openOverlapped = overlapped;
  openExclusive = exclusive;
  devicePath = path;
  return Reopen();
}

bool HidLink::Reopen() {
  Close();
  if (!backend_) return false;
  HidNodeInfo info;
  auto device = backend_->Open(NodePart(devicePath), openForRead, openForWrite, openExclusive, info);
  if (!device) return false;
  std::scoped_lock lock(readMutex_, writeMutex_);
  device_ = std::move(device);
  if (!LoadLayout(info)) {
    CloseLocked();
    return false;
  }
  return true;
}

bool HidLink::IsOpen() const { return device_ != nullptr; }

bool HidLink::LoadLayout(const HidNodeInfo& info) {
  if (ParseReportDescriptor(info.descriptor, descriptor_) != HidParseStatus::kOk) return false;
  interfaceNumber = PathHexField(devicePath, "&mi_");
  collectionNumber = PathHexField(devicePath, "&col");
  size_t index = collectionNumber == 0 ? 0 : collectionNumber - 1;
  if (index >= descriptor_.collections.size()) return false;
  collection = &descriptor_.collections[index];

  caps.usagePage = collection->usagePage;
  caps.usage = collection->usage;
  caps.inputReportByteLength = collection->reportByteLength[HidP_Input];
  caps.outputReportByteLength = collection->reportByteLength[HidP_Output];
  caps.featureReportByteLength = collection->reportByteLength[HidP_Feature];
  attributes = {info.vendorId, info.productId, info.versionNumber};

  for (size_t t = 0; t < kHidReportTypes; ++t) {
    auto type = static_cast<HidReportType>(t);
    HidReportLayout& layout = layouts[t];
    layout.report.assign(collection->reportByteLength[t], 0);
    layout.buttonCaps = collection->buttonCaps[t];
    layout.valueCaps = collection->valueCaps[t];
    layout.items.clear();
    for (const auto& b : layout.buttonCaps) {
      HidReportItem item;
      item.isButton = true;
      item.status = HIDP_STATUS_SUCCESS;
      item.usagePage = b.usagePage;
      item.reportId = b.reportId;
      item.usageMin = b.usageMin;
      item.usageMax = b.usageMax;
      item.maxUsageCount = static_cast<uint32_t>(HidMaxUsageListLength(*collection, type, b.usagePage));
      item.usages.assign(item.maxUsageCount, 0);
      layout.items.push_back(std::move(item));
    }
    for (const auto& v : layout.valueCaps) {
      for (uint32_t u = v.usageMin; u <= v.usageMax; ++u) {
        HidReportItem item;
        item.status = HIDP_STATUS_SUCCESS;
        item.usagePage = v.usagePage;
        item.reportId = v.reportId;
        item.usage = static_cast<uint16_t>(u);
        layout.items.push_back(std::move(item));
      }
    }
  }

  // Every report of the node arrives here before filtering; unnumbered ones get
  // a zero id byte in front.
  size_t longest = 0;
  for (const auto& c : descriptor_.collections) longest = std::max<size_t>(longest, c.reportByteLength[HidP_Input]);
  rxBuffer_.assign(longest + 1, 0);
  return true;
}

void HidLink::FreeLayout() {
  for (auto& layout : layouts) layout = HidReportLayout();
  collection = nullptr;
  descriptor_ = HidDescriptor();
  rxBuffer_.clear();
  caps = HidCaps();
  attributes = HidAttributes();
}

void HidLink::CloseLocked() {
  FreeLayout();
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
  bool wasOpen = device_ != nullptr;
  CloseLocked();
  if (cancelFd_ >= 0) {
    uint64_t drained = 0;
    [[maybe_unused]] ssize_t n = ::read(cancelFd_, &drained, sizeof drained);
  }
  cancelled_ = false;
  return wasOpen;
}

bool HidLink::ReportBelongsHere(uint8_t reportId) const {
  const auto& ids = collection->reportIds[HidP_Input];
  return std::find(ids.begin(), ids.end(), reportId) != ids.end();
}

bool HidLink::ReadReport(std::span<uint8_t> buffer, uint32_t* bytesRead, uint32_t timeoutMs) {
  return Transfer(true, buffer, {}, bytesRead, timeoutMs);
}

bool HidLink::WriteReport(std::span<const uint8_t> buffer, uint32_t* bytesWritten, uint32_t timeoutMs) {
  return Transfer(false, {}, buffer, bytesWritten, timeoutMs);
}

bool HidLink::Transfer(bool isRead, std::span<uint8_t> in, std::span<const uint8_t> out, uint32_t* count,
                       uint32_t timeoutMs) {
  if (count) *count = 0;
  std::mutex& mutex = isRead ? readMutex_ : writeMutex_;
  std::atomic<bool>& busy = isRead ? readBusy : writeBusy;
  std::scoped_lock lock(mutex);
  if (!device_ || gone_ || cancelled_ || cancelFd_ < 0) return false;
  if (isRead ? in.empty() : out.empty()) return false;
  busy = true;
  struct BusyGuard {
    std::atomic<bool>& flag;
    ~BusyGuard() { flag = false; }
  } guard{busy};

  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs == INFINITE ? 0 : timeoutMs);
  const int fd = device_->Fd();
  for (;;) {
    pollfd fds[2] = {{fd, static_cast<short>(isRead ? POLLIN : POLLOUT), 0}, {cancelFd_, POLLIN, 0}};
    int rc = ::poll(fds, 2, RemainingMs(deadline, timeoutMs));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0 || (fds[1].revents & POLLIN) || cancelled_) return false;  // error, time-out or cancel
    const short ready = isRead ? POLLIN : POLLOUT;
    if (!(fds[0].revents & ready)) {
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) gone_ = true;
      return false;
    }
    if (!isRead) {
      ssize_t n = ::write(fd, out.data(), out.size());
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n < 0 && errno != EINVAL) gone_ = true;  // a report the device refuses is no vanished device
      if (n <= 0) return false;
      if (count) *count = static_cast<uint32_t>(n);
      return true;
    }

    const bool numbered = descriptor_.usesReportIds;
    uint8_t* raw = rxBuffer_.data() + (numbered ? 0 : 1);
    ssize_t n = ::read(fd, raw, rxBuffer_.size() - (numbered ? 0 : 1));
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {  // EIO, ENODEV, or the far end of a socket closed
      gone_ = true;
      return false;
    }
    size_t length = static_cast<size_t>(n) + (numbered ? 0 : 1);
    if (!numbered) rxBuffer_[0] = 0;
    if (!ReportBelongsHere(rxBuffer_[0])) continue;  // another collection's report

    size_t copied = std::min(in.size(), length);
    std::copy_n(rxBuffer_.begin(), copied, in.begin());
    size_t padded = std::max(copied, std::min<size_t>(in.size(), caps.inputReportByteLength));
    std::fill(in.begin() + static_cast<std::ptrdiff_t>(copied), in.begin() + static_cast<std::ptrdiff_t>(padded), 0);
    if (count) *count = static_cast<uint32_t>(padded);
    return true;
  }
}

bool HidLink::UnpackReport(std::span<const uint8_t> report, HidReportType type, std::span<HidReportItem> items) const {
  if (!collection || report.empty()) return false;
  const uint8_t reportId = report[0];
  std::vector<uint16_t> down;
  for (auto& item : items) {
    if (item.reportId != reportId) continue;
    if (item.isButton) {
      item.status = HidGetUsages(*collection, type, item.usagePage, report, down);
      size_t kept = 0;
      for (uint16_t u : down) {
        if (kept < item.usages.size() && u >= item.usageMin && u <= item.usageMax) item.usages[kept++] = u;
      }
      if (kept < item.usages.size()) item.usages[kept] = 0;
    } else {
      item.status = HidGetUsageValue(*collection, type, item.usagePage, item.usage, report, item.value);
      if (item.status != HIDP_STATUS_SUCCESS) return false;
      item.status = HidGetScaledUsageValue(*collection, type, item.usagePage, item.usage, report, item.scaledValue);
    }
    item.isSet = true;
  }
  return true;
}

bool HidLink::StillPresent() const {
  // Called by the thread that opens and closes the link, so device_ is stable here.
  return device_ && !gone_ && device_->StillPresent();
}

}  // namespace keyloft

#include "device/connection.h"

#include <algorithm>

#include "device/hid_link.h"

namespace keyloft {
namespace {

constexpr int kStartedHiddenDelayMs = 10;

}  // namespace

uint16_t ParseVid(std::string_view path) { return static_cast<uint16_t>(PathHexField(path, "vid_")); }
uint16_t ParsePid(std::string_view path) { return static_cast<uint16_t>(PathHexField(path, "pid_")); }

DevResult ReadDefaultKeyMap(DeviceContext& device, CommandChannel& channel) {
  std::array<uint8_t, kDefaultKeyMapBytes> scratch{};
  const size_t bytes = device.keyMapBytes;
  const DevResult read = channel.DevReadDefaultKeyMap(std::span(scratch).first(bytes));
  if (read == DevResult::Ok) {
    std::scoped_lock lock(device.stateLock);
    std::copy_n(scratch.begin(), bytes, device.defaultKeyMap.begin());
  }
  return read;
}

DevResult ReadInfoBlock(DeviceContext& device, CommandChannel& channel) {
  InfoBlock info;
  const DevResult read = channel.DevReadInfo(info.bytes);
  if (read == DevResult::Ok) {
    device.macroCapacity = info.macroBlocks() * 128u;
    std::scoped_lock lock(device.stateLock);
    device.lastInfo = info;
  }
  return read;
}

int GetActiveProfile(DeviceContext& device, CommandChannel& channel) {
  int cached = device.activeProfileCache;
  if (cached != -1) return cached;
  InfoBlock info;
  if (channel.DevReadInfo(info.bytes) != DevResult::Ok) return -1;
  device.activeProfileCache = info.activeProfile();
  return info.activeProfile();
}

DevResult SetActiveProfile(DeviceContext& device, CommandChannel& channel, int p) {
  if (p < 0) return DevResult::BadProfile;
  InfoBlock info;
  if (DevResult read = channel.DevReadInfo(info.bytes); read != DevResult::Ok) return read;
  info.bytes[10] = static_cast<uint8_t>(p);
  const DevResult written = channel.DevWriteInfo(info.bytes);
  device.activeProfileCache = written == DevResult::Ok ? info.activeProfile() : -1;
  return written;
}

ConnectionMonitor::ConnectionMonitor(DeviceContext& device, DeviceEvents& events, bool startedHidden,
                                     MonitorTiming timing)
    : device_(device), events_(events), channel_(device), timing_(timing), initialReportDone_(startedHidden) {}

ConnectionMonitor::~ConnectionMonitor() { Stop(); }

void ConnectionMonitor::Start() {
  if (thread_.joinable()) return;
  stop_.Reset();
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void ConnectionMonitor::Stop() {
  stop_.Raise();
  if (thread_.joinable()) thread_.join();
}

bool ConnectionMonitor::Scan(bool& matched) {
  matched = false;
  HidLink& link = device_.commandLink;
  const auto interfaces = link.Enumerate();
  if (!interfaces) return false;
  for (const HidInterfaceInfo& listed : *interfaces) {
    if (!device_.FindKeyboard(listed.vendorId, listed.productId)) continue;
    std::scoped_lock lock(device_.commandLock);
    if (!link.Open(listed.path, HidLink::Access::ReadWrite)) continue;
    // The device's own identifiers decide, not the path's.
    const HidInterfaceInfo& opened = link.Info();
    if (device_.FindKeyboard(opened.vendorId, opened.productId) && opened.usagePage == kVendorUsagePage &&
        opened.usage == kVendorUsage) {
      matched = true;
      return true;
    }
    link.Close();
  }
  return true;
}

void ConnectionMonitor::Connect() {
  HidLink& link = device_.commandLink;
  const DeviceIdentity* model = device_.FindKeyboard(link.Info().vendorId, link.Info().productId);
  device_.keyMapBytes = model->keyMapBytes;
  device_.keyMapStride = model->keyMapStride;
  {
    std::scoped_lock lock(device_.exchangeLock);
    if (!device_.lockFolder.empty()) device_.OpenKeyboardLock(KeyboardLockFile(device_.lockFolder, link.Path()));
  }
  device_.deviceConnected = true;
}

void ConnectionMonitor::Run() {
  HidLink& link = device_.commandLink;
  if (initialReportDone_ && !stop_.SleepFor(kStartedHiddenDelayMs)) {
    running_ = false;
    return;
  }

  // Probe: one read of the information block, answer ignored, link closed.
  // A keyboard silent now stays taken as silent through the connection that
  // follows, so it costs one command's retries, not every read's.
  device_.unanswered = false;
  device_.keyboardInUse = false;
  bool matched = false;
  if (!Scan(matched)) {
    running_ = false;
    return;
  }
  if (matched) {
    device_.deviceConnected = true;
    InfoBlock scratch;
    [[maybe_unused]] DevResult ignored = channel_.DevReadInfo(scratch.bytes);
    std::scoped_lock lock(device_.commandLock);
    link.Close();
  }
  device_.deviceConnected = false;

  bool firstSearch = true;
  do {
    if (device_.deviceConnected) {
      if (!link.StillPresent()) {
        device_.deviceConnected = false;
        {
          std::scoped_lock lock(device_.exchangeLock);
          device_.CloseKeyboardLock();
        }
        NotifyConnection(0);
      }
    } else {
      if (!Scan(matched)) break;  // the interfaces cannot be listed any more
      if (matched) {
        Connect();
        NotifyConnection(1);
      }
      if (firstSearch) {
        firstSearch = false;
        NotifyConnection(device_.deviceConnected ? 1 : 0);
        if (!device_.deviceConnected) initialReportDone_ = true;
      }
    }
  } while (stop_.SleepFor(device_.deviceConnected ? timing_.connectedPollMs : timing_.searchPollMs));

  // Leaving: nothing may talk to the keyboard through a link no one watches.
  device_.deviceConnected = false;
  {
    std::scoped_lock lock(device_.commandLock);
    link.Close();
  }
  running_ = false;
}

void ConnectionMonitor::NotifyConnection(int state) {
  if (state == reportedConnection_) return;
  if (state == 0) {
    device_.activeProfileCache = -1;
    // The next keyboard found is asked afresh.
    device_.unanswered = false;
    device_.keyboardInUse = false;
    events_.KeyboardDisconnected();
    events_.ShowTrayIcon(TrayIcon::Disconnected, true);
  } else {
    if (ReadDefaultKeyMap(device_, channel_) != DevResult::Ok) events_.Notify("MAIN_DEFAULT_MATRIX_PROMPT");
    [[maybe_unused]] DevResult info = ReadInfoBlock(device_, channel_);
    events_.KeyboardConnected();
    events_.ShowTrayIcon(TrayIcon::Connected, true);
  }
  reportedConnection_ = state;
  if (!initialReportDone_) {
    if (state == 1) events_.OpenRequested();
    initialReportDone_ = true;
  }
}

}  // namespace keyloft

#include "device/input_listener.h"

#include "device/connection.h"

namespace keyloft {
namespace {

constexpr int kRescanMs = 1000;

}  // namespace

void ReactToKeyboardEvent(uint16_t usage, DeviceEvents& events) {
  switch (usage) {
    case kUsageLightingChanged:
      events.LightingChangedOnKeyboard();
      break;
    case kUsageProfileChanged:
      events.ProfileChangedOnKeyboard();
      break;
    // The icon changes follow one another in report order on this thread,
    // so no two of them can overlap.
    case kUsageMacroStopped:
      events.MacroPlaying(false);
      break;
    case kUsageMacroStarted:
      events.MacroPlaying(true);
      break;
    default:  // 0x1801..0x1804, releases (0) and anything else do nothing
      break;
  }
}

InputListener::InputListener(HidTransportConfig config, std::vector<DeviceIdentity> keyboards, DeviceEvents& events)
    : link_(std::move(config)), keyboards_(std::move(keyboards)), events_(events) {}

InputListener::~InputListener() { Stop(); }

void InputListener::Start() {
  if (thread_.joinable()) return;
  stop_.Reset();
  running_ = true;
  link_.Init();
  thread_ = std::thread([this] { Run(); });
}

void InputListener::Stop() {
  stop_.Raise();
  {
    std::scoped_lock lock(linkMutex_);
    link_.Close();  // ends a read that waits without limit
  }
  if (thread_.joinable()) thread_.join();
}

void InputListener::Run() {
  do {
    if (!link_.Enumerate()) break;  // the interfaces cannot be listed any more
    while (const std::string* path = link_.NextPath()) {
      if (!FindDeviceIdentity(keyboards_, ParseVid(*path), ParsePid(*path))) continue;
      std::vector<uint8_t> report;
      std::vector<HidReportItem> items;
      {
        std::scoped_lock lock(linkMutex_);
        if (stop_.Raised() || !link_.Open(*path, true, false, true, false)) continue;
        if (!FindDeviceIdentity(keyboards_, link_.attributes.vendorId, link_.attributes.productId) ||
            link_.caps.usagePage != kConsumerUsagePage || link_.caps.usage != kConsumerUsage) {
          link_.Close();
          continue;
        }
        report.resize(link_.Layout(HidP_Input).report.size());
        items = link_.Layout(HidP_Input).items;
      }
      // Matched: read until the keyboard goes away or Stop closes the link.
      uint32_t bytesRead = 0;
      while (link_.ReadReport(report, &bytesRead, INFINITE)) {
        std::scoped_lock lock(linkMutex_);
        if (!link_.IsOpen()) break;
        // A report that does not decode still goes by what its first item holds.
        link_.UnpackReport(std::span(report).first(bytesRead), HidP_Input, items);
        uint16_t usage = !items.empty() && items[0].isButton && !items[0].usages.empty() ? items[0].usages[0] : 0;
        ReactToKeyboardEvent(usage, events_);
      }
      std::scoped_lock lock(linkMutex_);
      link_.Close();
      break;
    }
    link_.FreePathList();
  } while (stop_.SleepFor(kRescanMs));
  running_ = false;
}

}  // namespace keyloft

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
    const auto interfaces = link_.Enumerate();
    if (!interfaces) break;  // the interfaces cannot be listed any more
    for (const HidInterfaceInfo& listed : *interfaces) {
      if (!FindDeviceIdentity(keyboards_, listed.vendorId, listed.productId)) continue;
      std::vector<uint8_t> report;
      {
        std::scoped_lock lock(linkMutex_);
        if (stop_.Raised() || !link_.Open(listed.path, HidLink::Access::ReadOnly)) continue;
        const HidInterfaceInfo& opened = link_.Info();
        if (!FindDeviceIdentity(keyboards_, opened.vendorId, opened.productId) ||
            opened.usagePage != kConsumerUsagePage || opened.usage != kConsumerUsage) {
          link_.Close();
          continue;
        }
        report.resize(opened.inputReportLength);
      }
      // Matched: read until the keyboard goes away or Stop closes the link.
      while (const auto bytesRead = link_.ReadUntilClosed(report)) {
        std::scoped_lock lock(linkMutex_);
        if (!link_.IsOpen()) break;
        // The report's first usage down says what happened; a release has none.
        const std::vector<uint16_t> down = link_.UsagesDown(std::span(report).first(*bytesRead));
        ReactToKeyboardEvent(down.empty() ? 0 : down.front(), events_);
      }
      std::scoped_lock lock(linkMutex_);
      link_.Close();
      break;
    }
  } while (stop_.SleepFor(kRescanMs));
  running_ = false;
}

}  // namespace keyloft

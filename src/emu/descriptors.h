// The virtual keyboard's HID interfaces as a host sees them: the report
// descriptor of each, the hello message that introduces an interface on the
// virtual transport, and the consumer-control reports of keyboard events.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "emu/firmware.h"

namespace keyloft::emu {

// split: the vendor collection is interface 2 of its own. shared: it is a third
// top-level collection of interface 1, and there is no interface 2.
enum class Layout { kSplit, kShared };

inline constexpr int kBootInterface = 0;      // boot keyboard, no report ids
inline constexpr int kConsumerInterface = 1;  // consumer control + system control
inline constexpr int kVendorInterface = 2;    // the command reports

inline constexpr uint8_t kSystemReportId = 2;
inline constexpr uint8_t kConsumerReportId = 3;

inline constexpr uint16_t kUsageNone = 0;  // the release after an event

// The interfaces a layout has, in order.
std::span<const int> InterfacesOf(Layout layout);

// The report descriptor of an interface of the layout (empty for one it lacks).
std::vector<uint8_t> ReportDescriptor(int interfaceNumber, Layout layout);

// Which interface carries the command reports in a layout.
int CommandInterface(Layout layout);

// 03, usage low, usage high.
std::array<uint8_t, 3> ConsumerReport(uint16_t usage);

inline constexpr uint16_t kDeviceVersion = 0x0100;

// The hello that introduces an interface on the virtual transport.
std::vector<uint8_t> HelloMessage(const ModelSpec& model, int interfaceNumber, std::span<const uint8_t> descriptor);

}  // namespace keyloft::emu

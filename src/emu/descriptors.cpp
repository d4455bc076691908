#include "emu/descriptors.h"

#include "device/vhid_protocol.h"
#include "emu/bytes.h"

namespace keyloft::emu {
namespace {

// The boot keyboard the HID standard defines: modifiers, a reserved byte, six
// key codes in; five LEDs out.
constexpr uint8_t kBootKeyboard[] = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x05, 0x07,        //   Usage Page (Keyboard/Keypad)
    0x19, 0xE0,        //   Usage Minimum (Left Control)
    0x29, 0xE7,        //   Usage Maximum (Right GUI)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x02,        //   Input (Data, Variable, Absolute): modifiers
    0x95, 0x01,        //   Report Count (1)
    0x75, 0x08,        //   Report Size (8)
    0x81, 0x01,        //   Input (Constant): reserved byte
    0x95, 0x05,        //   Report Count (5)
    0x75, 0x01,        //   Report Size (1)
    0x05, 0x08,        //   Usage Page (LEDs)
    0x19, 0x01,        //   Usage Minimum (Num Lock)
    0x29, 0x05,        //   Usage Maximum (Kana)
    0x91, 0x02,        //   Output (Data, Variable, Absolute): LEDs
    0x95, 0x01,        //   Report Count (1)
    0x75, 0x03,        //   Report Size (3)
    0x91, 0x01,        //   Output (Constant): LED padding
    0x95, 0x06,        //   Report Count (6)
    0x75, 0x08,        //   Report Size (8)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x65,        //   Logical Maximum (101)
    0x05, 0x07,        //   Usage Page (Keyboard/Keypad)
    0x19, 0x00,        //   Usage Minimum (0)
    0x29, 0x65,        //   Usage Maximum (Application)
    0x81, 0x00,        //   Input (Data, Array, Absolute): keys down
    0xC0,              // End Collection
};

// Report 3: one 16-bit consumer usage, 0 when nothing is pressed.
constexpr uint8_t kConsumerControl[] = {
    0x05, 0x0C,        // Usage Page (Consumer)
    0x09, 0x01,        // Usage (Consumer Control)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x03,        //   Report ID (3)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x2F,  //   Logical Maximum (0x2FFF)
    0x19, 0x00,        //   Usage Minimum (0)
    0x2A, 0xFF, 0x2F,  //   Usage Maximum (0x2FFF)
    0x75, 0x10,        //   Report Size (16)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x00,        //   Input (Data, Array, Absolute)
    0xC0,              // End Collection
};

// Report 2: one system-control usage (power down, sleep, wake up), 0 for none.
constexpr uint8_t kSystemControl[] = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x80,        // Usage (System Control)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x02,        //   Report ID (2)
    0x15, 0x01,        //   Logical Minimum (1)
    0x25, 0x03,        //   Logical Maximum (3)
    0x19, 0x81,        //   Usage Minimum (System Power Down)
    0x29, 0x83,        //   Usage Maximum (System Wake Up)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x00,        //   Input (Data, Array, Absolute)
    0xC0,              // End Collection
};

// Report 4: the 64-byte command reports, 63 data bytes each way.
constexpr uint8_t kVendorCommands[] = {
    0x06, 0x1C, 0xFF,  // Usage Page (Vendor 0xFF1C)
    0x09, 0x92,        // Usage (0x92)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x04,        //   Report ID (4)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x3F,        //   Report Count (63)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Variable, Absolute): replies
    0x09, 0x02,        //   Usage (2)
    0x91, 0x02,        //   Output (Data, Variable, Absolute): commands
    0xC0,              // End Collection
};

constexpr int kSplitInterfaces[] = {kBootInterface, kConsumerInterface, kVendorInterface};
constexpr int kSharedInterfaces[] = {kBootInterface, kConsumerInterface};

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> part) { out.insert(out.end(), part.begin(), part.end()); }

}  // namespace

std::span<const int> InterfacesOf(Layout layout) {
  if (layout == Layout::kShared) return kSharedInterfaces;
  return kSplitInterfaces;
}

int CommandInterface(Layout layout) { return layout == Layout::kShared ? kConsumerInterface : kVendorInterface; }

std::vector<uint8_t> ReportDescriptor(int interfaceNumber, Layout layout) {
  std::vector<uint8_t> d;
  switch (interfaceNumber) {
    case kBootInterface:
      Append(d, kBootKeyboard);
      break;
    case kConsumerInterface:
      Append(d, kConsumerControl);
      Append(d, kSystemControl);
      if (layout == Layout::kShared) Append(d, kVendorCommands);
      break;
    case kVendorInterface:
      if (layout == Layout::kSplit) Append(d, kVendorCommands);
      break;
    default:
      break;
  }
  return d;
}

std::array<uint8_t, 3> ConsumerReport(uint16_t usage) {
  std::array<uint8_t, 3> report{kConsumerReportId, 0, 0};
  PutU16(report, 1, usage);
  return report;
}

std::vector<uint8_t> HelloMessage(const ModelSpec& model, int interfaceNumber, std::span<const uint8_t> descriptor) {
  return EncodeVhidHello({model.vendorId, model.productId, kDeviceVersion, static_cast<uint16_t>(interfaceNumber),
                          std::vector<uint8_t>(descriptor.begin(), descriptor.end())});
}

}  // namespace keyloft::emu

// HID report descriptors: parsed into one capability set per top-level
// collection, as the Windows HID parser presents them (HIDP_CAPS, button and
// value capabilities), and received reports decoded into the usages down and
// the values. Reports are in the Windows layout: byte 0 is the report id, 0
// when the descriptor declares none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace keyloft {

enum HidReportType : int { HidP_Input = 0, HidP_Output = 1, HidP_Feature = 2 };
inline constexpr size_t kHidReportTypes = 3;

// HID parser statuses, with the Windows values.
inline constexpr uint32_t HIDP_STATUS_SUCCESS = 0x00110000;
inline constexpr uint32_t HIDP_STATUS_NULL = 0x80110001;
inline constexpr uint32_t HIDP_STATUS_INVALID_REPORT_TYPE = 0xC0110002;
inline constexpr uint32_t HIDP_STATUS_INVALID_REPORT_LENGTH = 0xC0110003;
inline constexpr uint32_t HIDP_STATUS_USAGE_NOT_FOUND = 0xC0110004;
inline constexpr uint32_t HIDP_STATUS_VALUE_OUT_OF_RANGE = 0xC0110005;
inline constexpr uint32_t HIDP_STATUS_BAD_LOG_PHY_VALUES = 0xC0110006;
inline constexpr uint32_t HIDP_STATUS_BUFFER_TOO_SMALL = 0xC0110007;
inline constexpr uint32_t HIDP_STATUS_INCOMPATIBLE_REPORT_ID = 0xC011000A;

// One array item or one run of one-bit variable items: usages that are down or up.
struct HidButtonCaps {
  uint16_t usagePage = 0;
  uint8_t reportId = 0;
  bool isRange = false;
  uint16_t usageMin = 0;  // equal to usageMax for a single usage
  uint16_t usageMax = 0;
  uint16_t linkCollection = 0;  // index of the collection that holds it, 0 the top level
};

// One variable item of more than one bit (or a range of them): a number per usage.
struct HidValueCaps {
  uint16_t usagePage = 0;
  uint8_t reportId = 0;
  bool isRange = false;
  uint16_t usageMin = 0;
  uint16_t usageMax = 0;
  uint16_t linkCollection = 0;
  uint16_t bitSize = 0;
  uint16_t reportCount = 0;
  bool hasNull = false;
  int32_t logicalMin = 0;
  int32_t logicalMax = 0;
  int32_t physicalMin = 0;
  int32_t physicalMax = 0;
};

// A main item as laid out in its report, for decoding. Internal to the parser
// and the decoder, but plain data.
struct HidField {
  HidReportType type = HidP_Input;
  uint8_t reportId = 0;
  uint32_t bitOffset = 0;  // from the start of the data, after the report id byte
  uint16_t bitSize = 0;
  uint16_t count = 0;
  bool isArray = false;
  bool isConstant = false;
  bool hasNull = false;
  uint16_t usagePage = 0;
  // The usages of the field, in order, each with its page (extended usages may
  // change the page). An array item maps value v to usages[v - logicalMin].
  std::vector<uint32_t> usages;  // page << 16 | usage
  int32_t logicalMin = 0;
  int32_t logicalMax = 0;
  int32_t physicalMin = 0;
  int32_t physicalMax = 0;
};

// One top-level collection: what HidP_GetCaps and the capability queries give.
struct HidCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  // Longest report of each type in bytes, counting the report id byte; 0 when
  // the collection has no report of that type.
  std::array<uint16_t, kHidReportTypes> reportByteLength{};
  std::array<std::vector<HidButtonCaps>, kHidReportTypes> buttonCaps;
  std::array<std::vector<HidValueCaps>, kHidReportTypes> valueCaps;
  // Report ids this collection uses, per type (0 alone when the descriptor uses no ids).
  std::array<std::vector<uint8_t>, kHidReportTypes> reportIds;
  std::vector<HidField> fields;
};

enum class HidParseStatus {
  kOk,
  kEmpty,                // no bytes, or no top-level collection
  kTruncatedItem,        // an item's data runs past the end
  kUnbalancedCollection, // End Collection without Collection, or a collection left open
  kUnbalancedPushPop,    // Pop without Push, or too deep a stack
  kBadReportSize,        // Report Size above 256 bits (or 0 for data), count 0 or absurd, report id 0
  kReportTooLong,        // a report longer than 4096 bytes
  kMainItemOutsideCollection,
  kTooComplex,           // more usages, fields or nesting than any real device has
};

std::string_view DescribeHidParseStatus(HidParseStatus status);

// Whether the descriptor declares report ids (then byte 0 of every report is one).
struct HidDescriptor {
  std::vector<HidCollection> collections;
  bool usesReportIds = false;
};

// Parses a report descriptor. Never reads outside descriptor; on any status but
// kOk, out is left empty.
HidParseStatus ParseReportDescriptor(std::span<const uint8_t> descriptor, HidDescriptor& out);

// The top-level collection that owns a report id of a type (0: a descriptor
// without ids); nullptr when none does.
const HidCollection* CollectionOfReport(const HidDescriptor& descriptor, HidReportType type, uint8_t reportId);

// Decoding, as HidP_GetUsages, HidP_MaxUsageListLength, HidP_GetUsageValue and
// HidP_GetScaledUsageValue do. report starts with its report id byte. A report
// shorter than the collection's length for that type is
// HIDP_STATUS_INVALID_REPORT_LENGTH; one whose id the collection does not use
// is HIDP_STATUS_INCOMPATIBLE_REPORT_ID. A value wider than 32 bits does not
// fit the result and is HIDP_STATUS_BUFFER_TOO_SMALL; an array that wide names
// a usage only when its value fits.

// The usages of usagePage (0: any page) that are down, in report order.
uint32_t HidGetUsages(const HidCollection& collection, HidReportType type, uint16_t usagePage,
                      std::span<const uint8_t> report, std::vector<uint16_t>& usages);
// How many usages of usagePage (0: any page) one report of the type can hold down.
size_t HidMaxUsageListLength(const HidCollection& collection, HidReportType type, uint16_t usagePage);
uint32_t HidGetUsageValue(const HidCollection& collection, HidReportType type, uint16_t usagePage, uint16_t usage,
                          std::span<const uint8_t> report, uint32_t& value);
// The value sign-extended and scaled from the logical to the physical range;
// HIDP_STATUS_BAD_LOG_PHY_VALUES when the ranges do not allow it; a value
// outside the logical range is HIDP_STATUS_NULL when the item has a null
// state, HIDP_STATUS_VALUE_OUT_OF_RANGE otherwise.
uint32_t HidGetScaledUsageValue(const HidCollection& collection, HidReportType type, uint16_t usagePage,
                                uint16_t usage, std::span<const uint8_t> report, int32_t& value);

}  // namespace keyloft

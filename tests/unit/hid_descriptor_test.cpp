#include "device/hid_descriptor.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace keyloft {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The boot keyboard the HID standard defines: modifier bits, a reserved byte
// and a six-key array in; five LED bits and three padding bits out.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,                                // Generic Desktop, Keyboard
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,        // modifiers E0..E7
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02,                                //   8 x 1 bit, variable
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                                // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02,  // LEDs 1..5
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,                                // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,                    // six keys
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,                    //   array 0..0x65
    0xC0};

const Bytes kConsumerControl = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,              // Consumer Control, report 3
    0x15, 0x00, 0x26, 0xFF, 0x2F, 0x19, 0x00, 0x2A, 0xFF, 0x2F,  // 0..0x2FFF
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,                          // one 16-bit array slot
    0xC0};

const Bytes kSystemControl = {
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02,              // System Control, report 2
    0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01,              // power down, sleep, wake up
    0x75, 0x01, 0x95, 0x03, 0x81, 0x02,
    0x95, 0x05, 0x81, 0x01,                                      // padding
    0xC0};

const Bytes kVendor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,        // vendor page 0xFF1C, report 4
    0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02,  // 63 bytes in
    0x09, 0x02, 0x91, 0x02,                                      // 63 bytes out
    0xC0};

const Bytes kMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,  // Mouse, Pointer (physical)
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,  // buttons 1..3
    0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03,                          // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,              // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06,  //   -127..127, relative
    0xC0, 0xC0};

// Three axes as one range with a physical range, and a hat switch with a null state.
const Bytes kGamepad = {
    0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x85, 0x01,              // Game Pad, report 1
    0x19, 0x30, 0x29, 0x32,                                      // X..Z
    0x15, 0x9C, 0x25, 0x64, 0x36, 0x18, 0xFC, 0x46, 0xE8, 0x03,  // -100..100 -> -1000..1000
    0x75, 0x10, 0x95, 0x03, 0x81, 0x02,
    0x09, 0x39, 0x15, 0x00, 0x25, 0x07, 0x35, 0x00, 0x46, 0x3B, 0x01,  // hat 0..7 -> 0..315
    0x75, 0x04, 0x95, 0x01, 0x81, 0x42,                          //   null state
    0x81, 0x03,                                                  // padding nibble
    0xC0};

// A pen whose 64-bit serial number starts mid-byte, with switches on both sides
// of it and a pressure after: every later field sits past the full 64 bits.
const Bytes kPen = {
    0x05, 0x0D, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02,              // Digitizer, Pen, report 2
    0x09, 0x20, 0xA1, 0x00,                                      // Stylus (physical)
    0x09, 0x42, 0x09, 0x44, 0x15, 0x00, 0x25, 0x01,              // tip, barrel: bits 0..1
    0x75, 0x01, 0x95, 0x02, 0x81, 0x02,
    0x09, 0x5B, 0x27, 0xFF, 0xFF, 0xFF, 0x7F,                    // serial number: bits 2..65
    0x75, 0x40, 0x95, 0x01, 0x81, 0x02,
    0x09, 0x3C, 0x25, 0x01, 0x75, 0x01, 0x81, 0x02,              // invert: bit 66
    0x75, 0x05, 0x81, 0x03,                                      // padding to the byte
    0x09, 0x30, 0x26, 0xFF, 0x0F, 0x75, 0x10, 0x81, 0x02,        // pressure 0..4095: bits 72..87
    0xC0, 0xC0};

HidDescriptor MustParse(const Bytes& bytes) {
  HidDescriptor d;
  EXPECT_EQ(ParseReportDescriptor(bytes, d), HidParseStatus::kOk);
  return d;
}

void ExpectLengths(const HidCollection& c, uint16_t in, uint16_t out, uint16_t feature) {
  EXPECT_EQ(c.reportByteLength[HidP_Input], in);
  EXPECT_EQ(c.reportByteLength[HidP_Output], out);
  EXPECT_EQ(c.reportByteLength[HidP_Feature], feature);
}

void ExpectButtonRange(const HidButtonCaps& caps, uint16_t page, uint8_t reportId, uint16_t min, uint16_t max) {
  EXPECT_EQ(caps.usagePage, page);
  EXPECT_EQ(caps.reportId, reportId);
  EXPECT_TRUE(caps.isRange);
  EXPECT_EQ(caps.usageMin, min);
  EXPECT_EQ(caps.usageMax, max);
}

std::vector<uint16_t> Usages(const HidCollection& c, uint16_t page, const Bytes& report) {
  std::vector<uint16_t> usages;
  EXPECT_EQ(HidGetUsages(c, HidP_Input, page, report, usages), HIDP_STATUS_SUCCESS);
  return usages;
}

// ---- Capabilities and lengths ----

TEST(HidDescriptorCaps, BootKeyboardCountsTheIdByteThoughItHasNoIds) {
  HidDescriptor d = MustParse(kBootKeyboard);
  ASSERT_EQ(d.collections.size(), 1u);
  const HidCollection& c = d.collections[0];
  EXPECT_FALSE(d.usesReportIds);
  EXPECT_EQ(c.usagePage, 0x01);
  EXPECT_EQ(c.usage, 0x06);
  ExpectLengths(c, 9, 2, 0);
  EXPECT_EQ(c.reportIds[HidP_Input], std::vector<uint8_t>{0});
  EXPECT_TRUE(c.reportIds[HidP_Feature].empty());

  ASSERT_EQ(c.buttonCaps[HidP_Input].size(), 2u);  // the reserved byte has none
  ExpectButtonRange(c.buttonCaps[HidP_Input][0], 0x07, 0, 0xE0, 0xE7);
  ExpectButtonRange(c.buttonCaps[HidP_Input][1], 0x07, 0, 0x00, 0x65);
  ASSERT_EQ(c.buttonCaps[HidP_Output].size(), 1u);
  ExpectButtonRange(c.buttonCaps[HidP_Output][0], 0x08, 0, 1, 5);
  EXPECT_TRUE(c.valueCaps[HidP_Input].empty());
  EXPECT_EQ(CollectionOfReport(d, HidP_Input, 0), &c);
}

TEST(HidDescriptorCaps, ConsumerAndSystemControlAreSeparateCollections) {
  HidDescriptor d = MustParse(Concat({kConsumerControl, kSystemControl}));
  ASSERT_EQ(d.collections.size(), 2u);
  EXPECT_TRUE(d.usesReportIds);
  const HidCollection& consumer = d.collections[0];
  const HidCollection& system = d.collections[1];

  EXPECT_EQ(consumer.usagePage, 0x0C);
  EXPECT_EQ(consumer.usage, 0x01);
  ExpectLengths(consumer, 3, 0, 0);
  EXPECT_EQ(consumer.reportIds[HidP_Input], std::vector<uint8_t>{3});
  ASSERT_EQ(consumer.buttonCaps[HidP_Input].size(), 1u);
  ExpectButtonRange(consumer.buttonCaps[HidP_Input][0], 0x0C, 3, 0x0000, 0x2FFF);

  EXPECT_EQ(system.usagePage, 0x01);
  EXPECT_EQ(system.usage, 0x80);
  ExpectLengths(system, 2, 0, 0);
  ASSERT_EQ(system.buttonCaps[HidP_Input].size(), 1u);
  ExpectButtonRange(system.buttonCaps[HidP_Input][0], 0x01, 2, 0x81, 0x83);

  EXPECT_EQ(CollectionOfReport(d, HidP_Input, 3), &consumer);
  EXPECT_EQ(CollectionOfReport(d, HidP_Input, 2), &system);
  EXPECT_EQ(CollectionOfReport(d, HidP_Input, 4), nullptr);
  EXPECT_EQ(CollectionOfReport(d, HidP_Output, 3), nullptr);
}

TEST(HidDescriptorCaps, VendorCollectionCarries63DataBytesEachWay) {
  HidDescriptor d = MustParse(kVendor);
  ASSERT_EQ(d.collections.size(), 1u);
  const HidCollection& c = d.collections[0];
  EXPECT_EQ(c.usagePage, 0xFF1C);
  EXPECT_EQ(c.usage, 0x92);
  ExpectLengths(c, 64, 64, 0);
  ASSERT_EQ(c.valueCaps[HidP_Input].size(), 1u);
  const HidValueCaps& in = c.valueCaps[HidP_Input][0];
  EXPECT_EQ(in.usagePage, 0xFF1C);
  EXPECT_EQ(in.reportId, 4);
  EXPECT_EQ(in.usageMin, 0x01);
  EXPECT_EQ(in.usageMax, 0x01);
  EXPECT_EQ(in.bitSize, 8);
  EXPECT_EQ(in.reportCount, 63);
  EXPECT_EQ(in.logicalMax, 255);
  ASSERT_EQ(c.valueCaps[HidP_Output].size(), 1u);
  EXPECT_EQ(c.valueCaps[HidP_Output][0].usageMin, 0x02);
  EXPECT_EQ(c.valueCaps[HidP_Output][0].reportCount, 63);

  Bytes report(64, 0);
  report[0] = 4;
  report[1] = 0x2F;
  uint32_t value = 0;
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0xFF1C, 0x01, report, value), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 0x2Fu);  // the first byte of the value array
}

TEST(HidDescriptorCaps, SharedInterfaceKeepsEachCollectionsLengths) {
  HidDescriptor d = MustParse(Concat({kConsumerControl, kSystemControl, kVendor}));
  ASSERT_EQ(d.collections.size(), 3u);
  ExpectLengths(d.collections[0], 3, 0, 0);
  ExpectLengths(d.collections[1], 2, 0, 0);
  ExpectLengths(d.collections[2], 64, 64, 0);
  EXPECT_EQ(CollectionOfReport(d, HidP_Output, 4), &d.collections[2]);
}

TEST(HidDescriptorCaps, MouseButtonsAndAxesSitInTheirLinkCollection) {
  HidDescriptor d = MustParse(kMouse);
  ASSERT_EQ(d.collections.size(), 1u);
  const HidCollection& c = d.collections[0];
  EXPECT_EQ(c.usage, 0x02);
  ExpectLengths(c, 5, 0, 0);
  ASSERT_EQ(c.buttonCaps[HidP_Input].size(), 1u);
  ExpectButtonRange(c.buttonCaps[HidP_Input][0], 0x09, 0, 1, 3);
  EXPECT_EQ(c.buttonCaps[HidP_Input][0].linkCollection, 1);

  const auto& values = c.valueCaps[HidP_Input];
  ASSERT_EQ(values.size(), 3u);
  const uint16_t expected[] = {0x30, 0x31, 0x38};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(values[i].isRange);
    EXPECT_EQ(values[i].usageMin, expected[i]);
    EXPECT_EQ(values[i].usageMax, expected[i]);
    EXPECT_EQ(values[i].reportCount, 1);
    EXPECT_EQ(values[i].bitSize, 8);
    EXPECT_EQ(values[i].logicalMin, -127);
    EXPECT_EQ(values[i].logicalMax, 127);
    EXPECT_EQ(values[i].linkCollection, 1);
  }
}

TEST(HidDescriptorCaps, ValueRangeIsOneCapabilityReadInOrder) {
  HidDescriptor d = MustParse(kGamepad);
  const HidCollection& c = d.collections[0];
  ExpectLengths(c, 8, 0, 0);
  ASSERT_EQ(c.valueCaps[HidP_Input].size(), 2u);
  const HidValueCaps& axes = c.valueCaps[HidP_Input][0];
  EXPECT_TRUE(axes.isRange);
  EXPECT_EQ(axes.usageMin, 0x30);
  EXPECT_EQ(axes.usageMax, 0x32);
  EXPECT_EQ(axes.reportCount, 3);
  EXPECT_EQ(axes.physicalMin, -1000);
  EXPECT_EQ(axes.physicalMax, 1000);
  EXPECT_TRUE(c.valueCaps[HidP_Input][1].hasNull);

  const Bytes report = {0x01, 0x11, 0x00, 0x22, 0x00, 0x33, 0x00, 0x00};
  for (uint16_t usage = 0x30; usage <= 0x32; ++usage) {
    uint32_t value = 0;
    EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x01, usage, report, value), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(value, 0x11u * (usage - 0x2F)) << usage;
  }
}

TEST(HidDescriptorCaps, AReportIdUsedByTwoCollectionsGrowsInBoth) {
  const Bytes half = {0x05, 0x01, 0x09, 0x00, 0xA1, 0x01, 0x85, 0x05, 0xA1, 0x00, 0x09, 0x30,
                      0x15, 0x00, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0, 0xC0};
  HidDescriptor d = MustParse(Concat({half, half}));
  ASSERT_EQ(d.collections.size(), 2u);
  for (const auto& c : d.collections) {
    ExpectLengths(c, 3, 0, 0);
    ASSERT_EQ(c.valueCaps[HidP_Input].size(), 1u);
    EXPECT_EQ(c.valueCaps[HidP_Input][0].linkCollection, 1);  // numbered afresh in each
  }
  EXPECT_EQ(d.collections[0].fields[0].bitOffset, 0u);
  EXPECT_EQ(d.collections[1].fields[0].bitOffset, 8u);
  EXPECT_EQ(CollectionOfReport(d, HidP_Input, 5), &d.collections[0]);
}

TEST(HidDescriptorCaps, AWideFieldKeepsItsCollectionAndTheLayoutAfterIt) {
  HidDescriptor d = MustParse(Concat({kPen, kConsumerControl}));
  ASSERT_EQ(d.collections.size(), 2u);
  const HidCollection& pen = d.collections[0];
  EXPECT_EQ(pen.usagePage, 0x0D);
  ExpectLengths(pen, 12, 0, 0);
  ExpectLengths(d.collections[1], 3, 0, 0);
  ASSERT_EQ(pen.fields.size(), 5u);
  EXPECT_EQ(pen.fields[1].bitOffset, 2u);
  EXPECT_EQ(pen.fields[2].bitOffset, 66u);
  EXPECT_EQ(pen.fields[4].bitOffset, 72u);
  ASSERT_EQ(pen.valueCaps[HidP_Input].size(), 2u);
  EXPECT_EQ(pen.valueCaps[HidP_Input][0].usageMin, 0x5B);
  EXPECT_EQ(pen.valueCaps[HidP_Input][0].bitSize, 64);

  // Tip down, barrel up, a serial of all ones, invert up, pressure 0x123: a
  // layout that took the serial for 32 bits would find invert down.
  const Bytes report = {0x02, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x23, 0x01};
  EXPECT_EQ(Usages(pen, 0x0D, report), (std::vector<uint16_t>{0x42}));
  EXPECT_EQ(HidMaxUsageListLength(pen, HidP_Input, 0x0D), 3u);
  uint32_t value = 0;
  EXPECT_EQ(HidGetUsageValue(pen, HidP_Input, 0x0D, 0x30, report, value), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 0x123u);
  int32_t scaled = 0;
  EXPECT_EQ(HidGetScaledUsageValue(pen, HidP_Input, 0x0D, 0x30, report, scaled), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, 0x123);

  // The serial does not fit the 32-bit results: refused, nothing half read.
  value = 0xAAAA;
  scaled = 0xAAAA;
  EXPECT_EQ(HidGetUsageValue(pen, HidP_Input, 0x0D, 0x5B, report, value), HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(HidGetScaledUsageValue(pen, HidP_Input, 0x0D, 0x5B, report, scaled), HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(scaled, 0);
  // Checks that come before reading still come first.
  EXPECT_EQ(HidGetUsageValue(pen, HidP_Input, 0x0D, 0x5B, Bytes(report.begin(), report.end() - 1), value),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
}

// ---- How usages bind to the controls of a variable item ----

struct BindingCase {
  const char* name;
  Bytes locals;  // between the globals and the main item
  uint8_t count;
  std::vector<uint16_t> controls;  // the usage of each control
  std::vector<std::array<uint16_t, 3>> caps;  // usageMin, usageMax, reportCount
  friend void PrintTo(const BindingCase& c, std::ostream* os) { *os << c.name; }
};

class HidUsageBinding : public ::testing::TestWithParam<BindingCase> {};

TEST_P(HidUsageBinding, GivesEachControlItsUsageAndOneCapabilityPerUsageOrRange) {
  const BindingCase& p = GetParam();
  Bytes bytes = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x15, 0x00, 0x25, 0x7F, 0x75, 0x08, 0x95, p.count};
  bytes = Concat({bytes, p.locals, {0x81, 0x02, 0xC0}});
  HidDescriptor d = MustParse(bytes);
  const HidCollection& c = d.collections[0];
  ASSERT_EQ(c.fields.size(), 1u);
  std::vector<uint16_t> controls;
  for (uint32_t u : c.fields[0].usages) controls.push_back(static_cast<uint16_t>(u));
  EXPECT_EQ(controls, p.controls);
  std::vector<std::array<uint16_t, 3>> caps;
  for (const auto& v : c.valueCaps[HidP_Input]) caps.push_back({v.usageMin, v.usageMax, v.reportCount});
  EXPECT_EQ(caps, p.caps);
}

INSTANTIATE_TEST_SUITE_P(
    Items, HidUsageBinding,
    ::testing::Values(
        BindingCase{"List", {0x09, 0x30, 0x09, 0x31, 0x09, 0x38}, 3, {0x30, 0x31, 0x38},
                    {{0x30, 0x30, 1}, {0x31, 0x31, 1}, {0x38, 0x38, 1}}},
        BindingCase{"Range", {0x19, 0x30, 0x29, 0x32}, 3, {0x30, 0x31, 0x32}, {{0x30, 0x32, 3}}},
        BindingCase{"MaxBeforeMin", {0x29, 0x32, 0x19, 0x30}, 3, {0x30, 0x31, 0x32}, {{0x30, 0x32, 3}}},
        // The last usage names every control left over.
        BindingCase{"ShortList", {0x09, 0x30, 0x09, 0x31}, 4, {0x30, 0x31, 0x31, 0x31},
                    {{0x30, 0x30, 1}, {0x31, 0x31, 3}}},
        // A range wider than the item is cut to the controls it names.
        BindingCase{"WideRange", {0x19, 0x30, 0x2A, 0xFF, 0xFF}, 2, {0x30, 0x31}, {{0x30, 0x31, 2}}},
        // Usages after the first in a delimiter set are aliases of one control.
        BindingCase{"Delimited", {0xA9, 0x01, 0x09, 0x30, 0x09, 0x32, 0xA9, 0x00, 0x09, 0x31}, 2, {0x30, 0x31},
                    {{0x30, 0x30, 1}, {0x31, 0x31, 1}}},
        BindingCase{"NoUsage", {}, 2, {0, 0}, {{0, 0, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Logical and physical bounds: a maximum is signed only beside a negative minimum.
struct BoundsCase {
  const char* name;
  Bytes globals;
  int32_t logicalMin, logicalMax, physicalMin, physicalMax;
  friend void PrintTo(const BoundsCase& c, std::ostream* os) { *os << c.name; }
};

class HidLogicalBounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(HidLogicalBounds, FollowTheSignOfTheMinimum) {
  const BoundsCase& p = GetParam();
  Bytes bytes = Concat({{0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x09, 0x30}, p.globals,
                        {0x75, 0x20, 0x95, 0x01, 0x81, 0x02, 0xC0}});
  HidDescriptor d = MustParse(bytes);
  ASSERT_EQ(d.collections[0].valueCaps[HidP_Input].size(), 1u);
  const HidValueCaps& v = d.collections[0].valueCaps[HidP_Input][0];
  EXPECT_EQ(v.logicalMin, p.logicalMin);
  EXPECT_EQ(v.logicalMax, p.logicalMax);
  EXPECT_EQ(v.physicalMin, p.physicalMin);
  EXPECT_EQ(v.physicalMax, p.physicalMax);
}

INSTANTIATE_TEST_SUITE_P(
    Items, HidLogicalBounds,
    ::testing::Values(BoundsCase{"ByteMaxUnsigned", {0x15, 0x00, 0x25, 0xFF}, 0, 255, 0, 0},
                      BoundsCase{"MaxBeforeMin", {0x25, 0xFF, 0x15, 0x00}, 0, 255, 0, 0},
                      BoundsCase{"NegativeMin", {0x15, 0x81, 0x25, 0x7F}, -127, 127, 0, 0},
                      BoundsCase{"MaxSignedToo", {0x15, 0x80, 0x25, 0xFF}, -128, -1, 0, 0},
                      BoundsCase{"Word", {0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F}, -32768, 32767, 0, 0},
                      BoundsCase{"WordMaxUnsigned", {0x15, 0x00, 0x26, 0xFF, 0xFF}, 0, 65535, 0, 0},
                      BoundsCase{"DwordMaxSaturates", {0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF}, 0, INT32_MAX, 0, 0},
                      BoundsCase{"Physical", {0x15, 0x00, 0x25, 0x0A, 0x35, 0x00, 0x45, 0xC8}, 0, 10, 0, 200}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Global state, extended usages, long items ----

TEST(HidDescriptorItems, PopRestoresTheGlobalsPushed) {
  const Bytes bytes = {
      0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,
      0x05, 0x09, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x02,
      0xA4,                                                        // push: buttons, 2 x 1 bit
      0x05, 0x01, 0x09, 0x30, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,  // X
      0xB4,                                                        // pop
      0x19, 0x01, 0x29, 0x02, 0x81, 0x02,                          // buttons 1..2
      0x75, 0x06, 0x95, 0x01, 0x81, 0x03,
      0xC0};
  HidDescriptor d = MustParse(bytes);
  const HidCollection& c = d.collections[0];
  ExpectLengths(c, 3, 0, 0);
  ASSERT_EQ(c.buttonCaps[HidP_Input].size(), 1u);
  ExpectButtonRange(c.buttonCaps[HidP_Input][0], 0x09, 0, 1, 2);
  ASSERT_EQ(c.fields.size(), 3u);
  EXPECT_EQ(c.fields[1].bitOffset, 8u);
  EXPECT_EQ(c.fields[1].bitSize, 1);
  EXPECT_EQ(c.fields[1].count, 2);
  EXPECT_EQ(c.fields[1].logicalMin, 0);
  EXPECT_EQ(Usages(c, 0x09, {0x00, 0xFF, 0x02}), (std::vector<uint16_t>{2}));
}

TEST(HidDescriptorItems, ExtendedUsagesCarryTheirOwnPage) {
  const Bytes bytes = {
      0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x05, 0x0C,              // the page in force is Consumer
      0x0B, 0x01, 0x00, 0x09, 0x00, 0x0B, 0x02, 0x00, 0x09, 0x00,  // Button 1, Button 2
      0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x02, 0x81, 0x02,
      0x1B, 0x30, 0x00, 0x01, 0x00, 0x2B, 0x31, 0x00, 0x01, 0x00,  // Generic Desktop X..Y
      0x15, 0x81, 0x25, 0x7F, 0x75, 0x07, 0x81, 0x02,
      0xC0};
  HidDescriptor d = MustParse(bytes);
  const HidCollection& c = d.collections[0];
  ASSERT_EQ(c.buttonCaps[HidP_Input].size(), 2u);
  EXPECT_EQ(c.buttonCaps[HidP_Input][0].usagePage, 0x09);
  EXPECT_EQ(c.buttonCaps[HidP_Input][1].usageMin, 2);
  ASSERT_EQ(c.valueCaps[HidP_Input].size(), 1u);
  EXPECT_EQ(c.valueCaps[HidP_Input][0].usagePage, 0x01);
  EXPECT_EQ(c.valueCaps[HidP_Input][0].usageMax, 0x31);

  const Bytes report = {0x00, 0xFF, 0x01};  // both buttons, X = -1 (bits 2..8), Y = 0
  EXPECT_EQ(Usages(c, 0x09, report), (std::vector<uint16_t>{1, 2}));
  std::vector<uint16_t> usages;
  EXPECT_EQ(HidGetUsages(c, HidP_Input, 0x0C, report, usages), HIDP_STATUS_USAGE_NOT_FOUND);
  int32_t x = 0;
  EXPECT_EQ(HidGetScaledUsageValue(c, HidP_Input, 0x01, 0x30, report, x), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(x, -1);
}

TEST(HidDescriptorItems, LongItemsAreSkipped) {
  Bytes bytes = kBootKeyboard;
  const Bytes longItem = {0xFE, 0x03, 0x10, 0x75, 0x20, 0x81};  // its data looks like items
  bytes.insert(bytes.begin() + 6, longItem.begin(), longItem.end());
  HidDescriptor d = MustParse(bytes);
  ExpectLengths(d.collections[0], 9, 2, 0);
  EXPECT_EQ(d.collections[0].buttonCaps[HidP_Input].size(), 2u);
}

// ---- Decoding ----

TEST(HidGetUsages, BootKeyboardArrayIgnoresValuesPastItsLogicalMaximum) {
  HidDescriptor d = MustParse(kBootKeyboard);
  const HidCollection& c = d.collections[0];
  // 0xE1 (left shift) in the key array is outside 0..0x65: only the
  // modifier bit can report it.
  EXPECT_EQ(Usages(c, 0x07, {0x00, 0x00, 0x00, 0x04, 0xE1, 0, 0, 0, 0}), (std::vector<uint16_t>{0x04}));
  EXPECT_EQ(Usages(c, 0x07, {0x00, 0x02, 0x00, 0x04, 0x00, 0, 0, 0, 0}), (std::vector<uint16_t>{0xE1, 0x04}));
  EXPECT_EQ(Usages(c, 0, {0x00, 0x02, 0x00, 0x04, 0x00, 0, 0, 0, 0}), (std::vector<uint16_t>{0xE1, 0x04}));
  EXPECT_TRUE(Usages(c, 0x07, {0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0}).empty());

  // A usage range wider than the logical one does not widen what is reported.
  Bytes wide = kBootKeyboard;
  ASSERT_EQ(wide[wide.size() - 5], 0x29);
  wide[wide.size() - 4] = 0xFF;  // Usage Maximum 0xFF, Logical Maximum still 0x65
  HidDescriptor wideParsed = MustParse(wide);
  EXPECT_EQ(Usages(wideParsed.collections[0], 0x07, {0x00, 0x00, 0x00, 0x04, 0xE1, 0, 0, 0, 0}),
            (std::vector<uint16_t>{0x04}));

  EXPECT_EQ(HidMaxUsageListLength(c, HidP_Input, 0x07), 14u);  // 8 modifiers + 6 keys
  EXPECT_EQ(HidMaxUsageListLength(c, HidP_Input, 0), 14u);
  EXPECT_EQ(HidMaxUsageListLength(c, HidP_Output, 0x08), 5u);
  EXPECT_EQ(HidMaxUsageListLength(c, HidP_Input, 0x08), 0u);
}

TEST(HidGetUsages, AWideArrayNamesAUsageOnlyWhenItsWholeValueIsInRange) {
  // Buttons 1..4 from one 64-bit array slot, logical 0..3, then -1..2.
  Bytes bytes = {0x05, 0x09, 0x09, 0x00, 0xA1, 0x01, 0x19, 0x01, 0x29, 0x04, 0x15, 0x00, 0x25, 0x03,
                 0x75, 0x40, 0x95, 0x01, 0x81, 0x00, 0xC0};
  HidDescriptor d = MustParse(bytes);
  const HidCollection& c = d.collections[0];
  ExpectLengths(c, 9, 0, 0);
  EXPECT_EQ(Usages(c, 0x09, {0x00, 0x02, 0, 0, 0, 0, 0, 0, 0}), (std::vector<uint16_t>{3}));
  EXPECT_TRUE(Usages(c, 0x09, {0x00, 0x02, 0, 0, 0, 0, 0, 0, 0x01}).empty()) << "the low 32 bits alone are in range";

  bytes[11] = 0xFF;  // Logical Minimum -1: the slot is signed
  bytes[13] = 0x02;
  HidDescriptor s = MustParse(bytes);
  const HidCollection& signedSlot = s.collections[0];
  EXPECT_EQ(Usages(signedSlot, 0x09, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), (std::vector<uint16_t>{1})) << "-1, sign-extended to 64 bits";
  EXPECT_TRUE(Usages(signedSlot, 0x09, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}).empty()) << "2^32 - 1, not -1";
}

TEST(HidGetUsages, ConsumerArrayReportsTheUsageOfItsValue) {
  HidDescriptor d = MustParse(Concat({kConsumerControl, kSystemControl}));
  const HidCollection& consumer = d.collections[0];
  EXPECT_EQ(Usages(consumer, 0x0C, {0x03, 0x02, 0x04}), (std::vector<uint16_t>{0x0402}));
  EXPECT_TRUE(Usages(consumer, 0x0C, {0x03, 0x00, 0x00}).empty());
  EXPECT_TRUE(Usages(consumer, 0x0C, {0x03, 0x00, 0x30}).empty());  // past 0x2FFF
  EXPECT_EQ(HidMaxUsageListLength(consumer, HidP_Input, 0x0C), 1u);
  EXPECT_EQ(Usages(d.collections[1], 0x01, {0x02, 0x05}), (std::vector<uint16_t>{0x81, 0x83}));
}

struct ReportCheckCase {
  const char* name;
  const Bytes* descriptor;
  HidReportType type;
  uint16_t page;
  Bytes report;
  uint32_t status;
  friend void PrintTo(const ReportCheckCase& c, std::ostream* os) { *os << c.name; }
};

class HidReportChecks : public ::testing::TestWithParam<ReportCheckCase> {};

TEST_P(HidReportChecks, RefuseReportsThatAreNotTheCollections) {
  const ReportCheckCase& p = GetParam();
  HidDescriptor d = MustParse(*p.descriptor);
  std::vector<uint16_t> usages = {0xAAAA};
  EXPECT_EQ(HidGetUsages(d.collections[0], p.type, p.page, p.report, usages), p.status);
  if (p.status != HIDP_STATUS_SUCCESS) {
    EXPECT_TRUE(usages.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HidReportChecks,
    ::testing::Values(
        ReportCheckCase{"Fits", &kConsumerControl, HidP_Input, 0x0C, {0x03, 0x02, 0x04}, HIDP_STATUS_SUCCESS},
        ReportCheckCase{"Longer", &kConsumerControl, HidP_Input, 0x0C, {0x03, 0x02, 0x04, 0x00}, HIDP_STATUS_SUCCESS},
        ReportCheckCase{"OtherId", &kConsumerControl, HidP_Input, 0x0C, {0x02, 0x02, 0x04},
                        HIDP_STATUS_INCOMPATIBLE_REPORT_ID},
        ReportCheckCase{"Short", &kConsumerControl, HidP_Input, 0x0C, {0x03, 0x02}, HIDP_STATUS_INVALID_REPORT_LENGTH},
        ReportCheckCase{"Empty", &kConsumerControl, HidP_Input, 0x0C, {}, HIDP_STATUS_INVALID_REPORT_LENGTH},
        ReportCheckCase{"NoSuchType", &kConsumerControl, HidP_Output, 0x0C, {0x03, 0x02, 0x04},
                        HIDP_STATUS_INCOMPATIBLE_REPORT_ID},
        ReportCheckCase{"BadType", &kConsumerControl, static_cast<HidReportType>(3), 0x0C, {0x03, 0x02, 0x04},
                        HIDP_STATUS_INVALID_REPORT_TYPE},
        ReportCheckCase{"OtherPage", &kConsumerControl, HidP_Input, 0x09, {0x03, 0x02, 0x04},
                        HIDP_STATUS_USAGE_NOT_FOUND},
        ReportCheckCase{"IdByteWithoutIds", &kBootKeyboard, HidP_Input, 0x07, {0x01, 0, 0, 0x04, 0, 0, 0, 0, 0},
                        HIDP_STATUS_INCOMPATIBLE_REPORT_ID}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HidGetUsageValue, FindsAUsageOnlyInItsOwnReport) {
  const Bytes bytes = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x15, 0x00, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01,
                       0x85, 0x01, 0x09, 0x30, 0x81, 0x02, 0x85, 0x02, 0x09, 0x31, 0x81, 0x02, 0xC0};
  HidDescriptor d = MustParse(bytes);
  const HidCollection& c = d.collections[0];
  uint32_t value = 0;
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x01, 0x31, Bytes{0x02, 0x21}, value), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 0x21u);
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x01, 0x31, Bytes{0x01, 0x21}, value), HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x01, 0x32, Bytes{0x01, 0x21}, value), HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x09, 0x31, Bytes{0x02, 0x21}, value), HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x01, 0x31, Bytes{0x03, 0x21}, value), HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
}

TEST(HidGetScaledUsageValue, MouseAxesAreSignedAndRawValuesAreNot) {
  HidDescriptor d = MustParse(kMouse);
  const HidCollection& c = d.collections[0];
  const Bytes report = {0x00, 0x05, 0xFF, 0x01, 0x80};  // buttons 1 and 3, X -1, Y 1, wheel -128
  EXPECT_EQ(Usages(c, 0x09, report), (std::vector<uint16_t>{1, 3}));
  EXPECT_EQ(HidMaxUsageListLength(c, HidP_Input, 0x09), 3u);

  uint32_t raw = 0;
  int32_t scaled = 0;
  EXPECT_EQ(HidGetUsageValue(c, HidP_Input, 0x01, 0x30, report, raw), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(raw, 0xFFu);
  EXPECT_EQ(HidGetScaledUsageValue(c, HidP_Input, 0x01, 0x30, report, scaled), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, -1);  // no physical range: the logical one
  EXPECT_EQ(HidGetScaledUsageValue(c, HidP_Input, 0x01, 0x31, report, scaled), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, 1);
  EXPECT_EQ(HidGetScaledUsageValue(c, HidP_Input, 0x01, 0x38, report, scaled), HIDP_STATUS_VALUE_OUT_OF_RANGE);
}

TEST(HidGetScaledUsageValue, ScalesToThePhysicalRangeAndHonoursTheNullState) {
  HidDescriptor d = MustParse(kGamepad);
  const HidCollection& c = d.collections[0];
  // X -37, Y 100, Z -100, hat 2; then the hat at rest (8, outside 0..7).
  const Bytes report = {0x01, 0xDB, 0xFF, 0x64, 0x00, 0x9C, 0xFF, 0x02};
  const std::pair<uint16_t, int32_t> expected[] = {{0x30, -370}, {0x31, 1000}, {0x32, -1000}, {0x39, 90}};
  for (auto [usage, want] : expected) {
    int32_t scaled = 0;
    EXPECT_EQ(HidGetScaledUsageValue(c, HidP_Input, 0x01, usage, report, scaled), HIDP_STATUS_SUCCESS) << usage;
    EXPECT_EQ(scaled, want) << usage;
  }
  Bytes rest = report;
  rest[7] = 0x08;
  int32_t hat = 0;
  EXPECT_EQ(HidGetScaledUsageValue(c, HidP_Input, 0x01, 0x39, rest, hat), HIDP_STATUS_NULL);
}

TEST(HidGetScaledUsageValue, EmptyRangesCannotBeScaled) {
  for (const Bytes& globals : {Bytes{0x15, 0x05, 0x25, 0x05}, Bytes{0x15, 0x00, 0x25, 0x0A, 0x35, 0x0A, 0x45, 0x00}}) {
    Bytes bytes = Concat({{0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x09, 0x30}, globals,
                          {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0}});
    HidDescriptor d = MustParse(bytes);
    int32_t scaled = 0;
    EXPECT_EQ(HidGetScaledUsageValue(d.collections[0], HidP_Input, 0x01, 0x30, Bytes{0x00, 0x05}, scaled),
              HIDP_STATUS_BAD_LOG_PHY_VALUES);
  }
}

// ---- Malformed descriptors ----

const Bytes kOpen = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01};
const Bytes kClose = {0xC0};
const Bytes kByteInput = {0x75, 0x08, 0x95, 0x01, 0x81, 0x02};

struct MalformedCase {
  const char* name;
  Bytes descriptor;
  HidParseStatus status;
  friend void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }
};

class HidMalformedDescriptor : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(HidMalformedDescriptor, IsRejectedWithItsStatusAndLeavesNothing) {
  HidDescriptor d = MustParse(kMouse);  // what was there before must go
  EXPECT_EQ(ParseReportDescriptor(GetParam().descriptor, d), GetParam().status);
  if (GetParam().status != HidParseStatus::kOk) {
    EXPECT_TRUE(d.collections.empty());
    EXPECT_FALSE(d.usesReportIds);
  }
  EXPECT_FALSE(DescribeHidParseStatus(GetParam().status).empty());
}

Bytes Repeat(const Bytes& b, size_t n) {
  Bytes out;
  for (size_t i = 0; i < n; ++i) out.insert(out.end(), b.begin(), b.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HidMalformedDescriptor,
    ::testing::Values(
        MalformedCase{"Empty", {}, HidParseStatus::kEmpty},
        MalformedCase{"GlobalsOnly", {0x05, 0x01, 0x75, 0x08}, HidParseStatus::kEmpty},
        MalformedCase{"TruncatedWord", Concat({kOpen, kClose, {0x26, 0xFF}}), HidParseStatus::kTruncatedItem},
        MalformedCase{"TruncatedDword", Concat({kOpen, {0x27, 0xFF, 0xFF, 0xFF}}), HidParseStatus::kTruncatedItem},
        MalformedCase{"TruncatedLongItem", Concat({kOpen, kClose, {0xFE, 0x05, 0x10, 0xAA}}),
                      HidParseStatus::kTruncatedItem},
        MalformedCase{"EndWithoutCollection", Concat({kClose, kOpen, kClose}), HidParseStatus::kUnbalancedCollection},
        MalformedCase{"Unclosed", Concat({kOpen, kByteInput}), HidParseStatus::kUnbalancedCollection},
        MalformedCase{"PopWithoutPush", Concat({kOpen, {0xB4}, kClose}), HidParseStatus::kUnbalancedPushPop},
        MalformedCase{"PushTooDeep", Concat({kOpen, Repeat({0xA4}, 17), kClose}), HidParseStatus::kUnbalancedPushPop},
        MalformedCase{"PushSixteenDeep", Concat({kOpen, Repeat({0xA4}, 16), kClose}), HidParseStatus::kOk},
        MalformedCase{"ReportSize0", Concat({kOpen, {0x75, 0x00, 0x95, 0x01, 0x81, 0x02}, kClose}),
                      HidParseStatus::kBadReportSize},
        MalformedCase{"ReportSize256", Concat({kOpen, {0x76, 0x00, 0x01, 0x95, 0x01, 0x81, 0x02}, kClose}),
                      HidParseStatus::kOk},
        MalformedCase{"ReportSize257", Concat({kOpen, {0x76, 0x01, 0x01, 0x95, 0x01, 0x81, 0x02}, kClose}),
                      HidParseStatus::kBadReportSize},
        MalformedCase{"PaddingSize257", Concat({kOpen, {0x76, 0x01, 0x01, 0x95, 0x01, 0x81, 0x03}, kClose}),
                      HidParseStatus::kBadReportSize},
        MalformedCase{"ReportCount0", Concat({kOpen, {0x75, 0x08, 0x95, 0x00, 0x81, 0x02}, kClose}),
                      HidParseStatus::kBadReportSize},
        MalformedCase{"ReportCount4097", Concat({kOpen, {0x75, 0x01, 0x96, 0x01, 0x10, 0x81, 0x02}, kClose}),
                      HidParseStatus::kBadReportSize},
        MalformedCase{"ReportId0", Concat({kOpen, {0x85, 0x00}, kByteInput, kClose}), HidParseStatus::kBadReportSize},
        MalformedCase{"InputOutsideCollection", Concat({kByteInput, kOpen, kClose}),
                      HidParseStatus::kMainItemOutsideCollection},
        MalformedCase{"Report4096Bytes", Concat({kOpen, {0x75, 0x08, 0x96, 0xFF, 0x0F, 0x81, 0x02}, kClose}),
                      HidParseStatus::kOk},
        MalformedCase{"Report4097Bytes", Concat({kOpen, {0x75, 0x08, 0x96, 0x00, 0x10, 0x81, 0x02}, kClose}),
                      HidParseStatus::kReportTooLong},
        MalformedCase{"ReportTooLongInParts",
                      Concat({kOpen, {0x75, 0x08, 0x96, 0x00, 0x08, 0x81, 0x02, 0x81, 0x03}, kClose}),
                      HidParseStatus::kReportTooLong},
        MalformedCase{"UsageMaxBelowMin", Concat({kOpen, {0x19, 0x05, 0x29, 0x01}, kByteInput, kClose}),
                      HidParseStatus::kTooComplex},
        MalformedCase{"RangeAcrossPages",
                      Concat({kOpen, {0x1B, 0x01, 0x00, 0x09, 0x00, 0x2B, 0x05, 0x00, 0x0C, 0x00}, kByteInput, kClose}),
                      HidParseStatus::kTooComplex},
        MalformedCase{"TooManyArrayUsages",
                      Concat({kOpen, Repeat({0x75, 0x10, 0x95, 0x01, 0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x81, 0x00}, 2),
                              kClose}),
                      HidParseStatus::kTooComplex}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace keyloft

#include "model/key_codes.h"

#include <gtest/gtest.h>

#include <set>

#include "lang/localisation.h"
#include "store/registry.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using test::TempDir;

TEST(KeyCodeIndex, FollowsTheIndexRules) {
  EXPECT_EQ(KeyCodeToIndex(0x145), 197);
  EXPECT_EQ(IndexToKeyCode(197), 0x145);
  EXPECT_EQ(KeyCodeToIndex(0x045), 69);  // Pause
  EXPECT_EQ(KeyCodeToIndex(0x200), 256);  // G-key records lie beyond the key table
  EXPECT_EQ(KeyCodeToIndex(0x208), 264);
  EXPECT_EQ(KeyCodeToIndex(0x17E), 0xFE);
  EXPECT_LT(KeyCodeToIndex(0xFFFF), kKeyRecordCount);  // no code indexes past the records
  EXPECT_EQ(IndexToKeyCode(512), 0);
  for (uint16_t i = 0; i < kKeyRecordCount; ++i) EXPECT_EQ(KeyCodeToIndex(IndexToKeyCode(i)), i);
}

struct UsageCase {
  UsagePair usage;
  KeyCode code;
  friend void PrintTo(const UsageCase& c, std::ostream* os) { *os << "type " << c.usage.type << " usage 0x" << std::hex << c.usage.usage; }
};

class UsageToKeyCodeCases : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageToKeyCodeCases, TheFirstMatchingRowWins) {
  EXPECT_EQ(UsageToKeyCode(GetParam().usage), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Usages, UsageToKeyCodeCases,
    ::testing::Values(UsageCase{{kUsageKeyboard, 0x48}, 0x045},   // Pause, not Break
                      UsageCase{{kUsageKeyboard, 0xE5}, 0x036},   // the first Right Shift row
                      UsageCase{{kUsageKeyboard, 0x04}, 0x01E},
                      UsageCase{{kUsageConsumer, 0x00CD}, 0x122},
                      UsageCase{{kUsageConsumer, 0x0001}, 0},
                      UsageCase{{kUsageConsumer, 0x0000}, 0},     // the empty list entries are no usage
                      UsageCase{{kUsageSystemControl, 0x82}, 0x15F},
                      UsageCase{{kUsageSystemControl, 0x84}, 0},
                      UsageCase{{kUsageSpecial, 0xF1}, 0},
                      UsageCase{{kUsageKeyboard, 0x00}, 0}));

TEST(KeyCodeToUsage, CodesByRangeOfTheUsageByte) {
  EXPECT_EQ(KeyCodeToUsage(0x01E), (UsagePair{kUsageKeyboard, 0x04}));
  EXPECT_EQ(KeyCodeToUsage(0x15E), (UsagePair{kUsageSystemControl, 0x81}));
  EXPECT_EQ(KeyCodeToUsage(0x171), (UsagePair{kUsageSpecial, 0xF1}));
  EXPECT_EQ(KeyCodeToUsage(0x054), (UsagePair{kUsageNone, 0}));
  EXPECT_EQ(KeyCodeToUsage(0x070), (UsagePair{kUsageKeyboard, 0x88}));
  EXPECT_EQ(KeyCodeToUsage(0x122), (UsagePair{kUsageKeyboard, 0xCE}));  // consumer bytes stay keyboard-page
  EXPECT_EQ(KeyCodeToUsage(0x300), (UsagePair{kUsageNone, 0}));
}

TEST(KeyCodeToUsage, RoundTripsWhereTheTableAllows) {
  for (uint16_t i = 0; i < kKeyTableRows; ++i) {
    KeyCode code = IndexToKeyCode(i);
    UsagePair u = KeyCodeToUsage(code);
    if (u.type != kUsageKeyboard && u.type != kUsageSystemControl) continue;
    KeyCode back = UsageToKeyCode(u);
    // Only the second Right Shift and Break share their usage with an earlier row.
    if (code == 0x136 || code == 0x146) {
      EXPECT_EQ(back, code == 0x136 ? 0x036 : 0x045);
    } else {
      EXPECT_EQ(back, code) << std::hex << code;
    }
  }
}

TEST(ListPositions, CoverTheKeyListOnce) {
  std::set<KeyCode> seen;
  for (uint16_t p = 0; p < kKeyListLength; ++p) {
    KeyCode code = ListPositionToKeyCode(p);
    ASSERT_NE(code, 0) << p;
    EXPECT_EQ(KeyCodeToListPosition(code), p);
    EXPECT_TRUE(seen.insert(code).second);
  }
  EXPECT_EQ(ListPositionToKeyCode(103), 0x036);
  EXPECT_EQ(KeyCodeToListPosition(0x136), 103);
  EXPECT_EQ(ListPositionToKeyCode(106), 0);
  EXPECT_EQ(ListPositionToKeyCode(107), 0x171);
  EXPECT_EQ(ListPositionToKeyCode(kNoListPosition), 0);
  EXPECT_EQ(KeyCodeToListPosition(0x064), 0x802D);  // unlisted keys carry the top bit
  EXPECT_EQ(KeyCodeToListPosition(0x055), kNoListPosition);
}

struct DeviceItemCase {
  DeviceKeyItem item;
  KeyCode code;
  friend void PrintTo(const DeviceItemCase& c, std::ostream* os) {
    *os << std::hex << int(c.item.category) << " " << int(c.item.data1) << " " << int(c.item.data2);
  }
};

class DeviceItemToKeyCodeCases : public ::testing::TestWithParam<DeviceItemCase> {};

TEST_P(DeviceItemToKeyCodeCases, DecodesEachCategory) {
  EXPECT_EQ(DeviceItemToKeyCode(GetParam().item), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Items, DeviceItemToKeyCodeCases,
    ::testing::Values(DeviceItemCase{{0x00, 0x00, 0x00}, 0}, DeviceItemCase{{0x01, 0x01, 0x01}, 0x171},
                      DeviceItemCase{{0x01, 0x01, 0x04}, 0x173}, DeviceItemCase{{0x01, 0x01, 0x03}, 0},
                      DeviceItemCase{{0x01, 0x05, 0xFF}, 0x162}, DeviceItemCase{{0x02, 0x02, 0x04}, 0x01E},
                      DeviceItemCase{{0x02, 0x01, 0x30}, 0x11D},  // the lowest modifier bit wins
                      DeviceItemCase{{0x02, 0x01, 0x80}, 0x15C}, DeviceItemCase{{0x02, 0x01, 0x00}, 0},
                      DeviceItemCase{{0x03, 0xE9, 0x00}, 0x130}, DeviceItemCase{{0x03, 0x23, 0x02}, 0x132},
                      DeviceItemCase{{0x04, 0x83, 0x00}, 0x163}, DeviceItemCase{{0x05, 0x01, 0x00}, 0},
                      DeviceItemCase{{0x06, 0xA2, 0x01}, 0x200}, DeviceItemCase{{0x06, 0xA2, 0x09}, 0x208},
                      DeviceItemCase{{0x06, 0xA1, 0x01}, 0}, DeviceItemCase{{0x07, 0x02, 0x04}, 0}));

TEST(ModifierBits, MapBothWays) {
  for (int bit = 0; bit < 8; ++bit) {
    uint8_t b = static_cast<uint8_t>(1u << bit);
    EXPECT_EQ(KeyCodeToModifierBit(ModifierBitsToKeyCode(b)), b);
  }
  EXPECT_EQ(ModifierBitsToKeyCode(0), 0);
  EXPECT_EQ(KeyCodeToModifierBit(0x136), 0);  // only the first Right Shift code is a modifier
  EXPECT_EQ(KeyCodeToModifierBit(0x01E), 0);
}

TEST(VirtualKeys, FollowTheTableAndItsRules) {
  EXPECT_EQ(VirtualKeyToKeyCode(0x41), 0x01E);
  EXPECT_EQ(VirtualKeyToKeyCode(0x10), 0x02A);
  EXPECT_EQ(VirtualKeyToKeyCode(0x11), 0x01D);
  EXPECT_EQ(VirtualKeyToKeyCode(0x12), 0x038);
  EXPECT_EQ(VirtualKeyToKeyCode(0x0D), 0x01C);  // Enter, not Num Enter
  EXPECT_EQ(VirtualKeyToKeyCode(0x2C), 0x137);  // Print Screen, not Sys Req
  EXPECT_EQ(VirtualKeyToKeyCode(0xA1), 0x036);
  EXPECT_EQ(VirtualKeyToKeyCode(0x67), 0x047);
  EXPECT_EQ(VirtualKeyToKeyCode(0x24), 0x147);  // navigation keys, not the keypad
  EXPECT_EQ(VirtualKeyToKeyCode(0x2E), 0x153);
  EXPECT_EQ(VirtualKeyToKeyCode(0x0C), 0);  // VK_CLEAR
  EXPECT_EQ(VirtualKeyToKeyCode(0x03), 0x146);
  EXPECT_EQ(VirtualKeyToKeyCode(0x13), 0x045);
  EXPECT_EQ(VirtualKeyToKeyCode(0x90), 0x145);  // between the pseudo ranges
  EXPECT_EQ(VirtualKeyToKeyCode(0x91), 0x046);
  EXPECT_EQ(VirtualKeyToKeyCode(0xD2), 0x162);
  EXPECT_EQ(VirtualKeyToKeyCode(0xAD), 0x120);
  for (uint8_t vk : {0x00, 0x01, 0x02, 0x04, 0x88, 0x8C, 0x97, 0x9F, 0xFF, 0x07}) EXPECT_EQ(VirtualKeyToKeyCode(vk), 0) << int(vk);
}

constexpr uint32_t Flags(KeyCode scan) { return static_cast<uint32_t>(scan & 0xFF) << 16 | (scan & 0x100 ? 1u << 24 : 0); }

TEST(KeystrokeToKeyCode, TheScanCodeWinsOnlyWhenItAgrees) {
  EXPECT_EQ(KeystrokeToKeyCode(0x10, Flags(0x036)), 0x036);  // right Shift seen as VK_SHIFT
  EXPECT_EQ(KeystrokeToKeyCode(0x24, Flags(0x147)), 0x147);  // Home
  EXPECT_EQ(KeystrokeToKeyCode(0x24, Flags(0x047)), 0x047);  // Num 7 with Num Lock off
  EXPECT_EQ(KeystrokeToKeyCode(0x0D, Flags(0x11C)), 0x11C);  // Num Enter
  EXPECT_EQ(KeystrokeToKeyCode(0xFF, Flags(0x070)), 0x070);  // no virtual key: the scan code
  EXPECT_EQ(KeystrokeToKeyCode(0x41, 0), 0x01E);            // no scan code: the virtual key
  EXPECT_EQ(KeystrokeToKeyCode(0x41, Flags(0x030)), 0x01E);  // a disagreeing scan code loses
  EXPECT_EQ(KeystrokeToKeyCode(0x10, Flags(0x02A)), 0x02A);  // through the virtual-key table
}

struct EvdevCase {
  uint16_t evdev;
  KeyCode code;
  friend void PrintTo(const EvdevCase& c, std::ostream* os) { *os << "evdev " << c.evdev; }
};

class EvdevToKeyCodeCases : public ::testing::TestWithParam<EvdevCase> {};

TEST_P(EvdevToKeyCodeCases, MapsLinuxInputCodes) { EXPECT_EQ(EvdevToKeyCode(GetParam().evdev), GetParam().code); }

INSTANTIATE_TEST_SUITE_P(
    Codes, EvdevToKeyCodeCases,
    ::testing::Values(EvdevCase{1, 0x001}, EvdevCase{30, 0x01E}, EvdevCase{54, 0x036}, EvdevCase{83, 0x053},
                      EvdevCase{69, 0x145},   // Num Lock
                      EvdevCase{119, 0x045},  // Pause
                      EvdevCase{86, 0x056}, EvdevCase{87, 0x057}, EvdevCase{88, 0x058}, EvdevCase{96, 0x11C},
                      EvdevCase{97, 0x11D}, EvdevCase{99, 0x137}, EvdevCase{102, 0x147}, EvdevCase{111, 0x153},
                      EvdevCase{125, 0x15B}, EvdevCase{126, 0x15C}, EvdevCase{127, 0x15D}, EvdevCase{113, 0x120},
                      EvdevCase{0x110, 0x171}, EvdevCase{0, 0}, EvdevCase{84, 0}, EvdevCase{101, 0},
                      EvdevCase{0x2FF, 0}));

TEST(EvdevToKeyCode, ReachesEveryKeyOfTheMainBlock) {
  // Every listed key but the mouse wheel and the E1/E0 oddities comes from some Linux code.
  std::set<KeyCode> reached;
  for (uint16_t e = 0; e < 0x300; ++e) reached.insert(EvdevToKeyCode(e));
  for (uint16_t p = 0; p < kKeyListLength; ++p) {
    KeyCode code = ListPositionToKeyCode(p);
    if (code == 0x146) continue;  // Break is Ctrl+Pause, not a key of its own
    EXPECT_TRUE(reached.count(code)) << std::hex << code;
  }
}

TEST(KeySets, MediaAndReleaseOnlyKeys) {
  int media = 0;
  for (uint16_t i = 0; i < kKeyTableRows; ++i) media += IsMediaKeyCode(IndexToKeyCode(i));
  EXPECT_EQ(media, 18);
  EXPECT_TRUE(IsMediaKeyCode(0x120));
  EXPECT_FALSE(IsMediaKeyCode(0x15E));  // Power is no media key
  EXPECT_EQ(MediaList()[1].code, 0x122);
  for (KeyCode c : {0x054, 0x071, 0x072, 0x137}) EXPECT_TRUE(IsReleaseOnlyKey(c));
  EXPECT_FALSE(IsReleaseOnlyKey(0x037));
}

class KeyNames : public ::testing::Test {
 protected:
  KeyNames() {
    dir_.Write("Lang0409.ini",
               "[TEXT]\nIDS_KEYBOARD_A=A\nIDS_KEYBOARD_RSHIFT=Right Shift\nIDS_KEYBOARD_ESC=\n"
               "UNKNOWN_KEY=Unknown key (%d)\nIDS_KEYBOARD_SPACE=" + std::string(300, 's') + "\n");
  }
  TempDir dir_;
  RegistryKey registry_{dir_ / "registry.ini"};
  Localisation lang_{dir_.Path(), 0x0409};
};

TEST_F(KeyNames, ComeFromTheLanguageFile) {
  EXPECT_EQ(GetKeyName(lang_, 0x01E), "A");
  EXPECT_EQ(GetKeyName(lang_, 0x136), "Right Shift");
  EXPECT_EQ(GetKeyName(lang_, 0x064), "Unknown key (100)");  // F13 has no name key
  EXPECT_EQ(GetKeyName(lang_, 0x001), "Unknown key (1)");    // an empty text falls back too
  EXPECT_EQ(GetKeyName(lang_, 0x01F), "#Error");             // a missing entry shows the lookup's text
  EXPECT_EQ(GetKeyName(lang_, 0x039), std::string(259, 's'));
  EXPECT_EQ(GetKeyName(lang_, 0x039, 4), "sss");
}

TEST_F(KeyNames, ListPositionsHaveNoFallback) {
  EXPECT_EQ(GetListPositionName(lang_, 0), "A");
  EXPECT_EQ(GetListPositionName(lang_, 103), "Right Shift");
  EXPECT_EQ(GetListPositionName(lang_, 37), "");  // Esc: empty text, no UNKNOWN_KEY
  EXPECT_EQ(GetListPositionName(lang_, 106), "");
}

}  // namespace
}  // namespace keyloft

#include "model/key_assignments.h"

#include <gtest/gtest.h>

#include <random>

#include "device_fixture.h"
#include "lang/localisation.h"
#include "model/default_key_map.h"
#include "model/keyboard_model.h"
#include "printers.h"
#include "recording_prompts.h"
#include "store/registry.h"

namespace keyloft {
namespace {

using test::RecordingPrompts;
using test::VirtualKeyboard;

std::span<const uint8_t> Defaults(size_t bytes = kManagedKeyMapBytes) {
  return std::span<const uint8_t>(BuiltInDefaultKeyMap()).first(bytes);
}

// The slot whose default item belongs to a key.
size_t SlotOf(KeyCode code) {
  for (size_t s = 0; s < kKeyMapSlots; ++s) {
    if (SlotKey(Defaults(), s) == code) return s;
  }
  ADD_FAILURE() << "no slot for " << code;
  return 0;
}

std::vector<uint8_t> WithItem(KeyCode key, std::array<uint8_t, 3> item, size_t bytes = kManagedKeyMapBytes) {
  std::vector<uint8_t> image(Defaults(bytes).begin(), Defaults(bytes).end());
  std::copy(item.begin(), item.end(), image.begin() + static_cast<long>(SlotOf(key) * 3));
  return image;
}

struct DecodeCase {
  std::array<uint8_t, 3> item;
  uint16_t type;
  uint32_t value;
};

class DecodeKeyMapItems : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeKeyMapItems, GiveTheirAssignment) {
  RecordArray records;
  DecodeKeyMapImage(WithItem(0x01E, GetParam().item), Defaults(), records);
  EXPECT_EQ(records[KeyCodeToIndex(0x01E)].type, GetParam().type);
  EXPECT_EQ(records[KeyCodeToIndex(0x01E)].value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Items, DecodeKeyMapItems,
    ::testing::Values(DecodeCase{{0x02, 0x02, 0x04}, kAssignDefault, 0},  // its own default item
                      DecodeCase{{0x05, 0x01, 0x03}, kAssignMacro, 4}, DecodeCase{{0x05, 0x02, 0x00}, kAssignStopMacro, 0},
                      DecodeCase{{0x05, 0x05, 0x07}, kAssignFunction, 7}, DecodeCase{{0x05, 0x09, 0x00}, kAssignDisabled, 0},
                      DecodeCase{{0x03, 0xCD, 0x00}, kAssignMedia, 1},
                      DecodeCase{{0x03, 0xE9, 0x01}, kAssignDisabled, 0},  // a consumer usage no media key has
                      DecodeCase{{0x01, 0x01, 0x02}, kAssignKey, 0x172}, DecodeCase{{0x01, 0x05, 0xFF}, kAssignKey, 0x162},
                      DecodeCase{{0x01, 0x07, 0x00}, kAssignKey, 0}, DecodeCase{{0x02, 0x02, 0x05}, kAssignKey, 0x030},
                      DecodeCase{{0x02, 0x02, 0xF0}, kAssignDisabled, 0}, DecodeCase{{0x02, 0x01, 0x30}, kAssignKey, 0x11D},
                      DecodeCase{{0x00, 0x00, 0x00}, kAssignDisabled, 0}, DecodeCase{{0x04, 0x81, 0x00}, kAssignDisabled, 0}));

struct EncodeCase {
  KeyAssignment record;
  std::array<uint8_t, 3> item;
};

class EncodeKeyMapItems : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeKeyMapItems, WriteTheirItem) {
  RecordArray records;
  InitRecordArray(records);
  records[KeyCodeToIndex(0x01E)] = GetParam().record;
  MacroList macros(2);
  macros[0].id = 5;
  macros[1].id = 9;
  auto image = EncodeKeyMapImage(records, Defaults(), macros);
  const size_t at = SlotOf(0x01E) * 3;
  EXPECT_EQ((std::array<uint8_t, 3>{image[at], image[at + 1], image[at + 2]}), GetParam().item);
}

INSTANTIATE_TEST_SUITE_P(
    Records, EncodeKeyMapItems,
    ::testing::Values(EncodeCase{{kAssignDefault}, {0x02, 0x02, 0x04}}, EncodeCase{{kAssignLaunch, 0, 12}, {0x02, 0x02, 0x04}},
                      EncodeCase{{kAssignDisabled}, {0, 0, 0}}, EncodeCase{{kAssignText, 0, 4}, {0, 0, 0}},
                      EncodeCase{{kAssignKey, 0, 0x15E}, {0x02, 0x02, 0x00}},  // Power has no keyboard usage
                      EncodeCase{{kAssignKey, 0, 0x136}, {0x02, 0x02, 0xE5}}, EncodeCase{{kAssignKey, 0, 0x15C}, {0x02, 0x01, 0x80}},
                      EncodeCase{{kAssignKey, 0, 0x173}, {0x01, 0x01, 0x04}}, EncodeCase{{kAssignKey, 0, 0x161}, {0x01, 0x05, 0x01}},
                      EncodeCase{{kAssignMacro, 1, 9}, {0x05, 0x01, 0x01}},
                      EncodeCase{{kAssignMacro, 1, 77}, {0x05, 0x01, 0x00}},  // a macro that is gone
                      EncodeCase{{kAssignStopMacro}, {0x05, 0x02, 0x00}}, EncodeCase{{kAssignMedia, 0, 14}, {0x03, 0x21, 0x02}},
                      EncodeCase{{kAssignMedia, 0, 18}, {0x02, 0x02, 0x04}},  // no such media key: default
                      EncodeCase{{kAssignFunction, 0, 0x10A}, {0x05, 0x05, 0x0A}},
                      EncodeCase{{99, 0, 1}, {0x02, 0x02, 0x04}}));  // an unknown type keeps the default

TEST(KeyMapImage, TheSecondModelsLastBytesStayTheDefaults) {
  std::vector<uint8_t> defaults(Defaults(384).begin(), Defaults(384).end());
  for (size_t i = 378; i < 384; ++i) defaults[i] = static_cast<uint8_t>(0xA0 + i - 378);
  RecordArray records;
  InitRecordArray(records);
  for (KeyCode c : kFullSizeKeys) records[KeyCodeToIndex(c)] = {kAssignDisabled};
  auto image = EncodeKeyMapImage(records, defaults, {});
  ASSERT_EQ(image.size(), 384u);
  EXPECT_TRUE(std::equal(image.begin() + 378, image.end(), defaults.begin() + 378));
  // Short images and defaults are read only as far as they go.
  DecodeKeyMapImage(std::span(image).first(100), defaults, records);
  EXPECT_TRUE(EncodeKeyMapImage(records, std::span(defaults).first(10), {}).size() == 10);
}

TEST(KeyMapImage, RandomRecordsRoundTrip) {
  std::mt19937 rng(7);
  MacroList macros(20);
  for (size_t i = 0; i < macros.size(); ++i) macros[i].id = static_cast<uint16_t>(i + 1);
  const KeyCode produced[] = {0x01E, 0x02A, 0x15C, 0x171, 0x162, 0x137, 0x045, 0x11C, 0x029};
  for (int round = 0; round < 100; ++round) {
    RecordArray records;
    InitRecordArray(records);
    for (size_t s = 0; s < kKeyMapSlots; ++s) {
      KeyCode code = SlotKey(Defaults(), s);
      if (code == 0 || code == 0x00D) continue;  // two slots share "=" by default
      KeyAssignment& r = records[KeyCodeToIndex(code)];
      switch (rng() % 6) {
        case 0: r = {kAssignDisabled}; break;
        case 1: r = {kAssignKey, 0, produced[rng() % std::size(produced)]}; break;
        case 2: r = {kAssignMacro, 0, static_cast<uint32_t>(1 + rng() % 20)}; break;
        case 3: r = {kAssignMedia, 0, static_cast<uint32_t>(rng() % kMediaCount)}; break;
        case 4: r = {kAssignFunction, 0, static_cast<uint32_t>(rng() % kFunctionCount)}; break;
        default: break;
      }
      if (r.type == kAssignKey && r.value == code) r = {};  // a key producing itself is its default
    }
    RecordArray decoded;
    DecodeKeyMapImage(EncodeKeyMapImage(records, Defaults(), macros), Defaults(), decoded);
    EXPECT_EQ(decoded, records);
  }
}

class Descriptions : public ::testing::Test {
 protected:
  Descriptions() {
    dir_.Write("Lang0409.ini",
               "[TEXT]\nIDS_KEYBOARD_A=A\nIDS_KEYBOARD_B=B\nMEDIA_MUTE_8=Mute\nKEY_PROMPT_SET=: set\n"
               "KEY_PROMPT_SINGLE=\" to (\"\nKEY_PROMPT_MACRO=\" macro (\"\nKEY_PROMPT_MEDIA=\" media (\"\n"
               "KEY_PROMPT_FUNCTION=\" function (\"\nFUNC_KEY_DESC3=Profile 3\n");
  }
  std::string Describe(KeyCode code, KeyAssignment r, bool marked = true) {
    MacroList macros(1);
    macros[0].id = 4;
    macros[0].name = u"Dash ↑";
    auto d = DescribeAssignment(lang_, code, r, macros);
    EXPECT_EQ(d.marked, marked);
    return d.text;
  }
  test::TempDir dir_;
  RegistryKey registry_{dir_ / "registry.ini"};
  Localisation lang_{dir_.Path(), 0x0409};
};

TEST_F(Descriptions, NameTheAssignment) {
  EXPECT_EQ(Describe(0x01E, {}, false), "A");
  EXPECT_EQ(Describe(0x01E, {kAssignKey, 0, 0x030}), "A: set to (B)");
  EXPECT_EQ(Describe(0x01E, {kAssignMacro, 1, 4}), "A: set macro (Dash ↑)");
  EXPECT_EQ(Describe(0x01E, {kAssignMacro, 1, 5}), "A: set macro ()");
  EXPECT_EQ(Describe(0x01E, {kAssignMedia, 0, 7}), "A: set media (Mute)");
  EXPECT_EQ(Describe(0x01E, {kAssignFunction, 0, 2}), "A: set function (Profile 3)");
  EXPECT_EQ(Describe(0x01E, {kAssignDisabled}), "A: set");
  EXPECT_EQ(Describe(0x204, {kAssignStopMacro}), "G5: set");
}

TEST(ResetProfileAssignments, ClearsTheKeysAndTheFirstGKeysOfOneProfile) {
  ProfileData profile;
  BuildDefaultProfile(profile);
  for (auto& array : profile.block.arrays) array.fill({kAssignDisabled, 9, 9, 9, 9});
  ResetProfileAssignments(profile, 1, kFullSizeKeys);
  const RecordArray& reset = profile.block.arrays[1];
  EXPECT_EQ(reset[KeyCodeToIndex(0x01E)], KeyAssignment{});
  EXPECT_EQ(reset[KeyCodeToIndex(0x056)], KeyAssignment{});
  EXPECT_EQ(reset[256], KeyAssignment{});
  EXPECT_EQ(reset[264], KeyAssignment{});
  EXPECT_EQ(reset[265].type, kAssignDisabled);  // the second G-key set stays
  EXPECT_EQ(reset[KeyCodeToIndex(0x064)].type, kAssignDisabled);  // F13 is no key of this keyboard
  EXPECT_EQ(profile.block.arrays[0][KeyCodeToIndex(0x01E)].type, kAssignDisabled);
}

}  // namespace
}  // namespace keyloft

#include "model/macros.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "util/bytes.h"

namespace keyloft {
namespace {

MacroRecord Macro(std::u16string name, std::vector<MacroStep> steps, uint16_t id = 1, uint8_t cycles = 1) {
  MacroRecord m;
  m.name = std::move(name);
  m.steps = std::move(steps);
  m.id = id;
  m.cycles = cycles;
  return m;
}

TEST(MacroImage, AnEmptyListIsItsHeaderAlone) {
  auto image = BuildMacroImage({}, true);
  EXPECT_EQ(image, (std::vector<uint8_t>{0xAA, 0x55, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BuildMacroImage({}, false)[6], 0);
}

TEST(MacroImage, SizesWithAndWithoutNames) {
  MacroList list = {Macro(u"Go", {{0, 0x01E, kStepPress}, {0, 0x01E, kStepRelease}})};
  auto sizes = MacroImageSizes(list);
  EXPECT_EQ(sizes.withoutNames, 30u);
  EXPECT_EQ(sizes.withNames, 34u);
  auto image = BuildMacroImage(list, true);
  ASSERT_EQ(image.size(), 34u);
  EXPECT_EQ(GetU16(image, 16), 18);  // the block follows the one-entry offset table
  EXPECT_EQ(image[18 + 3], 2);      // its name length
  EXPECT_EQ(GetU16(image, 30), u'G');
  EXPECT_EQ(BuildMacroImage(list, false)[18 + 3], 0);
}

struct StepCase {
  MacroStep step;
  std::array<uint8_t, 4> bytes;
  MacroStep readBack;
};

class MacroSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(MacroSteps, EncodeAndDecode) {
  EXPECT_EQ(EncodeMacroStep(GetParam().step), GetParam().bytes);
  EXPECT_EQ(DecodeMacroStep(GetParam().bytes), GetParam().readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Words, MacroSteps,
    ::testing::Values(
        StepCase{{1234, 0x01D, kStepRelease}, {0x7B, 0x20, 0x01, 0x01}, {1230, 0x01D, kStepRelease}},  // left Ctrl
        StepCase{{1234, 0x01D, kStepPress}, {0x7B, 0xA0, 0x01, 0x01}, {1230, 0x01D, kStepPress}},
        StepCase{{0, 0x162, kStepPress}, {0x00, 0x90, 0x05, 0xFF}, {0, 0x162, kStepPress}},  // wheel down
        StepCase{{0, 0x162, kStepRelease}, {0x00, 0x10, 0x05, 0xFF}, {0, 0x162, kStepRelease}},
        // A pause under the 10 ms step is kept as the shortest, not dropped; longer ones are cut to the step.
        StepCase{{9, 0x01E, kStepPress}, {0x01, 0xA0, 0x02, 0x04}, {10, 0x01E, kStepPress}},
        StepCase{{19, 0x01E, kStepPress}, {0x01, 0xA0, 0x02, 0x04}, {10, 0x01E, kStepPress}},
        StepCase{{40000, 0x01E, kStepPress}, {0xA0, 0xAF, 0x02, 0x04}, {40000, 0x01E, kStepPress}},
        // Beyond what a word holds: clamped, never wrapped to a short pause.
        StepCase{{60000, 0x01E, kStepPress}, {0xFF, 0xAF, 0x02, 0x04}, {40950, 0x01E, kStepPress}},
        StepCase{{0, 0x171, kStepPress}, {0x00, 0x90, 0x01, 0x01}, {0, 0x171, kStepPress}},  // left button
        StepCase{{0, 0x15E, kStepPress}, {0x00, 0xC0, 0x81, 0x00}, {0, 0x15E, kStepPress}},  // Power
        // A media key goes as its consumer usage, as the key map has it.
        StepCase{{0, 0x122, kStepPress}, {0x00, 0xB0, 0xCD, 0x00}, {0, 0x122, kStepPress}},
        StepCase{{0, 0x054, kStepPress}, {0x00, 0x80, 0x00, 0x00}, {0, 0x000, kStepPress}},  // no usage
        // G-keys come only from the keyboard; they go back unchanged.
        StepCase{{0, 0x203, kStepPress}, {0x00, 0xE0, 0xA2, 0x04}, {0, 0x203, kStepPress}}));

TEST(DecodeMacroImage, NamesUnnamedMacrosAndNumbersThemByPosition) {
  MacroList list = {Macro(u"A", {{10, 0x01E, 0}}, 7), Macro(u"B", {}, 3), Macro(u"C", {{0, 0x030, 1}}, 9)};
  auto decoded = DecodeMacroImage(BuildMacroImage(list, false), u"Macro ");
  ASSERT_EQ(decoded.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(decoded[i].id, i + 1);
    EXPECT_EQ(decoded[i].name, u"Macro " + std::u16string(1, static_cast<char16_t>(u'1' + i)));
    EXPECT_EQ(decoded[i].steps, list[i].steps);
  }
}

TEST(DecodeMacroImage, WithoutTheMagicThereAreNoMacros) {
  auto image = BuildMacroImage({Macro(u"A", {})}, true);
  image[0] = 0xFF;
  EXPECT_TRUE(DecodeMacroImage(image, u"M").empty());
  EXPECT_TRUE(DecodeMacroImage(std::vector<uint8_t>(8, 0), u"M").empty());
}

// Images from a keyboard can say anything: nothing is read past them.
TEST(DecodeMacroImage, TakesWhatIsValidOfADamagedImage) {
  MacroList list = {Macro(u"One", {{0, 0x01E, 0}, {0, 0x01E, 1}}), Macro(u"Two", {{0, 0x030, 0}}, 2)};
  const auto good = BuildMacroImage(list, true);

  auto outside = good;
  PutU16(outside, 16, 0xFFF0);  // the first block lies far outside
  auto d = DecodeMacroImage(outside, u"M");
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].name, u"Two");
  EXPECT_EQ(d[0].id, 2);  // keys that name the second macro still find it

  auto manySteps = good;
  PutU16(manySteps, GetU16(good, 16), 5000);  // more steps than the image holds
  d = DecodeMacroImage(manySteps, u"M");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_LE(d[0].steps.size(), (good.size() - GetU16(good, 16) - 4) / 4);

  auto manyMacros = good;
  PutU16(manyMacros, 4, 1000);  // a count past the table
  EXPECT_LE(DecodeMacroImage(manyMacros, u"M").size(), kMaxMacros);

  auto truncated = std::vector<uint8_t>(good.begin(), good.end() - 3);  // the last name is cut short
  d = DecodeMacroImage(truncated, u"M");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_LE(d[1].name.size(), 3u);

  auto longName = good;
  longName[GetU16(good, 16) + 3] = 255;
  for (auto& m : DecodeMacroImage(longName, u"M")) EXPECT_LE(m.name.size(), kMaxMacroNameChars);
}

TEST(MacroList, IdentifiersAndPositions) {
  MacroList list = {Macro(u"A", {}, 3), Macro(u"B", {}, 1), Macro(u"C", {}, 2)};
  EXPECT_EQ(FindMacroPosition(list, 1), 1);
  EXPECT_EQ(FindMacroPosition(list, 42), 0);  // unknown: the first position
  EXPECT_EQ(MacroIdAt(list, 2), 2);
  EXPECT_EQ(MacroIdAt(list, -1), 0);
  EXPECT_EQ(MacroIdAt(list, 3), 0);
  EXPECT_EQ(NextFreeMacroId(list), 4);
  list.erase(list.begin() + 1);
  EXPECT_EQ(NextFreeMacroId(list), 1);
  MacroList full;
  for (uint16_t id = 1; id <= 100; ++id) full.push_back(Macro(u"x", {}, id));
  EXPECT_EQ(NextFreeMacroId(full), 0);
}

TEST(MacroRecordBytes, RoundTripAndLayout) {
  MacroRecord m = Macro(u"Fire ↑", {{40000, 0x162, kStepPress}, {5, 0x200, kStepRelease}}, 42, 3);
  m.playMode = 2;
  m.pending = 1;
  std::vector<uint8_t> bytes(kMacroRecordBytes, 0xEE);
  WriteMacroRecord(m, std::span<uint8_t, kMacroRecordBytes>(bytes.data(), kMacroRecordBytes));
  EXPECT_EQ(GetU16(bytes, 0), u'F');
  EXPECT_EQ(GetU16(bytes, 12), 0);  // the terminator
  EXPECT_EQ(bytes[500], 3);        // cycles
  EXPECT_EQ(GetU16(bytes, 506), 42);
  EXPECT_EQ(GetU16(bytes, 508), 2);  // step count
  EXPECT_EQ(GetU32(bytes, 512), 40000u);
  EXPECT_EQ(GetU16(bytes, 520 + 4), 0x200);
  EXPECT_EQ(bytes.back(), 0);
  EXPECT_EQ(ReadMacroRecord(std::span<const uint8_t, kMacroRecordBytes>(bytes.data(), kMacroRecordBytes)), m);

  PutU16(bytes, 508, 9999);  // a damaged count is cut to the limit
  EXPECT_EQ(ReadMacroRecord(std::span<const uint8_t, kMacroRecordBytes>(bytes.data(), kMacroRecordBytes)).steps.size(),
            kMaxMacroSteps);
}

// Random valid lists survive the image, names and all.
TEST(MacroImage, RandomListsRoundTrip) {
  std::mt19937 rng(20261210);
  std::vector<KeyCode> keys;
  for (uint16_t i = 0; i < kKeyTableRows; ++i) {
    KeyCode c = IndexToKeyCode(i);
    if (c != 0 && DecodeMacroStep(EncodeMacroStep({0, c, 0})).key == c) keys.push_back(c);
  }
  ASSERT_GT(keys.size(), 100u);
  for (int round = 0; round < 200; ++round) {
    MacroList list(rng() % 8);
    for (size_t i = 0; i < list.size(); ++i) {
      list[i].id = static_cast<uint16_t>(i + 1);
      list[i].cycles = static_cast<uint8_t>(rng());
      list[i].name = std::u16string(1 + rng() % 20, static_cast<char16_t>(u'a' + rng() % 26));
      list[i].steps.resize(rng() % 30);
      for (auto& s : list[i].steps) {
        s = {static_cast<uint32_t>(rng() % 4096) * 10, keys[rng() % keys.size()], static_cast<uint16_t>(rng() % 2)};
      }
    }
    EXPECT_EQ(DecodeMacroImage(BuildMacroImage(list, true), u"M"), list);
  }
}

}  // namespace
}  // namespace keyloft

namespace keyloft {
namespace {

// Two macros with names: header 16, table 4, "Go" at 20 (4 + 2 × 4 + 4 = 16 bytes), "Hop" at 36.
MacroList TwoNamedMacros() {
  return {Macro(u"Go", {{10, 0x01E, kStepPress}, {0, 0x01E, kStepRelease}}, 1),
          Macro(u"Hop", {{0, 0x030, kStepPress}, {0, 0x030, kStepRelease}}, 2)};
}

TEST(MacroImageDamage, WhatAWriteLeavesHoldsTogether) {
  EXPECT_EQ(MacroImageDamage(BuildMacroImage({}, true)), "");
  EXPECT_EQ(MacroImageDamage(BuildMacroImage(TwoNamedMacros(), true)), "");
  EXPECT_EQ(MacroImageDamage(BuildMacroImage(TwoNamedMacros(), false)), "");
  MacroList wide = {Macro(u"Grüße \U0001F600", std::vector<MacroStep>(4000, {10, 0x01E, kStepPress}))};
  EXPECT_EQ(MacroImageDamage(BuildMacroImage(wide, true)), "");
}

struct ImageDamageCase {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* found;
};

class MacroImageDamages : public ::testing::TestWithParam<ImageDamageCase> {};

TEST_P(MacroImageDamages, AreFound) {
  std::vector<uint8_t> image = BuildMacroImage(TwoNamedMacros(), true);
  ASSERT_EQ(image.size(), 54u);
  GetParam().damage(image);
  EXPECT_NE(MacroImageDamage(image).find(GetParam().found), std::string::npos) << MacroImageDamage(image);
}

INSTANTIATE_TEST_SUITE_P(
    Images, MacroImageDamages,
    ::testing::Values(
        ImageDamageCase{"SizeNotWhatWasRead", [](auto& b) { PutU16(b, 2, 60); }, "declares 60"},
        ImageDamageCase{"TooManyMacros", [](auto& b) { PutU16(b, 4, 101); }, "claims 101 macros"},
        ImageDamageCase{"NamesFlag", [](auto& b) { PutU16(b, 6, 2); }, "names flag"},
        ImageDamageCase{"BlockMoved", [](auto& b) { PutU16(b, 18, 38); }, "macro 2: it does not start"},
        ImageDamageCase{"MoreSteps", [](auto& b) { PutU16(b, 20, 3); }, "macro 1"},
        ImageDamageCase{"StepsPastTheEnd", [](auto& b) { PutU16(b, 36, 5); }, "macro 2: it runs past"},
        ImageDamageCase{"NamedWithoutNames", [](auto& b) { PutU16(b, 6, 0); }, "macro 1: it has a name"},
        ImageDamageCase{"NameNotText", [](auto& b) { PutU16(b, 32, 0x0003); }, "macro 1: its name is not text"},
        ImageDamageCase{"LoneSurrogate", [](auto& b) { PutU16(b, 48, 0xDC00); }, "macro 2: its name is not text"},
        ImageDamageCase{"BytesAfterTheLast", [](auto& b) { b.push_back(0); PutU16(b, 2, 55); }, "1 bytes follow"},
        // The realistic one: a longer new image written over an old one, cut short after 24 bytes.
        ImageDamageCase{"ATornWrite",
                        [](auto& b) {
                          MacroList longer = TwoNamedMacros();
                          longer[0].steps.resize(6, {10, 0x01F, kStepPress});
                          const std::vector<uint8_t> newer = BuildMacroImage(longer, true);
                          std::vector<uint8_t> torn(newer.begin(), newer.begin() + 24);
                          torn.insert(torn.end(), b.begin() + 24, b.end());
                          torn.resize(newer.size(), 0);
                          b = torn;
                        },
                        "macro 2"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace keyloft

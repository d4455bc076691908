#include "emu/firmware.h"

#include <gtest/gtest.h>

#include <numeric>

#include "emu_test_support.h"
#include "model/default_key_map.h"

namespace keyloft::emu {
namespace {

using test::Bytes;
using test::CommandReport;

struct Exchange {
  uint8_t status;
  Bytes payload;  // bytes 8..63 of the reply
};

Exchange Send(Firmware& fw, std::span<const uint8_t> report) {
  auto reply = fw.HandleCommand(report).report;
  return {reply[7], Bytes(reply.begin() + 8, reply.end())};
}

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

Bytes Slice(std::span<const uint8_t> area, size_t at, size_t n) { return Bytes(area.begin() + at, area.begin() + at + n); }

Firmware Fresh(int model = 1, int macroBlocks = kDefaultMacroBlocks) { return Firmware(*FindModel(model), macroBlocks); }

// --- the fresh keyboard ---

class FreshKeyboard : public ::testing::TestWithParam<int> {};

TEST_P(FreshKeyboard, HoldsTheFactoryMemory) {
  const ModelSpec& model = *FindModel(GetParam());
  Firmware fw(model, 8);

  auto info = fw.Info();
  EXPECT_EQ(info[10], 0);  // profile 1 active
  EXPECT_EQ(info[11], 8);  // macro blocks
  Bytes effects = Slice(info, 12, 32);
  Bytes expectedEffects = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20};
  expectedEffects.resize(32, 0);
  EXPECT_EQ(effects, expectedEffects);

  Bytes block = {0x01, 0x04, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  block.resize(kLightingBlockBytes, 0);
  for (size_t p = 0; p < 3; ++p) EXPECT_EQ(Slice(fw.Params(), p * 42, 42), block) << "profile " << p;

  const auto& factory = BuiltInDefaultKeyMap();
  Bytes defaultMap(factory.begin(), factory.begin() + model.keyMapBytes);
  EXPECT_EQ(Bytes(fw.DefaultKeyMap().begin(), fw.DefaultKeyMap().end()), defaultMap);
  ASSERT_EQ(fw.KeyMaps().size(), 3 * model.keyMapStride);
  for (size_t p = 0; p < 3; ++p) {
    EXPECT_EQ(Slice(fw.KeyMaps(), p * model.keyMapStride, model.keyMapBytes), defaultMap) << "profile " << p;
    Bytes gap = Slice(fw.KeyMaps(), p * model.keyMapStride + model.keyMapBytes, model.keyMapStride - model.keyMapBytes);
    EXPECT_EQ(gap, Bytes(gap.size(), 0));
  }

  ASSERT_EQ(fw.Macros().size(), 8u * 128);
  EXPECT_FALSE(fw.Macros()[0] == 0xAA && fw.Macros()[1] == 0x55) << "a fresh macro area must hold no image";
  EXPECT_EQ(Bytes(fw.KeyColours().begin(), fw.KeyColours().end()), Bytes(1536, 0));
  EXPECT_FALSE(fw.BracketOpen());
}

INSTANTIATE_TEST_SUITE_P(BothModels, FreshKeyboard, ::testing::Values(1, 2));

// --- accepted commands ---

TEST(CommandReply, EchoesTheRequestAndCarriesAValidChecksum) {
  Firmware fw = Fresh();
  Bytes request = CommandReport(CMD_READ_KEYMAP, 56, 0x017A);
  auto reply = fw.HandleCommand(request).report;
  EXPECT_EQ(reply[0], 4);
  EXPECT_EQ(reply[3], CMD_READ_KEYMAP);
  EXPECT_EQ(reply[4], 56);
  EXPECT_EQ(reply[5], 0x7A);
  EXPECT_EQ(reply[6], 0x01);
  EXPECT_EQ(reply[7], kStatusAccepted);
  unsigned sum = std::accumulate(reply.begin() + 3, reply.end(), 0u);
  EXPECT_EQ(reply[1], sum & 0xFF);
  EXPECT_EQ(reply[2], (sum >> 8) & 0xFF);
}

TEST(InfoBlock, ReadsWholeAndWritesAllButTheKeyboardsOwnBytes) {
  Firmware fw = Fresh();
  // The host's read: 04 2F 00 03 2C 00 00 00 ...
  Bytes read = CommandReport(CMD_READ_INFO, 44);
  ASSERT_EQ(read[1], 0x2F);
  Exchange r = Send(fw, read);
  ASSERT_EQ(r.status, kStatusAccepted);
  EXPECT_EQ(Slice(r.payload, 0, 44), Bytes(fw.Info().begin(), fw.Info().end()));
  EXPECT_EQ(Slice(r.payload, 44, 12), Bytes(12, 0));

  Bytes sent = Pattern(44, 0x30);
  sent[10] = 2;
  ASSERT_EQ(Send(fw, CommandReport(CMD_WRITE_INFO, 44, 0, sent)).status, kStatusAccepted);  // needs no bracket
  Bytes expected = Slice(sent, 0, 11);
  Bytes before = Slice(r.payload, 11, 33);
  expected.insert(expected.end(), before.begin(), before.end());
  EXPECT_EQ(Bytes(fw.Info().begin(), fw.Info().end()), expected);
  EXPECT_EQ(fw.ActiveProfile(), 2);
}

TEST(Params, WriteInsideABracketThenReadBack) {
  Firmware fw = Fresh();
  // The connection's trigger-style write: 04 1B 00 06 01 13 00 00 01
  Bytes write = CommandReport(CMD_WRITE_PARAMS, 1, 19, Bytes{0x01});
  ASSERT_EQ(write[1], 0x1B);
  EXPECT_EQ(Send(fw, CommandReport(CMD_BEGIN)).status, kStatusAccepted);
  EXPECT_EQ(Send(fw, write).status, kStatusAccepted);
  EXPECT_EQ(Send(fw, CommandReport(CMD_END)).status, kStatusAccepted);

  Exchange r = Send(fw, CommandReport(CMD_READ_PARAMS, 20, 0));
  ASSERT_EQ(r.status, kStatusAccepted);
  EXPECT_EQ(r.payload[19], 0x01);
  EXPECT_EQ(Slice(r.payload, 0, 4), (Bytes{0x01, 0x04, 0x03, 0x00}));
  EXPECT_EQ(Slice(r.payload, 20, 36), Bytes(36, 0)) << "only `length` bytes are read";
}

TEST(Params, TheLastBlockReadsAsAWholeReportWithZerosPastTheEnd) {
  Firmware fw = Fresh();
  Send(fw, CommandReport(CMD_BEGIN));
  Send(fw, CommandReport(CMD_WRITE_PARAMS, 42, 84, Bytes(42, 0xAB)));
  Exchange r = Send(fw, CommandReport(CMD_READ_PARAMS, 56, 84));
  ASSERT_EQ(r.status, kStatusAccepted);
  EXPECT_EQ(Slice(r.payload, 0, 42), Bytes(42, 0xAB));
  EXPECT_EQ(Slice(r.payload, 42, 14), Bytes(14, 0));
}

struct KeyMapCase {
  int model;
  int profile;
};

class KeyMapChunks : public ::testing::TestWithParam<KeyMapCase> {};

// The host moves a profile's key-map in 56-byte chunks at profile × stride + k.
TEST_P(KeyMapChunks, WriteAndReadOneProfileAtItsStride) {
  const auto [modelNumber, profile] = GetParam();
  const ModelSpec& model = *FindModel(modelNumber);
  Firmware fw(model, kDefaultMacroBlocks);
  Bytes original(fw.KeyMaps().begin(), fw.KeyMaps().end());
  Bytes image = Pattern(model.keyMapBytes, 0x11);
  const size_t base = static_cast<size_t>(profile) * model.keyMapStride;

  Send(fw, CommandReport(CMD_BEGIN));
  for (size_t k = 0; k < image.size(); k += 56) {
    size_t n = std::min<size_t>(56, image.size() - k);
    Bytes chunk = Slice(image, k, n);
    ASSERT_EQ(Send(fw, CommandReport(CMD_WRITE_KEYMAP, static_cast<uint8_t>(n), static_cast<uint16_t>(base + k), chunk)).status,
              kStatusAccepted)
        << "chunk at " << k;
  }
  Send(fw, CommandReport(CMD_END));

  Bytes readBack;
  for (size_t k = 0; k < image.size(); k += 56) {
    size_t n = std::min<size_t>(56, image.size() - k);
    Exchange r = Send(fw, CommandReport(CMD_READ_KEYMAP, static_cast<uint8_t>(n), static_cast<uint16_t>(base + k)));
    ASSERT_EQ(r.status, kStatusAccepted);
    readBack.insert(readBack.end(), r.payload.begin(), r.payload.begin() + static_cast<long>(n));
  }
  EXPECT_EQ(readBack, image);

  Bytes expected = original;
  std::copy(image.begin(), image.end(), expected.begin() + static_cast<long>(base));
  EXPECT_EQ(Bytes(fw.KeyMaps().begin(), fw.KeyMaps().end()), expected) << "other profiles and the stride gap stay";
}

INSTANTIATE_TEST_SUITE_P(BothModels, KeyMapChunks,
                         ::testing::Values(KeyMapCase{1, 0}, KeyMapCase{1, 1}, KeyMapCase{1, 2}, KeyMapCase{2, 1},
                                           KeyMapCase{2, 2}));

TEST(DefaultKeyMap, ReadsInChunksUpToTheModelsLength) {
  for (int modelNumber : {1, 2}) {
    const ModelSpec& model = *FindModel(modelNumber);
    Firmware fw(model, kDefaultMacroBlocks);
    Bytes read;
    for (size_t k = 0; k < model.keyMapBytes; k += 56) {
      size_t n = std::min<size_t>(56, model.keyMapBytes - k);
      Exchange r = Send(fw, CommandReport(CMD_READ_DEFAULT_KEYMAP, static_cast<uint8_t>(n), static_cast<uint16_t>(k)));
      ASSERT_EQ(r.status, kStatusAccepted);
      read.insert(read.end(), r.payload.begin(), r.payload.begin() + static_cast<long>(n));
    }
    const auto& factory = BuiltInDefaultKeyMap();
    EXPECT_EQ(read, Bytes(factory.begin(), factory.begin() + static_cast<long>(model.keyMapBytes))) << "model " << modelNumber;
    EXPECT_EQ(Send(fw, CommandReport(CMD_READ_DEFAULT_KEYMAP, 6, static_cast<uint16_t>(model.keyMapBytes))).status,
              kStatusRefused);
  }
}

TEST(Macros, TheWholeCapacityIsWritableAndNothingBeyond) {
  Firmware fw = Fresh(1, 2);  // 256 bytes
  Bytes header = {0xAA, 0x55, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00};
  Send(fw, CommandReport(CMD_BEGIN));
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_MACROS, 8, 0, header)).status, kStatusAccepted);
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_MACROS, 56, 200, Bytes(56, 0x42))).status, kStatusAccepted);
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_MACROS, 56, 201, Bytes(56, 0x43))).status, kStatusRefused);
  Send(fw, CommandReport(CMD_END));

  Exchange r = Send(fw, CommandReport(CMD_READ_MACROS, 16, 0));
  ASSERT_EQ(r.status, kStatusAccepted);
  EXPECT_EQ(Slice(r.payload, 0, 8), header);
  EXPECT_EQ(Slice(fw.Macros(), 200, 56), Bytes(56, 0x42));
}

TEST(KeyColours, LandAtProfileTimes512PlusSlotTimesThree) {
  Firmware fw = Fresh();
  Bytes colours = Pattern(54, 0x01);
  Send(fw, CommandReport(CMD_BEGIN));
  // 54 bytes from slot 18 of profile 1: offset 0x0236.
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_KEY_COLOURS, 54, 0x0236, colours)).status, kStatusAccepted);
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_KEY_COLOURS, 3, 1533, Bytes{1, 2, 3})).status, kStatusAccepted);
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_KEY_COLOURS, 3, 1534, Bytes{1, 2, 3})).status, kStatusRefused);
  Send(fw, CommandReport(CMD_END));
  EXPECT_EQ(Slice(fw.KeyColours(), 0x0236, 54), colours);
  EXPECT_EQ(Slice(fw.KeyColours(), 0x0236 - 1, 1), Bytes{0});
  EXPECT_EQ(Slice(fw.KeyColours(), 1533, 3), (Bytes{1, 2, 3}));
}

TEST(Bracket, EndWithoutBeginIsAcceptedAndClosesWrites) {
  Firmware fw = Fresh();
  EXPECT_EQ(Send(fw, CommandReport(CMD_END)).status, kStatusAccepted);
  Send(fw, CommandReport(CMD_BEGIN));
  Send(fw, CommandReport(CMD_BEGIN));  // the connection sequence opens twice
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_PARAMS, 1, 1, Bytes{2})).status, kStatusAccepted);
  Send(fw, CommandReport(CMD_END));
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_PARAMS, 1, 1, Bytes{3})).status, kStatusRefused);
  EXPECT_EQ(fw.Params()[1], 2);
}

// --- refusals ---

struct RefusalCase {
  const char* name;
  bool inBracket;
  Bytes report;
  uint8_t status;
};

Bytes WithByte(Bytes report, size_t at, uint8_t value) {
  report[at] = value;
  return report;
}

Bytes Resized(Bytes report, size_t n) {
  report.resize(n, 0);
  return report;
}

Bytes WriteInfoWithProfile(uint8_t profile) {
  Firmware fw = Fresh();
  Bytes info(fw.Info().begin(), fw.Info().end());
  info[10] = profile;
  return CommandReport(CMD_WRITE_INFO, 44, 0, info);
}

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, AnswerWithTheStatusAndChangeNothing) {
  const RefusalCase& c = GetParam();
  Firmware fw = Fresh();
  if (c.inBracket) Send(fw, CommandReport(CMD_BEGIN));
  const std::string before = fw.ToJson();
  Exchange r = Send(fw, c.report);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.payload, Bytes(56, 0)) << "a refusal carries no data";
  EXPECT_EQ(fw.ToJson(), before);
}

INSTANTIATE_TEST_SUITE_P(
    AllFaults, Refusals,
    ::testing::Values(
        RefusalCase{"BadChecksum", true, WithByte(CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{9}), 1, 0x00), 0xFE},
        RefusalCase{"ChecksumOverAlteredPayload", true, WithByte(CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{9}), 8, 7), 0xFE},
        RefusalCase{"ShortReport", true, Resized(CommandReport(CMD_READ_INFO, 44), 63), 0xFE},
        RefusalCase{"LongReport", true, Resized(CommandReport(CMD_READ_INFO, 44), 65), 0xFE},
        RefusalCase{"EmptyReport", true, Bytes{}, 0xFE},
        RefusalCase{"OneByte", true, Bytes{4}, 0xFE},
        RefusalCase{"OtherReportId", true, WithByte(CommandReport(CMD_READ_INFO, 44), 0, 3), 0xFE},
        RefusalCase{"LengthAbove56", true, CommandReport(CMD_READ_PARAMS, 57, 0), 0xFE},
        RefusalCase{"UnknownCommand0B", true, CommandReport(0x0B), 0xFF},
        RefusalCase{"UnknownCommand10", true, CommandReport(0x10), 0xFF},
        RefusalCase{"UnknownCommand00", true, CommandReport(0x00), 0xFF},
        RefusalCase{"UnknownCommand12", true, CommandReport(0x12), 0xFF},
        RefusalCase{"ReadKeyMapPastTheArea", false, CommandReport(CMD_READ_KEYMAP, 56, 3 * 378), 0xFF},
        RefusalCase{"ReadParamsPastTheArea", false, CommandReport(CMD_READ_PARAMS, 1, 126), 0xFF},
        RefusalCase{"ReadMacrosPastTheArea", false, CommandReport(CMD_READ_MACROS, 8, 64 * 128), 0xFF},
        RefusalCase{"WriteParamsCrossingTheEnd", true, CommandReport(CMD_WRITE_PARAMS, 2, 125, Bytes{1, 2}), 0xFF},
        RefusalCase{"WriteKeyMapCrossingTheEnd", true, CommandReport(CMD_WRITE_KEYMAP, 8, 3 * 378 - 4, Bytes(8, 1)), 0xFF},
        RefusalCase{"WriteParamsOutsideBracket", false, CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{9}), 0xFF},
        RefusalCase{"WriteKeyMapOutsideBracket", false, CommandReport(CMD_WRITE_KEYMAP, 3, 0, Bytes{1, 2, 3}), 0xFF},
        RefusalCase{"WriteMacrosOutsideBracket", false, CommandReport(CMD_WRITE_MACROS, 2, 0, Bytes{0xAA, 0x55}), 0xFF},
        RefusalCase{"WriteKeyColoursOutsideBracket", false, CommandReport(CMD_WRITE_KEY_COLOURS, 3, 0, Bytes{1, 2, 3}), 0xFF},
        RefusalCase{"ActiveProfile3", false, WriteInfoWithProfile(3), 0xFF},
        RefusalCase{"ActiveProfile255", false, WriteInfoWithProfile(255), 0xFF}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(ForcedStatus, AnswersEveryCommandWithItAndCarriesNoneOut) {
  for (uint8_t status : {kStatusRefused, kStatusBadReport}) {
    Firmware fw = Fresh();
    fw.SetForcedStatus(status);
    EXPECT_EQ(Send(fw, CommandReport(CMD_BEGIN)).status, status);
    EXPECT_FALSE(fw.BracketOpen());
    EXPECT_EQ(Send(fw, CommandReport(CMD_READ_INFO, 44)).status, status);
    fw.SetForcedStatus(0);
    EXPECT_EQ(Send(fw, CommandReport(CMD_BEGIN)).status, kStatusAccepted);
  }
}

TEST(RefuseAfter, RefusesThatOneCommandAndCarriesItNotOut) {
  Firmware fw = Fresh();
  fw.RefuseAfter(2);
  EXPECT_EQ(Send(fw, CommandReport(CMD_BEGIN)).status, kStatusAccepted);
  const std::string before = fw.ToJson();
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_KEYMAP, 3, 0, Bytes{1, 2, 3})).status, kStatusRefused);
  EXPECT_EQ(fw.ToJson(), before);
  EXPECT_EQ(Send(fw, CommandReport(CMD_WRITE_KEYMAP, 3, 0, Bytes{1, 2, 3})).status, kStatusAccepted);
  EXPECT_NE(fw.ToJson(), before);
}

// --- on the keyboard itself ---

TEST(OnTheKeyboard, LightingStepsThroughTheSupportedEffectsOfTheActiveProfile) {
  Firmware fw = Fresh();
  fw.SelectProfile(1);
  Send(fw, CommandReport(CMD_BEGIN));
  Send(fw, CommandReport(CMD_WRITE_PARAMS, 1, 42, Bytes{18}));
  Send(fw, CommandReport(CMD_END));
  std::vector<int> seen;
  for (int i = 0; i < 3; ++i) {
    fw.StepLighting();
    seen.push_back(fw.Params()[42]);
  }
  EXPECT_EQ(seen, (std::vector<int>{20, 1, 2})) << "19 is skipped, and the list wraps";
  EXPECT_EQ(fw.Params()[0], 1) << "other profiles keep their effect";
}

TEST(OnTheKeyboard, FactoryResetRestoresFreshMemoryButKeepsTheCapacity) {
  Firmware fw = Fresh(2, 5);
  fw.SelectProfile(2);
  Send(fw, CommandReport(CMD_BEGIN));
  Send(fw, CommandReport(CMD_WRITE_KEYMAP, 3, 512, Bytes{0, 0, 0}));
  Send(fw, CommandReport(CMD_WRITE_KEY_COLOURS, 3, 0, Bytes{9, 9, 9}));
  Send(fw, CommandReport(CMD_END));
  fw.MarkSaved();
  fw.FactoryReset();
  EXPECT_EQ(fw.ToJson(), Fresh(2, 5).ToJson());
  EXPECT_TRUE(fw.Dirty());
}

TEST(Persistence, OnlyChangedMemoryIsDirtyAndEndIsAPersistPoint) {
  Firmware fw = Fresh();
  EXPECT_FALSE(fw.HandleCommand(CommandReport(CMD_BEGIN)).persistPoint);
  fw.HandleCommand(CommandReport(CMD_READ_PARAMS, 56, 0));
  EXPECT_TRUE(fw.HandleCommand(CommandReport(CMD_END)).persistPoint);
  EXPECT_FALSE(fw.Dirty()) << "a bracket of reads changes nothing";

  fw.HandleCommand(CommandReport(CMD_BEGIN));
  fw.HandleCommand(CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{1}));  // the value it already holds
  EXPECT_FALSE(fw.Dirty());
  fw.HandleCommand(CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{2}));
  EXPECT_TRUE(fw.Dirty());

  fw.MarkSaved();
  Bytes info(fw.Info().begin(), fw.Info().end());
  info[10] = 1;
  EXPECT_TRUE(fw.HandleCommand(CommandReport(CMD_WRITE_INFO, 44, 0, info)).persistPoint);
  EXPECT_TRUE(fw.Dirty());
}

// --- the state file ---

Firmware Used(int model) {
  Firmware fw = Fresh(model, 3);
  fw.SelectProfile(2);
  Send(fw, CommandReport(CMD_BEGIN));
  Send(fw, CommandReport(CMD_WRITE_PARAMS, 56, 10, Pattern(56, 1)));
  Send(fw, CommandReport(CMD_WRITE_KEYMAP, 56, static_cast<uint16_t>(3 * FindModel(model)->keyMapStride - 56), Pattern(56, 2)));
  Send(fw, CommandReport(CMD_WRITE_MACROS, 56, 0, Pattern(56, 3)));
  Send(fw, CommandReport(CMD_WRITE_KEY_COLOURS, 56, 1480, Pattern(56, 4)));
  Send(fw, CommandReport(CMD_END));
  return fw;
}

TEST(StateFile, RoundTripsEveryArea) {
  for (int model : {1, 2}) {
    Firmware fw = Used(model);
    std::string json = fw.ToJson();
    std::string error;
    auto loaded = Firmware::FromJson(json, std::nullopt, std::nullopt, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->ToJson(), json);
    EXPECT_EQ(loaded->Model().number, model);
    EXPECT_EQ(loaded->MacroBlocks(), 3);
    EXPECT_EQ(loaded->ActiveProfile(), 2);
    EXPECT_FALSE(loaded->Dirty());
    EXPECT_NE(json.find("\"active_profile\": 2"), std::string::npos) << json;
  }
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct CorruptCase {
  const char* name;
  std::string json;
  std::string reason;  // a piece of the message
};

class CorruptState : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptState, IsRejectedWithAReason) {
  std::string error;
  EXPECT_FALSE(Firmware::FromJson(GetParam().json, std::nullopt, std::nullopt, error));
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

const std::string kGood = Used(1).ToJson();

INSTANTIATE_TEST_SUITE_P(
    Faults, CorruptState,
    ::testing::Values(
        CorruptCase{"Empty", "", "expected '{'"},
        CorruptCase{"Truncated", kGood.substr(0, kGood.size() / 2), "at character"},
        CorruptCase{"TextAfter", kGood + "x", "text after"},
        CorruptCase{"UnknownMember", Replace(kGood, "\"model\"", "\"modle\""), "unknown member"},
        CorruptCase{"MissingMember", Replace(kGood, "\"active_profile\": 2,", ""), "\"active_profile\" missing"},
        CorruptCase{"DuplicateMember", Replace(kGood, "\"model\": 1,", "\"model\": 1, \"model\": 1,"), "twice"},
        CorruptCase{"NumberAsString", Replace(kGood, "\"model\": 1", "\"model\": \"1\""), "must be a number"},
        CorruptCase{"NegativeNumber", Replace(kGood, "\"model\": 1", "\"model\": -1"), "expected a string or a whole number"},
        CorruptCase{"UnknownModel", Replace(kGood, "\"model\": 1", "\"model\": 3"), "not 1 or 2"},
        CorruptCase{"ZeroMacroBlocks", Replace(kGood, "\"macro_blocks\": 3", "\"macro_blocks\": 0"), "not 1..255"},
        CorruptCase{"ShortArea", Replace(kGood, "\"info\": \"01", "\"info\": \""), "\"info\" must be 44 bytes"},
        CorruptCase{"NotHex", Replace(kGood, "\"params\": \"0", "\"params\": \"g"), "\"params\" must be"},
        CorruptCase{"MacrosOfAnotherCapacity", Replace(kGood, "\"macro_blocks\": 3", "\"macro_blocks\": 4"), "\"macros\" must be"},
        CorruptCase{"ProfileDisagreesWithInfo", Replace(kGood, "\"active_profile\": 2", "\"active_profile\": 1"),
                    "does not match"},
        CorruptCase{"EscapedString", Replace(kGood, "\"info\": \"", "\"info\": \"\\u0030"), "bad string"}),
    [](const ::testing::TestParamInfo<CorruptCase>& info) { return std::string(info.param.name); });

TEST(StateFile, AnExplicitModelOrCapacityMustMatchTheFile) {
  std::string json = Used(2).ToJson();
  std::string error;
  EXPECT_FALSE(Firmware::FromJson(json, 1, std::nullopt, error));
  EXPECT_NE(error.find("model 2"), std::string::npos) << error;
  EXPECT_FALSE(Firmware::FromJson(json, std::nullopt, 64, error));
  EXPECT_NE(error.find("3 macro blocks"), std::string::npos) << error;
  EXPECT_TRUE(Firmware::FromJson(json, 2, 3, error)) << error;
}

}  // namespace
}  // namespace keyloft::emu

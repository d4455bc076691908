#include "sync/lighting_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <set>

#include "device_fixture.h"
#include "lang/localisation.h"
#include "model/keyboard_model.h"
#include "sync/lighting_view.h"
#include "sync/scheme_store.h"
#include "store/registry.h"
#include "store/settings.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using test::TempDir;
using test::VirtualKeyboard;

// A command as the keyboard received it: the data only for writes.
struct Sent {
  uint8_t command = 0;
  uint8_t length = 0;
  uint16_t offset = 0;
  std::vector<uint8_t> data;

  friend bool operator==(const Sent&, const Sent&) = default;
  friend void PrintTo(const Sent& s, std::ostream* os) {
    *os << "cmd " << int(s.command) << " len " << int(s.length) << " at 0x" << std::hex << s.offset;
    for (uint8_t b : s.data) *os << ' ' << int(b);
    *os << std::dec;
  }
};

Sent Begin() { return {CMD_BEGIN, 0, 0, {}}; }
Sent End() { return {CMD_END, 0, 0, {}}; }
Sent ReadInfo() { return {CMD_READ_INFO, 44, 0, {}}; }
Sent ReadParams(uint16_t offset) { return {CMD_READ_PARAMS, 56, offset, {}}; }
Sent WriteParams(uint16_t offset, std::vector<uint8_t> data) {
  return {CMD_WRITE_PARAMS, static_cast<uint8_t>(data.size()), offset, std::move(data)};
}
Sent KeyColours(uint16_t offset, std::span<const uint8_t> data) {
  return {CMD_WRITE_KEY_COLOURS, static_cast<uint8_t>(data.size()), offset, {data.begin(), data.end()}};
}

// begin, the eight 54-byte chunks of a profile's image, end.
std::vector<Sent> UploadBracket(const KeyColourMirror& mirror, int profile) {
  std::vector<Sent> sent{Begin()};
  for (int k = 0; k < 8; ++k)
    sent.push_back(KeyColours(static_cast<uint16_t>(profile * 512 + 54 * k), mirror.Image(profile).subspan(54 * k, 54)));
  sent.push_back(End());
  return sent;
}

std::vector<Sent> Concat(std::initializer_list<std::vector<Sent>> parts) {
  std::vector<Sent> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

class RecordingView : public LightingView {
 public:
  explicit RecordingView(std::vector<std::string>& log) : log_(log) {}
  void RefreshPanel() override { log_.push_back("RefreshPanel"); }
  void BlankKeyColours() override { log_.push_back("BlankKeyColours"); }
  void LayDirectionArrows(int mode) override { log_.push_back("LayDirectionArrows " + std::to_string(mode)); }
  void ShowEffectControls(int mode) override { log_.push_back("ShowEffectControls " + std::to_string(mode)); }
  void RepaintKeysFromMirror() override { log_.push_back("RepaintKeysFromMirror"); }
  void LeaveLightingView() override { log_.push_back("LeaveLightingView"); }
  void FillSchemeList(std::span<const std::string> names) override {
    log_.push_back("FillSchemeList " + names.front() + " x" + std::to_string(names.size()));
  }
  void RestartPreview() override { log_.push_back("RestartPreview"); }

 private:
  std::vector<std::string>& log_;
};

// Schemes whose colours differ in every byte and from profile to profile, so an
// upload of the wrong bytes or the wrong profile shows.
class RecordingSchemes : public UserLightingStore {
 public:
  explicit RecordingSchemes(std::vector<std::string>& log) : log_(log) {}
  std::vector<std::string> SchemeNames(int profile) override {
    log_.push_back("SchemeNames " + std::to_string(profile));
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) names.push_back("P" + std::to_string(profile) + "S" + std::to_string(i));
    return names;
  }
  void LoadCurrentScheme(int profile, KeyColourMirror& mirror) override {
    log_.push_back("LoadCurrentScheme " + std::to_string(profile));
    for (size_t i = 0; i < kKeyColourStride; ++i)
      mirror.bytes[static_cast<size_t>(profile) * kKeyColourStride + i] = static_cast<uint8_t>(i * 7 + profile + 1);
  }
  void ResetSchemesFromTemplate(int profile) override {
    log_.push_back("ResetSchemesFromTemplate " + std::to_string(profile));
  }
  void RecomputeBaseFlags(const KeyColourMirror&) override { log_.push_back("RecomputeBaseFlags"); }
  int PaintSlots(int profile, std::optional<int>, std::span<const SlotPaint> paints) override {
    log_.push_back("PaintSlots " + std::to_string(profile) + " x" + std::to_string(paints.size()));
    return 0;
  }

 private:
  std::vector<std::string>& log_;
};

using Log = std::vector<std::string>;

class LightingTest : public ::testing::Test {
 protected:
  LightingTest() {
    files_.Write("prog/Lang0409.ini", "[MODE]\n1=Wave\n10=Starlight\n20=Custom\n");
    std::filesystem::create_directories(files_ / "data");
    EXPECT_TRUE(test::ConnectDirectly(device_));
    keyboard_.ClearTrace();
  }

  std::vector<Sent> SentCommands() const {
    std::vector<Sent> sent;
    for (const auto& c : keyboard_.Commands()) {
      Sent s{c[3], c[4], static_cast<uint16_t>(c[5] | c[6] << 8), {}};
      if (s.command == CMD_WRITE_PARAMS || s.command == CMD_WRITE_KEY_COLOURS)
        s.data.assign(c.begin() + 8, c.begin() + 8 + s.length);
      sent.push_back(std::move(s));
    }
    return sent;
  }

  // Bytes of a block put on the keyboard by another program.
  void PrepareBlock(int profile, size_t offset, std::vector<uint8_t> bytes) {
    CommandChannel channel(device_);
    ASSERT_EQ(channel.DevBegin(), DevResult::Ok);
    ASSERT_EQ(channel.DevWriteParams(bytes, static_cast<uint16_t>(profile * 42 + offset)), DevResult::Ok);
    ASSERT_EQ(channel.DevEnd(), DevResult::Ok);
    keyboard_.ClearTrace();
  }

  void Connect(int profile = 0) {
    lighting_.SetProfile(profile);
    ASSERT_EQ(lighting_.SyncOnConnect(), DevResult::Ok);
    Forget();
  }

  void Forget() {
    keyboard_.ClearTrace();
    log_.clear();
  }

  VirtualKeyboard keyboard_;
  test::TestDevice device_{keyboard_.Config(), keyboard_.LockFolder()};
  TempDir files_;
  RegistryKey registry_{files_ / "config" / "registry.ini"};
  Localisation lang_{files_ / "prog", 0x0409};
  Settings settings_{registry_, files_ / "data", lang_};
  Log log_;
  RecordingView view_{log_};
  RecordingSchemes schemes_{log_};
  LightingController lighting_{device_, lang_, settings_, view_, schemes_};
};

void ExpectFreshState(const LightingState& s) {
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.brightness, 4);
  EXPECT_EQ(s.speed, 3);
  EXPECT_EQ(s.direction, 0);
  EXPECT_TRUE(s.multicolour);
  EXPECT_EQ(s.colour, kWhite);
  EXPECT_EQ(s.reportRate, 0);
  EXPECT_EQ(s.fourColour, 0);
}

void ExpectSameState(const LightingState& a, const LightingState& b) {
  EXPECT_EQ(a.mode, b.mode);
  EXPECT_EQ(a.brightness, b.brightness);
  EXPECT_EQ(a.speed, b.speed);
  EXPECT_EQ(a.direction, b.direction);
  EXPECT_EQ(a.multicolour, b.multicolour);
  EXPECT_EQ(a.colour, b.colour);
  EXPECT_EQ(a.reportRate, b.reportRate);
  EXPECT_EQ(a.fourColour, b.fourColour);
}

// ---- Connection and read-back ----------------------------------------------

TEST_F(LightingTest, ConnectionSendsItsCommandsInOrder) {
  settings_.WriteLightingView(true);
  ASSERT_EQ(lighting_.SyncOnConnect(), DevResult::Ok);

  EXPECT_EQ(SentCommands(), Concat({{ReadInfo(), Begin(), Begin(), WriteParams(19, {1}), End()},
                                    UploadBracket(lighting_.Mirror(), 0),
                                    {ReadParams(0), ReadParams(42), ReadParams(84), End()}}));
  EXPECT_EQ(log_, (Log{"SchemeNames 0", "FillSchemeList P0S0 x10", "LoadCurrentScheme 0", "RefreshPanel",
                       "RecomputeBaseFlags"}));
  ExpectFreshState(lighting_.State());
  EXPECT_TRUE(lighting_.State().lightingView);
  EXPECT_EQ(lighting_.Block(0).bytes[kParamTriggerStyle], 1);  // read back as written
  EXPECT_EQ(lighting_.Modes().size(), 19u);
  std::scoped_lock lock(device_.stateLock);
  EXPECT_EQ(device_.lastInfo.effects()[18], 20);
}

TEST_F(LightingTest, AFailedInformationReadSendsNothingElse) {
  ASSERT_EQ(keyboard_.Control("refuse ff"), "ok");
  EXPECT_EQ(lighting_.SyncOnConnect(), DevResult::StatusFF);
  EXPECT_EQ(SentCommands(), std::vector<Sent>{ReadInfo()});
  EXPECT_EQ(log_, Log{"RefreshPanel"});  // the panel still shows the empty list
  EXPECT_TRUE(lighting_.Modes().empty());

  ASSERT_EQ(keyboard_.Control("refuse off"), "ok");
  Connect();
  ASSERT_EQ(keyboard_.Control("refuse ff"), "ok");
  EXPECT_EQ(lighting_.ReadAllParams(), DevResult::StatusFF);
  EXPECT_EQ(SentCommands(), std::vector<Sent>{ReadInfo()});
  EXPECT_TRUE(lighting_.Modes().empty());
  EXPECT_FALSE(lighting_.UserDefinedSupported());
  ExpectFreshState(lighting_.State());  // untouched
}

TEST_F(LightingTest, ReadBackUnpacksTheCurrentProfilesBlock) {
  PrepareBlock(1, 0, {7, 2, 1, 0xFF, 0, 0x11, 0x22, 0x33});
  PrepareBlock(1, 15, {7, 0x5A, 2});
  settings_.WriteLightingView(true);
  lighting_.SetProfile(1);
  ASSERT_EQ(lighting_.ReadAllParams(), DevResult::Ok);

  EXPECT_EQ(SentCommands(), (std::vector<Sent>{ReadInfo(), Begin(), ReadParams(0), ReadParams(42), ReadParams(84), End()}));
  const LightingState& s = lighting_.State();
  EXPECT_EQ(s.mode, 7);
  EXPECT_EQ(s.brightness, 2);
  EXPECT_EQ(s.speed, 1);
  EXPECT_EQ(s.direction, 0xFF);
  EXPECT_FALSE(s.multicolour);
  EXPECT_EQ(s.colour, 0x332211u);
  EXPECT_EQ(s.reportRate, 3);  // byte 15 was 7
  EXPECT_EQ(s.fourColour, 2);
  EXPECT_EQ(lighting_.Block(1).bytes[kParamReportRate], 7);  // the block keeps the raw bytes
  EXPECT_EQ(lighting_.Block(1).bytes[16], 0x5A);
  EXPECT_EQ(lighting_.Block(0).bytes[kParamEffect], 1);
  EXPECT_TRUE(s.lightingView);
}

TEST_F(LightingTest, AProfileButtonReadsUploadsAndLeavesTheLightingView) {
  PrepareBlock(2, 0, {9});
  settings_.WriteLightingView(true);
  Connect(0);
  ASSERT_TRUE(lighting_.State().lightingView);

  EXPECT_EQ(lighting_.ChangeProfile(2), DevResult::Ok);
  EXPECT_EQ(SentCommands(), Concat({{ReadInfo(), Begin(), ReadParams(0), ReadParams(42), ReadParams(84), End()},
                                    UploadBracket(lighting_.Mirror(), 2)}));
  EXPECT_EQ(log_, (Log{"SchemeNames 2", "FillSchemeList P2S0 x10", "LoadCurrentScheme 2", "RefreshPanel",
                       "LeaveLightingView"}));
  EXPECT_EQ(lighting_.State().profile, 2);
  EXPECT_EQ(lighting_.State().mode, 9);
  EXPECT_FALSE(lighting_.State().lightingView);
  EXPECT_FALSE(settings_.ReadLightingView());
}

// ---- Effects -----------------------------------------------------------------

TEST(ModeListTest, SkipsEmptyEntriesSoIndexesAreNotModes) {
  std::array<uint8_t, kSupportedModeBytes> supported{};
  supported[1] = 3;
  supported[4] = 20;
  supported[5] = 1;
  supported[6] = 3;
  supported[31] = 19;
  ModeList list(supported);

  EXPECT_EQ(std::vector<uint8_t>(list.Modes().begin(), list.Modes().end()), (std::vector<uint8_t>{3, 20, 1, 3, 19}));
  EXPECT_EQ(list.ModeAt(1), 20);
  EXPECT_EQ(list.ModeAt(5), 0);
  EXPECT_EQ(list.ModeAt(-1), 0);
  EXPECT_EQ(list.IndexOf(3), 0);  // the first of two
  EXPECT_EQ(list.IndexOf(19), 4);
  EXPECT_EQ(list.IndexOf(4), -1);
  EXPECT_TRUE(list.Contains(20));
  EXPECT_TRUE(ModeList().empty());
}

TEST_F(LightingTest, TheComboFollowsTheKeyboardsListPastItsGap) {
  Connect();
  // The keyboard lists 1..18 and 20: index 18 is the user-defined effect.
  std::vector<std::string> names = lighting_.ModeNames();
  ASSERT_EQ(names.size(), 19u);
  EXPECT_EQ(names[0], "Wave");
  EXPECT_EQ(names[1], "#Error");
  EXPECT_EQ(names[18], "Custom");
  EXPECT_EQ(lighting_.Modes().IndexOf(19), -1);
  EXPECT_TRUE(lighting_.UserDefinedSupported());

  EXPECT_EQ(lighting_.SelectMode(18), DevResult::Ok);
  EXPECT_EQ(SentCommands(), (std::vector<Sent>{Begin(), WriteParams(0, {20}), End()}));
  Forget();
  EXPECT_EQ(lighting_.SelectMode(19), DevResult::Ok);  // past the end: nothing
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(lighting_.State().mode, 20);
}

struct SelectCase {
  LightingMode mode;
  bool multicolour;
  std::vector<Sent> sent;  // on profile 2
  Log calls;
  friend void PrintTo(const SelectCase& c, std::ostream* os) { *os << "effect " << c.mode; }
};

Log PlainCalls(int mode) {
  return {"BlankKeyColours", "LayDirectionArrows " + std::to_string(mode), "RestartPreview",
          "ShowEffectControls " + std::to_string(mode)};
}

class LightingEffects : public LightingTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(LightingEffects, WritesWhatTheModeTableSays) {
  Connect(2);
  if (lighting_.State().multicolour != GetParam().multicolour) {
    ASSERT_EQ(lighting_.ToggleMulticolour(), DevResult::Ok);
  }
  Forget();
  const int index = lighting_.Modes().IndexOf(GetParam().mode);
  const DevResult result = index >= 0 ? lighting_.SelectMode(index) : lighting_.SelectEffect(GetParam().mode);
  EXPECT_EQ(result, DevResult::Ok);
  EXPECT_EQ(SentCommands(), GetParam().sent);
  EXPECT_EQ(log_, GetParam().calls);
  EXPECT_EQ(lighting_.State().mode, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, LightingEffects,
    ::testing::Values(
        SelectCase{1, true, {Begin(), WriteParams(84, {1}), WriteParams(88, {1}), End()}, PlainCalls(1)},
        SelectCase{5, false, {Begin(), WriteParams(84, {5}), WriteParams(88, {0}), End()}, PlainCalls(5)},
        SelectCase{10, true, {Begin(), WriteParams(84, {10}), End()}, PlainCalls(10)},
        SelectCase{11, true, {Begin(), WriteParams(84, {11}), End()}, PlainCalls(11)},
        SelectCase{17, true, {Begin(), WriteParams(84, {17}), End()}, PlainCalls(17)},
        SelectCase{20, true, {Begin(), WriteParams(84, {20}), End()},
                   {"BlankKeyColours", "LayDirectionArrows 20", "RepaintKeysFromMirror", "RestartPreview",
                    "ShowEffectControls 20"}},
        SelectCase{19, true, {}, PlainCalls(19)},
        SelectCase{21, true, {}, PlainCalls(21)}));

// The panel's visibility table, written apart from the mode table, must agree with it.
TEST(ModeTable, AgreesWithThePanelsVisibility) {
  const std::set<int> speed = {1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const std::set<int> direction = {1, 2, 3, 11, 12, 18};
  const std::set<int> colour = {1, 2, 3, 5, 7, 8, 9, 10, 11, 13, 14, 15};
  const std::set<int> byte4 = {1, 2, 3, 5, 7, 8, 9, 13, 14, 15};
  for (int mode = 0; mode <= 22; ++mode) {
    SCOPED_TRACE("effect " + std::to_string(mode));
    const bool known = (mode >= 1 && mode <= 18) || mode == 20;
    const EffectControls c = ControlsForEffect(mode);
    EXPECT_TRUE(c.modeCombo);
    EXPECT_EQ(c.brightness, known);
    EXPECT_EQ(c.speed, speed.contains(mode));
    EXPECT_EQ(c.direction != DirectionKind::kNone, direction.contains(mode));
    EXPECT_EQ(c.colour, colour.contains(mode));
    EXPECT_EQ(c.reactiveColour, mode == 6 || mode == 16);
    EXPECT_EQ(c.fourColour, mode == 17);
    EXPECT_EQ(c.userDefined, mode == 20);
    const ModeInfo* info = FindModeInfo(mode);
    EXPECT_EQ(info != nullptr, known);
    if (info) {
      EXPECT_EQ(info->selectWritesMulticolour, byte4.contains(mode));
    }
  }
  EXPECT_EQ(ControlsForEffect(12).direction, DirectionKind::kUpDown);
  EXPECT_EQ(ControlsForEffect(18).direction, DirectionKind::kOutwardInward);
  EXPECT_EQ(ControlsForEffect(11).direction, DirectionKind::kLeftRight);
}

// ---- Parameters ------------------------------------------------------------

struct SliderStep {
  int position;
  std::optional<uint8_t> written;  // nothing: the write is skipped
};

class LightingSliders : public LightingTest {
 protected:
  void ExpectSteps(DevResult (LightingController::*set)(int), size_t offset, std::vector<SliderStep> steps) {
    for (const SliderStep& step : steps) {
      SCOPED_TRACE("position " + std::to_string(step.position));
      Forget();
      EXPECT_EQ((lighting_.*set)(step.position), DevResult::Ok);
      std::vector<Sent> expected;
      if (step.written) expected = {Begin(), WriteParams(static_cast<uint16_t>(42 + offset), {*step.written}), End()};
      EXPECT_EQ(SentCommands(), expected);
    }
  }
};

TEST_F(LightingSliders, SpeedIsInvertedAndUnchangedValuesAreNotSent) {
  Connect(1);  // speed byte 3: the slider stands at 0
  ExpectSteps(&LightingController::SetSpeed, kParamSpeed, {{0, {}}, {3, 0}, {3, {}}, {1, 2}, {2, 1}, {0, 3}});
  EXPECT_EQ(lighting_.State().speed, 3);
}

TEST_F(LightingSliders, BrightnessIsWrittenAsItIsDownToZero) {
  Connect(1);  // brightness 4
  ExpectSteps(&LightingController::SetBrightness, kParamBrightness, {{4, {}}, {0, 0}, {0, {}}, {3, 3}});
  EXPECT_EQ(lighting_.State().brightness, 3);
}

struct FieldCase {
  std::string name;
  std::function<DevResult(LightingController&)> act;
  size_t offset;
  std::vector<uint8_t> bytes;
  std::function<void(const LightingState&)> check;
  friend void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }
};

class LightingFields : public LightingTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(LightingFields, SendsOneBracketAndTheKeyboardKeepsIt) {
  Connect(1);
  EXPECT_EQ(GetParam().act(lighting_), DevResult::Ok);
  EXPECT_EQ(SentCommands(),
            (std::vector<Sent>{Begin(), WriteParams(static_cast<uint16_t>(42 + GetParam().offset), GetParam().bytes), End()}));
  GetParam().check(lighting_.State());
  for (size_t i = 0; i < GetParam().bytes.size(); ++i)
    EXPECT_EQ(lighting_.Block(1).bytes[GetParam().offset + i], GetParam().bytes[i]);

  const LightingState written = lighting_.State();
  ASSERT_EQ(lighting_.ReadAllParams(), DevResult::Ok);  // what was sent is what the keyboard now holds
  ExpectSameState(lighting_.State(), written);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LightingFields,
    ::testing::Values(
        FieldCase{"FirstArrow", [](LightingController& m) { return m.SetDirection(kDirectionFirst); }, kParamDirection, {0xFF},
                  [](const LightingState& s) { EXPECT_EQ(s.direction, 0xFF); }},
        FieldCase{"SecondArrow", [](LightingController& m) { return m.SetDirection(kDirectionSecond); }, kParamDirection, {0x00},
                  [](const LightingState& s) { EXPECT_EQ(s.direction, 0); }},
        FieldCase{"Colour", [](LightingController& m) { return m.SetColour(MakeColour(0x11, 0x22, 0x33)); }, kParamMulticolour,
                  {0x00, 0x11, 0x22, 0x33},
                  [](const LightingState& s) {
                    EXPECT_FALSE(s.multicolour);
                    EXPECT_EQ(s.colour, 0x332211u);
                  }},
        FieldCase{"Multicolour", [](LightingController& m) { return m.ToggleMulticolour(); }, kParamMulticolour, {0},
                  [](const LightingState& s) { EXPECT_FALSE(s.multicolour); }},
        FieldCase{"FourColour", [](LightingController& m) { return m.SetFourColour(2); }, kParamFourColour, {2},
                  [](const LightingState& s) { EXPECT_EQ(s.fourColour, 2); }},
        FieldCase{"SameFourColourAgain", [](LightingController& m) { return m.SetFourColour(0); }, kParamFourColour, {0},
                  [](const LightingState& s) { EXPECT_EQ(s.fourColour, 0); }},
        FieldCase{"ReportRate", [](LightingController& m) { return m.SetReportRate(3); }, kParamReportRate, {3},
                  [](const LightingState& s) { EXPECT_EQ(s.reportRate, 3); }},
        FieldCase{"UncontrolledByte", [](LightingController& m) { return m.WriteParam(kParamEffect7Option, std::vector<uint8_t>{1}); },
                  kParamEffect7Option, {1}, [](const LightingState&) {}}),
    [](const auto& info) { return info.param.name; });

TEST_F(LightingTest, WithoutAKeyboardTheStateStillChanges) {
  device_.deviceConnected = false;
  EXPECT_EQ(lighting_.SetBrightness(2), DevResult::NoReply);
  EXPECT_EQ(lighting_.SetColour(0x123456), DevResult::NoReply);
  EXPECT_EQ(lighting_.WriteKeyColour(5, 0xABCDEF), DevResult::NoReply);
  EXPECT_EQ(lighting_.State().brightness, 2);
  EXPECT_EQ(lighting_.State().colour, 0x123456u);
  EXPECT_EQ(lighting_.Mirror().Get(0, 5), 0xABCDEFu);
  EXPECT_TRUE(keyboard_.Trace().empty());
}

TEST_F(LightingTest, ResetWritesTheFactoryBlockAndReloadsTheScheme) {
  PrepareBlock(2, 15, {2, 0, 3});
  PrepareBlock(2, 35, {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB});
  Connect(2);
  ASSERT_EQ(lighting_.SelectEffect(12), DevResult::Ok);
  ASSERT_EQ(lighting_.SetColour(0x102030), DevResult::Ok);
  ASSERT_EQ(lighting_.SetBrightness(1), DevResult::Ok);
  Forget();

  EXPECT_EQ(lighting_.ResetLighting(), DevResult::Ok);
  std::vector<uint8_t> factory(35, 0);
  std::ranges::copy(std::array<uint8_t, 8>{1, 4, 3, 0, 0xFF, 0xFF, 0xFF, 0xFF}, factory.begin());
  EXPECT_EQ(SentCommands(), Concat({{Begin(), WriteParams(84, {1}), WriteParams(88, {0}), End()},
                                    UploadBracket(lighting_.Mirror(), 2),
                                    {Begin(), WriteParams(84, factory), End()}}));
  Log calls = PlainCalls(1);
  calls.insert(calls.end(), {"ResetSchemesFromTemplate 2", "SchemeNames 2", "FillSchemeList P2S0 x10",
                             "LoadCurrentScheme 2", "RefreshPanel"});
  EXPECT_EQ(log_, calls);
  ExpectFreshState(lighting_.State());

  ASSERT_EQ(lighting_.ReadAllParams(), DevResult::Ok);
  ExpectFreshState(lighting_.State());
  const auto& block = lighting_.Block(2).bytes;
  EXPECT_TRUE(std::equal(factory.begin(), factory.end(), block.begin()));
  EXPECT_EQ(block[35], 0xAB);  // past the reset: kept
  EXPECT_EQ(block[41], 0xAB);
}

// ---- Per-key colours ---------------------------------------------------------

TEST_F(LightingTest, UploadSendsTheProfilesImageInEightChunks) {
  lighting_.SetProfile(1);
  ASSERT_EQ(lighting_.LoadSchemeWithUpload(), DevResult::Ok);  // the recording scheme differs in every byte

  auto sent = SentCommands();
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent.front(), Begin());
  EXPECT_EQ(sent.back(), End());
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE("chunk " + std::to_string(k));
    const size_t from = 512 + 54 * static_cast<size_t>(k);
    EXPECT_EQ(sent[static_cast<size_t>(k) + 1],
              KeyColours(static_cast<uint16_t>(0x200 + 54 * k), std::span(lighting_.Mirror().bytes).subspan(from, 54)));
  }
}

TEST_F(LightingTest, OneKeyColourGoesToTheKeyboardAndTheMirror) {
  lighting_.SetProfile(2);
  EXPECT_EQ(lighting_.WriteKeyColour(LedSlotOfKey(kFullSizeLedSlots, 0x149), MakeColour(0x11, 0x22, 0x33)),
            DevResult::Ok);  // Page Up
  const std::array<uint8_t, 3> rgb = {0x11, 0x22, 0x33};
  EXPECT_EQ(SentCommands(), (std::vector<Sent>{Begin(), KeyColours(1024 + 112 * 3, rgb), End()}));
  EXPECT_EQ(lighting_.Mirror().Get(2, 112), 0x332211u);
  EXPECT_EQ(lighting_.Mirror().Get(1, 112), 0u);

  Forget();
  EXPECT_EQ(lighting_.WriteKeyColour(kLedSlotsPerImage, 0xFFFFFF), DevResult::Ok);  // past the image: nothing
  EXPECT_EQ(lighting_.WriteKeyColour(-1, 0xFFFFFF), DevResult::Ok);
  EXPECT_TRUE(SentCommands().empty());
}

// ---- Lit keys and LED slots ---------------------------------------------------

struct SlotCase {
  KeyCode key;
  int slot;
  friend void PrintTo(const SlotCase& c, std::ostream* os) { *os << "key " << KeyCodeText(c.key); }
};

class LedSlotLookup : public ::testing::TestWithParam<SlotCase> {};

TEST_P(LedSlotLookup, FindsTheSlotOfAKey) {
  EXPECT_EQ(LedSlotOfKey(kFullSizeLedSlots, GetParam().key), GetParam().slot);
}

INSTANTIATE_TEST_SUITE_P(Keys, LedSlotLookup,
                         ::testing::Values(SlotCase{0x056, 0}, SlotCase{0x001, 1}, SlotCase{0x040, 7},
                                           SlotCase{0x041, 8}, SlotCase{0x029, 18}, SlotCase{0x00D, 30},
                                           SlotCase{0x037, 33}, SlotCase{0x00F, 35}, SlotCase{0x019, 45},
                                           SlotCase{0x03A, 52}, SlotCase{0x028, 63}, SlotCase{0x02B, 64},
                                           SlotCase{0x02A, 69}, SlotCase{0x01C, 81}, SlotCase{kFnKey, 91},
                                           SlotCase{0x00E, 98}, SlotCase{0x11C, 101}, SlotCase{0x15C, 112},
                                           SlotCase{0x149, 112}, SlotCase{0x04E, 117}, SlotCase{0x200, 125},
                                           SlotCase{0x208, 125},
                                           SlotCase{0x064, -1},     // F13: no key of this keyboard
                                           SlotCase{0x209, -1},     // the second set's G1
                                           SlotCase{0x000, -1}));

TEST(LedSlotTable, CoversEveryKeyOnce) {
  const std::set<KeyCode> expectedKeys(kFullSizeKeys.begin(), kFullSizeKeys.end());
  std::set<KeyCode> keys, gKeys;
  std::set<int> keySlots;
  int fn = 0;
  for (const LedSlotEntry& e : kFullSizeLedSlots) {
    EXPECT_LT(e.slot, 144) << KeyCodeText(e.key);  // inside what an upload writes
    if (e.kind == LedKeyKind::kKey) {
      EXPECT_TRUE(keys.insert(e.key).second) << KeyCodeText(e.key);
      EXPECT_TRUE(keySlots.insert(e.slot).second || e.slot == kSharedWinPageUpSlot) << KeyCodeText(e.key);
    } else if (e.kind == LedKeyKind::kGKey) {
      gKeys.insert(e.key);
      EXPECT_EQ(e.slot, kGKeySlot);
    } else {
      ++fn;
      EXPECT_EQ(e.key, kFnKey);
      EXPECT_EQ(e.slot, kFnSlot);
    }
  }
  EXPECT_EQ(keys, expectedKeys);
  EXPECT_EQ(keys.size(), 105u);
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(gKeys, (std::set<KeyCode>{0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207, 0x208}));
  EXPECT_FALSE(keySlots.contains(kFnSlot));
}

TEST(LedSlotTable, FindsEveryKeyOfASlot) {
  auto keys = [](int slot) {
    SlotKeys k = KeysOfSlot(kFullSizeLedSlots, slot);
    return std::vector<KeyCode>(k.Keys().begin(), k.Keys().end());
  };
  EXPECT_EQ(keys(112), (std::vector<KeyCode>{0x15C, 0x149}));  // Right Win and Page Up
  EXPECT_EQ(keys(125), (std::vector<KeyCode>{0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207, 0x208}));
  EXPECT_EQ(keys(1), std::vector<KeyCode>{0x001});
  EXPECT_TRUE(keys(34).empty());
}

}  // namespace
}  // namespace keyloft

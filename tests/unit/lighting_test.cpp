#include "model/lighting.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <set>

#include "device_fixture.h"
#include "lang/localisation.h"
#include "model/lighting_view.h"
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
    ASSERT_EQ(channel.DevBegin(), DEV_OK);
    ASSERT_EQ(channel.DevWriteParams(bytes, static_cast<uint16_t>(profile * 42 + offset)), DEV_OK);
    ASSERT_EQ(channel.DevEnd(), DEV_OK);
    keyboard_.ClearTrace();
  }

  void Connect(int profile = 0) {
    model_.SetProfile(profile);
    ASSERT_EQ(model_.SyncOnConnect(), 1);
    Forget();
  }

  void Forget() {
    keyboard_.ClearTrace();
    log_.clear();
  }

  VirtualKeyboard keyboard_;
  DeviceContext device_{keyboard_.Config(), keyboard_.LockFolder()};
  TempDir files_;
  RegistryKey registry_{files_ / "config" / "registry.ini"};
  Localisation lang_{files_ / "prog", registry_, 0x0409};
  Settings settings_{registry_, files_ / "data", lang_};
  Log log_;
  RecordingView view_{log_};
  RecordingSchemes schemes_{log_};
  LightingModel model_{device_, lang_, settings_, view_, schemes_};
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
  ASSERT_EQ(model_.SyncOnConnect(), 1);

  EXPECT_EQ(SentCommands(), Concat({{ReadInfo(), Begin(), Begin(), WriteParams(19, {1}), End()},
                                    UploadBracket(model_.Mirror(), 0),
                                    {ReadParams(0), ReadParams(42), ReadParams(84), End()}}));
  EXPECT_EQ(log_, (Log{"SchemeNames 0", "FillSchemeList P0S0 x10", "LoadCurrentScheme 0", "RefreshPanel",
                       "RecomputeBaseFlags"}));
  ExpectFreshState(model_.State());
  EXPECT_TRUE(model_.State().lightingView);
  EXPECT_EQ(model_.Block(0).bytes[kParamTriggerStyle], 1);  // read back as written
  EXPECT_EQ(model_.Modes().size(), 19u);
  std::scoped_lock lock(device_.stateLock);
  EXPECT_EQ(device_.lastInfo.effects()[18], 20);
}

TEST_F(LightingTest, AFailedInformationReadSendsNothingElse) {
  ASSERT_EQ(keyboard_.Control("refuse ff"), "ok");
  EXPECT_EQ(model_.SyncOnConnect(), -1);
  EXPECT_EQ(SentCommands(), std::vector<Sent>{ReadInfo()});
  EXPECT_EQ(log_, Log{"RefreshPanel"});  // the panel still shows the empty list
  EXPECT_TRUE(model_.Modes().empty());

  ASSERT_EQ(keyboard_.Control("refuse off"), "ok");
  Connect();
  ASSERT_EQ(keyboard_.Control("refuse ff"), "ok");
  EXPECT_EQ(model_.ReadAllParams(), -1);
  EXPECT_EQ(SentCommands(), std::vector<Sent>{ReadInfo()});
  EXPECT_TRUE(model_.Modes().empty());
  EXPECT_FALSE(model_.UserDefinedSupported());
  ExpectFreshState(model_.State());  // untouched
}

TEST_F(LightingTest, ReadBackUnpacksTheCurrentProfilesBlock) {
  PrepareBlock(1, 0, {7, 2, 1, 0xFF, 0, 0x11, 0x22, 0x33});
  PrepareBlock(1, 15, {7, 0x5A, 2});
  settings_.WriteLightingView(true);
  model_.SetProfile(1);
  ASSERT_EQ(model_.ReadAllParams(), 1);

  EXPECT_EQ(SentCommands(), (std::vector<Sent>{ReadInfo(), Begin(), ReadParams(0), ReadParams(42), ReadParams(84), End()}));
  const LightingState& s = model_.State();
  EXPECT_EQ(s.mode, 7);
  EXPECT_EQ(s.brightness, 2);
  EXPECT_EQ(s.speed, 1);
  EXPECT_EQ(s.direction, 0xFF);
  EXPECT_FALSE(s.multicolour);
  EXPECT_EQ(s.colour, 0x332211u);
  EXPECT_EQ(s.reportRate, 3);  // byte 15 was 7
  EXPECT_EQ(s.fourColour, 2);
  EXPECT_EQ(model_.Block(1).bytes[kParamReportRate], 7);  // the block keeps the raw bytes
  EXPECT_EQ(model_.Block(1).bytes[16], 0x5A);
  EXPECT_EQ(model_.Block(0).bytes[kParamEffect], 1);
  EXPECT_TRUE(s.lightingView);
}

TEST_F(LightingTest, AProfileButtonReadsUploadsAndLeavesTheLightingView) {
  PrepareBlock(2, 0, {9});
  settings_.WriteLightingView(true);
  Connect(0);
  ASSERT_TRUE(model_.State().lightingView);

  model_.ChangeProfile(2);
  EXPECT_EQ(SentCommands(), Concat({{ReadInfo(), Begin(), ReadParams(0), ReadParams(42), ReadParams(84), End()},
                                    UploadBracket(model_.Mirror(), 2)}));
  EXPECT_EQ(log_, (Log{"SchemeNames 2", "FillSchemeList P2S0 x10", "LoadCurrentScheme 2", "RefreshPanel",
                       "LeaveLightingView"}));
  EXPECT_EQ(model_.State().profile, 2);
  EXPECT_EQ(model_.State().mode, 9);
  EXPECT_FALSE(model_.State().lightingView);
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
  std::vector<std::string> names = model_.ModeNames();
  ASSERT_EQ(names.size(), 19u);
  EXPECT_EQ(names[0], "Wave");
  EXPECT_EQ(names[1], "#Error");
  EXPECT_EQ(names[18], "Custom");
  EXPECT_EQ(model_.Modes().IndexOf(19), -1);
  EXPECT_TRUE(model_.UserDefinedSupported());

  model_.SelectMode(18);
  EXPECT_EQ(SentCommands(), (std::vector<Sent>{Begin(), WriteParams(0, {20}), End()}));
  Forget();
  model_.SelectMode(19);  // past the end
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(model_.State().mode, 20);
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
  if (model_.State().multicolour != GetParam().multicolour) model_.ToggleMulticolour();
  Forget();
  const int index = model_.Modes().IndexOf(GetParam().mode);
  if (index >= 0)
    model_.SelectMode(index);
  else
    model_.SelectEffect(GetParam().mode);
  EXPECT_EQ(SentCommands(), GetParam().sent);
  EXPECT_EQ(log_, GetParam().calls);
  EXPECT_EQ(model_.State().mode, GetParam().mode);
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
  void ExpectSteps(void (LightingModel::*set)(int), size_t offset, std::vector<SliderStep> steps) {
    for (const SliderStep& step : steps) {
      SCOPED_TRACE("position " + std::to_string(step.position));
      Forget();
      (model_.*set)(step.position);
      std::vector<Sent> expected;
      if (step.written) expected = {Begin(), WriteParams(static_cast<uint16_t>(42 + offset), {*step.written}), End()};
      EXPECT_EQ(SentCommands(), expected);
    }
  }
};

TEST_F(LightingSliders, SpeedIsInvertedAndUnchangedValuesAreNotSent) {
  Connect(1);  // speed byte 3: the slider stands at 0
  ExpectSteps(&LightingModel::SetSpeed, kParamSpeed, {{0, {}}, {3, 0}, {3, {}}, {1, 2}, {2, 1}, {0, 3}});
  EXPECT_EQ(model_.State().speed, 3);
}

TEST_F(LightingSliders, BrightnessIsWrittenAsItIsDownToZero) {
  Connect(1);  // brightness 4
  ExpectSteps(&LightingModel::SetBrightness, kParamBrightness, {{4, {}}, {0, 0}, {0, {}}, {3, 3}});
  EXPECT_EQ(model_.State().brightness, 3);
}

struct FieldCase {
  std::string name;
  std::function<void(LightingModel&)> act;
  size_t offset;
  std::vector<uint8_t> bytes;
  std::function<void(const LightingState&)> check;
  friend void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }
};

class LightingFields : public LightingTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(LightingFields, SendsOneBracketAndTheKeyboardKeepsIt) {
  Connect(1);
  GetParam().act(model_);
  EXPECT_EQ(SentCommands(),
            (std::vector<Sent>{Begin(), WriteParams(static_cast<uint16_t>(42 + GetParam().offset), GetParam().bytes), End()}));
  GetParam().check(model_.State());
  for (size_t i = 0; i < GetParam().bytes.size(); ++i)
    EXPECT_EQ(model_.Block(1).bytes[GetParam().offset + i], GetParam().bytes[i]);

  const LightingState written = model_.State();
  ASSERT_EQ(model_.ReadAllParams(), 1);  // what was sent is what the keyboard now holds
  ExpectSameState(model_.State(), written);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LightingFields,
    ::testing::Values(
        FieldCase{"FirstArrow", [](LightingModel& m) { m.SetDirection(kDirectionFirst); }, kParamDirection, {0xFF},
                  [](const LightingState& s) { EXPECT_EQ(s.direction, 0xFF); }},
        FieldCase{"SecondArrow", [](LightingModel& m) { m.SetDirection(kDirectionSecond); }, kParamDirection, {0x00},
                  [](const LightingState& s) { EXPECT_EQ(s.direction, 0); }},
        FieldCase{"Colour", [](LightingModel& m) { m.SetColour(MakeColour(0x11, 0x22, 0x33)); }, kParamMulticolour,
                  {0x00, 0x11, 0x22, 0x33},
                  [](const LightingState& s) {
                    EXPECT_FALSE(s.multicolour);
                    EXPECT_EQ(s.colour, 0x332211u);
                  }},
        FieldCase{"Multicolour", [](LightingModel& m) { m.ToggleMulticolour(); }, kParamMulticolour, {0},
                  [](const LightingState& s) { EXPECT_FALSE(s.multicolour); }},
        FieldCase{"FourColour", [](LightingModel& m) { m.SetFourColour(2); }, kParamFourColour, {2},
                  [](const LightingState& s) { EXPECT_EQ(s.fourColour, 2); }},
        FieldCase{"SameFourColourAgain", [](LightingModel& m) { m.SetFourColour(0); }, kParamFourColour, {0},
                  [](const LightingState& s) { EXPECT_EQ(s.fourColour, 0); }},
        FieldCase{"ReportRate", [](LightingModel& m) { m.SetReportRate(3); }, kParamReportRate, {3},
                  [](const LightingState& s) { EXPECT_EQ(s.reportRate, 3); }},
        FieldCase{"UncontrolledByte", [](LightingModel& m) { m.WriteParam(kParamEffect7Option, std::vector<uint8_t>{1}); },
                  kParamEffect7Option, {1}, [](const LightingState&) {}}),
    [](const auto& info) { return info.param.name; });

TEST_F(LightingTest, WithoutAKeyboardTheStateStillChanges) {
  device_.deviceConnected = false;
  model_.SetBrightness(2);
  model_.SetColour(0x123456);
  model_.WriteKeyColour(5, 0xABCDEF);
  EXPECT_EQ(model_.State().brightness, 2);
  EXPECT_EQ(model_.State().colour, 0x123456u);
  EXPECT_EQ(model_.Mirror().Get(0, 5), 0xABCDEFu);
  EXPECT_TRUE(keyboard_.Trace().empty());
}

TEST_F(LightingTest, ResetWritesTheFactoryBlockAndReloadsTheScheme) {
  PrepareBlock(2, 15, {2, 0, 3});
  PrepareBlock(2, 35, {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB});
  Connect(2);
  model_.SelectEffect(12);
  model_.SetColour(0x102030);
  model_.SetBrightness(1);
  Forget();

  model_.ResetLighting();
  std::vector<uint8_t> factory(35, 0);
  std::ranges::copy(std::array<uint8_t, 8>{1, 4, 3, 0, 0xFF, 0xFF, 0xFF, 0xFF}, factory.begin());
  EXPECT_EQ(SentCommands(), Concat({{Begin(), WriteParams(84, {1}), WriteParams(88, {0}), End()},
                                    UploadBracket(model_.Mirror(), 2),
                                    {Begin(), WriteParams(84, factory), End()}}));
  Log calls = PlainCalls(1);
  calls.insert(calls.end(), {"ResetSchemesFromTemplate 2", "SchemeNames 2", "FillSchemeList P2S0 x10",
                             "LoadCurrentScheme 2", "RefreshPanel"});
  EXPECT_EQ(log_, calls);
  ExpectFreshState(model_.State());

  ASSERT_EQ(model_.ReadAllParams(), 1);
  ExpectFreshState(model_.State());
  const auto& block = model_.Block(2).bytes;
  EXPECT_TRUE(std::equal(factory.begin(), factory.end(), block.begin()));
  EXPECT_EQ(block[35], 0xAB);  // past the reset: kept
  EXPECT_EQ(block[41], 0xAB);
}

// ---- Per-key colours ---------------------------------------------------------

TEST_F(LightingTest, UploadSendsTheProfilesImageInEightChunks) {
  model_.SetProfile(1);
  for (size_t i = 0; i < kKeyColourMirrorBytes; ++i) model_.Mirror().bytes[i] = static_cast<uint8_t>(i * 13);
  model_.UploadKeyImage();

  auto sent = SentCommands();
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent.front(), Begin());
  EXPECT_EQ(sent.back(), End());
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE("chunk " + std::to_string(k));
    const size_t from = 512 + 54 * static_cast<size_t>(k);
    EXPECT_EQ(sent[static_cast<size_t>(k) + 1],
              KeyColours(static_cast<uint16_t>(0x200 + 54 * k), std::span(model_.Mirror().bytes).subspan(from, 54)));
  }
}

TEST_F(LightingTest, OneKeyColourGoesToTheKeyboardAndTheMirror) {
  model_.SetProfile(2);
  model_.WriteKeyColour(LedSlotOfControl(1096), MakeColour(0x11, 0x22, 0x33));  // Page Up
  const std::array<uint8_t, 3> rgb = {0x11, 0x22, 0x33};
  EXPECT_EQ(SentCommands(), (std::vector<Sent>{Begin(), KeyColours(1024 + 112 * 3, rgb), End()}));
  EXPECT_EQ(model_.Mirror().Get(2, 112), 0x332211u);
  EXPECT_EQ(model_.Mirror().Get(1, 112), 0u);

  Forget();
  model_.WriteKeyColour(kLedSlotsPerImage, 0xFFFFFF);  // past the image
  model_.WriteKeyColour(-1, 0xFFFFFF);
  EXPECT_TRUE(SentCommands().empty());
}

// ---- Key buttons and LED slots ---------------------------------------------

struct SlotCase {
  int controlId;
  int slot;
  friend void PrintTo(const SlotCase& c, std::ostream* os) { *os << "control " << c.controlId; }
};

class LedSlotLookup : public ::testing::TestWithParam<SlotCase> {};

TEST_P(LedSlotLookup, FindsTheSlotOfAKeyButton) { EXPECT_EQ(LedSlotOfControl(GetParam().controlId), GetParam().slot); }

INSTANTIATE_TEST_SUITE_P(Keys, LedSlotLookup,
                         ::testing::Values(SlotCase{1199, 0}, SlotCase{1022, 1}, SlotCase{1015, 7}, SlotCase{1023, 8},
                                           SlotCase{1029, 18}, SlotCase{1041, 30}, SlotCase{1106, 33},
                                           SlotCase{1056, 35}, SlotCase{1053, 45}, SlotCase{1069, 52},
                                           SlotCase{1068, 63}, SlotCase{1042, 64}, SlotCase{1082, 69},
                                           SlotCase{1070, 81}, SlotCase{1174, 91}, SlotCase{1043, 98},
                                           SlotCase{1118, 101}, SlotCase{1087, 112}, SlotCase{1096, 112},
                                           SlotCase{1111, 117}, SlotCase{1000, 125}, SlotCase{1143, 125},
                                           SlotCase{1016, -1}, SlotCase{1057, -1}, SlotCase{1135, -1}));

TEST(LedSlotTable, CoversEveryKeyButtonOnce) {
  std::set<int> expectedKeys = {1199};
  for (int id = 1010; id <= 1120; ++id)
    if ((id < 1016 || id > 1021) && id != 1057) expectedKeys.insert(id);
  std::set<int> keys, gKeys, keySlots;
  int fn = 0;
  for (const LedSlotEntry& e : kLedSlotTable) {
    EXPECT_LT(e.slot, 144) << e.name;  // inside what an upload writes
    if (e.kind == LedKeyKind::kKey) {
      EXPECT_TRUE(keys.insert(e.controlId).second) << e.name;
      EXPECT_TRUE(keySlots.insert(e.slot).second || e.slot == kSharedWinPageUpSlot) << e.name;
    } else if (e.kind == LedKeyKind::kGKey) {
      gKeys.insert(e.controlId);
      EXPECT_EQ(e.slot, kGKeySlot);
    } else {
      ++fn;
      EXPECT_EQ(e.slot, kFnSlot);
    }
  }
  EXPECT_EQ(keys, expectedKeys);
  EXPECT_EQ(keys.size(), 105u);
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(gKeys, (std::set<int>{1000, 1001, 1002, 1003, 1004, 1140, 1141, 1142, 1143}));
  EXPECT_FALSE(keySlots.contains(kFnSlot));
}

TEST(LedSlotTable, FindsEveryButtonOfASlot) {
  auto ids = [](int slot) {
    SlotControls c = ControlsOfSlot(slot);
    return std::vector<int>(c.Ids().begin(), c.Ids().end());
  };
  EXPECT_EQ(ids(112), (std::vector<int>{1087, 1096}));
  EXPECT_EQ(ids(125), (std::vector<int>{1000, 1001, 1002, 1003, 1004, 1140, 1141, 1142, 1143}));
  EXPECT_EQ(ids(1), std::vector<int>{1022});
  EXPECT_TRUE(ids(34).empty());
}

}  // namespace
}  // namespace keyloft

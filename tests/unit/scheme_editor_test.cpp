#include "sync/scheme_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_fixture.h"
#include "lang/localisation.h"
#include "model/keyboard_model.h"
#include "store/registry.h"
#include "store/settings.h"
#include "store/user_data.h"
#include "sync/lighting_controller.h"
#include "sync/lighting_view.h"
#include "temp_dir.h"
#include "util/ini_file.h"
#include "virtual_keyboard.h"

namespace keyloft {
namespace {

using test::TempDir;
using test::VirtualKeyboard;

constexpr KeyCode kA = 0x01E, kB = 0x030, kRightWin = 0x15C, kPageUp = 0x149, kG1 = kFirstGKey;
constexpr Colour kGreen = MakeColour(0, 255, 0), kBlue = MakeColour(0, 0, 255), kRed = MakeColour(255, 0, 0);

class CountingView : public LightingView {
 public:
  void RefreshPanel() override { ++refreshes; }
  void BlankKeyColours() override {}
  void LayDirectionArrows(int) override {}
  void ShowEffectControls(int) override {}
  void RepaintKeysFromMirror() override { ++repaints; }
  void LeaveLightingView() override {}
  void FillSchemeList(std::span<const std::string> names) override { schemeNames.assign(names.begin(), names.end()); }
  void RestartPreview() override {}
  int refreshes = 0, repaints = 0;
  std::vector<std::string> schemeNames;
};

// Key colour writes as the keyboard saw them: offset and the bytes.
struct ColourWrite {
  uint16_t offset;
  std::vector<uint8_t> bytes;
  friend bool operator==(const ColourWrite&, const ColourWrite&) = default;
};

class SchemeEditorTest : public ::testing::Test {
 protected:
  SchemeEditorTest() {
    files_.Write("prog/Lang0409.ini", "[MODE]\n1=Wave\n20=Custom\n");
    // The template: empty, so every scheme starts all red, following the base.
    files_.Write("prog/Skins/UserDengColor_3.userd", "");
    data_.EnsureUserDataFolder();
    EXPECT_TRUE(test::ConnectDirectly(device_));
    EXPECT_EQ(lighting_.SyncOnConnect(), DevResult::Ok);
    EXPECT_EQ(lighting_.SelectEffect(kUserDefinedMode), DevResult::Ok);
    // Loaded, as a profile change or a scheme selection loads it.
    EXPECT_EQ(editor_.SelectScheme(0), DevResult::Ok);
    keyboard_.ClearTrace();
  }

  std::vector<ColourWrite> ColourWrites() const {
    std::vector<ColourWrite> writes;
    for (const auto& c : keyboard_.Commands())
      if (c[3] == CMD_WRITE_KEY_COLOURS)
        writes.push_back({static_cast<uint16_t>(c[5] | c[6] << 8), std::vector<uint8_t>(c.begin() + 8, c.begin() + 8 + c[4])});
    return writes;
  }
  std::string FileValue(const std::string& section, const std::string& key) const {
    return ReadIniValue(data_.LightingFilePath(0), section, key).value_or("(none)");
  }
  Colour Shown(KeyCode key) const { return lighting_.Mirror().Get(0, editor_.PaintSlot(key)); }

  VirtualKeyboard keyboard_;
  test::TestDevice device_{keyboard_.Config(), keyboard_.LockFolder()};
  TempDir files_;
  RegistryKey registry_{files_ / "config" / "registry.ini"};
  Localisation lang_{files_ / "prog", 0x0409};
  Settings settings_{registry_, files_ / "data", lang_};
  UserData data_{files_ / "data", files_ / "prog"};
  SchemeStore schemes_{data_, DefaultKeyboardModel().ledSlots};
  CountingView view_;
  LightingController lighting_{device_, lang_, settings_, view_, schemes_};
  SchemeEditor editor_{lighting_, schemes_, view_, DefaultKeyboardModel().ledSlots};
};

TEST_F(SchemeEditorTest, AnEmptySchemeFileLoadsEveryKeyRedFollowingTheBase) {
  for (KeyCode key : {kA, kRightWin, kFnKey}) {
    EXPECT_EQ(Shown(key), kRed) << key;
    EXPECT_TRUE(schemes_.BaseFlag(0, editor_.PaintSlot(key))) << key;
  }
}

TEST_F(SchemeEditorTest, OnConnectionAKeyFollowsTheBaseOnlyWhenItHasTheBaseColour) {
  ASSERT_EQ(editor_.SetBaseColour(kBlue), DevResult::Ok);
  editor_.SetBrushColour(kGreen);
  ASSERT_EQ(editor_.PaintKey(kA), DevResult::Ok);
  ASSERT_EQ(lighting_.SyncOnConnect(), DevResult::Ok);
  EXPECT_FALSE(schemes_.BaseFlag(0, editor_.PaintSlot(kA)));
  EXPECT_TRUE(schemes_.BaseFlag(0, editor_.PaintSlot(kB)));
  // The G keys' shared slot was recoloured with the base, so it follows too.
  EXPECT_TRUE(schemes_.BaseFlag(0, 125));
}

TEST_F(SchemeEditorTest, ABrushedKeyKeepsItsColourWhenTheBaseChangesAndTheBaseToolTakesItBack) {
  editor_.SetBrushColour(kGreen);
  ASSERT_EQ(editor_.PaintKey(kA), DevResult::Ok);
  const int slotA = editor_.PaintSlot(kA);
  EXPECT_EQ(ColourWrites(), (std::vector<ColourWrite>{{static_cast<uint16_t>(slotA * 3), {0, 255, 0}}}));
  EXPECT_EQ(FileValue("Mode0", std::to_string(slotA)), "0,255,0,0");

  keyboard_.ClearTrace();
  ASSERT_EQ(editor_.SetBaseColour(kBlue), DevResult::Ok);
  EXPECT_EQ(Shown(kA), kGreen);
  EXPECT_EQ(Shown(kB), kBlue);
  EXPECT_EQ(Shown(kFnKey), kBlue);
  // One upload of the whole image, eight commands, slot B blue in it.
  const std::vector<ColourWrite> upload = ColourWrites();
  ASSERT_EQ(upload.size(), 8u);
  const int slotB = editor_.PaintSlot(kB);
  const auto& chunk = upload[static_cast<size_t>(slotB / 18)];
  EXPECT_EQ(std::vector<uint8_t>(chunk.bytes.begin() + slotB % 18 * 3, chunk.bytes.begin() + slotB % 18 * 3 + 3),
            (std::vector<uint8_t>{0, 0, 255}));
  EXPECT_EQ(FileValue("Mode0", std::to_string(slotB)), "0,0,255,1");
  EXPECT_EQ(FileValue("Mode0", std::to_string(slotA)), "0,255,0,0");
  EXPECT_EQ(FileValue("Mode0", "jcolor"), "0,0,255");

  editor_.SetTool(1);
  ASSERT_EQ(editor_.PaintKey(kA), DevResult::Ok);
  ASSERT_EQ(editor_.SetBaseColour(kGreen), DevResult::Ok);
  EXPECT_EQ(Shown(kA), kGreen);
  EXPECT_EQ(Shown(kB), kGreen);
  EXPECT_EQ(FileValue("Mode0", std::to_string(slotA)), "0,255,0,1");
}

TEST_F(SchemeEditorTest, TheSameBaseColourSendsNothingAndABrushColourRepaintsNothing) {
  ASSERT_EQ(editor_.SetBaseColour(kBlue), DevResult::Ok);
  keyboard_.ClearTrace();
  const int repaints = view_.repaints;
  EXPECT_EQ(editor_.SetBaseColour(kBlue), DevResult::Ok);
  editor_.SetBrushColour(kGreen);
  EXPECT_TRUE(keyboard_.Commands().empty());
  EXPECT_EQ(view_.repaints, repaints);
  EXPECT_EQ(FileValue("Mode0", "color"), "0,255,0");
}

TEST_F(SchemeEditorTest, RightWinAndPageUpShareOneLight) {
  editor_.SetBrushColour(kGreen);
  ASSERT_EQ(editor_.PaintKey(kRightWin), DevResult::Ok);
  EXPECT_EQ(editor_.PaintSlot(kRightWin), 112);
  EXPECT_EQ(ColourWrites(), (std::vector<ColourWrite>{{112 * 3, {0, 255, 0}}}));
  EXPECT_EQ(Shown(kPageUp), kGreen);
}

TEST_F(SchemeEditorTest, NothingIsPaintedOutsideTheUserDefinedEffectOrOnAGKey) {
  editor_.SetBrushColour(kGreen);
  EXPECT_EQ(editor_.PaintKey(kG1), DevResult::Ok);
  ASSERT_EQ(lighting_.SelectEffect(1), DevResult::Ok);
  keyboard_.ClearTrace();
  EXPECT_EQ(editor_.PaintKey(kA), DevResult::Ok);
  EXPECT_TRUE(keyboard_.Commands().empty());
  EXPECT_EQ(Shown(kA), kRed);
  EXPECT_EQ(FileValue("Mode0", std::to_string(editor_.PaintSlot(kA))), "(none)");
}

TEST_F(SchemeEditorTest, SchemesAreSelectedUploadedAndRenamedSeparately) {
  editor_.SetBrushColour(kGreen);
  ASSERT_EQ(editor_.PaintKey(kA), DevResult::Ok);
  editor_.RenameScheme("Evening");
  keyboard_.ClearTrace();

  ASSERT_EQ(editor_.SelectScheme(3), DevResult::Ok);
  EXPECT_EQ(FileValue("PRESENTMODE", "mode"), "3");
  EXPECT_EQ(Shown(kA), kRed);  // scheme 3 is untouched
  EXPECT_EQ(ColourWrites().size(), 8u);
  editor_.RenameScheme(std::string(300, 'x'));
  EXPECT_EQ(FileValue("MODENAME", "3"), std::string(259, 'x'));

  ASSERT_EQ(editor_.SelectScheme(0), DevResult::Ok);
  EXPECT_EQ(Shown(kA), kGreen);
  EXPECT_EQ(FileValue("MODENAME", "0"), "Evening");
  EXPECT_EQ(editor_.Snapshot().tools.brushColour, kGreen);
  // Out of range: nothing changes.
  EXPECT_EQ(editor_.SelectScheme(10), DevResult::Ok);
  EXPECT_EQ(editor_.Snapshot().scheme, 0);
}

}  // namespace
}  // namespace keyloft

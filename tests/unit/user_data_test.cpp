#include "store/user_data.h"

#include <gtest/gtest.h>

#include <set>

#include "model/keyboard_model.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using test::TempDir;

constexpr std::string_view kTemplate =
    "[PRESENTMODE]\r\nmode=2\r\n[MODENAME]\r\n0=Sunset\r\n1=Ocean\r\n2=Gaming\r\n3=Typing\r\n"
    "[Mode2]\r\ntool=1\r\njcolor=10,20,30\r\ncolor=255,255,255\r\n35=12,300,7,5\r\n91=0,0,0,0\r\n";

class UserDataTest : public ::testing::Test {
 protected:
  UserDataTest() { dir_.Write("prog/Skins/UserDengColor_3.userd", kTemplate); }
  std::string File(int p) { return dir_.Read("data/UserDengColor_" + std::to_string(p) + ".userd"); }

  TempDir dir_;
  UserData data_{dir_ / "data", dir_ / "prog"};
};

TEST_F(UserDataTest, AFirstStartSeedsThreeCopiesOfTheTemplate) {
  data_.EnsureUserDataFolder();
  for (int p = 0; p < 3; ++p) EXPECT_EQ(File(p), kTemplate);
  EXPECT_EQ(data_.ReadSchemeIndex(1), 2);
  EXPECT_EQ(data_.ReadSchemeName(1, 3), "Typing");
  EXPECT_EQ(data_.ReadSchemeTools(1, 2), (SchemeTools{1, 0x1E140A, 0xFFFFFF}));
  EXPECT_EQ(data_.ReadKeyLight(1, 2, 35), (KeyLight{0x072C0C, 1}));  // 300 keeps its low 8 bits
  EXPECT_EQ(data_.ReadKeyLight(1, 2, 91), (KeyLight{0, 0}));
}

TEST_F(UserDataTest, AnExistingFolderIsNeverSeededAgain) {
  data_.EnsureUserDataFolder();
  std::filesystem::remove(dir_ / "data/UserDengColor_1.userd");
  data_.EnsureUserDataFolder();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "data/UserDengColor_1.userd"));
  // Everything reads as its default ...
  EXPECT_EQ(data_.ReadSchemeIndex(1), 0);
  EXPECT_EQ(data_.ReadSchemeName(1, 4), "0");
  EXPECT_EQ(data_.ReadSchemeTools(1, 0), SchemeTools{});
  EXPECT_EQ(data_.ReadKeyLight(1, 0, 35), (KeyLight{0x0000FF, 1}));
  // ... and the first write makes a file holding just what was written.
  data_.WriteKeyLight(1, 0, 35, {0xFF8000, 0});
  EXPECT_EQ(File(1), "[Mode0]\n35=0,128,255,0\n");
}

TEST_F(UserDataTest, ValuesThatDoNotScanReadAsTheirDefaults) {
  dir_.Write("data/UserDengColor_0.userd",
             "[PRESENTMODE]\nmode=x\n[Mode15]\njcolor=1,2\ncolor=a,b,c\n35=1,2,3\n36=9,8,7,0,junk\n");
  EXPECT_EQ(data_.ReadSchemeIndex(0), 0);
  EXPECT_EQ(data_.ReadSchemeTools(0, 15), SchemeTools{});
  EXPECT_EQ(data_.ReadKeyLight(0, 15, 35), (KeyLight{0x0000FF, 1}));
  EXPECT_EQ(data_.ReadKeyLight(0, 15, 36), (KeyLight{0x070809, 0}));  // trailing text is ignored, as %d does
  dir_.Write("data/UserDengColor_0.userd", "[PRESENTMODE]\nmode=15\n[Mode15]\ntool=1\n");
  EXPECT_EQ(data_.ReadSchemeTools(0, data_.ReadSchemeIndex(0)).tool, 1);  // mode 15 reads section Mode15
}

TEST_F(UserDataTest, WritesGoToTheirProfilesFileOnly) {
  data_.EnsureUserDataFolder();
  data_.WriteSchemeName(1, 3, "My Layout");
  data_.WriteSchemeIndex(1, 7);
  data_.WriteSchemeTools(1, 7, {1, 0x00FF00, 0x0000FF});
  EXPECT_EQ(data_.ReadSchemeName(1, 3), "My Layout");
  EXPECT_EQ(data_.ReadSchemeName(1, 2), "Gaming");
  EXPECT_EQ(data_.ReadSchemeTools(1, 7), (SchemeTools{1, 0x00FF00, 0x0000FF}));
  EXPECT_NE(File(1).find("[Mode7]\r\ntool=1\r\njcolor=0,255,0\r\ncolor=255,0,0\r\n"), std::string::npos);
  EXPECT_EQ(File(0), kTemplate);
  EXPECT_EQ(File(2), kTemplate);

  ASSERT_TRUE(data_.ResetLightingFile(1));
  EXPECT_EQ(data_.ReadSchemeName(1, 3), "Typing");
}

TEST_F(UserDataTest, TheTemplateIsCopiedAsText) {
  dir_.Write("prog/Skins/UserDengColor_3.userd", "[MODENAME]\n0=A\r\n1=B\n\x1A" "2=after the end\n");
  data_.EnsureUserDataFolder();
  EXPECT_EQ(File(2), "[MODENAME]\r\n0=A\r\n1=B\r\n");
}

TEST_F(UserDataTest, AResetWithoutATemplateKeepsTheFile) {
  data_.EnsureUserDataFolder();
  data_.WriteSchemeName(2, 0, "Kept");
  std::filesystem::remove(dir_ / "prog/Skins/UserDengColor_3.userd");
  EXPECT_FALSE(data_.ResetLightingFile(2));
  EXPECT_EQ(data_.ReadSchemeName(2, 0), "Kept");
}

TEST(Colours, FormatAndParse) {
  EXPECT_EQ(FormatColour(0xFF8000), "0,128,255");
  uint32_t c = 0;
  EXPECT_TRUE(ParseColour("1,2,3", c));
  EXPECT_EQ(c, 0x030201u);
  EXPECT_TRUE(ParseColour("-1,256,3", c));
  EXPECT_EQ(c, 0x0300FFu);
  EXPECT_FALSE(ParseColour("1,,3", c));
  EXPECT_FALSE(ParseColour("", c));
}

}  // namespace
}  // namespace keyloft

#include "model/lighting.h"
#include "util/ini_file.h"

namespace keyloft {
namespace {

// The template the program ships: ten named schemes, every key painted, and
// each key's base flag set exactly when it shows the scheme's base colour.
TEST(ShippedTemplate, HoldsTenCompleteSchemes) {
  const auto path = std::filesystem::path(KEYLOFT_ASSETS_DIR) / "Skins" / "UserDengColor_3.userd";
  UserData data("/nonexistent", std::filesystem::path(KEYLOFT_ASSETS_DIR));
  ASSERT_TRUE(std::filesystem::exists(data.TemplatePath()));
  std::set<std::string> names;
  for (int scheme = 0; scheme < kSchemesPerProfile; ++scheme) {
    std::string name = ReadIniString(path, "MODENAME", std::to_string(scheme), "0");
    EXPECT_NE(name, "0");
    names.insert(name);
    uint32_t base = 0;
    ASSERT_TRUE(ParseColour(ReadIniString(path, "Mode" + std::to_string(scheme), "jcolor", ""), base)) << scheme;
    for (const auto& entry : kFullSizeLedSlots) {
      if (entry.kind == LedKeyKind::kGKey) continue;
      auto value = ReadIniValue(path, "Mode" + std::to_string(scheme), std::to_string(entry.slot));
      ASSERT_TRUE(value) << "scheme " << scheme << " slot " << entry.slot;
      uint32_t colour = 0;
      ASSERT_TRUE(ParseColour(*value, colour));
      EXPECT_EQ(value->back() == '1', colour == base) << "scheme " << scheme << " slot " << entry.slot;
    }
  }
  EXPECT_EQ(names.size(), 10u);
  EXPECT_EQ(ReadIniString(path, "PRESENTMODE", "mode", ""), "0");
}

}  // namespace
}  // namespace keyloft

#include "store/settings.h"

#include <gtest/gtest.h>

#include "lang/localisation.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using test::TempDir;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    dir_.Write("prog/Lang0409.ini", "[TEXT]\nMACRO_ACTION_RECORD_DELAY=Record delays\n");
    std::filesystem::create_directories(dir_ / "data");
  }

  std::string RegistryText() const { return dir_.Read("config/registry.ini"); }

  TempDir dir_;
  RegistryKey registry_{dir_ / "config" / "registry.ini"};
  // Rechecked at every lookup: a test changes the language file under it.
  Localisation lang_{dir_ / "prog", 0x0409, std::chrono::milliseconds(0)};
  Settings settings_{registry_, dir_ / "data", lang_};
};

TEST_F(SettingsTest, FirstRunReadsTheDefaults) {
  EXPECT_EQ(settings_.ReadFlip(), 0);
  EXPECT_EQ(settings_.ReadRecordDelay(), 0);
  EXPECT_FALSE(settings_.ReadLightingView());
}

TEST_F(SettingsTest, FlagsStoreZeroForAnyOtherNumber) {
  EXPECT_EQ(settings_.WriteFlip(1), 1);
  EXPECT_EQ(settings_.ReadFlip(), 1);
  EXPECT_EQ(settings_.WriteFlip(5), 0);
  EXPECT_EQ(settings_.ReadFlip(), 0);
  EXPECT_NE(RegistryText().find("[Vantor Orvo Full-Size Keyboard\\PROFILES]\nFlip=0\n"), std::string::npos);
  EXPECT_EQ(settings_.WriteRecordDelay(-1), 0);
  EXPECT_EQ(settings_.WriteRecordDelay(1), 1);
}

TEST_F(SettingsTest, TheRecordDelayValueIsNamedByTheLanguageText) {
  settings_.WriteRecordDelay(1);
  EXPECT_EQ(registry_.ReadString(kProfilesSubKey, "Record delays"), "1");
  dir_.Write("prog/Lang0409.ini", "[TEXT]\nMACRO_ACTION_RECORD_DELAY=Delays\n");
  EXPECT_EQ(settings_.ReadRecordDelay(), 0);  // another language reads another value
}

TEST_F(SettingsTest, ShorterProfileListsLeaveHigherEntriesInPlace) {
  settings_.WriteProfileList({"/a/one.fwc", "/a/two.fwc", "/a/three.fwc"});
  settings_.WriteProfileList({"/b/one.fwc"});
  EXPECT_EQ(registry_.ReadString(kProfilesSubKey, "PROFILE00"), "1");
  EXPECT_EQ(registry_.ReadString(kProfilesSubKey, "PROFILE01"), "/b/one.fwc");
  EXPECT_EQ(registry_.ReadString(kProfilesSubKey, "PROFILE02"), "/a/two.fwc");
  EXPECT_EQ(registry_.ReadString(kProfilesSubKey, "PROFILE03"), "/a/three.fwc");
}

TEST_F(SettingsTest, LightingViewIsOnOnlyForTheNumberOne) {
  settings_.WriteLightingView(true);
  EXPECT_EQ(dir_.Read("data/lykb.ini"), "[KEYCOLOR]\nDengCheck=1\n");
  EXPECT_TRUE(settings_.ReadLightingView());
  for (const char* text : {"2", "0", "yes", "", "-1"}) {
    dir_.Write("data/lykb.ini", std::string("[KEYCOLOR]\nDengCheck=") + text + "\n");
    EXPECT_FALSE(settings_.ReadLightingView()) << text;
  }
  dir_.Write("data/lykb.ini", "[keycolor]\ndengcheck= 1x\n");
  EXPECT_TRUE(settings_.ReadLightingView());
}

TEST_F(SettingsTest, AFailedWriteIsIgnoredAndChangesNothing) {
  std::filesystem::remove_all(dir_ / "data");
  settings_.WriteLightingView(true);  // the user data folder is not this class's to create
  EXPECT_FALSE(std::filesystem::exists(dir_ / "data"));
  EXPECT_FALSE(settings_.ReadLightingView());
}

TEST(RegistryKey, ValuesKeepTheirType) {
  TempDir dir;
  RegistryKey key(dir / "cfg" / "registry.ini");
  EXPECT_EQ(key.ReadDword("", "n"), std::nullopt);
  ASSERT_TRUE(key.WriteDword("", "n", 0x0409));
  ASSERT_TRUE(key.WriteString("Sub\\Key", "s", "dword:00000001"));  // a string that looks like a number
  ASSERT_TRUE(key.WriteString("Sub\\Key", "p", "/home/a b/c.fwc"));

  EXPECT_EQ(key.ReadDword("", "n"), 0x0409u);
  EXPECT_EQ(key.ReadString("", "n"), std::nullopt);
  EXPECT_EQ(key.ReadString("Sub\\Key", "s"), "dword:00000001");
  EXPECT_EQ(key.ReadDword("Sub\\Key", "s"), std::nullopt);
  EXPECT_EQ(key.ReadString("sub\\key", "P"), "/home/a b/c.fwc");
  EXPECT_EQ(dir.Read("cfg/registry.ini"),
            "[]\nn=dword:00000409\n\n[Sub\\Key]\ns=sz:dword:00000001\np=/home/a b/c.fwc\n");

  dir.Write("cfg/registry.ini", "[]\nn=dword:xyz\nm=dword:123456789\n");
  EXPECT_EQ(key.ReadDword("", "n"), std::nullopt);
  EXPECT_EQ(key.ReadDword("", "m"), std::nullopt);
}

}  // namespace
}  // namespace keyloft

#include "lang/localisation.h"

#include <gtest/gtest.h>

#include "store/registry.h"
#include "store/settings.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using test::TempDir;

// A program folder with two small language files and a registry in a temporary home.
class LocalisationTest : public ::testing::Test {
 protected:
  LocalisationTest() {
    dir_.Write("prog/Lang0409.ini",
               "[TEXT]\nHELLO=Hello\nEMPTY=\nUNKNOWN_KEY=Key %d\n[LIGHT]\nUsb=Report Rate\n[MODE]\n1=Wave\n");
    dir_.Write("prog/Lang0C04.ini", "[TEXT]\nHELLO=Neih hou\n");
  }

  // As the core makes it: the language resolved once, then looked up.
  Localisation Make(uint16_t systemId, std::chrono::milliseconds recheck = std::chrono::seconds(1)) {
    return Localisation(dir_ / "prog", ResolveLanguageId(registry_, systemId), recheck);
  }

  TempDir dir_;
  RegistryKey registry_{dir_ / "config" / "registry.ini"};
};

struct FirstRunCase {
  uint16_t system;
  uint16_t stored;
  friend void PrintTo(const FirstRunCase& c, std::ostream* os) { *os << "system 0x" << std::hex << c.system; }
};

class FirstRun : public LocalisationTest, public ::testing::WithParamInterface<FirstRunCase> {};

TEST_P(FirstRun, StoresTheMappedSystemLanguageOrEnglish) {
  Localisation lang = Make(GetParam().system);
  EXPECT_EQ(lang.GetLanguageId(), GetParam().stored);
  EXPECT_EQ(registry_.ReadDword("", "dwLanguageId"), GetParam().stored);
  EXPECT_EQ(lang.GetLanguageIndex(), 0);
  EXPECT_EQ(lang.GetText("HELLO"), "Hello");
}

INSTANTIATE_TEST_SUITE_P(SystemLanguages, FirstRun,
                         ::testing::Values(FirstRunCase{0x0409, 0x0409},
                                           FirstRunCase{0x0809, 0x0409},   // English (UK) maps to US English
                                           FirstRunCase{0x0C04, 0x0409},   // Chinese (Hong Kong) is mapped first
                                           FirstRunCase{0x0C0C, 0x0409},   // maps to French, which is unsupported
                                           FirstRunCase{0x0411, 0x0409}));  // unmapped and unsupported

TEST_F(LocalisationTest, AStoredChoiceIsKeptEvenWhenUnsupported) {
  ASSERT_TRUE(registry_.WriteDword("", "dwLanguageId", 0x0407));
  Localisation lang = Make(0x0409);
  EXPECT_EQ(lang.GetLanguageId(), 0x0407);
  EXPECT_EQ(lang.GetLanguageIndex(), 0);
  EXPECT_EQ(lang.GetText("HELLO"), "Hello");
  EXPECT_EQ(registry_.ReadDword("", "dwLanguageId"), 0x0407u);
}

TEST_F(LocalisationTest, AValueOfTheWrongTypeIsReplaced) {
  ASSERT_TRUE(registry_.WriteString("", "dwLanguageId", "1033"));
  EXPECT_EQ(Make(0x0809).GetLanguageId(), 0x0409);
  EXPECT_EQ(registry_.ReadDword("", "dwLanguageId"), 0x0409u);
}

TEST_F(LocalisationTest, LookupsTellMissingFromEmpty) {
  Localisation lang = Make(0x0409);
  EXPECT_EQ(lang.GetText("HELLO", 0), "Hello");
  EXPECT_EQ(lang.GetText("EMPTY", 0), "");
  EXPECT_EQ(lang.GetText("NOPE", 0), "#Error");
  EXPECT_EQ(lang.GetText("Usb", 0), "#Error");  // sections are kept apart
  EXPECT_EQ(lang.GetLightText("Usb", 0), "Report Rate");
  EXPECT_EQ(lang.GetModeText(1), "Wave");
  EXPECT_EQ(lang.GetModeText(2), "#Error");
  EXPECT_EQ(lang.FormatTextOf("UNKNOWN_KEY", 100LL), "Key 100");
}

TEST_F(LocalisationTest, TheIndexNamesTheFile) {
  Localisation lang = Make(0x0409, std::chrono::milliseconds(0));
  EXPECT_EQ(lang.GetText("HELLO", 2), "Neih hou");  // index 2 reads Lang0C04.ini
  EXPECT_EQ(lang.GetText("HELLO", 3), "Hello");     // above 2 counts as 0
  EXPECT_EQ(lang.LanguageFile(2).filename(), "Lang0C04.ini");
  std::filesystem::remove(dir_ / "prog" / "Lang0C04.ini");
  EXPECT_EQ(lang.GetText("HELLO", 2), "#Error");
}

TEST_F(LocalisationTest, AChangedFileIsReadAgain) {
  Localisation lang = Make(0x0409, std::chrono::milliseconds(0));
  EXPECT_EQ(lang.GetText("HELLO"), "Hello");
  dir_.Write("prog/Lang0409.ini", "[TEXT]\nHELLO=Hi again\n");
  EXPECT_EQ(lang.GetText("HELLO"), "Hi again");
  std::filesystem::remove(dir_ / "prog" / "Lang0409.ini");
  EXPECT_EQ(lang.GetText("HELLO"), "#Error");
}

TEST_F(LocalisationTest, LookupsBetweenChecksTouchNoFile) {
  Localisation lang = Make(0x0409, std::chrono::hours(1));
  EXPECT_EQ(lang.GetText("HELLO"), "Hello");
  std::filesystem::remove(dir_ / "prog" / "Lang0409.ini");
  EXPECT_EQ(lang.GetText("HELLO"), "Hello");
  EXPECT_EQ(lang.GetText("EMPTY"), "");
}

TEST_F(LocalisationTest, ReadingTheLanguageWritesNothing) {
  ASSERT_TRUE(registry_.WriteDword("", "dwLanguageId", 0x0409));
  Localisation lang = Make(0x0409);
  std::filesystem::remove(registry_.File());
  EXPECT_EQ(lang.GetLanguageId(), 0x0409);
  EXPECT_EQ(lang.GetText("HELLO"), "Hello");
  EXPECT_FALSE(std::filesystem::exists(registry_.File()));
}

TEST(MapSystemLanguage, SearchesThePairsInOrder) {
  EXPECT_EQ(MapSystemLanguage(0x1004), 0x0409);
  EXPECT_EQ(MapSystemLanguage(0xE40C), 0x040C);
  EXPECT_EQ(MapSystemLanguage(0x0807), 0x0407);
  EXPECT_EQ(MapSystemLanguage(0x0409), 0);
}

}  // namespace
}  // namespace keyloft

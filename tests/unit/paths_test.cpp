#include "platform/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/locale.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using Env = std::map<std::string, std::string>;

auto Lookup(const Env& env) {
  return [&env](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
}

TEST(Paths, FollowTheXdgFoldersAndTheirDefaults) {
  Env env{{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/data"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}};
  Paths p = Paths::FromEnvironment(Lookup(env));
  EXPECT_EQ(p.dataHome, "/data");
  EXPECT_EQ(p.configHome, "/home/ann/.config");
  EXPECT_EQ(p.runtimeFolder, "/run/user/1000");
  EXPECT_EQ(UserDataFolder(p), "/data/Orvo_Key 104 Mechanical Keyboard");
  EXPECT_EQ(SettingsFolder(p), "/home/ann/.config/Orvo_Key 104 Mechanical Keyboard");
}

TEST(Paths, IgnoreRelativeXdgValues) {
  Env env{{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "relative/data"}, {"XDG_CONFIG_HOME", ""}};
  Paths p = Paths::FromEnvironment(Lookup(env));
  EXPECT_EQ(p.dataHome, "/home/ann/.local/share");
  EXPECT_EQ(p.configHome, "/home/ann/.config");
  EXPECT_TRUE(p.runtimeFolder.empty());
}

TEST(Paths, WithoutARuntimeFolderAPrivateOneIsMade) {
  test::TempDir home;
  Paths paths;
  paths.configHome = home / "config";
  const auto folder = PrivateRuntimeFolder(paths);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder, home / "config" / kProductFolderName / "run");
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  paths.runtimeFolder = home / "runtime";
  EXPECT_EQ(PrivateRuntimeFolder(paths), home / "runtime");
}

TEST(Paths, ProgramFolderIsTheExecutablesUnlessOverridden) {
  Env env{{"HOME", "/h"}};
  EXPECT_EQ(Paths::FromEnvironment(Lookup(env)).programFolder, ExecutableFolder());
  EXPECT_FALSE(ExecutableFolder().empty());
  env["KEYLOFT_PROGRAM_DIR"] = "/opt/keyloft";
  EXPECT_EQ(Paths::FromEnvironment(Lookup(env)).programFolder, "/opt/keyloft");
}

struct LocaleCase {
  const char* locale;
  uint16_t id;
  friend void PrintTo(const LocaleCase& c, std::ostream* os) { *os << '"' << c.locale << '"'; }
};

class LocaleToLanguageIdCases : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleToLanguageIdCases, MapsToWindowsLanguageIds) {
  EXPECT_EQ(LocaleToLanguageId(GetParam().locale), GetParam().id) << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleToLanguageIdCases,
                         ::testing::Values(LocaleCase{"en_US.UTF-8", 0x0409}, LocaleCase{"en_GB.UTF-8", 0x0809},
                                           LocaleCase{"fr_CA.UTF-8@euro", 0x0C0C}, LocaleCase{"de_AT", 0x0C07},
                                           LocaleCase{"zh_HK.UTF-8", 0x0C04}, LocaleCase{"zh_TW", 0x0404},
                                           LocaleCase{"de", 0x0407}, LocaleCase{"fr_XX", 0x040C},
                                           LocaleCase{"C", 0x0409}, LocaleCase{"POSIX", 0x0409},
                                           LocaleCase{"", 0x0409}, LocaleCase{"xx_YY", 0x0409}));

TEST(SystemLanguageId, TakesTheFirstSetLocaleVariable) {
  EXPECT_EQ(SystemLanguageId(Lookup({{"LC_ALL", ""}, {"LC_MESSAGES", "de_DE"}, {"LANG", "fr_FR"}})), 0x0407);
  EXPECT_EQ(SystemLanguageId(Lookup({{"LANG", "en_GB.UTF-8"}})), 0x0809);
  EXPECT_EQ(SystemLanguageId(Lookup({})), 0x0409);
}

}  // namespace
}  // namespace keyloft

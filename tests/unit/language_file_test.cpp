// The shipped English language file must answer every lookup the program makes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lang/localisation.h"
#include "model/key_codes.h"
#include "util/ini_file.h"
#include "util/text.h"

namespace keyloft {
namespace {

const std::filesystem::path kLanguageFile = std::filesystem::path(KEYLOFT_ASSETS_DIR) / "Lang0409.ini";

// Texts the windows, dialogs and messages look up by key.
constexpr const char* kTextKeys[] = {
    "MAIN_CAPTION", "MAIN_HELP_PROMPT", "MAIN_CLOSE_PROMPT", "MAIN_MINIMIZE_PROMPT", "MAIN_MENU_PROMPT",
    "MAIN_APPLY_PROMPT", "MAIN_NO_DEVICE_PROMPT", "MAIN_PROMPT_DEFAULT", "MAIN_PROMPT_INPORT",
    "MAIN_DEFAULT_MATRIX_PROMPT", "MAIN_SWITCH_COLOR_TEXT", "KEYBOARD_TRAY_DESC", "IDS_TrayTip_Keyboard",
    "MENU_1", "MENU_2", "MENU_3", "MENU_4", "MENU_11", "MENU_22", "MENU_33",
    "LANG_ABOUT_TITLE", "LANG_ABOUT_OK", "GUANYU_BANQUAN", "GUANYU_JIESHAO",
    "PROFILE_NEW", "PROFILE_FORMAT_ERROR", "PROFILE_LOAD_PROMPT", "PROFILE_SELECT_PROMPT",
    "PROFILE_SEELCT_PROMPT2", "PROFILE_TIP", "EXTRA_PROFILE_SPACE_TIGHT", "EXTRA_MACRO_TOO_LONG",
    "KEY_PROMPT_SET", "KEY_PROMPT_SINGLE", "KEY_PROMPT_MACRO", "KEY_PROMPT_MEDIA", "KEY_PROMPT_FUNCTION",
    "COMPOSITE_PROMPT_CLEAR", "COMPOSITE_PROMPT_OSK",
    "FUNC_KEY_DESC1", "FUNC_KEY_DESC2", "FUNC_KEY_DESC3", "FUNC_KEY_DESC4", "FUNC_KEY_DESC5", "FUNC_KEY_DESC6",
    "FUNC_KEY_DESC7", "FUNC_KEY_DESC8", "FUNC_KEY_DESC9", "FUNC_KEY_DESC10", "FUNC_KEY_DESC11",
    "A1", "A2", "A3", "A4", "A5", "UNKNOWN_KEY",
    "MACRO_NEW_PREFIX", "MACRO_CYCLES", "MACRO_ERR_MAX", "MACRO_DELETE_CONFIRM_OF_KEYS", "MACRO_ACTION_RECORD",
    "MACRO_ACTION_STOP_RECORD", "MACRO_ACTION_RECORD_DELAY", "MACRO_ACTION_CLEAR_CONFIRM",
    "MACRO_ACTION_ERR_DELAY_MAX", "MACRO_ACTION_ERR_MODIFY", "RECORD_DELAY", "MACRO_KEYS_TISHI",
    "MACRO_ACTION_TISHI", "MACRO_DELAY_MS", "IDS_MACRO_KB_KEY", "IDS_MACRO_MOU_KEY",
};
constexpr const char* kLightKeys[] = {"Usb", "Color", "JColor", "DC", "Tool"};
constexpr int kEffectCount = 20;

std::string Text(std::string_view section, std::string_view key) {
  return ReadIniValue(kLanguageFile, section, key).value_or("<missing>");
}

// Every whole key the core passes to a TEXT lookup as a literal (keys
// composed at run time are listed above).
std::set<std::string> KeysLookedUpInSource() {
  std::set<std::string> keys;
  const std::regex call(R"re(\b(GetText|FormatTextOf|Notify|NotifyFormatted|Confirm|text|Text)\(\s*"([A-Za-z0-9_]+)"\s*[,)])re");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(KEYLOFT_SOURCE_DIR)) {
    auto ext = entry.path().extension();
    if (ext != ".cpp" && ext != ".h") continue;
    std::ifstream in(entry.path());
    std::stringstream s;
    s << in.rdbuf();
    std::string source = s.str();
    for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) keys.insert((*it)[2]);
  }
  return keys;
}

TEST(LanguageFile, HasEveryTextTheProgramLooksUp) {
  std::set<std::string> keys(std::begin(kTextKeys), std::end(kTextKeys));
  auto fromSource = KeysLookedUpInSource();
  EXPECT_TRUE(fromSource.count("UNKNOWN_KEY"));  // the scan itself works
  EXPECT_TRUE(fromSource.count("EXTRA_MACRO_TOO_LONG"));
  keys.insert(fromSource.begin(), fromSource.end());
  for (const auto& row : KeyTable()) {
    if (!row.nameKey.empty()) keys.insert(std::string(row.nameKey));
  }
  for (const auto& media : MediaList()) keys.insert(std::string(media.nameKey));

  for (const auto& key : keys) {
    auto value = ReadIniValue(kLanguageFile, "TEXT", key);
    ASSERT_TRUE(value) << key;
    EXPECT_FALSE(Trim(*value).empty()) << key;
    EXPECT_LE(CountCodePoints(*value), kIniBufferChars - 1) << key;
  }
  for (const char* key : kLightKeys) EXPECT_NE(Text("LIGHT", key), "<missing>") << key;
  for (int mode = 1; mode <= kEffectCount; ++mode) EXPECT_NE(Text("MODE", std::to_string(mode)), "<missing>") << mode;
}

struct FormatExpectation {
  const char* key;
  int integers;
  int strings;
};

TEST(LanguageFile, FormatTextsCarryExactlyTheirPlaceholders) {
  const FormatExpectation formats[] = {{"PROFILE_FORMAT_ERROR", 0, 1},
                                       {"UNKNOWN_KEY", 1, 0},
                                       {"MACRO_ERR_MAX", 1, 0},
                                       {"MACRO_ACTION_ERR_DELAY_MAX", 1, 0},
                                       {"MAIN_HELP_MISSING", 0, 1},
                                       {"MAIN_LINK_FAILED", 0, 1},
                                       {"MACRO_NEW_PREFIX", 0, 0}};  // a prefix the program follows with a number
  for (const auto& f : formats) {
    auto p = CountPlaceholders(Text("TEXT", f.key));
    EXPECT_EQ(p.count, f.integers + f.strings) << f.key;
    EXPECT_EQ(p.integers, f.integers) << f.key;
    EXPECT_EQ(p.strings, f.strings) << f.key;
  }
}

// The keys of one section of the shipped file, in file order.
std::vector<std::string> KeysOf(std::string_view wanted) {
  std::ifstream in(kLanguageFile);
  std::vector<std::string> keys;
  std::string line, section;
  while (std::getline(in, line)) {
    std::string_view l = Trim(line);
    if (l.starts_with('[') && l.find(']') != l.npos) {
      section = std::string(Trim(l.substr(1, l.find(']') - 1)));
    } else if (!l.starts_with(';') && l.find('=') != l.npos && EqualsIgnoreCase(section, wanted)) {
      keys.emplace_back(Trim(l.substr(0, l.find('='))));
    }
  }
  return keys;
}

TEST(LanguageFile, OnlyTheFormatTextsHoldPlaceholders) {
  const std::set<std::string> formats = {"PROFILE_FORMAT_ERROR", "UNKNOWN_KEY", "MACRO_ERR_MAX",
                                         "MACRO_ACTION_ERR_DELAY_MAX", "MAIN_HELP_MISSING", "MAIN_LINK_FAILED",
                                         "MAIN_LINK_REFUSED", "MACRO_MEMORY_UNKNOWN", "MACRO_MEMORY_USED",
                                         "MACRO_MEMORY_NO_NAMES", "MACRO_MEMORY_FULL", "LIGHT_SCHEMES_SET_ASIDE",
                                         "SETTINGS_SET_ASIDE", "WORKING_FILE_SET_ASIDE", "MAIN_RESTORE_PROMPT",
                                         "MAIN_RESTORE_DONE", "MAIN_DEFAULT_DONE", "MAIN_MACROS_PROMPT",
                                         "COMPOSITE_EDITS_KEY", "COMPOSITE_EDITS_MACRO", "MACRO_CYCLES_SHARED", "KEY_NOT_KEPT"};
  std::set<std::string> seen;
  for (const auto& key : KeysOf("TEXT")) {
    EXPECT_TRUE(seen.insert(key).second) << "duplicate key " << key;
    if (!formats.count(key)) {
      EXPECT_EQ(Text("TEXT", key).find('%'), std::string::npos) << key;
    }
  }
  EXPECT_GT(seen.size(), 200u);
}

TEST(LanguageFile, TheRecordDelaysTextCanNameASetting) {
  std::string name = Text("TEXT", "MACRO_ACTION_RECORD_DELAY");
  EXPECT_TRUE(SetIniValue("", "S", name, "1")) << name;
}

}  // namespace
}  // namespace keyloft

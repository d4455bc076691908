// Every text the user sees comes from a language file beside the program,
// looked up by key. The language is chosen from the stored setting or the
// system locale; each lookup reads the file afresh, so nothing is cached.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "util/text.h"

namespace keyloft {

class RegistryKey;

// What a missing file, section or key reads as.
inline constexpr std::string_view kMissingText = "#Error";

// Language ids by language index. Only indexes 0 and 1 are ever chosen.
inline constexpr std::array<uint16_t, 3> kSupportedLanguages = {0x0409, 0x0409, 0x0C04};

// The registry value of the chosen language (0: follow the system).
inline constexpr std::string_view kLanguageIdValue = "dwLanguageId";

// The language broadcast: the message a window receives to re-read its texts.
inline constexpr uint32_t kLanguageMessage = 0x5041;
inline constexpr uint32_t kLanguageTag = 0x4C414E47;  // 'LANG'

// A system language id replaced by the id it is compared as; 0 when unlisted.
uint16_t MapSystemLanguage(uint16_t systemId);

class Localisation {
 public:
  // programFolder holds the language files; registry holds dwLanguageId;
  // systemLanguageId is the user's locale as a Windows id (SystemLanguageId()).
  Localisation(std::filesystem::path programFolder, RegistryKey& registry, uint16_t systemLanguageId);

  // The stored language, chosen and stored on the first run.
  uint16_t GetLanguageId() const;
  // 0 or 1: where GetLanguageId() stands among supported entries 0 and 1; 0 when neither.
  int GetLanguageIndex() const;

  // Lookups in the sections TEXT, LIGHT and MODE of the file of a language index.
  // A missing file, section or key gives "#Error"; a key present but empty gives "".
  std::string GetText(std::string_view key, int index) const;
  std::string GetLightText(std::string_view key, int index) const;
  std::string GetModeText(std::string_view key, int index) const;

  // The same, in the current language.
  std::string GetText(std::string_view key) const { return GetText(key, GetLanguageIndex()); }
  std::string GetLightText(std::string_view key) const { return GetLightText(key, GetLanguageIndex()); }
  std::string GetModeText(int mode) const { return GetModeText(std::to_string(mode), GetLanguageIndex()); }

  // A TEXT entry used as a format with its one argument (see FormatText).
  std::string FormatTextOf(std::string_view key, const FormatArg& arg) const { return FormatText(GetText(key), arg); }

  // "Lang%04X.ini" in the program folder for a language index (above 2 counts as 0).
  std::filesystem::path LanguageFile(int index) const;

 private:
  std::string Lookup(std::string_view section, std::string_view key, int index) const;

  std::filesystem::path programFolder_;
  RegistryKey& registry_;
  uint16_t systemLanguageId_;
};

}  // namespace keyloft

// Every text the user sees comes from a language file beside the program,
// looked up by key. The language is chosen once per run (ChooseLanguage); the
// file is parsed on first use and again only when it changes on disk, so a
// lookup costs a table search, not a file read.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "util/ini_file.h"
#include "util/text.h"

namespace keyloft {

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

// The language of a run, from the stored value (nothing when it is missing or
// not a DWORD) and the system's language. store says the result must be
// written back (the first run, or a stored 0).
struct LanguageChoice {
  uint16_t id = kSupportedLanguages[0];
  bool store = false;
};
LanguageChoice ChooseLanguage(std::optional<uint32_t> stored, uint16_t systemLanguageId);

class Localisation {
 public:
  // programFolder holds the language files; languageId is the run's language
  // (ChooseLanguage). A language file is looked at again (and parsed again if
  // it changed) at most once per recheck; lookups between touch no file.
  Localisation(std::filesystem::path programFolder, uint16_t languageId,
               std::chrono::milliseconds recheck = std::chrono::seconds(1));

  uint16_t GetLanguageId() const { return languageId_; }
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
  // One language file as last parsed, and what the file was then.
  struct Parsed {
    bool loaded = false;
    IniTable table;
    struct timespec modified {};
    off_t size = -1;
    ino_t inode = 0;
    std::chrono::steady_clock::time_point checked{};
  };
  std::string Lookup(std::string_view section, std::string_view key, int index) const;
  const Parsed& Current(int index) const;  // the caller holds mutex_

  std::filesystem::path programFolder_;
  uint16_t languageId_;
  std::chrono::milliseconds recheck_;
  mutable std::mutex mutex_;
  mutable std::array<Parsed, kSupportedLanguages.size()> parsed_;
};

}  // namespace keyloft

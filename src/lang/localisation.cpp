#include "lang/localisation.h"

#include <sys/stat.h>

#include <cstdio>
#include <utility>

#include "util/atomic_file.h"
#include "util/ini_file.h"

namespace keyloft {
namespace {

struct LanguageMapping {
  uint16_t from;
  uint16_t to;
};

// Searched in order; the first match wins.
constexpr std::array<LanguageMapping, 31> kSystemLanguageMap = {{
    {0x0C04, 0x0409}, {0x1004, 0x0409},
    {0x0809, 0x0409}, {0x0C09, 0x0409}, {0x1009, 0x0409}, {0x1409, 0x0409}, {0x1809, 0x0409},
    {0x1C09, 0x0409}, {0x2009, 0x0409}, {0x2409, 0x0409}, {0x2809, 0x0409}, {0x2C09, 0x0409},
    {0x080C, 0x040C}, {0x2C0C, 0x040C}, {0x0C0C, 0x040C}, {0x240C, 0x040C}, {0x300C, 0x040C},
    {0x3C0C, 0x040C}, {0x140C, 0x040C}, {0x340C, 0x040C}, {0x180C, 0x040C}, {0x380C, 0x040C},
    {0xE40C, 0x040C}, {0x200C, 0x040C}, {0x280C, 0x040C}, {0x100C, 0x040C}, {0x1C0C, 0x040C},
    {0x0C07, 0x0407}, {0x1407, 0x0407}, {0x1007, 0x0407}, {0x0807, 0x0407},
}};

}  // namespace

uint16_t MapSystemLanguage(uint16_t systemId) {
  for (const auto& m : kSystemLanguageMap) {
    if (m.from == systemId) return m.to;
  }
  return 0;
}

LanguageChoice ChooseLanguage(std::optional<uint32_t> stored, uint16_t systemLanguageId) {
  // A stored choice is kept as it is, even an unsupported one.
  if (stored && *stored != 0) return {static_cast<uint16_t>(*stored), false};
  uint16_t id = systemLanguageId;
  if (uint16_t mapped = MapSystemLanguage(id)) id = mapped;
  if (id != kSupportedLanguages[0] && id != kSupportedLanguages[1]) id = kSupportedLanguages[0];
  return {id, true};
}

Localisation::Localisation(std::filesystem::path programFolder, uint16_t languageId, std::chrono::milliseconds recheck)
    : programFolder_(std::move(programFolder)), languageId_(languageId), recheck_(recheck) {}

int Localisation::GetLanguageIndex() const {
  return languageId_ == kSupportedLanguages[1] && languageId_ != kSupportedLanguages[0] ? 1 : 0;
}

std::filesystem::path Localisation::LanguageFile(int index) const {
  if (index < 0 || index >= static_cast<int>(kSupportedLanguages.size())) index = 0;
  char name[32];
  std::snprintf(name, sizeof name, "Lang%04X.ini", kSupportedLanguages[static_cast<size_t>(index)]);
  return programFolder_ / name;
}

const Localisation::Parsed& Localisation::Current(int index) const {
  if (index < 0 || index >= static_cast<int>(kSupportedLanguages.size())) index = 0;
  Parsed& parsed = parsed_[static_cast<size_t>(index)];
  // A file edited while the program runs is taken up at the next check;
  // between checks a lookup touches no file at all.
  const auto now = std::chrono::steady_clock::now();
  if (parsed.loaded && now - parsed.checked < recheck_) return parsed;
  parsed.checked = now;
  struct stat st {};
  const bool exists = ::stat(LanguageFile(index).c_str(), &st) == 0;
  const off_t size = exists ? st.st_size : -1;
  if (parsed.loaded && size == parsed.size && st.st_ino == parsed.inode &&
      st.st_mtim.tv_sec == parsed.modified.tv_sec && st.st_mtim.tv_nsec == parsed.modified.tv_nsec) {
    return parsed;
  }
  parsed.loaded = true;
  parsed.size = size;
  parsed.inode = exists ? st.st_ino : 0;
  parsed.modified = exists ? st.st_mtim : timespec{};
  const std::optional<std::string> text = exists ? ReadWholeFile(LanguageFile(index)) : std::nullopt;
  parsed.table = text ? IniTable(*text) : IniTable();
  return parsed;
}

std::string Localisation::Lookup(std::string_view section, std::string_view key, int index) const {
  std::scoped_lock lock(mutex_);
  const std::string* value = Current(index).table.Find(section, key);
  // The fixed buffer of the lookup: a text is cut to 259 characters.
  return std::string(TruncateCodePoints(value ? *value : kMissingText, kIniBufferChars - 1));
}

std::string Localisation::GetText(std::string_view key, int index) const { return Lookup("TEXT", key, index); }
std::string Localisation::GetLightText(std::string_view key, int index) const { return Lookup("LIGHT", key, index); }
std::string Localisation::GetModeText(std::string_view key, int index) const { return Lookup("MODE", key, index); }

}  // namespace keyloft

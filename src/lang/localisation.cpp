#include "lang/localisation.h"

#include <cstdio>
#include <utility>

#include "store/ini_file.h"
#include "store/registry.h"

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

Localisation::Localisation(std::filesystem::path programFolder, RegistryKey& registry, uint16_t systemLanguageId)
    : programFolder_(std::move(programFolder)), registry_(registry), systemLanguageId_(systemLanguageId) {}

uint16_t Localisation::GetLanguageId() const {
  auto stored = registry_.ReadDword("", kLanguageIdValue);
  if (!stored) registry_.WriteDword("", kLanguageIdValue, 0);
  // A stored choice is kept as it is, even an unsupported one.
  if (stored && *stored != 0) return static_cast<uint16_t>(*stored);

  uint16_t id = systemLanguageId_;
  if (uint16_t mapped = MapSystemLanguage(id)) id = mapped;
  if (id != kSupportedLanguages[0] && id != kSupportedLanguages[1]) id = kSupportedLanguages[0];
  registry_.WriteDword("", kLanguageIdValue, id);
  return id;
}

int Localisation::GetLanguageIndex() const {
  uint16_t id = GetLanguageId();
  return id == kSupportedLanguages[1] && id != kSupportedLanguages[0] ? 1 : 0;
}

std::filesystem::path Localisation::LanguageFile(int index) const {
  if (index < 0 || index >= static_cast<int>(kSupportedLanguages.size())) index = 0;
  char name[32];
  std::snprintf(name, sizeof name, "Lang%04X.ini", kSupportedLanguages[static_cast<size_t>(index)]);
  return programFolder_ / name;
}

std::string Localisation::Lookup(std::string_view section, std::string_view key, int index) const {
  return ReadIniString(LanguageFile(index), section, key, kMissingText);
}

std::string Localisation::GetText(std::string_view key, int index) const { return Lookup("TEXT", key, index); }
std::string Localisation::GetLightText(std::string_view key, int index) const { return Lookup("LIGHT", key, index); }
std::string Localisation::GetModeText(std::string_view key, int index) const { return Lookup("MODE", key, index); }

}  // namespace keyloft

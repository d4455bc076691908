#include "platform/locale.h"

#include <array>
#include <cstdlib>
#include <string>

#include "util/text.h"

namespace keyloft {
namespace {

struct LocaleId {
  std::string_view name;  // "ll" for a language's default, "ll_CC" for a region
  uint16_t id;
};

// Regions first; a language alone falls back to its primary entry below.
constexpr std::array kLocaleIds = {
    LocaleId{"en_US", 0x0409}, LocaleId{"en_GB", 0x0809}, LocaleId{"en_AU", 0x0C09}, LocaleId{"en_CA", 0x1009},
    LocaleId{"en_NZ", 0x1409}, LocaleId{"en_IE", 0x1809}, LocaleId{"en_ZA", 0x1C09}, LocaleId{"en_JM", 0x2009},
    LocaleId{"en_BZ", 0x2809}, LocaleId{"en_TT", 0x2C09}, LocaleId{"en_PH", 0x3409}, LocaleId{"en_IN", 0x4009},
    LocaleId{"en_SG", 0x4809}, LocaleId{"fr_FR", 0x040C}, LocaleId{"fr_BE", 0x080C}, LocaleId{"fr_CA", 0x0C0C},
    LocaleId{"fr_CH", 0x100C}, LocaleId{"fr_LU", 0x140C}, LocaleId{"fr_MC", 0x180C}, LocaleId{"de_DE", 0x0407},
    LocaleId{"de_CH", 0x0807}, LocaleId{"de_AT", 0x0C07}, LocaleId{"de_LU", 0x1007}, LocaleId{"de_LI", 0x1407},
    LocaleId{"zh_CN", 0x0804}, LocaleId{"zh_TW", 0x0404}, LocaleId{"zh_HK", 0x0C04}, LocaleId{"zh_SG", 0x1004},
    LocaleId{"zh_MO", 0x1404}, LocaleId{"es_ES", 0x0C0A}, LocaleId{"es_MX", 0x080A}, LocaleId{"es_CO", 0x240A},
    LocaleId{"es_AR", 0x2C0A}, LocaleId{"es_CL", 0x340A}, LocaleId{"es_US", 0x540A}, LocaleId{"pt_BR", 0x0416},
    LocaleId{"pt_PT", 0x0816}, LocaleId{"it_IT", 0x0410}, LocaleId{"it_CH", 0x0810}, LocaleId{"nl_NL", 0x0413},
    LocaleId{"nl_BE", 0x0813}, LocaleId{"sv_SE", 0x041D}, LocaleId{"sv_FI", 0x081D},
    // Primary languages.
    LocaleId{"en", 0x0409}, LocaleId{"fr", 0x040C}, LocaleId{"de", 0x0407}, LocaleId{"zh", 0x0804},
    LocaleId{"es", 0x0C0A}, LocaleId{"pt", 0x0416}, LocaleId{"it", 0x0410}, LocaleId{"nl", 0x0413},
    LocaleId{"sv", 0x041D}, LocaleId{"ja", 0x0411}, LocaleId{"ko", 0x0412}, LocaleId{"ru", 0x0419},
    LocaleId{"pl", 0x0415}, LocaleId{"da", 0x0406}, LocaleId{"nb", 0x0414}, LocaleId{"no", 0x0414},
    LocaleId{"fi", 0x040B}, LocaleId{"cs", 0x0405}, LocaleId{"hu", 0x040E}, LocaleId{"tr", 0x041F},
    LocaleId{"el", 0x0408}, LocaleId{"he", 0x040D}, LocaleId{"ar", 0x0401}, LocaleId{"uk", 0x0422},
    LocaleId{"ro", 0x0418}, LocaleId{"sk", 0x041B}, LocaleId{"bg", 0x0402}, LocaleId{"hr", 0x041A},
    LocaleId{"th", 0x041E}, LocaleId{"vi", 0x042A}, LocaleId{"id", 0x0421},
};

uint16_t Find(std::string_view name) {
  for (const auto& entry : kLocaleIds) {
    if (EqualsIgnoreCase(entry.name, name)) return entry.id;
  }
  return 0;
}

}  // namespace

uint16_t LocaleToLanguageId(std::string_view locale) {
  // Drop ".codeset" and "@modifier": "en_GB.UTF-8@euro" -> "en_GB".
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (uint16_t id = Find(locale)) return id;
  if (uint16_t id = Find(locale.substr(0, locale.find('_')))) return id;
  return kLangEnglishUS;
}

uint16_t SystemLanguageId() {
  return SystemLanguageId([](const char* name) -> const char* { return std::getenv(name); });
}

uint16_t SystemLanguageId(const std::function<const char*(const char*)>& getenv) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value != nullptr && value[0] != '\0') return LocaleToLanguageId(value);
  }
  return kLangEnglishUS;
}

}  // namespace keyloft

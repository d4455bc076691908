// The user's language as a Windows language id, from the locale environment.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace keyloft {

inline constexpr uint16_t kLangEnglishUS = 0x0409;

// Maps a POSIX locale name ("en_GB.UTF-8", "fr_CA@euro", "de") to a Windows
// language id. "C", "POSIX", empty and unknown names give 0x0409.
uint16_t LocaleToLanguageId(std::string_view locale);

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, mapped as above.
uint16_t SystemLanguageId();
uint16_t SystemLanguageId(const std::function<const char*(const char*)>& getenv);

}  // namespace keyloft

// Small text helpers shared by the INI layer, the language lookups and the settings:
// ASCII case folding, trimming, UTF-8-aware truncation, number scanning and a
// printf-like formatter that is safe with format texts read from files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace keyloft {

// Case-insensitive comparison of ASCII letters; other bytes compare as they are.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

// Removes spaces and tabs (and a stray CR) from both ends.
std::string_view Trim(std::string_view text);

// Number of UTF-8 code points; a malformed byte counts as one.
size_t CountCodePoints(std::string_view text);

// The first maxCodePoints code points of text, never cutting a UTF-8 sequence.
std::string_view TruncateCodePoints(std::string_view text, size_t maxCodePoints);

// UTF-8 and UTF-16 both ways; malformed input becomes U+FFFD, never lost bytes
// of the following characters.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Whether UTF-16 units are text a person wrote: surrogates in pairs and, unless
// controlsAllowed, no control characters. What decides that a name or text in
// a file or on the keyboard is damaged.
bool IsCleanUtf16(std::u16string_view text, bool controlsAllowed);

// Reads a decimal integer as "%d" would: leading blanks, an optional sign, digits,
// anything after them ignored. Text without digits yields fallback; values beyond
// the int range saturate instead of overflowing.
int ScanInt(std::string_view text, int fallback);

// The one argument a format text from a language file is given.
using FormatArg = std::variant<long long, std::string_view>;

// Formats a printf-style text with one argument. Understands %d %i %u %x %X %c
// and %s with flags, width and precision, and %%. The argument is used at most once:
// any further conversion, and any unknown one (%n, %p, %f ...), is copied as it
// stands, so a translated text with the wrong placeholders can never read past
// its argument. A conversion of the other kind prints the argument naturally.
std::string FormatText(std::string_view format, const FormatArg& arg);

// How many conversions (not %%) a format text holds, and whether the first is an
// integer conversion. Used to check the shipped language files.
struct FormatPlaceholders {
  int count = 0;
  int integers = 0;
  int strings = 0;
};
FormatPlaceholders CountPlaceholders(std::string_view format);

}  // namespace keyloft

#include "util/text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

namespace keyloft {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// One parsed conversion of a format text: "%" flags width .precision conversion.
struct Conversion {
  size_t end = 0;         // index after the conversion character
  std::string head;       // "%-08.3": the conversion without its character
  char kind = 0;          // the conversion character, 0 when the text ends first
};

Conversion ParseConversion(std::string_view format, size_t at) {
  Conversion c;
  size_t i = at + 1;
  while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) ++i;
  // Width and precision are limited so a hostile text cannot ask for a huge field.
  size_t digits = 0;
  while (i < format.size() && format[i] >= '0' && format[i] <= '9' && digits < 3) { ++i; ++digits; }
  if (i < format.size() && format[i] == '.') {
    ++i;
    digits = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && digits < 3) { ++i; ++digits; }
  }
  // Length modifiers are accepted and dropped: the argument's own type decides.
  size_t headEnd = i;
  while (i < format.size() && std::string_view("hlLqjzt").find(format[i]) != std::string_view::npos) ++i;
  c.head.assign(format.substr(at, headEnd - at));
  c.kind = i < format.size() ? format[i] : 0;
  c.end = i < format.size() ? i + 1 : i;
  return c;
}

bool IsIntegerKind(char k) { return k == 'd' || k == 'i' || k == 'u' || k == 'x' || k == 'X' || k == 'c'; }

std::string FormatInteger(const std::string& head, char kind, long long value) {
  char buf[512];
  std::string fmt = head;
  int n = 0;
  if (kind == 'd' || kind == 'i') {
    fmt += "lld";
    n = std::snprintf(buf, sizeof buf, fmt.c_str(), value);
  } else if (kind == 'c') {
    fmt += 'c';
    n = std::snprintf(buf, sizeof buf, fmt.c_str(), static_cast<int>(static_cast<unsigned char>(value)));
  } else {
    fmt += "ll";
    fmt += kind;
    n = std::snprintf(buf, sizeof buf, fmt.c_str(), static_cast<unsigned long long>(value));
  }
  return n < 0 ? std::string() : std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

size_t CountCodePoints(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuationByte(c); }));
}

std::string_view TruncateCodePoints(std::string_view text, size_t maxCodePoints) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsContinuationByte(text[i])) continue;
    if (seen == maxCodePoints) return text.substr(0, i);
    ++seen;
  }
  return text;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = length != 0 && i + length <= text.size();
    for (size_t k = 1; ok && k < length; ++k) {
      ok = IsContinuationByte(text[i + k]);
      cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && cp >= kMin[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!ok) {
      out += u'\uFFFD';
      ++i;
      while (i < text.size() && IsContinuationByte(text[i])) ++i;
      continue;
    }
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += length;
  }
  return out;
}

bool IsCleanUtf16(std::u16string_view text, bool controlsAllowed) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (!controlsAllowed && (u < 0x20 || u == 0x7F)) return false;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

int ScanInt(std::string_view text, int fallback) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return fallback;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string FormatText(std::string_view format, const FormatArg& arg) {
  std::string out;
  bool used = false;
  size_t i = 0;
  while (i < format.size()) {
    size_t pct = format.find('%', i);
    if (pct == std::string_view::npos) {
      out.append(format.substr(i));
      break;
    }
    out.append(format.substr(i, pct - i));
    if (pct + 1 < format.size() && format[pct + 1] == '%') {
      out += '%';
      i = pct + 2;
      continue;
    }
    Conversion c = ParseConversion(format, pct);
    bool known = IsIntegerKind(c.kind) || c.kind == 's';
    if (used || !known) {
      out.append(format.substr(pct, c.end - pct));
    } else if (const auto* number = std::get_if<long long>(&arg)) {
      out += IsIntegerKind(c.kind) ? FormatInteger(c.head, c.kind, *number) : std::to_string(*number);
    } else {
      out.append(std::get<std::string_view>(arg));
    }
    used = used || known;
    i = c.end;
  }
  return out;
}

FormatPlaceholders CountPlaceholders(std::string_view format) {
  FormatPlaceholders p;
  for (size_t i = format.find('%'); i != std::string_view::npos; i = format.find('%', i)) {
    if (i + 1 < format.size() && format[i + 1] == '%') {
      i += 2;
      continue;
    }
    Conversion c = ParseConversion(format, i);
    ++p.count;
    if (IsIntegerKind(c.kind)) ++p.integers;
    if (c.kind == 's') ++p.strings;
    i = c.end;
  }
  return p;
}

}  // namespace keyloft

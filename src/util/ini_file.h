// INI files read and written one value at a time, the way the Windows
// private-profile calls behave, so that language, skin, scheme and settings files
// written for the original program read the same here.
//
// - Section and key names compare without regard to ASCII case; the first match wins.
// - Spaces and tabs around names and values are ignored; a value wrapped in a
//   matching pair of double or single quotes loses them.
// - Lines that start with ';', lines without '=' and lines before the first
//   section are kept but never match.
// - A UTF-8 byte-order mark and CR LF line ends read the same as plain UTF-8 with LF.
// - A write changes or adds exactly one line and keeps every other byte, the
//   file's line ends and its byte-order mark, and replaces the file atomically.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace keyloft {

// The character buffer of the original calls: a value is cut to 259 characters.
inline constexpr size_t kIniBufferChars = 260;

// The value of section/key in INI text, or nothing when the section or key is missing.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key);

// The text with section/key set to value: the existing line changed, or the key
// added at the end of its section, or the section added at the end. Nothing when
// the names or the value cannot be stored in an INI line (line breaks, '=' in a
// key, ']' in a section, an empty key, names with blanks at either end).
// A value that the reader would trim or unquote is written in double quotes, so
// every storable value reads back exactly.
std::optional<std::string> SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                                       std::string_view value);

// Every value of an INI text at once, for a file read many times (the
// language file): Find answers as FindIniValue would, without reading the text again.
class IniTable {
 public:
  IniTable() = default;
  explicit IniTable(std::string_view text);

  // The value of section/key, or nullptr when the section or key is missing.
  const std::string* Find(std::string_view section, std::string_view key) const;
  bool empty() const { return values_.empty(); }

 private:
  // Section and key folded to lower case, a line feed between (neither can hold one).
  std::unordered_map<std::string, std::string> values_;
};

// Whether a file's text is in an encoding this program neither reads nor
// writes: UTF-16 (as Windows may save an INI file), or anything with NUL bytes.
bool InForeignEncoding(std::string_view text);

// A file that is there but in such an encoding reads as nothing and takes no
// write, so every change to it would be lost without a word: it is set aside
// (SetFileAside) and the new name returned. Nothing for a readable or missing
// file, or one that could not move.
std::optional<std::filesystem::path> SetAsideForeignFile(const std::filesystem::path& file);

// The value in the file, whole, or nothing when the file, section or key is missing.
std::optional<std::string> ReadIniValue(const std::filesystem::path& file, std::string_view section,
                                        std::string_view key);

// The value, or defaultValue when the file, section or key is missing; either is
// cut to capacity - 1 characters (code points), as the fixed buffer would.
std::string ReadIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::string_view defaultValue, size_t capacity = kIniBufferChars);

// Sets one value and puts the file on disk at once. Creates the file when missing
// (its folder must exist). Returns false, with the file untouched, when the value
// cannot be stored, the file exists but cannot be read, or the write fails.
bool WriteIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value);

// Several values of one section, the file read and put on disk once: a
// stroke that recolours a hundred keys is one write, not a hundred. False,
// with the file untouched, when any value cannot be stored or the file
// cannot be read or written.
struct IniValue {
  std::string key;
  std::string value;
};
bool WriteIniStrings(const std::filesystem::path& file, std::string_view section, std::span<const IniValue> values);

}  // namespace keyloft

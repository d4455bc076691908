#include "util/ini_file.h"

#include <system_error>

#include "util/atomic_file.h"
#include "util/text.h"

namespace keyloft {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One physical line: [begin, end) is its content, next the start of the following line.
struct Line {
  size_t begin = 0;
  size_t end = 0;
  size_t next = 0;
};

// Walks the lines of a text and tells what each one is.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {
    if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark) pos_ = kByteOrderMark.size();
  }

  bool Next(Line& line) {
    if (pos_ >= text_.size()) return false;
    size_t nl = text_.find('\n', pos_);
    line.begin = pos_;
    line.next = nl == std::string_view::npos ? text_.size() : nl + 1;
    line.end = nl == std::string_view::npos ? text_.size() : nl;
    if (line.end > line.begin && text_[line.end - 1] == '\r') --line.end;
    pos_ = line.next;
    return true;
  }

  std::string_view Content(const Line& line) const { return text_.substr(line.begin, line.end - line.begin); }

  // The name of a "[section]" line.
  static std::optional<std::string_view> SectionName(std::string_view content) {
    content = Trim(content);
    if (content.empty() || content.front() != '[') return std::nullopt;
    size_t close = content.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(content.substr(1, close - 1));
  }

  // The key and raw value of a "key=value" line.
  static bool KeyValue(std::string_view content, std::string_view& key, std::string_view& value) {
    content = Trim(content);
    if (content.empty() || content.front() == ';' || content.front() == '[') return false;
    size_t eq = content.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(content.substr(0, eq));
    value = Trim(content.substr(eq + 1));
    return !key.empty();
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsQuoteChar(char c) { return c == '"' || c == '\''; }

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && IsQuoteChar(value.front()) && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

bool CanStoreSection(std::string_view section) {
  return !HasLineBreakOrNul(section) && section.find(']') == section.npos && Trim(section) == section;
}

bool CanStoreKey(std::string_view key) {
  return !key.empty() && !HasLineBreakOrNul(key) && key.find('=') == key.npos && Trim(key) == key &&
         key.front() != ';' && key.front() != '[';
}

std::string EncodeValue(std::string_view value) {
  bool wouldChange = Trim(value) != value || Unquote(value) != value;
  return wouldChange ? '"' + std::string(value) + '"' : std::string(value);
}

std::string_view LineEndingOf(std::string_view text) {
  size_t nl = text.find('\n');
  return (nl != text.npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
  LineReader reader(text);
  bool inSection = false;
  for (Line line; reader.Next(line);) {
    std::string_view content = reader.Content(line);
    if (auto name = LineReader::SectionName(content)) {
      inSection = EqualsIgnoreCase(*name, section);
      continue;
    }
    std::string_view k, v;
    if (inSection && LineReader::KeyValue(content, k, v) && EqualsIgnoreCase(k, key)) return std::string(Unquote(v));
  }
  return std::nullopt;
}

namespace {

std::string FoldedName(std::string_view section, std::string_view key) {
  std::string folded;
  folded.reserve(section.size() + key.size() + 1);
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (char c : section) folded += lower(c);
  folded += '\n';
  for (char c : key) folded += lower(c);
  return folded;
}

}  // namespace

IniTable::IniTable(std::string_view text) {
  LineReader reader(text);
  std::optional<std::string_view> section;
  for (Line line; reader.Next(line);) {
    std::string_view content = reader.Content(line);
    if (auto name = LineReader::SectionName(content)) {
      section = name;
      continue;
    }
    std::string_view k, v;
    // The first of equal names wins, as FindIniValue's scan does.
    if (section && LineReader::KeyValue(content, k, v)) values_.emplace(FoldedName(*section, k), Unquote(v));
  }
}

const std::string* IniTable::Find(std::string_view section, std::string_view key) const {
  auto it = values_.find(FoldedName(section, key));
  return it == values_.end() ? nullptr : &it->second;
}

std::optional<std::string> SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                                       std::string_view value) {
  if (!CanStoreSection(section) || !CanStoreKey(key) || HasLineBreakOrNul(value)) return std::nullopt;
  const std::string_view eol = LineEndingOf(text);
  const std::string encoded = EncodeValue(value);

  LineReader reader(text);
  bool inSection = false;
  bool inFirstSection = false;
  bool sectionSeen = false;
  std::optional<Line> insertAfter;  // the last header or key line of the first matching section
  for (Line line; reader.Next(line);) {
    std::string_view content = reader.Content(line);
    if (auto name = LineReader::SectionName(content)) {
      inSection = EqualsIgnoreCase(*name, section);
      inFirstSection = inSection && !sectionSeen;
      sectionSeen = sectionSeen || inSection;
      if (inFirstSection) insertAfter = line;
      continue;
    }
    std::string_view k, v;
    if (!inSection || !LineReader::KeyValue(content, k, v)) continue;
    if (EqualsIgnoreCase(k, key)) {
      std::string out(text.substr(0, line.begin));
      out.append(k).append("=").append(encoded).append(text.substr(line.end));
      return out;
    }
    if (inFirstSection) insertAfter = line;
  }

  const std::string newLine = std::string(key) + "=" + encoded;
  if (insertAfter) {
    std::string out(text.substr(0, insertAfter->next));
    if (text[insertAfter->next - 1] != '\n') out.append(eol);  // that line ended the file without a line end
    out.append(newLine).append(eol).append(text.substr(insertAfter->next));
    return out;
  }
  std::string out(text);
  const size_t bom = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  const bool hasContent = text.find_first_not_of(" \t\r\n", bom) != text.npos;
  if (!out.empty() && out.back() != '\n' && hasContent) out.append(eol);
  if (hasContent && !out.ends_with(std::string(eol) + std::string(eol))) out.append(eol);  // a blank line between sections
  out.append("[").append(section).append("]").append(eol).append(newLine).append(eol);
  return out;
}

std::optional<std::string> ReadIniValue(const std::filesystem::path& file, std::string_view section,
                                        std::string_view key) {
  auto text = ReadWholeFile(file);
  if (!text) return std::nullopt;
  return FindIniValue(*text, section, key);
}

std::string ReadIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::string_view defaultValue, size_t capacity) {
  const size_t limit = capacity == 0 ? 0 : capacity - 1;
  auto value = ReadIniValue(file, section, key);
  return std::string(TruncateCodePoints(value ? std::string_view(*value) : defaultValue, limit));
}

namespace {

// The file's text: empty when it does not exist, nothing when it cannot be read.
}  // namespace

bool InForeignEncoding(std::string_view text) {
  return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") || text.find('\0') != std::string_view::npos;
}

std::optional<std::filesystem::path> SetAsideForeignFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return std::nullopt;
  if (const std::optional<std::string> text = ReadWholeFile(file); text && !InForeignEncoding(*text)) return std::nullopt;
  return SetFileAside(file);
}

namespace {

// The file's text for a change, an empty text when there is no file, nothing
// when it cannot be read or is in another encoding (UTF-16, as Windows may
// write it): a line of UTF-8 added to it would be text in neither.
std::optional<std::string> ReadForUpdate(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return ec ? std::nullopt : std::optional<std::string>(std::string());
  std::optional<std::string> text = ReadWholeFile(file);
  if (!text || InForeignEncoding(*text)) return std::nullopt;
  return text;
}

}  // namespace

bool WriteIniStrings(const std::filesystem::path& file, std::string_view section, std::span<const IniValue> values) {
  const std::optional<std::string> old = ReadForUpdate(file);
  if (!old) return false;  // never replace a file we could not read
  std::string text = *old;
  for (const IniValue& v : values) {
    auto updated = SetIniValue(text, section, v.key, v.value);
    if (!updated) return false;
    text = std::move(*updated);
  }
  return text == *old || ReplaceFileAtomically(file, text);
}

bool WriteIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value) {
  const IniValue one{std::string(key), std::string(value)};
  return WriteIniStrings(file, section, std::span(&one, 1));
}

}  // namespace keyloft

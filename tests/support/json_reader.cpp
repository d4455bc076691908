#include "json_reader.h"

#include <cstdlib>

namespace keyloft::test {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Document(JsonValue& out) {
    if (!Value(out)) return false;
    Space();
    return at_ == text_.size();
  }

 private:
  void Space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\t' || text_[at_] == '\r')) ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;  // control characters must be escaped
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (at_ + 4 > text_.size()) return false;
          const long code = std::strtol(std::string(text_.substr(at_, 4)).c_str(), nullptr, 16);
          at_ += 4;
          if (code >= 0x80) return false;  // the tool writes only control characters this way
          out += static_cast<char>(code);
          break;
        }
        default: return false;
      }
    }
    return false;
  }
  bool Value(JsonValue& out) {
    Space();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      out.kind = JsonValue::Kind::kObject;
      if (Take('}')) return true;
      do {
        std::string name;
        JsonValue member;
        if (!String(name) || !Take(':') || !Value(member)) return false;
        out.members.emplace_back(std::move(name), std::move(member));
      } while (Take(','));
      return Take('}');
    }
    if (c == '[') {
      ++at_;
      out.kind = JsonValue::Kind::kArray;
      if (Take(']')) return true;
      do {
        JsonValue item;
        if (!Value(item)) return false;
        out.items.push_back(std::move(item));
      } while (Take(','));
      return Take(']');
    }
    if (c == '"') {
      out.kind = JsonValue::Kind::kString;
      return String(out.text);
    }
    if (Word("true")) return out.kind = JsonValue::Kind::kBool, out.boolean = true, true;
    if (Word("false")) return out.kind = JsonValue::Kind::kBool, true;
    if (Word("null")) return true;
    const std::string rest(text_.substr(at_));
    char* end = nullptr;
    out.number = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str()) return false;
    out.kind = JsonValue::Kind::kNumber;
    at_ += static_cast<size_t>(end - rest.c_str());
    return true;
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](std::string_view name) const {
  static const JsonValue kNull;
  for (const auto& [key, value] : members) {
    if (key == name) return value;
  }
  return kNull;
}

bool JsonValue::Has(std::string_view name) const {
  for (const auto& member : members) {
    if (member.first == name) return true;
  }
  return false;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
  JsonValue value;
  if (!Parser(text).Document(value)) return std::nullopt;
  return value;
}

}  // namespace keyloft::test

#include "emu/flat_json.h"

namespace keyloft::emu {
namespace {

constexpr uint32_t kLargestNumber = 999'999'999;

class Parser {
 public:
  explicit Parser(std::string_view json) : json_(json) {}

  std::optional<FlatJsonObject> Object(std::string& error) {
    FlatJsonObject object;
    SkipSpace();
    if (!Take('{')) return Fail(error, "expected '{'");
    SkipSpace();
    if (!Take('}')) {
      for (;;) {
        SkipSpace();
        std::string name;
        if (!String(name)) return Fail(error, "expected a member name in quotes");
        SkipSpace();
        if (!Take(':')) return Fail(error, "expected ':'");
        SkipSpace();
        FlatJsonValue value;
        if (Peek() == '"') {
          if (!String(value.text)) return Fail(error, "bad string");
        } else if (!Number(value.number)) {
          return Fail(error, "expected a string or a whole number");
        } else {
          value.isNumber = true;
        }
        if (!object.emplace(name, std::move(value)).second) return Fail(error, "member \"" + name + "\" twice");
        SkipSpace();
        if (Take('}')) break;
        if (!Take(',')) return Fail(error, "expected ',' or '}'");
      }
    }
    SkipSpace();
    if (pos_ != json_.size()) return Fail(error, "text after the object");
    return object;
  }

 private:
  char Peek() const { return pos_ < json_.size() ? json_[pos_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c || pos_ >= json_.size()) return false;
    ++pos_;
    return true;
  }
  void SkipSpace() {
    while (pos_ < json_.size() && (json_[pos_] == ' ' || json_[pos_] == '\n' || json_[pos_] == '\t' || json_[pos_] == '\r'))
      ++pos_;
  }
  // Only what the writer produces: no escapes, no control characters.
  bool String(std::string& out) {
    if (!Take('"')) return false;
    size_t start = pos_;
    while (pos_ < json_.size() && json_[pos_] != '"') {
      auto c = static_cast<unsigned char>(json_[pos_]);
      if (c == '\\' || c < 0x20) return false;
      ++pos_;
    }
    if (pos_ >= json_.size()) return false;
    out.assign(json_.substr(start, pos_ - start));
    ++pos_;
    return true;
  }
  bool Number(uint32_t& out) {
    size_t start = pos_;
    uint64_t value = 0;
    while (pos_ < json_.size() && json_[pos_] >= '0' && json_[pos_] <= '9') {
      value = value * 10 + static_cast<uint64_t>(json_[pos_] - '0');
      if (value > kLargestNumber) return false;
      ++pos_;
    }
    size_t digits = pos_ - start;
    if (digits == 0 || (digits > 1 && json_[start] == '0')) return false;
    out = static_cast<uint32_t>(value);
    return true;
  }
  std::nullopt_t Fail(std::string& error, const std::string& what) const {
    error = what + " at character " + std::to_string(pos_ + 1);
    return std::nullopt;
  }

  std::string_view json_;
  size_t pos_ = 0;
};

}  // namespace

std::optional<FlatJsonObject> ParseFlatJson(std::string_view json, std::string& error) {
  return Parser(json).Object(error);
}

void FlatJsonWriter::Number(std::string_view name, uint32_t value) {
  members_.emplace_back(std::string(name), std::to_string(value));
}

void FlatJsonWriter::String(std::string_view name, std::string_view value) {
  members_.emplace_back(std::string(name), "\"" + std::string(value) + "\"");
}

std::string FlatJsonWriter::Finish() const {
  std::string json = "{";
  for (size_t i = 0; i < members_.size(); ++i) {
    json += i == 0 ? "\n  \"" : ",\n  \"";
    json += members_[i].first;
    json += "\": ";
    json += members_[i].second;
  }
  json += "\n}\n";
  return json;
}

}  // namespace keyloft::emu

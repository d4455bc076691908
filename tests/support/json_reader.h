// A minimal JSON reader for checking the documents keyloftctl prints: a
// value that is not well-formed JSON fails the parse.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyloft::test {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // A member of an object; a null value when absent.
  const JsonValue& operator[](std::string_view name) const;
  const JsonValue& operator[](size_t index) const { return items.at(index); }
  bool Has(std::string_view name) const;
  long long Int() const { return static_cast<long long>(number); }
};

// The whole text as one document (surrounding white space allowed).
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace keyloft::test

// The one JSON shape the virtual keyboard writes and reads back (its dump and
// state file): a single object whose values are strings without escapes or
// whole non-negative numbers. Anything else is rejected, so a damaged state file
// is reported instead of half-loaded.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyloft::emu {

struct FlatJsonValue {
  bool isNumber = false;
  uint32_t number = 0;
  std::string text;
};

using FlatJsonObject = std::map<std::string, FlatJsonValue, std::less<>>;

// On failure returns nothing and says where and why in error.
std::optional<FlatJsonObject> ParseFlatJson(std::string_view json, std::string& error);

// Builds an object one member a line, in the order given.
class FlatJsonWriter {
 public:
  void Number(std::string_view name, uint32_t value);
  // value must hold no '"', '\' or control characters (hex text, names).
  void String(std::string_view name, std::string_view value);
  std::string Finish() const;

 private:
  std::vector<std::pair<std::string, std::string>> members_;  // name, encoded value
};

}  // namespace keyloft::emu

// A small JSON writer: one document built in a string, commas and string
// escapes handled, nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keyloft::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next value inside an object.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view text);
  JsonWriter& Int(long long value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return out_; }

 private:
  void BeforeValue();

  std::string out_;
  // Per open container: whether it already holds an element.
  std::vector<bool> filled_;
  bool afterKey_ = false;
};

// text as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

}  // namespace keyloft::cli

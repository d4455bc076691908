// Prompts that write down what they were asked, answering questions as told.
#pragma once

#include <string>
#include <vector>

#include "lang/prompts.h"

namespace keyloft::test {

class RecordingPrompts : public Prompts {
 public:
  bool answer = false;
  std::vector<std::string> shown;

  void Notify(std::string_view textKey) override { shown.emplace_back(textKey); }
  void NotifyFormatted(std::string_view textKey, const FormatArg& argument) override {
    std::string text(textKey);
    if (auto* s = std::get_if<std::string_view>(&argument)) text += " " + std::string(*s);
    if (auto* n = std::get_if<long long>(&argument)) text += " " + std::to_string(*n);
    shown.push_back(text);
  }
  bool Confirm(std::string_view textKey) override {
    shown.emplace_back(textKey);
    return answer;
  }
};

}  // namespace keyloft::test

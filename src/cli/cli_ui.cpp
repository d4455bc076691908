#include "cli/cli_ui.h"


namespace keyloft::cli {

std::vector<std::string> CliUi::Said() const {
  std::scoped_lock lock(mutex_);
  return said_;
}

std::string CliUi::Text(std::string_view key) const {
  if (!lang_) return std::string(key);
  std::string text = lang_->GetText(key);
  return text == "#Error" ? std::string(key) : text;
}

void CliUi::Remember(std::string_view key) {
  std::scoped_lock lock(mutex_);
  said_.emplace_back(key);
}

void CliUi::Notify(std::string_view textKey) {
  Remember(textKey);
  err_ << "keyloftctl: " << Text(textKey) << '\n';
}

void CliUi::NotifyFormatted(std::string_view textKey, const FormatArg& argument) {
  Remember(textKey);
  err_ << "keyloftctl: " << FormatText(Text(textKey), argument) << '\n';
}

bool CliUi::Confirm(std::string_view textKey) {
  Remember(textKey);
  err_ << "keyloftctl: " << Text(textKey) << '\n';
  if (answerYes_) {
    err_ << "keyloftctl: answered Yes (--yes)\n";
    return true;
  }
  err_ << "keyloftctl: answered No (run with --yes to answer Yes)\n";
  return false;
}

}  // namespace keyloft::cli

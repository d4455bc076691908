// The command-line tool's user interface for the core's sequences: messages
// go to stderr, questions answer Yes only with --yes, and what a command needs
// to judge the outcome (messages said, the connection, Apply) is kept.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "lang/localisation.h"
#include "sync/headless_ui.h"

namespace keyloft::cli {

class CliUi : public HeadlessUi {
 public:
  explicit CliUi(bool answerYes) : answerYes_(answerYes) {}

  // Texts are looked up once the core has made its language.
  void SetLanguage(const Localisation* lang) { lang_ = lang; }
  // Called on the executor's thread for each shell or panel event (watch).
  void SetEventSink(std::function<void(std::string_view)> sink) { sink_ = std::move(sink); }

  // The text keys said so far.
  std::vector<std::string> Said() const;

  void Notify(std::string_view textKey) override;
  void NotifyFormatted(std::string_view textKey, const FormatArg& argument) override;
  bool Confirm(std::string_view textKey) override;

  void KeyboardConnected() override;
  void KeyboardRemoved() override;
  void MarkProfileButton(int profile) override;
  void RefreshPanel() override;

 private:
  std::string Text(std::string_view key) const;
  void Remember(std::string_view key);
  void Emit(std::string_view event);

  bool answerYes_;
  const Localisation* lang_ = nullptr;
  std::function<void(std::string_view)> sink_;
  mutable std::mutex mutex_;
  std::vector<std::string> said_;
};

}  // namespace keyloft::cli

// The command-line tool's user interface for the core's sequences: messages
// go to the command's stderr, questions answer Yes only with --yes, and what a command needs
// to judge the outcome (messages said, the connection, Apply) is kept.
#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "lang/localisation.h"
#include "sync/headless_ui.h"

namespace keyloft::cli {

class CliUi : public HeadlessUi {
 public:
  // Messages and questions are written to err, from whichever thread says them.
  CliUi(bool answerYes, std::ostream& err) : answerYes_(answerYes), err_(err) {}

  // Texts are looked up once the core has made its language.
  void SetLanguage(const Localisation* lang) { lang_ = lang; }
  // The text keys said so far.
  std::vector<std::string> Said() const;

  void Notify(std::string_view textKey) override;
  void NotifyFormatted(std::string_view textKey, const FormatArg& argument) override;
  bool Confirm(std::string_view textKey) override;

 private:
  std::string Text(std::string_view key) const;
  void Remember(std::string_view key);

  bool answerYes_;
  std::ostream& err_;
  const Localisation* lang_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<std::string> said_;
};

}  // namespace keyloft::cli

// Messages to the user, by text key: the desktop program shows message boxes,
// the command-line tool prints, tests record. The receiving side looks the text
// up, so a language change needs nothing here.
#pragma once

#include <string_view>

#include "util/text.h"

namespace keyloft {

class Prompts {
 public:
  virtual ~Prompts() = default;
  // An OK box; returns once it is dismissed.
  virtual void Notify(std::string_view textKey) = 0;
  // The same, the text used as a format with one argument.
  virtual void NotifyFormatted(std::string_view textKey, const FormatArg& argument) = 0;
  // Yes or No, No preselected.
  virtual bool Confirm(std::string_view textKey) = 0;
};

}  // namespace keyloft

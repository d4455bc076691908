// Messages and questions go to the person who started the sequence: the
// program's own windows, unless this thread runs a command for keyloftctl,
// whose notices go back to its terminal. A question never crosses to the
// other side.
#pragma once

#include "lang/prompts.h"

namespace keyloft {

class PromptRouter : public Prompts {
 public:
  explicit PromptRouter(Prompts& program) : program_(program) {}

  // For its lifetime, this thread's prompts go to prompts.
  class Scope {
   public:
    explicit Scope(Prompts& prompts);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Prompts* previous_;
  };
  // The prompts of this thread's scope; nullptr outside one.
  static Prompts* Current();

  void Notify(std::string_view textKey) override { Target().Notify(textKey); }
  void NotifyFormatted(std::string_view textKey, const FormatArg& argument) override {
    Target().NotifyFormatted(textKey, argument);
  }
  bool Confirm(std::string_view textKey) override { return Target().Confirm(textKey); }

 private:
  Prompts& Target() {
    Prompts* current = Current();
    return current ? *current : program_;
  }
  Prompts& program_;
};

}  // namespace keyloft

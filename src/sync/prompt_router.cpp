#include "sync/prompt_router.h"

namespace keyloft {
namespace {

thread_local Prompts* current = nullptr;

}  // namespace

PromptRouter::Scope::Scope(Prompts& prompts) : previous_(current) { current = &prompts; }
PromptRouter::Scope::~Scope() { current = previous_; }
Prompts* PromptRouter::Current() { return current; }

}  // namespace keyloft

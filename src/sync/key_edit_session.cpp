#include "sync/key_edit_session.h"

#include <algorithm>
#include <utility>

#include "model/key_codes.h"
#include "util/text.h"

namespace keyloft {
namespace {

constexpr uint32_t kDelayStepMs = 10;

bool IsWinOrMenuKey(KeyCode key) { return key == kLeftWinKey || key == kRightWinKey || key == kMenuKey; }

// The macro a record of type 4 plays: its identifier's position, else the first.
int MacroShownFor(const MacroList& macros, uint32_t value) {
  for (size_t i = 0; i < macros.size(); ++i) {
    if (value != 0 && macros[i].id == value) return static_cast<int>(i);
  }
  return macros.empty() ? -1 : 0;
}

}  // namespace

DelayEdit ClampTypedDelay(long long typed) {
  DelayEdit edit;
  if (typed < 0 || typed > static_cast<long long>(kMaxEditorDelayMs)) {
    edit.tooLarge = true;
    typed = kMaxEditorDelayMs;
  }
  edit.stored = static_cast<uint32_t>(typed) / kDelayStepMs * kDelayStepMs;
  return edit;
}

int ClampTypedCycles(std::string_view text) { return std::clamp(ScanInt(text, 0), kMinMacroCycles, kMaxMacroCycles); }

PlacePoint PlaceBesideButton(const PlaceRect& button, int width, int height, const PlaceRect& screen) {
  const bool right = screen.right - button.right >= width;
  const bool left = button.left - screen.left >= width;
  const bool below = screen.bottom - button.bottom >= height;
  const bool above = button.top - screen.top >= height;
  if (right && below) return {button.right, button.bottom};
  if (right && above) return {button.right, button.top - height};
  if (left && below) return {button.left - width, button.bottom};
  if (left && above) return {button.left - width, button.top - height};
  // Nowhere beside it: right-below, but never off the screen.
  PlacePoint p{button.right, button.bottom};
  p.x = std::max(screen.left, std::min(p.x, screen.right - width));
  p.y = std::max(screen.top, std::min(p.y, screen.bottom - height));
  return p;
}

KeyEditSession::KeyEditSession(ProfileEditor& editor, const Localisation& lang, int profile, KeyCode key,
                               bool macroOnly, int recordDelayOption)
    : editor_(editor),
      lang_(lang),
      profile_(profile),
      key_(key),
      macroOnly_(macroOnly),
      recordDelayOption_(recordDelayOption) {
  macros_ = editor_.Macros();
  for (MacroRecord& m : macros_) m.pending = 0;
  initial_ = editor_.Describe(profile_, key_).record;
  page_ = static_cast<KeyPage>(initial_.type);
  switch (page_) {
    case KeyPage::Default:
    case KeyPage::Key:
    case KeyPage::Macro:
    case KeyPage::Media:
    case KeyPage::Function:
      break;
    default:  // launch, text, disabled, stop: no page of their own; shown as a default
      page_ = KeyPage::Default;
  }
  if (macroOnly_) page_ = KeyPage::Macro;
  Show(page_, true);
  dirty_ = false;
}

// ---- Pages ------------------------------------------------------------------------

void KeyEditSession::Show(KeyPage page, bool initial) {
  if (page != KeyPage::Macro) StopRecording();
  page_ = page;
  switch (page) {
    case KeyPage::Macro:
      if (initial) {
        current_ = MacroShownFor(macros_, initial_.type == kAssignMacro ? initial_.value : 0);
        SelectMacro(current_);
      } else if (!Current()) {
        SelectMacro(0);  // with macros, the page always shows one
      }
      break;
    case KeyPage::Media:
      if (initial) media_ = initial_.value < kMediaCount ? initial_.value : 0;
      break;
    case KeyPage::Function:
      if (initial) function_ = initial_.value < kFunctionCount ? initial_.value : 0;
      break;
    default:
      if (initial && page == KeyPage::Key) {
        const auto mouse = std::find(kMouseActions.begin(), kMouseActions.end(), initial_.value);
        if (mouse != kMouseActions.end()) {
          mouseSource_ = true;
          mouseItem_ = static_cast<int>(mouse - kMouseActions.begin());
        } else {
          captured_ = static_cast<KeyCode>(initial_.value);
        }
      }
      break;
  }
}

void KeyEditSession::ShowPage(KeyPage page) {
  if (macroOnly_ && page != KeyPage::Macro) return;
  if (page == KeyPage::Default) page = KeyPage::Key;
  // A default or a key is already on the single-key page.
  if (page == KeyPage::Key && (page_ == KeyPage::Default || page_ == KeyPage::Key)) return;
  Show(page, false);
  dirty_ = true;
}

void KeyEditSession::Clear() {
  if (macroOnly_) return;
  ShowPage(KeyPage::Key);
  if (page_ == KeyPage::Key) {
    if (captured_ != 0 || mouseSource_) dirty_ = true;
    captured_ = 0;
    page_ = KeyPage::Default;
    mouseSource_ = false;
  }
}

bool KeyEditSession::CaptureKey(KeyCode key, KeyEventKind kind) {
  if (key == 0 || IsMediaKeyCode(key)) return false;
  if (!CapturesKeys()) return false;
  // The Win and menu keys are taken whatever the source, or the desktop acts on them.
  const bool capture = IsWinOrMenuKey(key) ||
                       (!mouseSource_ && (kind == KeyEventKind::Press || key == kPrintScreenKey));
  if (capture) {
    if (IsWinOrMenuKey(key)) mouseSource_ = false;
    captured_ = key;
    page_ = KeyPage::Key;
    dirty_ = true;
  }
  return true;
}

void KeyEditSession::SelectMouse(int item) {
  if (macroOnly_ || item < 0 || item >= static_cast<int>(kMouseActions.size())) return;
  mouseSource_ = true;
  mouseItem_ = item;
  captured_ = kMouseActions[static_cast<size_t>(item)];
  page_ = KeyPage::Key;
  dirty_ = true;
}

void KeyEditSession::SelectMedia(uint32_t index) {
  if (index >= kMediaCount) return;
  media_ = index;
  dirty_ = true;
}

void KeyEditSession::SelectFunction(uint32_t index) {
  if (index >= kFunctionCount) return;
  function_ = index;
  dirty_ = true;
}

// ---- Macros -----------------------------------------------------------------------

const MacroRecord* KeyEditSession::Current() const {
  return current_ >= 0 && current_ < static_cast<int>(macros_.size()) ? &macros_[static_cast<size_t>(current_)]
                                                                      : nullptr;
}

MacroRecord* KeyEditSession::Current() { return const_cast<MacroRecord*>(std::as_const(*this).Current()); }

const std::vector<MacroStep>& KeyEditSession::Steps() const {
  static const std::vector<MacroStep> kNone;
  const MacroRecord* macro = Current();
  return macro ? macro->steps : kNone;
}

int KeyEditSession::Cycles() const {
  const MacroRecord* macro = Current();
  return macro ? std::max<int>(1, macro->cycles) : 1;
}

void KeyEditSession::SelectMacro(int index) {
  if (macros_.empty()) current_ = -1;
  if (index < 0 || index >= static_cast<int>(macros_.size())) return;
  if (index != current_) CommitName();
  current_ = index;
  selectedStep_ = -1;
}

bool KeyEditSession::NameBeginsWith(std::u16string_view prefix, int except) const {
  const std::string wanted = Utf16ToUtf8(prefix);
  for (size_t i = 0; i < macros_.size(); ++i) {
    if (static_cast<int>(i) != except && StartsWithIgnoreCase(Utf16ToUtf8(macros_[i].name), wanted)) return true;
  }
  return false;
}

bool KeyEditSession::NameTaken(std::u16string_view name, int except) const {
  const std::string wanted = Utf16ToUtf8(name);
  for (size_t i = 0; i < macros_.size(); ++i) {
    if (static_cast<int>(i) != except && EqualsIgnoreCase(Utf16ToUtf8(macros_[i].name), wanted)) return true;
  }
  return false;
}

std::u16string KeyEditSession::GeneratedName() {
  const std::u16string prefix = Utf8ToUtf16(lang_.GetText("MACRO_NEW_PREFIX"));
  std::u16string name;
  // At most 100 macros, so a free name is found within 101 numbers.
  do {
    ++nameCounter_;
    name = prefix + Utf8ToUtf16(std::to_string(nameCounter_));
  } while (NameBeginsWith(name, -1));
  return name;
}

EditResult KeyEditSession::AddMacro() {
  if (macros_.size() >= kMaxMacros) return EditResult::TooManyMacros;
  const uint16_t id = NextFreeMacroId(macros_);
  if (id == 0) return EditResult::TooManyMacros;
  if (macros_.empty()) nameCounter_ = 0;
  MacroRecord macro;
  macro.name = GeneratedName();
  macro.cycles = 1;
  macro.pending = 1;
  macro.id = id;
  macros_.push_back(std::move(macro));
  SelectMacro(static_cast<int>(macros_.size()) - 1);
  dirty_ = true;
  return EditResult::Ok;
}

std::string KeyEditSession::TypeName(std::string_view typed) {
  std::u16string name = Utf8ToUtf16(typed);
  if (name.size() > kMaxMacroNameChars) {
    // Never half a character: a surrogate pair stays whole or goes.
    size_t keep = kMaxMacroNameChars;
    if (name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
    name.resize(keep);
  }
  dirty_ = true;
  if (macros_.empty()) {
    // A typed name uses no generated number.
    const int counter = nameCounter_;
    if (AddMacro() != EditResult::Ok) return {};
    if (!name.empty()) {
      Current()->name = name;
      nameCounter_ = counter;
    }
    return Utf16ToUtf8(Current()->name);
  }
  if (!Current()) return {};
  // Taken as typed: "G" on the way to "Greeting" is no name to judge yet.
  Current()->name = name;
  return Utf16ToUtf8(name);
}

std::string KeyEditSession::CommitName() {
  MacroRecord* macro = Current();
  if (!macro) return {};
  if (macro->name.empty() || NameTaken(macro->name, current_)) {
    macro->name = GeneratedName();
    dirty_ = true;
  }
  return Utf16ToUtf8(macro->name);
}

bool KeyEditSession::DeletingNeedsConfirmation() {
  const MacroRecord* macro = Current();
  if (!macro || macro->pending != 0 || !editor_.KeysPlayMacro(macro->id)) return false;
  // The macros after it move up in the image, whatever the user answers.
  editor_.WriteAllKeyMapsNextSave();
  return true;
}

void KeyEditSession::DeleteCurrentMacro() {
  if (!Current() || recording_) return;
  const int removed = current_;
  macros_.erase(macros_.begin() + removed);
  current_ = -1;
  SelectMacro(std::max(0, removed - 1));
  dirty_ = true;
}

// ---- Steps ------------------------------------------------------------------------

void KeyEditSession::SelectStep(int row) {
  selectedStep_ = row >= 0 && row < static_cast<int>(Steps().size()) ? row : -1;
}

void KeyEditSession::DeleteStep() {
  MacroRecord* macro = Current();
  if (!macro || selectedStep_ < 0) return;
  macro->steps.erase(macro->steps.begin() + selectedStep_);
  if (selectedStep_ >= static_cast<int>(macro->steps.size())) selectedStep_ = static_cast<int>(macro->steps.size()) - 1;
  dirty_ = true;
}

void KeyEditSession::ClearSteps() {
  MacroRecord* macro = Current();
  if (!macro || macro->steps.empty()) return;
  macro->steps.clear();
  selectedStep_ = -1;
  dirty_ = true;
}

void KeyEditSession::MoveStep(StepMove move) {
  MacroRecord* macro = Current();
  if (!macro || selectedStep_ < 0) return;
  auto& steps = macro->steps;
  const int last = static_cast<int>(steps.size()) - 1;
  int to = selectedStep_;
  switch (move) {
    case StepMove::Top: to = 0; break;
    case StepMove::Up: to = std::max(0, selectedStep_ - 1); break;
    case StepMove::Down: to = std::min(last, selectedStep_ + 1); break;
    case StepMove::Bottom: to = last; break;
  }
  const MacroStep step = steps[static_cast<size_t>(selectedStep_)];
  steps.erase(steps.begin() + selectedStep_);
  steps.insert(steps.begin() + to, step);
  selectedStep_ = to;
  dirty_ = true;
}

void KeyEditSession::SetStepKey(int row, KeyCode key) {
  MacroRecord* macro = Current();
  if (!macro || row < 0 || row >= static_cast<int>(macro->steps.size()) || key == 0) return;
  macro->steps[static_cast<size_t>(row)].key = key;
  dirty_ = true;
}

void KeyEditSession::SetStepState(int row, uint16_t state) {
  MacroRecord* macro = Current();
  if (!macro || row < 0 || row >= static_cast<int>(macro->steps.size()) || state > kStepRelease) return;
  macro->steps[static_cast<size_t>(row)].state = state;
  dirty_ = true;
}

DelayEdit KeyEditSession::SetStepDelay(int row, long long typed) {
  StopRecording();
  const DelayEdit edit = ClampTypedDelay(typed);
  MacroRecord* macro = Current();
  if (!macro || row < 0 || row >= static_cast<int>(macro->steps.size())) return edit;
  macro->steps[static_cast<size_t>(row)].delay = edit.stored;
  dirty_ = true;
  return edit;
}

int KeyEditSession::SetCyclesText(std::string_view text) {
  const int cycles = ClampTypedCycles(text);
  if (MacroRecord* macro = Current()) macro->cycles = static_cast<uint8_t>(cycles);
  dirty_ = true;
  return cycles;
}

// ---- Recording --------------------------------------------------------------------

void KeyEditSession::StartRecording(uint64_t nowMs) {
  if (recording_ || !Current()) return;
  recording_ = true;
  lastTickMs_ = nowMs;
}

void KeyEditSession::StopRecording() { recording_ = false; }

bool KeyEditSession::RecordKey(KeyCode key, KeyEventKind kind, uint64_t nowMs) {
  if (!recording_ || key == 0 || IsMediaKeyCode(key)) return false;
  if (kind == KeyEventKind::Repeat) return true;  // a held key is one press
  const uint16_t state = kind == KeyEventKind::Release ? kStepRelease : kStepPress;
  const uint32_t elapsed = static_cast<uint32_t>(std::min<uint64_t>(nowMs >= lastTickMs_ ? nowMs - lastTickMs_ : 0,
                                                                    UINT32_MAX));
  if (IsReleaseOnlyKey(key)) {
    // Its release stands for both, also where the desktop reports the press.
    if (kind == KeyEventKind::Press) return true;
    // The system reports only the release: the press it stands for comes after
    // the pause, and the release a moment after the press.
    AddRecordedStep(elapsed, key, kStepPress);
    AddRecordedStep(kReleaseOnlyPressDelayMs, key, state);
  } else {
    AddRecordedStep(elapsed, key, state);
  }
  lastTickMs_ = nowMs;
  return true;
}

void KeyEditSession::AddRecordedStep(uint32_t delay, KeyCode key, uint16_t state) {
  if (recordDelayOption_ == 0) {
    delay = kFixedRecordDelayMs;
  } else if (recordDelayOption_ != 1) {
    delay = 0;
  }
  InsertStep({delay, key, state > kStepRelease ? uint16_t{kStepPress} : state});
}

void KeyEditSession::InsertStep(MacroStep step) {
  MacroRecord* macro = Current();
  if (!macro || macro->steps.size() >= kMaxMacroSteps) return;
  auto& steps = macro->steps;
  const size_t at = selectedStep_ >= 0 ? static_cast<size_t>(selectedStep_) + 1 : steps.size();
  // A step's delay is the pause after it: the step above takes the new pause,
  // and the new step takes the one the step above had.
  const uint32_t pause = step.delay;
  if (at == 0) {
    step.delay = 0;
  } else {
    step.delay = steps[at - 1].delay;
    steps[at - 1].delay = std::min(pause, kMaxImageDelayMs);
  }
  steps.insert(steps.begin() + static_cast<std::ptrdiff_t>(at), step);
  selectedStep_ = static_cast<int>(at);
  dirty_ = true;
}

MacroMemory KeyEditSession::Memory() const {
  const MacroImageSize sizes = MacroImageSizes(macros_);
  return {sizes.withoutNames, sizes.withNames, editor_.MacroCapacity()};
}

// ---- Applying ---------------------------------------------------------------------

EditResult KeyEditSession::Apply() {
  StopRecording();
  CommitName();
  editor_.ReplaceMacros(macros_);
  for (MacroRecord& m : macros_) m.pending = 0;

  KeyAction action = KeyAction::Default();
  switch (page_) {
    case KeyPage::Key:
      if (mouseSource_) {
        action = KeyAction::Key(kMouseActions[static_cast<size_t>(mouseItem_)]);
      } else if (captured_ != 0 && KeyCodeToIndex(captured_) != KeyCodeToIndex(key_)) {
        action = KeyAction::Key(captured_);
      }
      break;
    case KeyPage::Macro:
      if (const MacroRecord* macro = Current()) {
        action = KeyAction::Macro(macro->id, static_cast<uint8_t>(Cycles()));
      }
      break;
    case KeyPage::Media: action = KeyAction::Media(media_); break;
    case KeyPage::Function: action = KeyAction::Function(function_); break;
    case KeyPage::Default: break;
  }
  const EditResult result = editor_.AssignKey(profile_, key_, action);
  if (result == EditResult::Ok) dirty_ = false;
  return result;
}

}  // namespace keyloft

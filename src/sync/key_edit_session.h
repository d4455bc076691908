// One opening of the key dialog, without the window: the record being edited,
// the page it shows, the key captured, the working macros with the steps of the
// current one, recording, and the rules that turn all of it into a macro list
// and an assignment on apply. The dialog turns clicks and key events into these
// calls and shows what they leave; nothing here waits or asks the user.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lang/localisation.h"
#include "model/macros.h"
#include "model/profile_data.h"
#include "sync/profile_editor.h"

namespace keyloft {

// The page the dialog shows, named by the record type it gives. A default
// record is shown on the single-key page with no key.
enum class KeyPage : uint16_t {
  Default = kAssignDefault,
  Key = kAssignKey,
  Macro = kAssignMacro,
  Media = kAssignMedia,
  Function = kAssignFunction,
};

// What a key can be given through the hidden mouse source, by its list item:
// left, right and middle button, wheel up, wheel down.
inline constexpr std::array<KeyCode, 5> kMouseActions = {0x171, 0x172, 0x173, 0x161, 0x162};

// A recorded pause with the record-delay option off.
inline constexpr uint32_t kFixedRecordDelayMs = 50;
// The pause between the press the recorder adds for a release-only key and its release.
inline constexpr uint32_t kReleaseOnlyPressDelayMs = 2;

enum class KeyEventKind { Press, Repeat, Release };
enum class StepMove { Top, Up, Down, Bottom };

// A typed delay as it is kept: at most 40000 ms (tooLarge says the typed one
// was more, or negative), rounded down to 10 ms.
struct DelayEdit {
  uint32_t stored = 0;
  bool tooLarge = false;
};
DelayEdit ClampTypedDelay(long long typed);

// The cycles box's text as the number it keeps: 1..255, 1 for anything that is not a number.
int ClampTypedCycles(std::string_view text);

// The keyboard's macro memory against what the working macros need.
struct MacroMemory {
  size_t withoutNames = 0;  // bytes of the image without the names: what must fit
  size_t withNames = 0;     // bytes with the names, written when they fit
  size_t capacity = 0;      // 0: not known yet (no keyboard read)
  bool Known() const { return capacity != 0; }
  bool Fits() const { return !Known() || withoutNames <= capacity; }
  bool NamesFit() const { return !Known() || withNames <= capacity; }
};

// Where the dialog goes beside the key button that opened it, inside the
// screen's available area: the first of right-below, right-above, left-below
// and left-above that fits; else right-below, moved inside the area.
struct PlaceRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
struct PlacePoint {
  int x = 0, y = 0;
  friend bool operator==(const PlacePoint&, const PlacePoint&) = default;
};
PlacePoint PlaceBesideButton(const PlaceRect& button, int width, int height, const PlaceRect& screen);

class KeyEditSession {
 public:
  // key: a keyboard key or G1..G9, edited in profile (the active one).
  // macroOnly: opened from the macro button, on the macro page alone.
  // recordDelayOption: 1 keeps the real pauses, 0 makes them 50 ms, any other 0 ms.
  KeyEditSession(ProfileEditor& editor, const Localisation& lang, int profile, KeyCode key, bool macroOnly,
                 int recordDelayOption);

  KeyCode Key() const { return key_; }
  int Profile() const { return profile_; }
  bool MacroOnly() const { return macroOnly_; }
  KeyPage Page() const { return page_; }
  // Something to apply: it enables Apply.
  bool Dirty() const { return dirty_; }

  // ---- Pages ------------------------------------------------------------------
  // A page button. The single-key button changes nothing while a default or a
  // key is shown; in macro-only mode only the macro page is shown. Leaving the
  // macro page stops a recording.
  void ShowPage(KeyPage page);
  // Back to the single-key page with no key: the key gets its default.
  void Clear();

  // ---- The single-key page ------------------------------------------------------
  // The single-key page is shown: key events are captured.
  bool CapturesKeys() const { return page_ == KeyPage::Key || page_ == KeyPage::Default; }
  KeyCode CapturedKey() const { return captured_; }
  // The hidden mouse source: chosen when the key held a mouse action; kept until Clear.
  bool MouseSource() const { return mouseSource_; }
  int MouseItem() const { return mouseItem_; }
  // A key event while the single-key page is shown. True: the dialog takes the
  // event (it reaches neither the dialog's controls nor the desktop). Media
  // keys and keys without a code are left to the system.
  bool CaptureKey(KeyCode key, KeyEventKind kind);
  // A mouse action of the keyboard (kMouseActions[item]) chosen on the
  // single-key page, as a captured key would be.
  void SelectMouse(int item);

  // ---- The media and function pages ---------------------------------------------
  uint32_t MediaIndex() const { return media_; }
  void SelectMedia(uint32_t index);
  uint32_t FunctionIndex() const { return function_; }
  void SelectFunction(uint32_t index);

  // ---- Macros ---------------------------------------------------------------------
  const MacroList& Macros() const { return macros_; }
  int CurrentMacro() const { return current_; }  // -1: none
  void SelectMacro(int index);
  // TooManyMacros at 100; else a macro with a generated name becomes current.
  EditResult AddMacro();
  // The name box's text changed: the current macro takes it as it stands (cut
  // to 249 characters), or, with no macros, a macro of that name is made. The
  // name the box shows.
  std::string TypeName(std::string_view typed);
  // The name is finished (Enter, the box left, another macro chosen, Apply):
  // an empty name, or one another macro has without regard to case, becomes a
  // generated one. A name that begins another is a name of its own. The name.
  std::string CommitName();
  // Whether deleting the current macro needs the user's Yes (keys play it). When
  // it does, the next save writes every key map, whatever the answer.
  bool DeletingNeedsConfirmation();
  void DeleteCurrentMacro();

  // ---- Steps of the current macro -------------------------------------------------
  const std::vector<MacroStep>& Steps() const;
  int SelectedStep() const { return selectedStep_; }  // -1: none
  void SelectStep(int row);
  void DeleteStep();
  void ClearSteps();
  // The selected step moves; every step keeps its own delay.
  void MoveStep(StepMove move);
  void SetStepKey(int row, KeyCode key);
  void SetStepState(int row, uint16_t state);
  DelayEdit SetStepDelay(int row, long long typed);
  // The current macro's cycles; 1 with none.
  int Cycles() const;
  // The cycles box's text; the number the box shows again.
  int SetCyclesText(std::string_view text);

  // ---- Recording ------------------------------------------------------------------
  bool Recording() const { return recording_; }
  // The record-delay option changed in the settings.
  void SetRecordDelayOption(int option) { recordDelayOption_ = option; }
  int RecordDelayOption() const { return recordDelayOption_; }
  // Only with a current macro.
  void StartRecording(uint64_t nowMs);
  void StopRecording();
  // A key event while recording, at nowMs on a steady clock. True: taken.
  bool RecordKey(KeyCode key, KeyEventKind kind, uint64_t nowMs);
  // A step as the recorder hands it on: the delay rule, the 4000-step limit,
  // inserted after the selected step with the delay hand-over.
  void AddRecordedStep(uint32_t delay, KeyCode key, uint16_t state);

  MacroMemory Memory() const;

  // ---- Applying -------------------------------------------------------------------
  // The working macros replace the model's (with the repairs of keys that
  // played a macro that is gone), then the key's record is built from the page
  // and written. Recording stops. The working macros stay for further editing.
  EditResult Apply();

 private:
  void Show(KeyPage page, bool initial);
  const MacroRecord* Current() const;
  MacroRecord* Current();
  std::u16string GeneratedName();
  // Whether another macro than except's name begins with prefix, without regard to case.
  bool NameBeginsWith(std::u16string_view prefix, int except) const;
  // Whether another macro than except is named name, without regard to case.
  bool NameTaken(std::u16string_view name, int except) const;
  void InsertStep(MacroStep step);

  ProfileEditor& editor_;
  const Localisation& lang_;
  int profile_;
  KeyCode key_;
  bool macroOnly_;
  int recordDelayOption_;
  KeyAssignment initial_;

  KeyPage page_ = KeyPage::Default;
  bool dirty_ = false;
  KeyCode captured_ = 0;
  bool mouseSource_ = false;
  int mouseItem_ = 0;
  uint32_t media_ = 0;
  uint32_t function_ = 0;

  MacroList macros_;
  int current_ = -1;
  int selectedStep_ = -1;
  int nameCounter_ = 0;

  bool recording_ = false;
  uint64_t lastTickMs_ = 0;
};

}  // namespace keyloft

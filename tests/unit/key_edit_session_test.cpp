#include "sync/key_edit_session.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <ostream>

#include "core_world.h"
#include "printers.h"
#include "store/profile_file.h"
#include "util/text.h"

namespace keyloft {

[[maybe_unused]] static void PrintTo(const MacroStep& s, std::ostream* os) {
  *os << "{" << s.delay << " ms, key " << s.key << (s.state == kStepRelease ? " up}" : " down}");
}

namespace {

using namespace std::chrono_literals;
using test::WaitUntil;
using Kind = KeyEventKind;

constexpr KeyCode kA = 0x01E, kB = 0x030, kC = 0x02E, kX = 0x02D;
constexpr KeyCode kG1 = 0x200, kG2 = 0x201, kG3 = 0x202, kG9 = 0x208;
constexpr KeyCode kMute = 0x120;  // a media key
constexpr KeyCode kLeftButton = 0x171, kWheelDown = 0x162;

MacroStep Down(KeyCode key, uint32_t delay) { return {delay, key, kStepPress}; }
MacroStep Up(KeyCode key, uint32_t delay) { return {delay, key, kStepRelease}; }

// Key dialog sessions over the editing API of a connected core (profile 0
// active, nothing assigned, no macros).
class SessionTest : public ::testing::Test, protected test::CoreWorld {
 protected:
  SessionTest() : CoreWorld(KEYLOFT_ASSETS_DIR) {}
  void SetUp() override { Core(); }  // connected before any call on the sequences' thread

  ProfileEditor& Editor() { return Core().Editor(); }
  int Active() { return Core().Device().activeProfileCache; }
  KeyAssignment Record(KeyCode key) { return Record(Active(), key); }
  KeyAssignment Record(int profile, KeyCode key) { return Editor().Describe(profile, key).record; }
  void Assign(KeyCode key, const KeyAction& action, int profile = -1) {
    ASSERT_EQ(Editor().AssignKey(profile < 0 ? Active() : profile, key, action), EditResult::Ok);
  }
  uint16_t AddMacro(const std::string& name, std::vector<MacroStep> steps = {Down(kA, 10), Up(kA, 0)},
                    int cycles = 1) {
    uint16_t id = 0;
    EXPECT_EQ(Editor().AddMacro(name, std::move(steps), cycles, &id), EditResult::Ok);
    return id;
  }
  KeyEditSession Open(KeyCode key, bool macroOnly = false, int recordDelayOption = 1) {
    return KeyEditSession(Editor(), Core().Lang(), Active(), key, macroOnly, recordDelayOption);
  }
  ApplyOutcome ApplyToKeyboard() {
    ApplyOutcome applied;
    OnUiThread([&] { applied = Editor().Apply(); });
    return applied;
  }
  // The working model replaced by a profile file made from the defaults and
  // edit: records and macros the editing API does not make.
  void Restore(const std::function<void(ProfileData&)>& edit) {
    ProfileData data;
    BuildDefaultProfile(data);
    edit(data);
    const std::filesystem::path file = home_ / "made.fwc";
    ASSERT_TRUE(SaveProfileFile(file, data));
    ImportOutcome restored;
    OnUiThread([&] { restored = Editor().Import(file); });
    ASSERT_TRUE(restored.loaded);
  }
  static MacroRecord Macro(uint16_t id, std::u16string name, uint8_t cycles = 1) {
    MacroRecord m;
    m.id = id;
    m.name = std::move(name);
    m.cycles = cycles;
    m.steps = {Down(kA, 10), Up(kA, 0)};
    return m;
  }
  static std::vector<std::u16string> Names(const MacroList& list) {
    std::vector<std::u16string> names;
    for (const MacroRecord& m : list) names.push_back(m.name);
    return names;
  }
};

// ---- Opening ------------------------------------------------------------------------

struct OpenCase {
  const char* name;
  KeyCode key;
  KeyAction assigned;
  bool macroOnly;
  KeyPage page;
  KeyCode captured;
  int mouseItem;  // -1: the keyboard source
  uint32_t media, function;
  int macro;
  KeyAssignment applied;  // what OK without a change writes
  friend void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }
};

class Opening : public SessionTest, public ::testing::WithParamInterface<OpenCase> {};

// Two macros: Dash (id 1, once) and Jump (id 2, four times).
TEST_P(Opening, ShowsTheRecordAndGivesItBackUnchanged) {
  const OpenCase& c = GetParam();
  ASSERT_EQ(AddMacro("Dash"), 1);
  ASSERT_EQ(AddMacro("Jump", {Down(kB, 0)}, 4), 2);
  Assign(c.key, c.assigned);
  KeyEditSession session = Open(c.key, c.macroOnly);
  EXPECT_EQ(session.Page(), c.page);
  EXPECT_EQ(session.CapturedKey(), c.captured);
  EXPECT_EQ(session.MouseSource(), c.mouseItem >= 0);
  if (c.mouseItem >= 0) {
    EXPECT_EQ(session.MouseItem(), c.mouseItem);
  }
  if (c.page == KeyPage::Media) {
    EXPECT_EQ(session.MediaIndex(), c.media);
  }
  if (c.page == KeyPage::Function) {
    EXPECT_EQ(session.FunctionIndex(), c.function);
  }
  EXPECT_EQ(session.CurrentMacro(), c.macro);
  EXPECT_FALSE(session.Dirty());

  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(c.key), c.applied);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Opening,
    ::testing::Values(
        OpenCase{"ADefault", kA, KeyAction::Default(), false, KeyPage::Default, 0, -1, 0, 0, -1, {}},
        OpenCase{"AKey", kA, KeyAction::Key(kB), false, KeyPage::Key, kB, -1, 0, 0, -1, {kAssignKey, 0, kB}},
        OpenCase{"TheLeftButton", kA, KeyAction::Key(kLeftButton), false, KeyPage::Key, 0, 0, 0, 0, -1,
                 {kAssignKey, 0, kLeftButton}},
        OpenCase{"TheWheelDown", kA, KeyAction::Key(kWheelDown), false, KeyPage::Key, 0, 4, 0, 0, -1,
                 {kAssignKey, 0, kWheelDown}},
        OpenCase{"TheSecondMacro", kA, KeyAction::Macro(2, 4), false, KeyPage::Macro, 0, -1, 0, 0, 1,
                 {kAssignMacro, 4, 2}},
        OpenCase{"Media", kA, KeyAction::Media(5), false, KeyPage::Media, 0, -1, 5, 0, -1, {kAssignMedia, 0, 5}},
        OpenCase{"Function", kA, KeyAction::Function(10), false, KeyPage::Function, 0, -1, 0, 10, -1,
                 {kAssignFunction, 0, 10}},
        OpenCase{"AGKeysKey", kG1, KeyAction::Key(kB), false, KeyPage::Key, kB, -1, 0, 0, -1,
                 {kAssignKey, GKeyAux(KeyCodeToIndex(kG1)), kB}},
        // The macro button: G9 plays the first macro, whatever it did.
        OpenCase{"TheMacroButton", kG9, KeyAction::Key(kB), true, KeyPage::Macro, 0, -1, 0, 0, 0,
                 {kAssignMacro, 1, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

// A record can name a macro that is not there (a restored file): the first
// macro is shown, and OK makes the key play it.
TEST_F(SessionTest, AKeyPlayingAMacroThatIsGoneOpensOnTheFirstMacro) {
  Restore([](ProfileData& data) {
    data.macros = {Macro(3, u"Dash", 2), Macro(5, u"Jump")};
    data.block.arrays[0][KeyCodeToIndex(kA)] = {kAssignMacro, 1, 9};
  });
  KeyEditSession session = Open(kA);
  EXPECT_EQ(session.Page(), KeyPage::Macro);
  EXPECT_EQ(session.CurrentMacro(), 0);
  EXPECT_EQ(session.Cycles(), 2);
  EXPECT_FALSE(session.Dirty());
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kA), (KeyAssignment{kAssignMacro, 2, 3}));
}

// ---- Pages --------------------------------------------------------------------------

TEST_F(SessionTest, TheSingleKeyButtonChangesNothingOnADefaultOrAKey) {
  Assign(kB, KeyAction::Key(kC));
  KeyEditSession defaulted = Open(kA);
  defaulted.ShowPage(KeyPage::Key);
  defaulted.ShowPage(KeyPage::Default);
  EXPECT_EQ(defaulted.Page(), KeyPage::Default);
  EXPECT_FALSE(defaulted.Dirty());

  KeyEditSession key = Open(kB);
  key.ShowPage(KeyPage::Key);
  EXPECT_EQ(key.Page(), KeyPage::Key);
  EXPECT_EQ(key.CapturedKey(), kC);
  EXPECT_FALSE(key.Dirty());
}

TEST_F(SessionTest, AnotherPageIsSomethingToApply) {
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Function);
  EXPECT_EQ(session.Page(), KeyPage::Function);
  EXPECT_TRUE(session.Dirty());
  session.SelectFunction(3);
  session.ShowPage(KeyPage::Media);
  session.SelectMedia(kMediaCount);  // no such media key: kept
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kA), (KeyAssignment{kAssignMedia, 0, 0}));
  EXPECT_FALSE(session.Dirty());
}

// With macros, the macro page always shows one, and OK makes the key play it.
TEST_F(SessionTest, TheMacroPageShowsAMacroWhenThereAreAny) {
  const uint16_t dash = AddMacro("Dash");
  AddMacro("Jump");
  Assign(kA, KeyAction::Key(kB));
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  EXPECT_EQ(session.CurrentMacro(), 0);
  session.StartRecording(0);
  EXPECT_TRUE(session.Recording());
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kA), (KeyAssignment{kAssignMacro, 1, dash}));
}

TEST_F(SessionTest, TheMacroPageWithoutMacrosGivesTheDefault) {
  Assign(kA, KeyAction::Key(kB));
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  EXPECT_EQ(session.CurrentMacro(), -1);
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kA), KeyAssignment{});
}

TEST_F(SessionTest, LeavingTheMacroPageStopsARecording) {
  AddMacro("Dash");
  Assign(kA, KeyAction::Macro(1, 1));
  KeyEditSession session = Open(kA);
  session.StartRecording(0);
  ASSERT_TRUE(session.Recording());
  session.ShowPage(KeyPage::Macro);
  EXPECT_TRUE(session.Recording());
  session.ShowPage(KeyPage::Media);
  EXPECT_FALSE(session.Recording());
  EXPECT_FALSE(session.RecordKey(kB, Kind::Press, 100));
  EXPECT_EQ(session.Steps().size(), 2u);
}

TEST_F(SessionTest, TheMacroButtonShowsTheMacroPageAlone) {
  AddMacro("Dash");
  KeyEditSession session = Open(kG9, true);
  for (KeyPage page : {KeyPage::Default, KeyPage::Key, KeyPage::Media, KeyPage::Function}) session.ShowPage(page);
  session.Clear();
  EXPECT_EQ(session.Page(), KeyPage::Macro);
  EXPECT_FALSE(session.Dirty());
  EXPECT_FALSE(session.CaptureKey(kB, Kind::Press));
}

struct ClearCase {
  const char* name;
  KeyCode key;
  KeyAction assigned;
  KeyAssignment cleared;
  friend void PrintTo(const ClearCase& c, std::ostream* os) { *os << c.name; }
};

class Clearing : public SessionTest, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(Clearing, GivesTheKeyItsDefault) {
  AddMacro("Dash");
  Assign(GetParam().key, GetParam().assigned);
  KeyEditSession session = Open(GetParam().key);
  session.Clear();
  EXPECT_EQ(session.Page(), KeyPage::Default);
  EXPECT_EQ(session.CapturedKey(), 0);
  EXPECT_FALSE(session.MouseSource());
  EXPECT_TRUE(session.Dirty());
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(GetParam().key), GetParam().cleared);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, Clearing,
    ::testing::Values(ClearCase{"AKey", kA, KeyAction::Key(kB), {}},
                      ClearCase{"TheMouseSource", kA, KeyAction::Key(kLeftButton), {}},
                      ClearCase{"AMacro", kA, KeyAction::Macro(1, 3), {}},
                      ClearCase{"Media", kA, KeyAction::Media(2), {}},
                      ClearCase{"AGKeysKeyKeepsItsIdentifier", kG2, KeyAction::Key(kB),
                                {kAssignDefault, GKeyAux(KeyCodeToIndex(kG2)), 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Capturing a key ------------------------------------------------------------------

struct KeyEvent {
  KeyCode key;
  Kind kind;
  bool taken;
};

struct CaptureCase {
  const char* name;
  KeyAction assigned;  // to A, the key edited
  std::vector<KeyEvent> events;
  KeyCode captured;
  bool mouseSource;
  bool dirty;
  KeyAssignment applied;
  friend void PrintTo(const CaptureCase& c, std::ostream* os) { *os << c.name; }
};

class Capturing : public SessionTest, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(Capturing, TakesTheEventsAndKeepsWhatThePressesGive) {
  const CaptureCase& c = GetParam();
  Assign(kA, c.assigned);
  KeyEditSession session = Open(kA);
  for (const KeyEvent& e : c.events) {
    EXPECT_EQ(session.CaptureKey(e.key, e.kind), e.taken) << e.key;
  }
  EXPECT_EQ(session.CapturedKey(), c.captured);
  EXPECT_EQ(session.MouseSource(), c.mouseSource);
  EXPECT_EQ(session.Dirty(), c.dirty);
  if (c.captured != 0) {
    EXPECT_EQ(session.Page(), KeyPage::Key);
  }
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kA), c.applied);
}

INSTANTIATE_TEST_SUITE_P(
    Events, Capturing,
    ::testing::Values(
        CaptureCase{"APress", {}, {{kB, Kind::Press, true}}, kB, false, true, {kAssignKey, 0, kB}},
        CaptureCase{"RepeatsAndReleasesAreTakenButNotKept",
                    {},
                    {{kB, Kind::Repeat, true}, {kC, Kind::Release, true}},
                    0, false, false, {}},
        CaptureCase{"TheLastPressWins",
                    {},
                    {{kB, Kind::Press, true}, {kB, Kind::Release, true}, {kC, Kind::Press, true}},
                    kC, false, true, {kAssignKey, 0, kC}},
        CaptureCase{"NoKeyAndMediaKeysAreLeftToTheSystem",
                    KeyAction::Key(kB),
                    {{0, Kind::Press, false}, {kMute, Kind::Press, false}, {kMute, Kind::Release, false}},
                    kB, false, false, {kAssignKey, 0, kB}},
        CaptureCase{"PrintScreenOnItsRelease",
                    {},
                    {{kPrintScreenKey, Kind::Release, true}},
                    kPrintScreenKey, false, true, {kAssignKey, 0, kPrintScreenKey}},
        CaptureCase{"TheKeyItselfIsTheDefault", KeyAction::Key(kB), {{kA, Kind::Press, true}}, kA, false, true, {}},
        CaptureCase{"TheMouseSourceTakesKeysButKeepsItsAction",
                    KeyAction::Key(kLeftButton),
                    {{kB, Kind::Press, true}, {kPrintScreenKey, Kind::Release, true}, {kB, Kind::Release, true}},
                    0, true, false, {kAssignKey, 0, kLeftButton}},
        CaptureCase{"AWinReleaseLeavesTheMouseSource",
                    KeyAction::Key(kLeftButton),
                    {{kLeftWinKey, Kind::Release, true}},
                    kLeftWinKey, false, true, {kAssignKey, 0, kLeftWinKey}},
        CaptureCase{"TheRightWinAndMenuKeysToo",
                    KeyAction::Key(kWheelDown),
                    {{kRightWinKey, Kind::Press, true}, {kMenuKey, Kind::Press, true}},
                    kMenuKey, false, true, {kAssignKey, 0, kMenuKey}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, KeysAreNotCapturedOnAnotherPage) {
  Assign(kA, KeyAction::Media(1));
  KeyEditSession session = Open(kA);
  EXPECT_FALSE(session.CaptureKey(kB, Kind::Press));
  EXPECT_EQ(session.Page(), KeyPage::Media);
  EXPECT_FALSE(session.Dirty());
}

// ---- Applying on the G-keys and from the macro button -----------------------------------

TEST_F(SessionTest, AGKeysMacroTakesItsIdentifiersPlaceForTheCycles) {
  const uint16_t dash = AddMacro("Dash");
  KeyEditSession session = Open(kG3);
  session.ShowPage(KeyPage::Macro);
  session.SelectMacro(0);
  EXPECT_EQ(session.SetCyclesText("5"), 5);
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kG3), (KeyAssignment{kAssignMacro, 5, dash}));
  session.ShowPage(KeyPage::Key);
  ASSERT_TRUE(session.CaptureKey(kB, Kind::Press));
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kG3), (KeyAssignment{kAssignKey, GKeyAux(KeyCodeToIndex(kG3)), kB}));
}

TEST_F(SessionTest, TheMacroButtonMakesG9PlayTheMacroWithItsCycles) {
  AddMacro("Dash");
  const uint16_t jump = AddMacro("Jump");
  KeyEditSession session = Open(kG9, true);
  session.SelectMacro(1);
  EXPECT_EQ(session.SetCyclesText("9"), 9);
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  const KeyAssignment g9 = Core().Workspace().Read(
      [&](const ProfileData& data) { return data.block.arrays[static_cast<size_t>(Active())][KeyCodeToIndex(kG9)]; });
  EXPECT_EQ(g9, (KeyAssignment{kAssignMacro, 9, jump}));
  EXPECT_EQ(Editor().Macros()[1].cycles, 9);
}

// ---- Macros: names, limits, deleting ----------------------------------------------------

// "Macro 1" is taken by "Macro 10", which begins with it; "Macro 3" by "macro 3x".
TEST_F(SessionTest, AddedMacrosTakeTheFirstFreeNameAndIdentifier) {
  const uint16_t first = AddMacro("First");
  AddMacro("Macro 10");
  AddMacro("macro 3x");
  ASSERT_EQ(Editor().DeleteMacro(first), EditResult::Ok);  // identifiers 2 and 3 left
  KeyEditSession session = Open(kA);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  const MacroList& macros = session.Macros();
  ASSERT_EQ(macros.size(), 4u);
  EXPECT_EQ(macros[2].name, u"Macro 2");
  EXPECT_EQ(macros[3].name, u"Macro 4");
  EXPECT_EQ(macros[2].id, 1);
  EXPECT_EQ(macros[3].id, 4);
  EXPECT_EQ(macros[2].pending, 1);
  EXPECT_EQ(macros[0].pending, 0);
  EXPECT_TRUE(macros[3].steps.empty());
  EXPECT_EQ(session.CurrentMacro(), 3);
  EXPECT_EQ(session.Cycles(), 1);
  EXPECT_TRUE(session.Dirty());
  EXPECT_EQ(Editor().Macros().size(), 2u);  // nothing reaches the model before Apply
}

TEST_F(SessionTest, TheNameCounterStartsAgainOnAnEmptyList) {
  KeyEditSession session = Open(kA);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  EXPECT_EQ(Names(session.Macros()), (std::vector<std::u16string>{u"Macro 1", u"Macro 2"}));
  session.DeleteCurrentMacro();
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  EXPECT_EQ(Names(session.Macros()), (std::vector<std::u16string>{u"Macro 1", u"Macro 3"}));
  session.DeleteCurrentMacro();
  session.DeleteCurrentMacro();
  EXPECT_EQ(session.CurrentMacro(), -1);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  EXPECT_EQ(Names(session.Macros()), (std::vector<std::u16string>{u"Macro 1"}));
}

TEST_F(SessionTest, AHundredMacrosAreTheMost) {
  KeyEditSession session = Open(kA);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(session.AddMacro(), EditResult::Ok) << i;
  EXPECT_EQ(session.Macros().back().name, u"Macro 100");
  EXPECT_EQ(session.Macros().back().id, 100);
  EXPECT_EQ(session.AddMacro(), EditResult::TooManyMacros);
  EXPECT_EQ(session.Macros().size(), 100u);
  EXPECT_EQ(session.CurrentMacro(), 99);
}

// A name is taken as typed, keystroke by keystroke ("J" on the way to
// "Jumper" is left alone), and judged once finished: only an empty name or
// another macro's own name (without regard to case) gives way to a generated one.
TEST_F(SessionTest, ATypedNameIsJudgedWhenFinished) {
  AddMacro("Dash");
  AddMacro("Jump");
  Assign(kA, KeyAction::Macro(1, 1));
  KeyEditSession session = Open(kA);
  const std::string longName(300, 'n');
  const std::pair<std::string, std::string> typedAndKept[] = {
      {"Sprint", "Sprint"},
      {"", "Macro 1"},
      {"ju", "ju"},          // begins another name: a name of its own
      {"JUMP", "Macro 2"},   // another's name
      {"Jumper", "Jumper"},
      {"Dash", "Dash"},      // its own name
      {longName, std::string(kMaxMacroNameChars, 'n')},
  };
  for (const auto& [typed, kept] : typedAndKept) {
    std::string shown;
    for (size_t n = 1; n <= typed.size(); ++n) shown = session.TypeName(typed.substr(0, n));
    if (typed.empty()) shown = session.TypeName("");
    EXPECT_EQ(shown, typed.substr(0, kMaxMacroNameChars)) << typed;  // as typed, on every keystroke
    EXPECT_EQ(session.CommitName(), kept) << typed;
    EXPECT_EQ(Utf16ToUtf8(session.Macros()[0].name), kept) << typed;
  }
  EXPECT_EQ(session.Macros()[1].name, u"Jump");
  EXPECT_TRUE(session.Dirty());
  // Choosing another macro and Apply finish a name too.
  EXPECT_EQ(session.TypeName("jump"), "jump");
  session.SelectMacro(1);
  EXPECT_EQ(session.Macros()[0].name, u"Macro 3");
  session.SelectMacro(0);
  EXPECT_EQ(session.TypeName(""), "");
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Editor().Macros()[0].name, u"Macro 4");
}

TEST_F(SessionTest, ANameTypedWithoutMacrosMakesOne) {
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  EXPECT_EQ(session.TypeName("Dash"), "Dash");
  ASSERT_EQ(session.Macros().size(), 1u);
  EXPECT_EQ(session.Macros()[0].name, u"Dash");
  EXPECT_EQ(session.Macros()[0].pending, 1);
  EXPECT_EQ(session.CurrentMacro(), 0);
  // The typed name took no generated number.
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  EXPECT_EQ(session.Macros()[1].name, u"Macro 1");
}

TEST_F(SessionTest, ANameCutAtItsLimitKeepsEveryCharacterWhole) {
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  // 248 letters, then a character outside the basic plane (two UTF-16 units) across the limit.
  const std::string typed = std::string(kMaxMacroNameChars - 1, 'n') + "\U0001F600";
  const std::string kept = session.TypeName(typed);
  EXPECT_EQ(kept, std::string(kMaxMacroNameChars - 1, 'n'));
  EXPECT_EQ(session.Macros()[0].name.size(), kMaxMacroNameChars - 1);
}

// Only a macro that came with the dialog and that a key of any profile plays
// needs the user's Yes; asking then writes every key map at the next save.
TEST_F(SessionTest, DeletingAMacroThatKeysPlayNeedsConfirmation) {
  AddMacro("Dash");
  AddMacro("Jump");
  Assign(kB, KeyAction::Macro(1, 1), 2);
  ASSERT_EQ(ApplyToKeyboard().result, ApplyResult::Applied);
  ASSERT_FALSE(Core().Workspace().WriteAll());

  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  session.SelectMacro(1);
  EXPECT_FALSE(session.DeletingNeedsConfirmation());
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  EXPECT_FALSE(session.DeletingNeedsConfirmation());
  EXPECT_FALSE(Core().Workspace().WriteAll());

  session.SelectMacro(0);
  EXPECT_TRUE(session.DeletingNeedsConfirmation());
  EXPECT_TRUE(Core().Workspace().WriteAll());
  EXPECT_EQ(session.Macros().size(), 3u);  // asking deletes nothing
}

TEST_F(SessionTest, DeletingAMacroSelectsTheOneBeforeIt) {
  AddMacro("Dash", {Down(kA, 0)}, 2);
  AddMacro("Jump", {Down(kB, 0)}, 3);
  AddMacro("Kick", {Down(kC, 0)}, 4);
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  session.SelectMacro(2);
  session.DeleteCurrentMacro();
  EXPECT_EQ(Names(session.Macros()), (std::vector<std::u16string>{u"Dash", u"Jump"}));
  EXPECT_EQ(session.CurrentMacro(), 1);
  EXPECT_EQ(session.Cycles(), 3);
  session.SelectMacro(0);
  session.DeleteCurrentMacro();
  EXPECT_EQ(session.CurrentMacro(), 0);
  EXPECT_EQ(session.Steps(), (std::vector<MacroStep>{Down(kB, 0)}));
}

// ---- Committing the working macros -------------------------------------------------------

// A used macro is deleted and a new one takes its identifier: the keys that
// played the old one do not play the new one.
TEST_F(SessionTest, KeysOfADeletedMacroGoBackToTheirDefaultEvenWhenItsIdentifierIsTaken) {
  const uint16_t dash = AddMacro("Dash");
  const uint16_t jump = AddMacro("Jump");
  Assign(kA, KeyAction::Macro(dash, 1));
  Assign(kG2, KeyAction::Macro(dash, 2), 2);
  Assign(kB, KeyAction::Macro(jump, 3));

  KeyEditSession session = Open(kC);
  session.ShowPage(KeyPage::Macro);
  session.SelectMacro(0);
  ASSERT_TRUE(session.DeletingNeedsConfirmation());
  session.DeleteCurrentMacro();
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  ASSERT_EQ(session.Macros().back().id, dash);
  session.ShowPage(KeyPage::Media);
  ASSERT_EQ(session.Apply(), EditResult::Ok);

  EXPECT_EQ(Record(kA), KeyAssignment{});
  EXPECT_EQ(Record(2, kG2), (KeyAssignment{kAssignDefault, GKeyAux(KeyCodeToIndex(kG2)), 0}));
  EXPECT_EQ(Record(kB), (KeyAssignment{kAssignMacro, 3, jump}));
  EXPECT_EQ(Record(kC), (KeyAssignment{kAssignMedia, 0, 0}));
  const MacroList committed = Editor().Macros();
  EXPECT_EQ(Names(committed), (std::vector<std::u16string>{u"Jump", u"Macro 1"}));
  for (const MacroRecord& m : committed) EXPECT_EQ(m.pending, 0) << Utf16ToUtf8(m.name);
  for (const MacroRecord& m : session.Macros()) EXPECT_EQ(m.pending, 0) << Utf16ToUtf8(m.name);

  // Committed, the new macro is one that keys may play, and no longer a pending one.
  session.ShowPage(KeyPage::Macro);
  session.SelectMacro(1);
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kC), (KeyAssignment{kAssignMacro, 1, dash}));
  EXPECT_TRUE(session.DeletingNeedsConfirmation());
}

TEST_F(SessionTest, ReplacingTheMacrosRepairsTheKeysThatPlayThem) {
  Restore([](ProfileData& data) {
    data.macros = {Macro(5, u"Dash"), Macro(6, u"Jump")};
    data.block.arrays[0][KeyCodeToIndex(kA)] = {kAssignMacro, 1, 0};  // macro 0: the first
    data.block.arrays[0][KeyCodeToIndex(kB)] = {kAssignMacro, 1, 9};  // no such macro
    data.block.arrays[0][KeyCodeToIndex(kX)] = {kAssignMacro, 1, 3};  // the pending macro takes its identifier
    data.block.arrays[1][KeyCodeToIndex(kG3)] = {kAssignMacro, 4, 6};
    data.block.arrays[2][KeyCodeToIndex(kC)] = {kAssignMacro, 2, 5};
  });
  MacroList replaced = {Macro(5, u"Dash"), Macro(3, u"New")};
  replaced[1].pending = 1;
  Editor().ReplaceMacros(replaced);

  EXPECT_EQ(Record(0, kA), (KeyAssignment{kAssignMacro, 1, 5}));
  EXPECT_EQ(Record(0, kB), KeyAssignment{});
  EXPECT_EQ(Record(0, kX), KeyAssignment{});
  EXPECT_EQ(Record(1, kG3), (KeyAssignment{kAssignDefault, GKeyAux(KeyCodeToIndex(kG3)), 0}));
  EXPECT_EQ(Record(2, kC), (KeyAssignment{kAssignMacro, 2, 5}));
  const MacroList kept = Editor().Macros();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[1].id, 3);
  EXPECT_EQ(kept[1].pending, 0);
  EXPECT_TRUE(Core().Workspace().Pending());
}

TEST_F(SessionTest, MacroStateHelpersOfTheEditor) {
  const uint16_t dash = AddMacro("Dash");
  const uint16_t jump = AddMacro("Jump");
  Assign(kG1, KeyAction::Macro(jump, 1), 1);
  EXPECT_FALSE(Editor().KeysPlayMacro(dash));
  EXPECT_TRUE(Editor().KeysPlayMacro(jump));
  EXPECT_EQ(Editor().MacroCapacity(), static_cast<size_t>(emu::kDefaultMacroBlocks) * 128);
  ASSERT_EQ(ApplyToKeyboard().result, ApplyResult::Applied);
  ASSERT_FALSE(Core().Workspace().WriteAll());
  Editor().WriteAllKeyMapsNextSave();
  EXPECT_TRUE(Core().Workspace().WriteAll());
}

// ---- Steps ----------------------------------------------------------------------------

TEST(TypedNumbers, DelaysAreKeptInTensUpTo40000) {
  struct Case {
    long long typed;
    DelayEdit kept;
  };
  for (const Case& c : {Case{12345, {12340, false}}, Case{0, {0, false}}, Case{9, {0, false}},
                        Case{40000, {40000, false}}, Case{40001, {40000, true}}, Case{-1, {40000, true}},
                        Case{LLONG_MAX, {40000, true}}, Case{LLONG_MIN, {40000, true}}}) {
    const DelayEdit edit = ClampTypedDelay(c.typed);
    EXPECT_EQ(edit.stored, c.kept.stored) << c.typed;
    EXPECT_EQ(edit.tooLarge, c.kept.tooLarge) << c.typed;
  }
}

TEST(TypedNumbers, CyclesAreOneTo255) {
  const std::pair<const char*, int> typedAndKept[] = {
      {"7", 7},  {"0", 1},    {"300", 255}, {"abc", 1},   {"", 1}, {"-5", 1}, {" 12 ", 12},
      {"12abc", 12}, {"255", 255}, {"99999999999999999999", 255}, {"-99999999999999999999", 1}, {"+7", 7},
  };
  for (const auto& [typed, kept] : typedAndKept) EXPECT_EQ(ClampTypedCycles(typed), kept) << '"' << typed << '"';
}

// A session on key A, which plays Seq: a, b, c with pauses of 10, 20 and 30 ms.
class StepsTest : public SessionTest {
 protected:
  KeyEditSession OpenSeq(int recordDelayOption = 1) {
    const uint16_t id = AddMacro("Seq", {Down(kA, 10), Down(kB, 20), Down(kC, 30)}, 2);
    Assign(kA, KeyAction::Macro(id, 2));
    return Open(kA, false, recordDelayOption);
  }
};

TEST_F(StepsTest, ATypedDelayIsStoredAsItIsKept) {
  KeyEditSession session = OpenSeq();
  EXPECT_EQ(session.SetStepDelay(1, 12345).stored, 12340u);
  EXPECT_EQ(session.Steps()[1].delay, 12340u);
  const DelayEdit negative = session.SetStepDelay(2, -5);
  EXPECT_TRUE(negative.tooLarge);
  EXPECT_EQ(session.Steps()[2].delay, 40000u);
  EXPECT_TRUE(session.SetStepDelay(0, 50000).tooLarge);
  EXPECT_EQ(session.Steps()[0].delay, 40000u);
  EXPECT_TRUE(session.Dirty());
}

TEST_F(StepsTest, TheCyclesBoxKeepsANumberFrom1To255) {
  KeyEditSession session = OpenSeq();
  EXPECT_EQ(session.Cycles(), 2);
  for (const auto& [typed, kept] :
       {std::pair{"0", 1}, std::pair{"300", 255}, std::pair{"abc", 1}, std::pair{"7", 7}}) {
    EXPECT_EQ(session.SetCyclesText(typed), kept) << typed;
    EXPECT_EQ(session.Cycles(), kept) << typed;
  }
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_EQ(Record(kA).aux, 7);
  EXPECT_EQ(Editor().Macros()[0].cycles, 7);
}

struct MoveCase {
  int selected;
  StepMove move;
  std::vector<MacroStep> steps;
  int selectedAfter;
};

class MovingSteps : public StepsTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MovingSteps, EveryStepKeepsItsOwnDelay) {
  KeyEditSession session = OpenSeq();
  session.SelectStep(GetParam().selected);
  session.MoveStep(GetParam().move);
  EXPECT_EQ(session.Steps(), GetParam().steps);
  EXPECT_EQ(session.SelectedStep(), GetParam().selectedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MovingSteps,
    ::testing::Values(MoveCase{2, StepMove::Top, {Down(kC, 30), Down(kA, 10), Down(kB, 20)}, 0},
                      MoveCase{0, StepMove::Bottom, {Down(kB, 20), Down(kC, 30), Down(kA, 10)}, 2},
                      MoveCase{1, StepMove::Up, {Down(kB, 20), Down(kA, 10), Down(kC, 30)}, 0},
                      MoveCase{1, StepMove::Down, {Down(kA, 10), Down(kC, 30), Down(kB, 20)}, 2},
                      MoveCase{0, StepMove::Up, {Down(kA, 10), Down(kB, 20), Down(kC, 30)}, 0},
                      MoveCase{2, StepMove::Down, {Down(kA, 10), Down(kB, 20), Down(kC, 30)}, 2}));

TEST_F(StepsTest, DeletingAStepKeepsTheOthersDelays) {
  KeyEditSession session = OpenSeq();
  session.SelectStep(1);
  session.DeleteStep();
  EXPECT_EQ(session.Steps(), (std::vector<MacroStep>{Down(kA, 10), Down(kC, 30)}));
  EXPECT_EQ(session.SelectedStep(), 1);
  session.DeleteStep();
  EXPECT_EQ(session.Steps(), (std::vector<MacroStep>{Down(kA, 10)}));
  EXPECT_EQ(session.SelectedStep(), 0);
}

// ---- Recording --------------------------------------------------------------------------

TEST_F(SessionTest, RecordingNeedsAMacro) {
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  session.StartRecording(0);
  EXPECT_FALSE(session.Recording());
  EXPECT_FALSE(session.RecordKey(kB, Kind::Press, 10));
}

struct RecordCase {
  const char* name;
  int recordDelayOption;
  std::vector<MacroStep> steps;
  friend void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }
};

class RecordingPauses : public SessionTest, public ::testing::WithParamInterface<RecordCase> {};

// A held down, released, then B tapped; the recording starts at 1000 ms.
TEST_P(RecordingPauses, FollowTheRecordDelayOption) {
  KeyEditSession session = Open(kA, false, GetParam().recordDelayOption);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  session.StartRecording(1000);
  const std::tuple<KeyCode, Kind, uint64_t> events[] = {
      {kA, Kind::Press, 1100}, {kA, Kind::Repeat, 1130}, {kA, Kind::Repeat, 1160},
      {kA, Kind::Release, 1300}, {kB, Kind::Press, 1700}, {kB, Kind::Release, 1800}};
  for (const auto& [key, kind, at] : events) EXPECT_TRUE(session.RecordKey(key, kind, at));
  EXPECT_EQ(session.Steps(), GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    Options, RecordingPauses,
    ::testing::Values(RecordCase{"Fixed", 0, {Down(kA, 50), Up(kA, 50), Down(kB, 50), Up(kB, 0)}},
                      RecordCase{"Real", 1, {Down(kA, 200), Up(kA, 400), Down(kB, 100), Up(kB, 0)}},
                      RecordCase{"None", 2, {Down(kA, 0), Up(kA, 0), Down(kB, 0), Up(kB, 0)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, AReleaseOnlyKeyIsRecordedAsAPressAndARelease) {
  KeyEditSession session = Open(kA);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  session.StartRecording(0);
  session.RecordKey(kA, Kind::Press, 100);
  session.RecordKey(kA, Kind::Release, 200);
  EXPECT_TRUE(session.RecordKey(kPrintScreenKey, Kind::Release, 500));
  EXPECT_EQ(session.Steps(), (std::vector<MacroStep>{Down(kA, 100), Up(kA, 300), Down(kPrintScreenKey, 2),
                                                      Up(kPrintScreenKey, 0)}));
}

// Where the desktop does report the press of such a key, it is still one press
// and one release.
TEST_F(SessionTest, AReportedPressOfAReleaseOnlyKeyIsNotDoubled) {
  KeyEditSession session = Open(kA);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  session.StartRecording(0);
  EXPECT_TRUE(session.RecordKey(kPrintScreenKey, Kind::Press, 100));
  EXPECT_TRUE(session.RecordKey(kPrintScreenKey, Kind::Release, 300));
  ASSERT_EQ(session.Steps().size(), 2u);
  EXPECT_EQ(session.Steps()[0].state, kStepPress);
  EXPECT_EQ(session.Steps()[1].state, kStepRelease);
}

TEST_F(SessionTest, MediaKeysAndNoKeyAreNotRecorded) {
  KeyEditSession session = Open(kA);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  session.StartRecording(0);
  EXPECT_FALSE(session.RecordKey(kMute, Kind::Press, 100));
  EXPECT_FALSE(session.RecordKey(kMute, Kind::Release, 150));
  EXPECT_FALSE(session.RecordKey(0, Kind::Press, 160));
  EXPECT_TRUE(session.Steps().empty());
  EXPECT_TRUE(session.Recording());
}

// The selected row's pause becomes the time until the new step, and the new
// step takes the pause the selected row had before it.
TEST_F(StepsTest, ARecordingGoesInAfterTheSelectedStep) {
  KeyEditSession session = OpenSeq();
  session.SelectStep(1);
  session.StartRecording(1000);
  session.RecordKey(kX, Kind::Press, 1070);
  EXPECT_EQ(session.Steps(), (std::vector<MacroStep>{Down(kA, 10), Down(kB, 70), Down(kX, 20), Down(kC, 30)}));
  EXPECT_EQ(session.SelectedStep(), 2);
  session.RecordKey(kX, Kind::Release, 1100);
  EXPECT_EQ(session.Steps(),
            (std::vector<MacroStep>{Down(kA, 10), Down(kB, 70), Down(kX, 30), Up(kX, 20), Down(kC, 30)}));
  EXPECT_EQ(session.SelectedStep(), 3);
}

TEST_F(StepsTest, AMacroHoldsAtMost4000Steps) {
  KeyEditSession session = OpenSeq();
  for (size_t i = 3; i < kMaxMacroSteps; ++i) session.AddRecordedStep(10, kB, kStepPress);
  ASSERT_EQ(session.Steps().size(), kMaxMacroSteps);
  session.AddRecordedStep(10, kX, kStepPress);
  session.StartRecording(0);
  EXPECT_TRUE(session.RecordKey(kX, Kind::Press, 5));
  EXPECT_EQ(session.Steps().size(), kMaxMacroSteps);
  EXPECT_EQ(session.Steps().back().key, kB);
}

// ---- Macro memory -------------------------------------------------------------------------

TEST_F(SessionTest, TheMacroMemoryIsWhatTheWorkingMacrosNeedAgainstWhatTheKeyboardHolds) {
  AddMacro("Dash");
  KeyEditSession session = Open(kA);
  ASSERT_EQ(session.AddMacro(), EditResult::Ok);
  session.AddRecordedStep(10, kB, kStepPress);
  const MacroImageSize sizes = MacroImageSizes(session.Macros());
  MacroMemory memory = session.Memory();
  EXPECT_EQ(memory.withoutNames, sizes.withoutNames);
  EXPECT_EQ(memory.withNames, sizes.withNames);
  EXPECT_EQ(memory.capacity, Core().Device().macroCapacity.load());
  EXPECT_EQ(memory.capacity, static_cast<size_t>(emu::kDefaultMacroBlocks) * 128);
  EXPECT_TRUE(memory.Fits());

  Core().Device().macroCapacity = static_cast<uint32_t>(sizes.withoutNames);
  memory = session.Memory();
  EXPECT_TRUE(memory.Fits());
  EXPECT_FALSE(memory.NamesFit());
  Core().Device().macroCapacity = static_cast<uint32_t>(sizes.withoutNames - 1);
  EXPECT_FALSE(session.Memory().Fits());
}

// ---- Placing the dialog -------------------------------------------------------------------

struct PlaceCase {
  const char* name;
  PlaceRect button;
  PlaceRect screen;
  PlacePoint at;  // of a 300 x 200 dialog
  friend void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }
};

class Placing : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(Placing, BesideTheButtonInsideTheScreen) {
  EXPECT_EQ(PlaceBesideButton(GetParam().button, 300, 200, GetParam().screen), GetParam().at);
}

constexpr PlaceRect kScreen{0, 0, 1920, 1080};

INSTANTIATE_TEST_SUITE_P(
    Corners, Placing,
    ::testing::Values(PlaceCase{"RightBelow", {100, 100, 140, 130}, kScreen, {140, 130}},
                      PlaceCase{"RightAboveNearTheBottom", {100, 1000, 140, 1030}, kScreen, {140, 800}},
                      PlaceCase{"LeftBelowNearTheRight", {1800, 100, 1840, 130}, kScreen, {1500, 130}},
                      PlaceCase{"LeftAboveInTheCorner", {1800, 1000, 1840, 1030}, kScreen, {1500, 800}},
                      // A screen left of or above the primary one.
                      PlaceCase{"AScreenAbove", {100, -100, 140, -70}, {0, -1080, 1920, 0}, {140, -300}},
                      PlaceCase{"AScreenToTheLeft", {-140, 900, -100, 930}, {-1920, 0, 0, 1080}, {-440, 700}},
                      // Nowhere beside it: right-below, moved inside.
                      PlaceCase{"ANarrowScreen", {2100, 500, 2140, 530}, {1920, 0, 2400, 1080}, {2100, 530}},
                      PlaceCase{"ALowScreen", {100, 100, 140, 130}, {0, 0, 1920, 250}, {140, 50}},
                      PlaceCase{"AScreenSmallerThanTheDialog", {50, 50, 90, 80}, {10, 20, 250, 150}, {10, 20}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Through the keyboard -----------------------------------------------------------------

// A macro recorded in the dialog for A reaches the keyboard with the key map,
// and comes back from it when the keyboard is plugged in again.
TEST_F(SessionTest, ARecordedMacroReachesTheKeyboard) {
  KeyEditSession session = Open(kA);
  session.ShowPage(KeyPage::Macro);
  ASSERT_EQ(session.TypeName("Dash"), "Dash");
  session.StartRecording(0);
  for (const auto& [key, kind, at] : {std::tuple{kB, Kind::Press, 120}, std::tuple{kB, Kind::Release, 200},
                                      std::tuple{kC, Kind::Press, 450}, std::tuple{kC, Kind::Release, 460}}) {
    ASSERT_TRUE(session.RecordKey(key, kind, static_cast<uint64_t>(at)));
  }
  EXPECT_EQ(session.SetCyclesText("3"), 3);
  ASSERT_EQ(session.Apply(), EditResult::Ok);
  EXPECT_FALSE(session.Recording());
  EXPECT_EQ(Record(kA), (KeyAssignment{kAssignMacro, 3, 1}));

  ASSERT_EQ(ApplyToKeyboard().result, ApplyResult::Applied);
  const int active[] = {Active()};
  VerifyOutcome keyMaps, macros;
  OnUiThread([&] {
    keyMaps = Editor().VerifyKeyMaps(active);
    macros = Editor().VerifyMacros();
  });
  EXPECT_TRUE(keyMaps.Same());
  EXPECT_TRUE(macros.Same());

  const int profile = Active();
  keyboard_.Control("unplug");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell removed"); }));
  ui_.ClearLog();
  keyboard_.Control("plug");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell connected"); }, 10s));
  executor_.Drain();
  const KeyAssignment read = Record(profile, kA);
  EXPECT_EQ(read.type, kAssignMacro);
  EXPECT_EQ(read.value, 1u);
  const MacroList back = Editor().Macros();
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].name, u"Dash");
  EXPECT_EQ(back[0].cycles, 3);
  EXPECT_EQ(back[0].steps, (std::vector<MacroStep>{Down(kB, 80), Up(kB, 250), Down(kC, 10), Up(kC, 0)}));
}

}  // namespace
}  // namespace keyloft

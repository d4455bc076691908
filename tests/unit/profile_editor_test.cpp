#include "sync/profile_editor.h"

#include <gtest/gtest.h>

#include <future>

#include "core_world.h"
#include "printers.h"

namespace keyloft {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

constexpr KeyCode kA = 0x01E, kB = 0x030, kG1 = 0x200, kG2 = 0x201, kF13 = 0x064;

// The editing API over a connected core (profile 1 active, nothing assigned).
class EditorTest : public ::testing::Test, protected test::CoreWorld {
 protected:
  EditorTest() : CoreWorld(KEYLOFT_ASSETS_DIR) {}

  ProfileEditor& Editor() { return Core().Editor(); }
  KeyAssignment Record(int profile, KeyCode key) { return Editor().Describe(profile, key).record; }
  uint16_t AddMacro(const std::string& name) {
    uint16_t id = 0;
    EXPECT_EQ(Editor().AddMacro(name, {{10, kA, kStepPress}, {0, kA, kStepRelease}}, 1, &id), EditResult::Ok);
    return id;
  }
  ApplyOutcome Apply() {
    ApplyOutcome applied;
    OnUiThread([&] { applied = Editor().Apply(); });
    return applied;
  }
};

struct AssignCase {
  const char* name;
  int profile;
  KeyCode key;
  KeyAction action;
  KeyAssignment expected;
  friend void PrintTo(const AssignCase& c, std::ostream* os) { *os << c.name; }
};

class Assign : public EditorTest, public ::testing::WithParamInterface<AssignCase> {};

TEST_P(Assign, BuildsTheRecord) {
  const uint16_t id = AddMacro("Dash");
  ASSERT_EQ(id, 1);
  ui_.ClearLog();
  ASSERT_EQ(Editor().AssignKey(GetParam().profile, GetParam().key, GetParam().action), EditResult::Ok);
  EXPECT_EQ(Record(GetParam().profile, GetParam().key), GetParam().expected);
  EXPECT_TRUE(Core().Workspace().Pending());
  EXPECT_TRUE(ui_.Saw("apply on"));
  EXPECT_TRUE(ui_.Saw("keys redrawn"));
}

INSTANTIATE_TEST_SUITE_P(
    Records, Assign,
    ::testing::Values(AssignCase{"AnotherKey", 0, kA, KeyAction::Key(kB), {kAssignKey, 0, kB}},
                      AssignCase{"ItselfIsTheDefault", 0, kA, KeyAction::Key(kA), {kAssignDefault, 0, 0}},
                      AssignCase{"AGKeyKeepsItsIdentifier", 0, kG1, KeyAction::Key(kB), {kAssignKey, 0x0301, kB}},
                      AssignCase{"AMacrosCyclesTakeTheAux", 0, kG1, KeyAction::Macro(1, 7), {kAssignMacro, 7, 1}},
                      AssignCase{"AKeysMacro", 2, kA, KeyAction::Macro(1, 3), {kAssignMacro, 3, 1}},
                      AssignCase{"Media", 1, kB, KeyAction::Media(7), {kAssignMedia, 0, 7}},
                      AssignCase{"Function", 1, kB, KeyAction::Function(10), {kAssignFunction, 0, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorTest, RefusesWhatCannotBeAssigned) {
  EXPECT_EQ(Editor().AssignKey(3, kA, KeyAction::Key(kB)), EditResult::NoSuchProfile);
  EXPECT_EQ(Editor().AssignKey(0, kF13, KeyAction::Key(kB)), EditResult::NoSuchKey);  // no key of this keyboard
  EXPECT_EQ(Editor().AssignKey(0, kFnKey, KeyAction::Key(kB)), EditResult::NoSuchKey);
  EXPECT_EQ(Editor().AssignKey(0, kA, KeyAction::Macro(9, 1)), EditResult::NoSuchMacro);
  EXPECT_EQ(Record(0, kA), KeyAssignment{});
  EXPECT_FALSE(Core().Workspace().Pending());
}

TEST_F(EditorTest, AnotherProfileThanTheActiveOneGoesWithAllThree) {
  ASSERT_EQ(Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
  EXPECT_FALSE(Core().Workspace().WriteAll());
  ASSERT_EQ(Editor().AssignKey(2, kA, KeyAction::Key(kB)), EditResult::Ok);
  EXPECT_TRUE(Core().Workspace().WriteAll());
  keyboard_.ClearTrace();
  EXPECT_EQ(Apply().result, ApplyResult::Applied);
  const int profiles[] = {0, 1, 2};
  VerifyOutcome verified;
  OnUiThread([&] { verified = Editor().VerifyKeyMaps(profiles); });
  EXPECT_TRUE(verified.Same());
  EXPECT_FALSE(Core().Workspace().Pending());
}

TEST_F(EditorTest, MacroNamesIdentifiersAndLimits) {
  EXPECT_EQ(AddMacro("Dash"), 1);
  EXPECT_EQ(AddMacro("Jump"), 2);
  EXPECT_EQ(Editor().AddMacro("dash", {{0, kA, kStepPress}}, 1), EditResult::MacroExists);
  EXPECT_EQ(Editor().AddMacro("", {{0, kA, kStepPress}}, 1), EditResult::BadName);
  EXPECT_EQ(Editor().AddMacro(std::string(250, 'n'), {{0, kA, kStepPress}}, 1), EditResult::BadName);
  EXPECT_EQ(Editor().AddMacro(std::string(249, 'n'), {{0, kA, kStepPress}}, 1), EditResult::Ok);
  EXPECT_EQ(Editor().AddMacro("Empty", {}, 1), EditResult::NoSteps);
  EXPECT_EQ(Editor().AddMacro("Long", std::vector<MacroStep>(4001), 1), EditResult::TooManySteps);

  EXPECT_EQ(Editor().RenameMacro(2, "DASH"), EditResult::MacroExists);
  EXPECT_EQ(Editor().RenameMacro(1, "DASH"), EditResult::Ok);  // its own name in other letters
  EXPECT_EQ(Editor().FindMacro("dash"), 1);
  EXPECT_EQ(Editor().RenameMacro(7, "Seven"), EditResult::NoSuchMacro);

  for (auto [asked, kept] : {std::pair{0, 1}, std::pair{300, 255}, std::pair{17, 17}}) {
    ASSERT_EQ(Editor().SetMacroCycles(2, asked), EditResult::Ok);
    EXPECT_EQ(Editor().Macros()[1].cycles, kept) << asked;
  }

  for (int i = 4; i <= 100; ++i) ASSERT_EQ(AddMacro("M" + std::to_string(i)), i);
  EXPECT_EQ(Editor().AddMacro("One too many", {{0, kA, kStepPress}}, 1), EditResult::TooManyMacros);
}

TEST_F(EditorTest, DeletingAMacroThatKeysPlayAsksAndClearsThemEverywhere) {
  const uint16_t dash = AddMacro("Dash");
  const uint16_t jump = AddMacro("Jump");
  ASSERT_EQ(Editor().AssignKey(0, kA, KeyAction::Macro(dash, 2)), EditResult::Ok);
  ASSERT_EQ(Editor().AssignKey(1, kG2, KeyAction::Macro(dash, 2)), EditResult::Ok);
  ASSERT_EQ(Editor().AssignKey(0, kB, KeyAction::Macro(jump, 1)), EditResult::Ok);
  ASSERT_EQ(Apply().result, ApplyResult::Applied);
  EXPECT_FALSE(Core().Workspace().WriteAll());

  ui_.answer = false;
  EXPECT_EQ(Editor().DeleteMacro(dash), EditResult::Declined);
  EXPECT_TRUE(ui_.Saw("confirm MACRO_DELETE_CONFIRM_OF_KEYS"));
  EXPECT_EQ(Editor().Macros().size(), 2u);
  EXPECT_EQ(Record(0, kA).type, kAssignMacro);

  ui_.answer = true;
  ASSERT_EQ(Editor().DeleteMacro(dash), EditResult::Ok);
  EXPECT_EQ(Editor().Macros().size(), 1u);
  EXPECT_EQ(Record(0, kA), KeyAssignment{});
  EXPECT_EQ(Record(1, kG2), (KeyAssignment{kAssignDefault, GKeyAux(KeyCodeToIndex(kG2)), 0}));  // its identifier back
  EXPECT_EQ(Record(0, kB), (KeyAssignment{kAssignMacro, 1, jump}));
  EXPECT_TRUE(Core().Workspace().WriteAll());  // Jump moved up: every key map names it anew

  // Written and read back, Jump plays from B at its new position.
  ASSERT_EQ(Apply().result, ApplyResult::Applied);
  const int profiles[] = {0, 1, 2};
  VerifyOutcome verified;
  OnUiThread([&] { verified = Editor().VerifyKeyMaps(profiles); });
  EXPECT_TRUE(verified.Same());
}

TEST_F(EditorTest, AMacroNoKeyPlaysGoesWithoutAQuestion) {
  const uint16_t id = AddMacro("Dash");
  ASSERT_EQ(Editor().DeleteMacro(id), EditResult::Ok);
  EXPECT_FALSE(ui_.Saw("confirm MACRO_DELETE_CONFIRM_OF_KEYS"));
  EXPECT_EQ(Editor().DeleteMacro(id), EditResult::NoSuchMacro);
}

// While the user is asked whether to delete, the keyboard is pulled and put
// back: its read-back, which rebuilds the working model, runs to its end.
TEST_F(EditorTest, AReplugWhileAMacroDeletionAsksCompletes) {
  const uint16_t id = AddMacro("Dash");
  ASSERT_EQ(Editor().AssignKey(0, kA, KeyAction::Macro(id, 1)), EditResult::Ok);
  ASSERT_EQ(Apply().result, ApplyResult::Applied);
  bool readBack = false;
  ui_.answer = true;
  ui_.whileAsked = [&] {
    keyboard_.Control("unplug");
    WaitUntil([&] { return ui_.Saw("shell removed"); });
    ui_.ClearLog();
    keyboard_.Control("plug");
    readBack = WaitUntil([&] { return ui_.Saw("shell connected"); }, 5s);
  };
  auto deleted = std::async(std::launch::async, [&] { return Editor().DeleteMacro(id); });
  ASSERT_EQ(deleted.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(readBack);
  // The macro came back from the keyboard under the same identifier, and went.
  EXPECT_EQ(deleted.get(), EditResult::Ok);
  EXPECT_TRUE(Editor().Macros().empty());
  EXPECT_EQ(Record(0, kA), KeyAssignment{});
}

TEST_F(EditorTest, RestoreDefaultsResetsTheActiveProfileAndApplies) {
  ASSERT_EQ(Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
  ASSERT_EQ(Editor().AssignKey(0, kG1, KeyAction::Key(kB)), EditResult::Ok);
  ASSERT_EQ(Editor().AssignKey(1, kA, KeyAction::Key(kB)), EditResult::Ok);
  ASSERT_EQ(Apply().result, ApplyResult::Applied);

  RestoreOutcome restored;
  OnUiThread([&] { restored = Editor().RestoreDefaults(false); });
  EXPECT_EQ(restored.result, RestoreResult::Done);
  EXPECT_EQ(restored.profile, 0);
  EXPECT_EQ(restored.apply.result, ApplyResult::Applied);
  EXPECT_EQ(Record(0, kA), KeyAssignment{});
  EXPECT_EQ(Record(0, kG1), KeyAssignment{});  // every field, the identifier too
  EXPECT_EQ(Record(1, kA).type, kAssignKey);   // another profile stays
  const int active[] = {0};
  VerifyOutcome verified;
  OnUiThread([&] { verified = Editor().VerifyKeyMaps(active); });
  EXPECT_TRUE(verified.Same());
}

TEST_F(EditorTest, RestoreDefaultsWithoutAKnownProfileResetsNothing) {
  ASSERT_EQ(Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
  keyboard_.Control("unplug");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell removed"); }));
  RestoreOutcome restored;
  OnUiThread([&] { restored = Editor().RestoreDefaults(false); });
  EXPECT_EQ(restored.result, RestoreResult::NoProfile);
  EXPECT_EQ(Record(0, kA).type, kAssignKey);
}

// A restored file is on the keyboard when it reports so; when the keyboard
// refused it, Apply stays open and writes all three profiles.
TEST_F(EditorTest, ARestoreLeavesApplyOpenOnlyWhenTheKeyboardRefusedIt) {
  ASSERT_EQ(Editor().AssignKey(1, kA, KeyAction::Key(kB)), EditResult::Ok);
  const std::filesystem::path backup = home_ / "backup.fwc";
  ASSERT_TRUE(Editor().Export(backup));
  ASSERT_EQ(Editor().AssignKey(1, kA, KeyAction::Key(kA)), EditResult::Ok);

  ImportOutcome restored;
  ui_.ClearLog();
  OnUiThread([&] { restored = Editor().Import(backup); });
  ASSERT_TRUE(restored.Written());
  EXPECT_EQ(Record(1, kA).type, kAssignKey);
  EXPECT_FALSE(Core().Workspace().Pending());
  EXPECT_TRUE(ui_.Saw("apply off"));
  EXPECT_TRUE(ui_.Saw("keys redrawn"));

  EXPECT_FALSE(Core().Workspace().WriteAll());
  ASSERT_EQ(keyboard_.Control("refuse-after 2"), "ok");
  ui_.ClearLog();
  OnUiThread([&] { restored = Editor().Import(backup); });
  EXPECT_TRUE(restored.loaded);
  EXPECT_FALSE(restored.Written());
  EXPECT_TRUE(Core().Workspace().Pending());
  EXPECT_TRUE(Core().Workspace().WriteAll());
  EXPECT_TRUE(ui_.Saw("apply on"));
}

TEST_F(EditorTest, EveryKeyIsFoundByTheNameItIsShownBy) {
  const Localisation& lang = Core().Lang();
  const std::vector<KeyCode> assignable = Editor().AssignableKeys();
  for (KeyCode key : assignable) {
    EXPECT_EQ(FindKeyByName(lang, KeyName(lang, key), assignable), key) << KeyName(lang, key);
  }
  std::vector<KeyCode> lit;
  for (const LedSlotEntry& e : Core().Model().ledSlots) lit.push_back(e.key);
  for (KeyCode key : lit) EXPECT_EQ(FindKeyByName(lang, KeyName(lang, key), lit), key) << KeyName(lang, key);
  EXPECT_EQ(FindKeyByName(lang, "up arrow", lit), 0x148);
  EXPECT_EQ(FindKeyByName(lang, "0x148", lit), 0x148);
  EXPECT_EQ(FindKeyByName(lang, "fn", lit), kFnKey);
  EXPECT_EQ(FindKeyByName(lang, "Up", lit), std::nullopt);  // the LED table's old name is no name
}

}  // namespace
}  // namespace keyloft

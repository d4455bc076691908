#include "sync/core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "core_world.h"
#include "device_fixture.h"
#include "fake_ui.h"
#include "recording_prompts.h"
#include "store/profile_file.h"
#include "sync/thread_executor.h"
#include "temp_dir.h"
#include "util/bytes.h"
#include "wait.h"

namespace keyloft {
namespace {

using namespace std::chrono_literals;
using test::FakeUi;
using test::TempDir;
using test::VirtualKeyboard;
using test::WaitUntil;

// A core over a virtual keyboard, its files in a temporary home.
class SyncTest : public ::testing::Test, protected test::CoreWorld {
 protected:
  explicit SyncTest(int model = 1) : CoreWorld(KEYLOFT_ASSETS_DIR, model) {}
};

std::vector<uint8_t> Repeat(uint8_t command, int n) { return std::vector<uint8_t>(static_cast<size_t>(n), command); }

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Two macros whose image is 0x0120 bytes long.
void PutTwoMacrosOnTheKeyboard(VirtualKeyboard& keyboard) {
  test::TestDevice device(keyboard.Config(), keyboard.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(device));
  MacroList list(2);
  list[0].id = 1;
  list[0].steps.assign(32, {10, 0x01E, 0});
  list[1].id = 2;
  list[1].steps.assign(33, {10, 0x030, 1});
  auto image = BuildMacroImage(list, false);
  ASSERT_EQ(image.size(), 0x120u);
  CommandChannel channel(device);
  ASSERT_EQ(channel.DevBegin(), DevResult::Ok);
  ASSERT_EQ(channel.DevWriteMacros(image), DevResult::Ok);
  ASSERT_EQ(channel.DevEnd(), DevResult::Ok);
}

struct ConnectionCase {
  int model;
  bool macros;
};

class Connection : public SyncTest, public ::testing::WithParamInterface<ConnectionCase> {
 protected:
  Connection() : SyncTest(GetParam().model) {}
};

TEST_P(Connection, ReadsEverythingBackInOrder) {
  if (GetParam().macros) PutTwoMacrosOnTheKeyboard(keyboard_);
  keyboard_.ClearTrace();
  Core();
  const std::vector<uint8_t> macroReads =
      GetParam().macros ? Join({{CMD_READ_MACROS}, Repeat(CMD_READ_MACROS, 6)}) : std::vector<uint8_t>{CMD_READ_MACROS};
  EXPECT_EQ(CommandNumbers(),
            Join({{CMD_READ_INFO},                                       // the monitor's probe
                  Repeat(CMD_READ_DEFAULT_KEYMAP, 7), {CMD_READ_INFO},  // arrival
                  {CMD_READ_INFO}, Repeat(CMD_READ_KEYMAP, 21), macroReads,  // the read-back
                  {CMD_READ_INFO, CMD_BEGIN, CMD_BEGIN, CMD_WRITE_PARAMS, CMD_END},  // lighting
                  {CMD_BEGIN}, Repeat(CMD_WRITE_KEY_COLOURS, 8), {CMD_END},           // the current scheme
                  Repeat(CMD_READ_PARAMS, 3), {CMD_END}}));
  const size_t macros = GetParam().macros ? 2 : 0;
  EXPECT_EQ(std::filesystem::file_size(WorkingFile()), 0x8040u + macros * 0x7F00u);
  EXPECT_EQ(Core().Editor().Macros().size(), macros);
  EXPECT_TRUE(ui_.Saw("profile button 0"));
  EXPECT_TRUE(ui_.Saw("apply off"));
}

INSTANTIATE_TEST_SUITE_P(ModelsAndMacros, Connection,
                         ::testing::Values(ConnectionCase{1, false}, ConnectionCase{1, true}, ConnectionCase{2, false},
                                           ConnectionCase{2, true}));

TEST_F(SyncTest, AFailedReadBackKeepsTheFileAndGivesTheDefaults) {
  KeyloftCore& core = Core(false);
  ASSERT_TRUE(test::ConnectDirectly(core.Device()));
  core.UserFiles().EnsureUserDataFolder();
  ProfileData earlier;
  BuildDefaultProfile(earlier);
  earlier.block.arrays[1][5] = {kAssignDisabled};
  ASSERT_TRUE(SaveProfileFile(WorkingFile(), earlier));
  const std::string before = TempDir::ReadFile(WorkingFile());
  core.Device().activeProfileCache = 0;
  ASSERT_EQ(core.Editor().AssignKey(0, 0x009, KeyAction{kAssignDisabled}), EditResult::Ok);  // record 9
  ASSERT_EQ(keyboard_.Control("unplug-after 8"), "ok");  // the first chunk of profile 1's key map
  DevResult read = DevResult::Ok;
  OnUiThread([&] { read = core.Sync().LoadOnboardProfiles(false); });
  EXPECT_NE(read, DevResult::Ok);
  EXPECT_EQ(TempDir::ReadFile(WorkingFile()), before);
  core.Workspace().Read([](const ProfileData& w) {
    EXPECT_EQ(w.block.arrays[0][9], KeyAssignment{});
    EXPECT_EQ(w.block.arrays[1][5], KeyAssignment{});
  });
}

TEST_F(SyncTest, SwitchingProfiles) {
  KeyloftCore& core = Core();
  SwitchOutcome switched;
  auto infoWrites = [&] {
    std::vector<int> profiles;
    for (const auto& c : keyboard_.Commands()) {
      if (c[3] == CMD_WRITE_INFO) profiles.push_back(c[8 + 10]);
    }
    return profiles;
  };

  keyboard_.ClearTrace();
  OnUiThread([&] { switched = core.Sync().SwitchProfile(3); });
  EXPECT_EQ(switched.result, SwitchResult::Switched);
  EXPECT_EQ(infoWrites(), std::vector<int>{0});  // 3 means the first profile

  keyboard_.ClearTrace();
  ui_.ClearLog();
  OnUiThread([&] { switched = core.Sync().SwitchProfile(-1); });
  EXPECT_TRUE(keyboard_.Commands().empty());
  EXPECT_TRUE(ui_.Saw("keys redrawn"));

  ui_.keyDialogOpen = true;
  OnUiThread([&] { switched = core.Sync().SwitchProfile(1); });
  EXPECT_EQ(switched.result, SwitchResult::Refused);
  EXPECT_TRUE(ui_.Saw("notify PROFILE_SEELCT_PROMPT2"));
  ui_.keyDialogOpen = false;

  keyboard_.ClearTrace();
  OnUiThread([&] { EXPECT_EQ(core.Sync().ProfileButton(0), DevResult::Ok); });  // the active profile: lighting read, no switch
  EXPECT_TRUE(infoWrites().empty());
  EXPECT_FALSE(keyboard_.Commands().empty());
}

TEST_F(SyncTest, PendingChangesAreAppliedUnderTheOldProfileOrDropped) {
  KeyloftCore& core = Core();
  auto changeAKey = [&] { ASSERT_EQ(core.Editor().AssignKey(0, 0x01E, KeyAction::Key(0x030)), EditResult::Ok); };

  changeAKey();
  ui_.answer = true;
  keyboard_.ClearTrace();
  OnUiThread([&] { EXPECT_EQ(core.Sync().SwitchProfile(1).result, SwitchResult::Switched); });
  auto numbers = CommandNumbers();
  auto keyMap = std::find(numbers.begin(), numbers.end(), CMD_WRITE_KEYMAP);
  auto info = std::find(numbers.begin(), numbers.end(), CMD_WRITE_INFO);
  ASSERT_NE(keyMap, numbers.end());
  EXPECT_LT(keyMap, info);  // written under profile 1 before the switch
  EXPECT_EQ(keyboard_.Commands()[static_cast<size_t>(keyMap - numbers.begin())][5], 0);  // at profile 0's offset
  EXPECT_FALSE(ui_.applyEnabled);

  changeAKey();
  ASSERT_EQ(core.Editor().AssignKey(0, 0x030, KeyAction{kAssignDisabled}), EditResult::Ok);
  ui_.answer = false;
  keyboard_.ClearTrace();
  OnUiThread([&] { EXPECT_EQ(core.Sync().SwitchProfile(2).result, SwitchResult::Switched); });
  numbers = CommandNumbers();
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), CMD_WRITE_KEYMAP), 0);
  EXPECT_EQ(core.Editor().Describe(0, 0x030).record, KeyAssignment{});  // reloaded

  // Without a working file to go back to, discarded changes are gone all the same.
  std::filesystem::remove(WorkingFile());
  changeAKey();
  keyboard_.ClearTrace();
  OnUiThread([&] { EXPECT_EQ(core.Sync().SwitchProfile(0).result, SwitchResult::Switched); });
  EXPECT_EQ(core.Editor().Describe(0, 0x01E).record, KeyAssignment{});
}

TEST_F(SyncTest, FollowsAProfileChosenOnTheKeyboard) {
  KeyloftCore& core = Core();
  const std::string schemes[3] = {Scheme(0), Scheme(1), Scheme(2)};
  core.UserFiles().WriteSchemeName(2, 0, "Painted by the user");
  const std::string painted = Scheme(2);
  keyboard_.ClearTrace();
  ui_.ClearLog();
  ASSERT_EQ(keyboard_.Control("profile 3"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("profile button 2"); }));
  executor_.Drain();
  for (const auto& c : keyboard_.Commands()) {
    if (c[3] == CMD_WRITE_INFO) {
      EXPECT_EQ(c[8 + 10], 2);  // never sent elsewhere
    }
  }
  EXPECT_NE(keyboard_.Control("dump").find("\"active_profile\": 2"), std::string::npos);
  EXPECT_EQ(core.Lighting().State().profile, 2);
  EXPECT_EQ(Scheme(0), schemes[0]);
  EXPECT_EQ(Scheme(1), schemes[1]);
  EXPECT_EQ(Scheme(2), painted);

  keyboard_.ClearTrace();
  ui_.ClearLog();
  ASSERT_EQ(keyboard_.Control("lighting"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("panel"); }));
  auto numbers = CommandNumbers();
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), CMD_READ_PARAMS), 3);
}

TEST_F(SyncTest, Apply) {
  KeyloftCore& core = Core();
  ApplyOutcome applied;
  auto apply = [&] { OnUiThread([&] { applied = core.Sync().Apply(); }); };
  OnUiThread([&] { EXPECT_EQ(core.Sync().SwitchProfile(1).result, SwitchResult::Switched); });
  keyboard_.ClearTrace();
  ui_.ClearLog();
  apply();  // nothing pending
  EXPECT_EQ(applied.result, ApplyResult::NothingPending);
  EXPECT_TRUE(keyboard_.Commands().empty());
  EXPECT_EQ(ui_.Log(), (std::vector<std::string>{"progress on", "progress off"}));

  ASSERT_EQ(core.Editor().AssignKey(1, 0x01E, KeyAction::Key(0x030)), EditResult::Ok);
  EXPECT_TRUE(ui_.applyEnabled);
  apply();
  EXPECT_EQ(applied.result, ApplyResult::Applied);
  std::vector<std::pair<uint8_t, int>> sent;
  for (const auto& c : keyboard_.Commands()) sent.emplace_back(c[3], c[5] | c[6] << 8);
  ASSERT_GE(sent.size(), 10u);
  EXPECT_EQ(sent.front().first, CMD_BEGIN);
  EXPECT_EQ(sent[1], std::make_pair(uint8_t{CMD_WRITE_MACROS}, 0));
  EXPECT_EQ(sent[2], std::make_pair(uint8_t{CMD_WRITE_KEYMAP}, 378));  // profile 1 at 1 × stride
  EXPECT_EQ(sent.back().first, CMD_END);
  EXPECT_FALSE(ui_.applyEnabled);

  // A change to a profile other than the active one: all three key maps, then
  // the active one again.
  for (auto [profile, keyMaps] : {std::pair{0, 3}, std::pair{1, 1}}) {
    keyboard_.ClearTrace();
    ASSERT_EQ(core.Editor().AssignKey(profile, 0x01F, KeyAction::Key(0x031)), EditResult::Ok);
    apply();
    EXPECT_EQ(applied.result, ApplyResult::Applied);
    int starts = 0;
    for (const auto& c : keyboard_.Commands()) starts += c[3] == CMD_WRITE_KEYMAP && (c[5] | c[6] << 8) % 378 == 0;
    EXPECT_EQ(starts, keyMaps);
  }

  // A recording the user keeps: nothing happens.
  ui_.recording = true;
  ASSERT_EQ(core.Editor().AssignKey(1, 0x01F, KeyAction::Key(0x032)), EditResult::Ok);
  keyboard_.ClearTrace();
  apply();
  EXPECT_EQ(applied.result, ApplyResult::Declined);
  EXPECT_TRUE(keyboard_.Commands().empty());
  EXPECT_TRUE(ui_.recording);

  // Unplugged: the file is written, the changes stay pending.
  ui_.recording = false;
  ASSERT_EQ(keyboard_.Control("unplug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return !core.Device().deviceConnected; }));
  const auto before = std::filesystem::last_write_time(WorkingFile());
  std::this_thread::sleep_for(10ms);
  apply();
  EXPECT_EQ(applied.result, ApplyResult::WriteFailed);
  EXPECT_GT(std::filesystem::last_write_time(WorkingFile()), before);
  EXPECT_TRUE(ui_.applyEnabled);
  EXPECT_TRUE(core.Workspace().Pending());
}

// An Apply the cable cuts short: the changes stay the user's and stay pending
// across the return, which reads the profiles they are not in; the next Apply
// writes them. (They were once replaced by the read-back, and Apply closed.)
TEST_F(SyncTest, ChangesTheKeyboardNeverTookSurviveItsReturn) {
  constexpr KeyCode kA = 0x01E, kB = 0x030, kC = 0x02E, kD = 0x020;
  KeyloftCore& core = Core();
  auto record = [&](int profile, KeyCode key) {
    return core.Workspace().Read([&](const ProfileData& w) {
      return w.block.arrays[static_cast<size_t>(profile)][KeyCodeToIndex(key)];
    });
  };
  auto apply = [&] {
    ApplyOutcome applied;
    OnUiThread([&] { applied = core.Editor().Apply(); });
    return applied.result;
  };
  ASSERT_EQ(core.Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
  ASSERT_EQ(apply(), ApplyResult::Applied);
  {
    // Meanwhile another program gives profile 2 what profile 1 holds.
    test::TestDevice other(keyboard_.Config(), keyboard_.LockFolder());
    ASSERT_TRUE(test::ConnectDirectly(other));
    CommandChannel channel(other);
    std::vector<uint8_t> keyMap(other.keyMapBytes);
    ASSERT_EQ(channel.DevReadKeyMap(keyMap, 0), DevResult::Ok);
    ASSERT_EQ(channel.DevBegin(), DevResult::Ok);
    ASSERT_EQ(channel.DevWriteKeyMap(keyMap, 1), DevResult::Ok);
    ASSERT_EQ(channel.DevEnd(), DevResult::Ok);
  }

  ASSERT_EQ(core.Editor().AssignKey(0, kC, KeyAction::Key(kD)), EditResult::Ok);
  uint16_t id = 0;
  ASSERT_EQ(core.Editor().AddMacro("Dash", {{10, kA, kStepPress}, {0, kA, kStepRelease}}, 1, &id), EditResult::Ok);
  ASSERT_EQ(keyboard_.Control("unplug-after 6"), "ok");  // inside the macro area's write
  EXPECT_EQ(apply(), ApplyResult::WriteFailed);
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell removed"); }));
  ui_.ClearLog();
  ASSERT_EQ(keyboard_.Control("plug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell connected"); }, 5s));

  EXPECT_TRUE(core.Workspace().Pending());
  EXPECT_TRUE(ui_.applyEnabled);
  EXPECT_EQ(record(0, kC), (KeyAssignment{kAssignKey, 0, kD}));  // the change, still to write
  EXPECT_EQ(record(1, kA), (KeyAssignment{kAssignKey, 0, kB}));  // profile 2 as the keyboard holds it now
  ASSERT_EQ(core.Editor().Macros().size(), 1u);

  ASSERT_EQ(apply(), ApplyResult::Applied);
  EXPECT_FALSE(core.Workspace().Pending());
  DevResult read = DevResult::NoReply;
  OnUiThread([&] { read = core.Sync().LoadOnboardProfiles(false); });
  ASSERT_EQ(read, DevResult::Ok);
  EXPECT_EQ(record(0, kC), (KeyAssignment{kAssignKey, 0, kD}));
  EXPECT_EQ(record(0, kA), (KeyAssignment{kAssignKey, 0, kB}));
  EXPECT_EQ(record(1, kA), (KeyAssignment{kAssignKey, 0, kB}));
  ASSERT_EQ(core.Editor().Macros().size(), 1u);
  EXPECT_EQ(core.Editor().Macros()[0].name, u"Dash");
}

// A write cut short leaves the macro area torn; its journal has it finished at
// the return, before anything is read, and the user is told.
TEST_F(SyncTest, AWriteCutShortIsFinishedAtTheReturn) {
  KeyloftCore& core = Core();
  const std::filesystem::path journal = Home() / "state" / "keyloft" / "write-journal-0c45-652f";
  uint16_t id = 0;
  ASSERT_EQ(core.Editor().AddMacro("Dash", std::vector<MacroStep>(300, {10, 0x01E, kStepPress}), 1, &id), EditResult::Ok);
  ASSERT_EQ(keyboard_.Control("unplug-after 12"), "ok");  // the macro area is 1.2 KB: 22 chunks
  ApplyOutcome applied;
  OnUiThread([&] { applied = core.Editor().Apply(); });
  ASSERT_EQ(applied.result, ApplyResult::WriteFailed);
  EXPECT_TRUE(std::filesystem::exists(journal));
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell removed"); }));
  ui_.ClearLog();
  keyboard_.ClearTrace();
  ASSERT_EQ(keyboard_.Control("plug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return ui_.Saw("shell connected"); }, 5s));

  EXPECT_TRUE(ui_.Saw("notify MAIN_WRITE_FINISHED"));
  EXPECT_FALSE(std::filesystem::exists(journal));
  // Written before the keyboard's content was read.
  const std::vector<uint8_t> sent = CommandNumbers();
  const auto firstWrite = std::find(sent.begin(), sent.end(), CMD_WRITE_MACROS);
  const auto firstKeyMapRead = std::find(sent.begin(), sent.end(), CMD_READ_KEYMAP);
  EXPECT_LT(firstWrite, firstKeyMapRead);
  // What the keyboard holds now is the whole macro.
  OnUiThread([&] { ASSERT_EQ(core.Sync().LoadOnboardProfiles(false), DevResult::Ok); });
  ASSERT_EQ(core.Editor().Macros().size(), 1u);
  EXPECT_EQ(core.Editor().Macros()[0].name, u"Dash");
  EXPECT_EQ(core.Editor().Macros()[0].steps.size(), 300u);
}

// A scheme file in UTF-16 (saved by another program) was read as empty and then
// had UTF-8 lines appended: now it is put aside whole, the user told where,
// and the profile starts again from the template. Readable files stay.
TEST_F(SyncTest, AnUnreadableSchemeFileIsPutAsideAndSaid) {
  const std::filesystem::path folder = UserDataFolder(paths_);
  std::filesystem::create_directories(folder);
  const std::string wide("\xFF\xFE[\0S\0]\0", 8);
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
  };
  write("UserDengColor_1.userd", wide);
  write("UserDengColor_2.userd", "[Scheme]\r\nIndex=3\r\n");
  Core();
  ASSERT_TRUE(ui_.Saw("shell connected"));

  std::vector<std::filesystem::path> aside;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().filename().string().starts_with("UserDengColor_1.userd.unreadable-")) aside.push_back(e.path());
  }
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(test::TempDir::ReadFile(aside[0]), wide);
  EXPECT_TRUE(ui_.Saw("notify LIGHT_SCHEMES_SET_ASIDE"));
  test::TempDir fresh;
  UserData template_(fresh.Path(), paths_.programFolder);
  ASSERT_TRUE(template_.ResetLightingFile(0));
  EXPECT_EQ(Scheme(1), test::TempDir::ReadFile(template_.LightingFilePath(0)));  // as a fresh profile has it
  EXPECT_EQ(Scheme(2), "[Scheme]\r\nIndex=3\r\n");
}

std::vector<std::filesystem::path> SetAside(const std::filesystem::path& file) {
  std::vector<std::filesystem::path> aside;
  for (const auto& e : std::filesystem::directory_iterator(file.parent_path())) {
    if (e.path().filename().string().starts_with(file.filename().string() + ".unreadable-")) aside.push_back(e.path());
  }
  return aside;
}

// Settings files in UTF-16 took no write, so every choice made was lost at the
// next start: they go aside before anything reads them, the user is told, and
// the choices made from then on are kept.
TEST_F(SyncTest, UnreadableSettingsFilesArePutAsideAndLaterChoicesKept) {
  const std::string wide("\xFF\xFE[\0F\0]\0", 8);
  const std::filesystem::path registry = SettingsFolder(paths_) / "registry.ini";
  const std::filesystem::path lykb = UserDataFolder(paths_) / "lykb.ini";
  for (const auto& file : {registry, lykb}) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << wide;
  }
  KeyloftCore& core = Core();
  EXPECT_TRUE(WaitUntil([&] { return ui_.Count("notify SETTINGS_SET_ASIDE") == 2; }));
  for (const auto& file : {registry, lykb}) {
    const auto aside = SetAside(file);
    ASSERT_EQ(aside.size(), 1u) << file;
    EXPECT_EQ(TempDir::ReadFile(aside[0]), wide);
  }
  EXPECT_EQ(core.AppSettings().WriteFlip(1), 1);
  core.AppSettings().WriteLightingView(true);
  EXPECT_EQ(core.AppSettings().ReadFlip(), 1);
  EXPECT_TRUE(core.AppSettings().ReadLightingView());
}

// A working file that does not load is not the user's to lose either: it goes
// aside, and the read-back makes a new one from the keyboard.
TEST_F(SyncTest, AnUnreadableWorkingFileIsPutAsideAndMadeAgain) {
  const std::filesystem::path working = WorkingProfileFile(UserDataFolder(paths_));
  std::filesystem::create_directories(working.parent_path());
  std::ofstream(working, std::ios::binary) << "not a profile file";
  Core();
  EXPECT_TRUE(ui_.Saw("notify WORKING_FILE_SET_ASIDE"));
  const auto aside = SetAside(working);
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(TempDir::ReadFile(aside[0]), "not a profile file");
  ProfileData loaded;
  EXPECT_TRUE(LoadProfileFile(working, loaded));
}

// A macro area left torn (by a program that kept no journal) is said, and not
// taken for the keyboard's macros.
TEST_F(SyncTest, ATornMacroAreaIsSaidNotTaken) {
  KeyloftCore& core = Core();
  {
    test::TestDevice other(keyboard_.Config(), keyboard_.LockFolder());
    ASSERT_TRUE(test::ConnectDirectly(other));
    MacroList list(2);
    list[0].id = 1;
    list[0].steps.assign(3, {10, 0x01E, kStepPress});
    list[1].id = 2;
    list[1].steps.assign(3, {10, 0x030, kStepRelease});
    std::vector<uint8_t> image = BuildMacroImage(list, false);
    PutU16(image, 20, 40);  // the first macro claims more steps than lie before the second
    CommandChannel channel(other);
    ASSERT_EQ(channel.DevBegin(), DevResult::Ok);
    ASSERT_EQ(channel.DevWriteMacros(image), DevResult::Ok);
    ASSERT_EQ(channel.DevEnd(), DevResult::Ok);
  }
  ui_.ClearLog();
  DevResult read = DevResult::NoReply;
  OnUiThread([&] { read = core.Sync().LoadOnboardProfiles(false); });
  EXPECT_EQ(read, DevResult::Ok);
  EXPECT_TRUE(ui_.Saw("notify MAIN_MACROS_DAMAGED"));
  EXPECT_TRUE(core.Editor().Macros().empty());
}

// A keyboard that stops answering costs one command's retries, not every
// command's: the rest of the sequence sends nothing, and what touches only the
// program still happens.
TEST_F(SyncTest, ASilentKeyboardIsAskedOnceAConnection) {
  ASSERT_EQ(keyboard_.Control("silent on"), "ok");
  KeyloftCore& core = Core();  // waits for the connection sequence
  ASSERT_TRUE(ui_.Saw("shell connected"));
  EXPECT_EQ(CommandNumbers(), Repeat(CMD_READ_INFO, 4));  // the probe's four attempts, and nothing after
  EXPECT_TRUE(ui_.Saw("keys redrawn"));   // the defaults are shown
  EXPECT_TRUE(ui_.Saw("panel"));
  EXPECT_EQ(core.Editor().Describe(0, 0x01E).record, KeyAssignment{});

  // Once it answers again, the next sequence asks it afresh.
  ASSERT_EQ(keyboard_.Control("silent off"), "ok");
  keyboard_.ClearTrace();
  DevResult read = DevResult::NoReply;
  OnUiThread([&] { read = core.Lighting().ReadAllParams(); });
  EXPECT_EQ(read, DevResult::Ok);
}

TEST_F(SyncTest, ASilentKeyboardEndsAnApplyAtItsFirstCommand) {
  KeyloftCore& core = Core();
  ASSERT_EQ(core.Editor().AssignKey(0, 0x01E, KeyAction::Key(0x030)), EditResult::Ok);
  ASSERT_EQ(keyboard_.Control("silent on"), "ok");
  keyboard_.ClearTrace();
  ApplyOutcome applied;
  OnUiThread([&] { applied = core.Sync().Apply(); });
  EXPECT_EQ(applied.result, ApplyResult::WriteFailed);
  EXPECT_EQ(applied.device, DevResult::NoReply);
  ASSERT_EQ(keyboard_.Control("silent off"), "ok");  // the trace is written up to here
  EXPECT_EQ(CommandNumbers(), Repeat(CMD_BEGIN, 4));
  EXPECT_TRUE(core.Workspace().Pending());
  EXPECT_TRUE(ui_.Saw("progress off"));
}

// A keyboard silent when it arrived was never read: the model holds the
// defaults, and writing them would overwrite its profiles and macros. Whatever
// the user does next reads it first, once it answers.
struct SilentArrivalCase {
  const char* name;
  std::function<void(KeyloftCore&)> act;
  bool writesAfterwards;  // whether the user's action still goes to the keyboard
  int keyMapReads = 21;   // one read-back (a safety backup reads them once more)
};

class SilentArrival : public SyncTest, public ::testing::WithParamInterface<SilentArrivalCase> {};

TEST_P(SilentArrival, TheKeyboardIsReadBeforeAnythingIsWrittenToIt) {
  PutTwoMacrosOnTheKeyboard(keyboard_);
  ASSERT_EQ(keyboard_.Control("silent on"), "ok");
  KeyloftCore& core = Core();
  EXPECT_TRUE(core.Editor().Macros().empty());  // the defaults stand in
  ASSERT_EQ(core.Editor().AssignKey(0, 0x01E, KeyAction::Key(0x030)), EditResult::Ok);

  // Still silent: nothing is written, and the change waits.
  ApplyOutcome still;
  OnUiThread([&] { still = core.Sync().Apply(); });
  EXPECT_EQ(still.result, ApplyResult::WriteFailed);
  EXPECT_TRUE(core.Workspace().Pending());

  ASSERT_EQ(keyboard_.Control("silent off"), "ok");
  keyboard_.ClearTrace();
  ui_.ClearLog();
  OnUiThread([&] { GetParam().act(core); });
  EXPECT_EQ(core.Editor().Macros().size(), 2u);  // the keyboard's own
  EXPECT_TRUE(ui_.Saw("profile button 0"));
  EXPECT_TRUE(ui_.Saw("panel"));
  const auto numbers = CommandNumbers();
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), CMD_READ_KEYMAP), GetParam().keyMapReads);
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), CMD_WRITE_MACROS) > 0, GetParam().writesAfterwards);
  // The change made over the defaults went with them.
  EXPECT_EQ(core.Editor().Describe(0, 0x01E).record, KeyAssignment{});
  EXPECT_FALSE(core.Workspace().Pending());
  if (GetParam().writesAfterwards) {
    // What went to the keyboard are the macros read from it, which fit.
    VerifyOutcome macros;
    OnUiThread([&] { macros = core.Editor().VerifyMacros(); });
    EXPECT_TRUE(macros.Same());
  }
}

INSTANTIATE_TEST_SUITE_P(
    WhatTheUserDoesNext, SilentArrival,
    ::testing::Values(
        SilentArrivalCase{"Apply", [](KeyloftCore& c) { EXPECT_EQ(c.Sync().Apply().result, ApplyResult::ReadBackFirst); },
                          false},
        SilentArrivalCase{"ProfileButton", [](KeyloftCore& c) { EXPECT_EQ(c.Sync().ProfileButton(0), DevResult::Ok); },
                          false},
        SilentArrivalCase{"LightingView", [](KeyloftCore& c) { EXPECT_TRUE(c.Sync().EnterLightingView()); }, false},
        SilentArrivalCase{"RestoreDefaults",
                          [](KeyloftCore& c) {
                            EXPECT_EQ(c.Editor().RestoreDefaults(false).apply.result, ApplyResult::Applied);
                          },
                          true, 42}),
    [](const auto& info) { return std::string(info.param.name); });

// A keyboard unplugged at any command of the connection or of an Apply: the
// program never hangs, its working file is the old one or a whole new one, and
// changes that did not reach the keyboard stay pending.
TEST(UnplugAnywhere, LeavesTheProgramConsistent) {
  struct World : SyncTest {
    void TestBody() override {}
    using SyncTest::Core, SyncTest::executor_, SyncTest::keyboard_, SyncTest::OnUiThread, SyncTest::paths_,
        SyncTest::ui_, SyncTest::WorkingFile;
  };
  for (int n = 1; n <= 80; n += 1) {
    SCOPED_TRACE("unplugged at command " + std::to_string(n));
    World w;
    std::filesystem::create_directories(UserDataFolder(w.paths_));
    ProfileData old;
    BuildDefaultProfile(old);
    old.block.arrays[2][3] = {kAssignDisabled};
    ASSERT_TRUE(SaveProfileFile(w.WorkingFile(), old));
    const std::string oldFile = TempDir::ReadFile(w.WorkingFile());
    ASSERT_EQ(w.keyboard_.Control("unplug-after " + std::to_string(n)), "ok");

    KeyloftCore& core = w.Core(false);
    core.Start();
    ASSERT_TRUE(WaitUntil([&] { return core.Monitor().InitialReportDone(); }));
    auto plugged = [&] {
      for (const auto& e : std::filesystem::directory_iterator(w.keyboard_.Folder())) {
        if (e.path().extension() == ".sock") return true;
      }
      return false;
    };
    if (plugged()) {
      ASSERT_TRUE(WaitUntil([&] { return w.ui_.Saw("shell connected") || !plugged(); }));
    }
    if (!plugged()) {
      ASSERT_TRUE(WaitUntil([&] { return !core.Device().deviceConnected; }));
    }
    w.executor_.Drain();
    if (plugged() && core.Device().deviceConnected) {  // the connection got through: unplug during an Apply
      ASSERT_EQ(core.Editor().AssignKey(0, 0x01E, KeyAction::Key(0x030)), EditResult::Ok);
      ApplyOutcome applied;
      w.OnUiThread([&] { applied = core.Sync().Apply(); });
      if (!plugged()) {
        EXPECT_NE(applied.result, ApplyResult::Applied);
        EXPECT_TRUE(w.ui_.applyEnabled);  // what did not reach the keyboard stays pending
      }
    }
    const std::string file = TempDir::ReadFile(w.WorkingFile());
    if (file != oldFile) {
      test::RecordingPrompts quiet;
      EXPECT_EQ(ValidateProfileFile(w.WorkingFile(), quiet), kProfileFileValid);
    }
    core.Stop();  // returns: no thread waits forever
    // No lock left held: another thread reads at once.
    auto read = std::async(std::launch::async, [&] { return core.Workspace().Read([](const ProfileData&) { return true; }); });
    EXPECT_EQ(read.wait_for(5s), std::future_status::ready);
  }
}

}  // namespace
}  // namespace keyloft

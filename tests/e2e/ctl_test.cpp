// keyloftctl run as a user runs it, against a virtual keyboard process, each
// test in a temporary home.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "json_reader.h"
#include "programs.h"
#include "temp_dir.h"

namespace keyloft::test {
namespace {

constexpr size_t kModel1KeyMapBytes = 378;
constexpr size_t kLightingBlockBytes = 42;

class CtlTest : public ::testing::Test {
 protected:
  CtlTest() {
    for (const char* sub : {"home", "data", "config", "run", "scratch", "vhid"}) {
      std::filesystem::create_directories(root_ / sub);
    }
    chmod((root_ / "run").c_str(), 0700);
  }

  std::vector<std::string> Env() const {
    return {"HOME=" + (root_ / "home").string(), "XDG_DATA_HOME=" + (root_ / "data").string(),
            "XDG_CONFIG_HOME=" + (root_ / "config").string(), "XDG_RUNTIME_DIR=" + (root_ / "run").string(),
            "LANG=en_US.UTF-8", "PATH=/usr/bin:/bin"};
  }
  std::filesystem::path Vhid() const { return root_ / "vhid"; }
  std::filesystem::path UserDataFolder() const { return root_ / "data" / "Orvo_Key 104 Mechanical Keyboard"; }

  void StartKeyboard(std::vector<std::string> serveArgs = {}) {
    keyboard_ = std::make_unique<KeyboardProcess>(Vhid(), std::move(serveArgs), Env(), root_ / "scratch");
    ASSERT_TRUE(keyboard_->Ready()) << "the virtual keyboard did not start";
  }

  RunResult Ctl(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--vhid", Vhid().string()});
    return RunProgram(KEYLOFTCTL_PATH, args, Env(), root_ / "scratch");
  }
  // A --json run that must succeed with one document on stdout.
  JsonValue CtlJson(std::vector<std::string> args) const {
    args.insert(args.begin(), "--json");
    const RunResult r = Ctl(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto doc = ParseJson(r.out);
    EXPECT_TRUE(doc) << "not JSON: " << r.out;
    return doc ? *doc : JsonValue{};
  }

  JsonValue Dump() const {
    auto doc = ParseJson(keyboard_->Dump());
    EXPECT_TRUE(doc);
    return doc ? *doc : JsonValue{};
  }
  static std::string KeyMap(const JsonValue& dump, int profile) {
    return dump["keymaps"].text.substr(static_cast<size_t>(profile) * kModel1KeyMapBytes * 2, kModel1KeyMapBytes * 2);
  }
  static int ParamByte(const JsonValue& dump, int profile, size_t offset) {
    const size_t at = (static_cast<size_t>(profile) * kLightingBlockBytes + offset) * 2;
    return std::stoi(dump["params"].text.substr(at, 2), nullptr, 16);
  }

  TempDir root_;
  std::unique_ptr<KeyboardProcess> keyboard_;
};

// ---- Usage, help and exit codes, with no keyboard at all -------------------

using CtlUsage = CtlTest;

TEST_F(CtlUsage, EveryCommandAnswersHelp) {
  const RunResult top = Ctl({"--help"});
  EXPECT_EQ(top.exitCode, 0);
  for (const char* command : {"list", "info", "profile", "backup", "restore", "keys", "assign", "lighting", "file",
                              "doctor", "macros", "macro", "watch", "colours", "reset"}) {
    EXPECT_NE(top.out.find("  " + std::string(command)), std::string::npos) << command;
    const RunResult r = Ctl({command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command;
    EXPECT_EQ(r.out.rfind("Usage: keyloftctl", 0), 0u) << command;
    EXPECT_NE(r.out.find(command), std::string::npos) << command;
    EXPECT_EQ(r.err, "") << command;
  }
  EXPECT_EQ(Ctl({"lighting", "set", "--help"}).exitCode, 0);
}

struct UsageCase {
  std::vector<std::string> args;
  std::string said;  // part of the message on stderr
};

void PrintTo(const UsageCase& c, std::ostream* os) {
  for (const auto& a : c.args) *os << a << ' ';
}

std::string CaseName(const std::vector<std::string>& args, size_t index) {
  std::string name;
  for (const auto& a : args) {
    for (char c : a) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    name += '_';
  }
  return name + std::to_string(index);
}

class CtlBadArguments : public CtlTest, public ::testing::WithParamInterface<UsageCase> {};

// Wrong usage is told before any keyboard is looked for: the folder is empty.
TEST_P(CtlBadArguments, ExitTwoWithTheReason) {
  const RunResult r = Ctl(GetParam().args);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(GetParam().said), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CtlBadArguments,
    ::testing::Values(UsageCase{{}, "Usage"}, UsageCase{{"frobnicate"}, "unknown command"},
                      UsageCase{{"--loud", "info"}, "unknown option"}, UsageCase{{"info", "extra"}, "unexpected"},
                      UsageCase{{"profile", "4"}, "1, 2 or 3"}, UsageCase{{"profile", "0"}, "1, 2 or 3"},
                      UsageCase{{"keys", "--profile", "x"}, "--profile"}, UsageCase{{"keys", "--profile"}, "needs a value"},
                      UsageCase{{"backup"}, "FILE"}, UsageCase{{"assign", "A"}, "KEY and ACTION"},
                      UsageCase{{"assign", "Nokey", "default"}, "no key named"},
                      UsageCase{{"assign", "0x0ff", "default"}, "no key named"},
                      UsageCase{{"assign", "A", "key:Nokey"}, "no key named 'Nokey'"},
                      UsageCase{{"assign", "A", "function:12"}, "1..11"},
                      UsageCase{{"assign", "A", "macro:m:0"}, "cycles"}, UsageCase{{"assign", "A", "jump"}, "unknown action"},
                      UsageCase{{"lighting", "set", "--brightness", "5"}, "0..4"},
                      UsageCase{{"lighting", "set", "--direction", "up"}, "first or second"},
                      UsageCase{{"lighting", "set", "--colour", "12345"}, "RRGGBB"},
                      UsageCase{{"lighting", "set", "--four-colour", "pink"}, "red, yellow"},
                      UsageCase{{"lighting", "set", "--report-rate", "0"}, "1..4"},
                      UsageCase{{"lighting", "--effect", "5"}, "unknown option"}),
    [](const auto& info) { return CaseName(info.param.args, info.index); });

TEST_F(CtlUsage, AMissingVirtualFolderIsWrongUsage) {
  const RunResult r = RunProgram(KEYLOFTCTL_PATH, {"--vhid", (root_ / "nowhere").string(), "info"}, Env(),
                                 root_ / "scratch");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos);
}

class CtlNoKeyboard : public CtlTest, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CtlNoKeyboard, ExitThreeAndPointsToDoctor) {
  const RunResult r = Ctl(GetParam());
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("keyloftctl doctor"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Commands, CtlNoKeyboard,
                         ::testing::Values(std::vector<std::string>{"list"}, std::vector<std::string>{"info"},
                                           std::vector<std::string>{"profile", "2"},
                                           std::vector<std::string>{"keys"},
                                           std::vector<std::string>{"backup", "b.fwc"},
                                           std::vector<std::string>{"lighting"}),
                         [](const auto& info) { return CaseName(info.param, info.index); });

// ---- Reading the keyboard ----------------------------------------------------

struct ModelCase {
  std::string model;
  std::string ids;
};

void PrintTo(const ModelCase& c, std::ostream* os) { *os << "model " << c.model; }

class CtlInfo : public CtlTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(CtlInfo, TellsModelProfileMacroMemoryAndEffects) {
  StartKeyboard({"--model", GetParam().model, "--macro-blocks", "10"});
  ASSERT_EQ(keyboard_->Ctl({"profile", "2"}).exitCode, 0);
  const JsonValue info = CtlJson({"info"});
  EXPECT_EQ(info["model"].text, GetParam().ids);
  EXPECT_EQ(info["active_profile"].Int(), 2);
  EXPECT_EQ(info["macro_capacity"].Int(), 10 * 128);
  EXPECT_EQ(info["macro_bytes_used"].Int(), 0);
  const auto& effects = info["effects"].items;
  ASSERT_EQ(effects.size(), 19u);  // 1..18 and 20
  EXPECT_EQ(effects.front()["number"].Int(), 1);
  EXPECT_EQ(effects.front()["name"].text, "Wave");
  EXPECT_EQ(effects.back()["number"].Int(), 20);

  const RunResult text = Ctl({"info"});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.out.find("model: " + GetParam().ids + "\nactive profile: 2\n"), std::string::npos) << text.out;
  EXPECT_EQ(text.err, "");
}

INSTANTIATE_TEST_SUITE_P(BothModels, CtlInfo,
                         ::testing::Values(ModelCase{"1", "0c45:652f"}, ModelCase{"2", "320f:5064"}),
                         [](const auto& info) { return "Model" + info.param.model; });

TEST_F(CtlTest, ListShowsEveryInterfaceWithItsUsage) {
  StartKeyboard();
  const JsonValue list = CtlJson({"list"});
  const auto& interfaces = list["interfaces"].items;
  ASSERT_EQ(interfaces.size(), 4u);  // boot keyboard, consumer, system control, vendor
  bool vendor = false;
  for (const auto& i : interfaces) {
    EXPECT_EQ(i["model"].text, "0c45:652f");
    EXPECT_NE(i["path"].text.find(Vhid().string()), std::string::npos);
    vendor |= i["usage_page"].Int() == 0xFF1C && i["usage"].Int() == 0x92;
  }
  EXPECT_TRUE(vendor);
}

TEST_F(CtlTest, ProfileFollowsAndSwitchesTheKeyboard) {
  StartKeyboard();
  EXPECT_EQ(Ctl({"profile"}).out, "1\n");
  const RunResult set = Ctl({"profile", "3"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(set.out, "3\n");
  EXPECT_EQ(Dump()["active_profile"].Int(), 2);  // the keyboard counts from 0

  ASSERT_EQ(keyboard_->Ctl({"profile", "2"}).exitCode, 0);
  EXPECT_EQ(CtlJson({"profile"})["active_profile"].Int(), 2);
}

// ---- Errors of the keyboard ---------------------------------------------------

// A keyboard that answers nothing is asked one command, four times, and the
// program gives up: the connection sends nothing more.
TEST_F(CtlTest, ASilentKeyboardIsExitOneAfterOneCommand) {
  const auto trace = root_ / "trace.txt";
  StartKeyboard({"--trace", trace.string()});
  ASSERT_EQ(keyboard_->Ctl({"silent", "on"}).exitCode, 0);
  const RunResult r = Ctl({"info"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("did not answer"), std::string::npos) << r.err;
  std::vector<std::string> sent;
  std::istringstream lines(TempDir::ReadFile(trace));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("out ")) sent.push_back(line.substr(4, 8));
  }
  EXPECT_EQ(sent, std::vector<std::string>(4, "042f0003"));  // the information block's read
}

TEST_F(CtlTest, ARefusingKeyboardIsExitOneAndKeepsItsMemory) {
  StartKeyboard();
  const std::string before = keyboard_->Dump();
  ASSERT_EQ(keyboard_->Ctl({"refuse", "ff"}).exitCode, 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"assign", "A", "key:B"}, {"lighting", "set", "--brightness", "1"}, {"profile", "2"}}) {
    const RunResult r = Ctl(args);
    EXPECT_EQ(r.exitCode, 1) << args[0];
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
  }
  ASSERT_EQ(keyboard_->Ctl({"refuse", "off"}).exitCode, 0);
  EXPECT_EQ(keyboard_->Dump(), before);
}

// The keyboard starts refusing once the restore's first write has gone out:
// the failure is the keyboard's, so exit 1, and the refused write is said.
TEST_F(CtlTest, AWriteRefusedMidwayIsExitOne) {
  const auto trace = root_ / "trace.txt";
  StartKeyboard({"--trace", trace.string(), "--latency-ms", "40"});
  ASSERT_EQ(Ctl({"backup", (root_ / "good.fwc").string()}).exitCode, 0);
  BackgroundProgram restore(KEYLOFTCTL_PATH, {"--vhid", Vhid().string(), "restore", (root_ / "good.fwc").string()},
                            Env(), root_ / "scratch");
  auto macroWriteSent = [&] {
    const std::string lines = TempDir::ReadFile(trace);
    for (size_t at = lines.find("out 04"); at != std::string::npos; at = lines.find("out 04", at + 1)) {
      if (lines.compare(at + 10, 2, "0a") == 0) return true;  // the command byte: write macros
    }
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!macroWriteSent() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(macroWriteSent());
  ASSERT_EQ(keyboard_->Ctl({"refuse", "ff"}).exitCode, 0);
  EXPECT_EQ(restore.Wait(), 1);
  EXPECT_NE(restore.Err().find("the keyboard did not take the profiles"), std::string::npos) << restore.Err();
  EXPECT_EQ(restore.Out(), "");
}

// ---- Key assignments ------------------------------------------------------------

TEST_F(CtlTest, AssignWritesTheActiveProfileOnly) {
  StartKeyboard();
  const JsonValue before = Dump();
  const RunResult r = Ctl({"--verify", "assign", "a", "key:B"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "A\tReassigned to key (B)\n");

  const JsonValue after = Dump();
  EXPECT_NE(KeyMap(after, 0), KeyMap(before, 0));
  EXPECT_EQ(KeyMap(after, 1), KeyMap(before, 1));
  EXPECT_EQ(KeyMap(after, 2), KeyMap(before, 2));

  // A new process reads it back from the keyboard.
  const JsonValue keys = CtlJson({"keys"});
  EXPECT_EQ(keys["profile"].Int(), 1);
  ASSERT_EQ(keys["keys"].items.size(), 105u + 9u);
  bool seen = false;
  for (const auto& k : keys["keys"].items) {
    if (k["key"].text != "A") continue;
    seen = true;
    EXPECT_EQ(k["code"].text, "0x01e");
    EXPECT_EQ(k["type"].text, "key");
    EXPECT_EQ(k["value"].Int(), 0x30);  // B
  }
  EXPECT_TRUE(seen);

  ASSERT_EQ(Ctl({"assign", "0x01e", "default"}).exitCode, 0);
  EXPECT_EQ(KeyMap(Dump(), 0), KeyMap(before, 0));
}

TEST_F(CtlTest, AGKeyAssignmentSaysTheKeyboardCannotKeepIt) {
  StartKeyboard();
  const JsonValue before = Dump();
  const RunResult r = Ctl({"assign", "G1", "key:B"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("kept in the profile files only"), std::string::npos) << r.err;
  EXPECT_EQ(KeyMap(Dump(), 0), KeyMap(before, 0));
  EXPECT_EQ(Ctl({"assign", "A", "key:B"}).err, "");  // a key the keyboard has says nothing extra
}

TEST_F(CtlTest, AssignToAnotherProfileWritesThatProfile) {
  StartKeyboard();
  const JsonValue before = Dump();
  const RunResult r = Ctl({"assign", "F12", "function:3", "--profile", "3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "F12\tReassigned to keyboard function (Profile 3)\n");
  const JsonValue after = Dump();
  EXPECT_NE(KeyMap(after, 2), KeyMap(before, 2));
  EXPECT_EQ(KeyMap(after, 0), KeyMap(before, 0));
  EXPECT_EQ(after["active_profile"].Int(), 0);

  const RunResult keys = Ctl({"keys", "--profile", "3"});
  EXPECT_NE(keys.out.find("\nF12\tReassigned to keyboard function (Profile 3)\n"), std::string::npos) << keys.out;
  EXPECT_NE(Ctl({"keys"}).out.find("\nF12\tdefault\n"), std::string::npos);
}

TEST_F(CtlTest, AssignMediaAndAnUnknownMacro) {
  StartKeyboard();
  const JsonValue media = CtlJson({"assign", "F1", "media:Mute"});
  EXPECT_EQ(media["key"]["type"].text, "media");
  const RunResult macro = Ctl({"assign", "F2", "macro:nothing"});
  EXPECT_EQ(macro.exitCode, 2);
  EXPECT_NE(macro.err.find("no macro named 'nothing'"), std::string::npos);
}

// The keyboard's mouse actions by name; each reaches the key map as the
// keyboard's own mouse item and reads back as the same button.
TEST_F(CtlTest, AssignMouseActions) {
  StartKeyboard();
  const std::pair<const char*, const char*> cases[] = {{"mouse:left", "Left Button"},
                                                       {"mouse:Right", "Right Button"},
                                                       {"mouse:middle", "Middle Button"},
                                                       {"mouse:wheel-up", "Wheel Up"},
                                                       {"mouse:wheel-down", "Wheel Down"}};
  for (const auto& [action, name] : cases) {
    const RunResult r = Ctl({"--verify", "assign", "F1", action});
    ASSERT_EQ(r.exitCode, 0) << action << ": " << r.err;
    EXPECT_NE(Ctl({"keys"}).out.find(std::string("\nF1\tReassigned to key (") + name + ")\n"), std::string::npos)
        << action;
  }
  const RunResult wrong = Ctl({"assign", "F1", "mouse:side"});
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_NE(wrong.err.find("mouse must be left, right, middle, wheel-up or wheel-down"), std::string::npos);
}

// ---- Backup and restore ------------------------------------------------------

TEST_F(CtlTest, RestoreBringsBackABackupAndSavesTheKeyboardFirst) {
  StartKeyboard();
  ASSERT_EQ(Ctl({"assign", "A", "key:B"}).exitCode, 0);
  const std::string assigned = KeyMap(Dump(), 0);
  const RunResult backup = Ctl({"backup", (root_ / "mine").string()});
  ASSERT_EQ(backup.exitCode, 0) << backup.err;
  const auto file = root_ / "mine.fwc";
  EXPECT_EQ(backup.out, file.string() + "\n");
  ASSERT_TRUE(std::filesystem::exists(file));

  ASSERT_EQ(Ctl({"assign", "A", "default"}).exitCode, 0);
  ASSERT_NE(KeyMap(Dump(), 0), assigned);
  const JsonValue restored = CtlJson({"restore", file.string()});
  EXPECT_TRUE(restored["verified"].boolean);
  EXPECT_EQ(KeyMap(Dump(), 0), assigned);

  // The safety backup holds the keyboard as it was before: A not reassigned.
  const std::filesystem::path safety = restored["backup"].text;
  EXPECT_EQ(safety.parent_path(), UserDataFolder());
  ASSERT_TRUE(std::filesystem::exists(safety));
  ASSERT_EQ(Ctl({"restore", safety.string()}).exitCode, 0);
  EXPECT_NE(KeyMap(Dump(), 0), assigned);
}

TEST_F(CtlTest, ARejectedFileIsExitFourAndTouchesNothing) {
  StartKeyboard();
  ASSERT_EQ(Ctl({"macro", "add", "Hello", "H+", "H-"}).exitCode, 0);
  ASSERT_EQ(Ctl({"backup", (root_ / "good.fwc").string()}).exitCode, 0);
  const std::string good = TempDir::ReadFile(root_ / "good.fwc");
  const auto junk = root_.Write("junk.fwc", "not a profile file");
  const auto cut = root_.Write("cut.fwc", good.substr(0, good.size() / 2));
  // The header's checksum covers the header only: a body damaged behind it is found by its values.
  std::string steps = good;
  steps[32832 + 509] = '\x10';  // the first macro's step count, 2 + 4096
  const auto damaged = root_.Write("damaged.fwc", steps);
  const std::string before = keyboard_->Dump();
  for (const auto& path : {junk, cut, damaged, root_ / "missing.fwc"}) {
    const RunResult r = Ctl({"restore", path.string()});
    EXPECT_EQ(r.exitCode, 4) << path;
    EXPECT_NE(r.err.find(path.string()), std::string::npos) << r.err;
  }
  EXPECT_NE(Ctl({"restore", damaged.string()}).err.find("is damaged: macro 1: it claims 4098 steps"), std::string::npos);
  EXPECT_EQ(keyboard_->Dump(), before);
  EXPECT_FALSE(std::filesystem::exists(UserDataFolder()) &&
               std::any_of(std::filesystem::directory_iterator(UserDataFolder()), {},
                           [](const auto& e) { return e.path().filename().string().starts_with("backup-"); }));
}

// ---- Lighting -------------------------------------------------------------------

TEST_F(CtlTest, LightingSetWritesEachOptionToTheActiveProfile) {
  StartKeyboard();
  const JsonValue set = CtlJson({"lighting", "set", "--effect", "5", "--brightness", "2", "--speed", "3",
                                 "--colour", "112233", "--report-rate", "2"});
  EXPECT_EQ(set["profile"].Int(), 1);
  EXPECT_EQ(set["effect"].Int(), 5);
  EXPECT_EQ(set["effect_name"].text, "Breathing");
  EXPECT_EQ(set["speed"].Int(), 3);
  EXPECT_EQ(set["colour"].text, "112233");
  EXPECT_FALSE(set["multicolour"].boolean);

  const JsonValue dump = Dump();
  EXPECT_EQ(ParamByte(dump, 0, 0), 5);     // effect
  EXPECT_EQ(ParamByte(dump, 0, 1), 2);     // brightness
  EXPECT_EQ(ParamByte(dump, 0, 2), 0);     // the fastest slider position is stored as 0
  EXPECT_EQ(ParamByte(dump, 0, 5), 0x11);  // red
  EXPECT_EQ(ParamByte(dump, 0, 7), 0x33);  // blue
  EXPECT_EQ(ParamByte(dump, 0, 15), 1);    // report rate 2

  const RunResult shown = Ctl({"lighting"});
  EXPECT_NE(shown.out.find("effect: 5 Breathing\nbrightness: 2\nspeed: 3\n"), std::string::npos) << shown.out;
}

struct LightingCase {
  std::vector<std::string> options;
  size_t offset;  // in the profile's parameter block
  int stored;
};

void PrintTo(const LightingCase& c, std::ostream* os) {
  for (const auto& o : c.options) *os << o << ' ';
}

class CtlLightingOption : public CtlTest, public ::testing::WithParamInterface<LightingCase> {};

TEST_P(CtlLightingOption, StoresTheByteTheKeyboardExpects) {
  StartKeyboard();
  std::vector<std::string> args{"lighting", "set"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  const RunResult r = Ctl(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ParamByte(Dump(), 0, GetParam().offset), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CtlLightingOption,
    ::testing::Values(LightingCase{{"--brightness", "0"}, 1, 0}, LightingCase{{"--speed", "0"}, 2, 3},
                      LightingCase{{"--speed", "1"}, 2, 2}, LightingCase{{"--direction", "first"}, 3, 0xFF},
                      LightingCase{{"--multicolour", "off"}, 4, 0},
                      LightingCase{{"--colour", "0000ff"}, 7, 0xFF},
                      LightingCase{{"--colour", "0000ff", "--multicolour", "on"}, 4, 1},
                      LightingCase{{"--four-colour", "blue"}, 17, 3}, LightingCase{{"--report-rate", "4"}, 15, 3}),
    [](const auto& info) { return CaseName(info.param.options, info.index); });

TEST_F(CtlTest, LightingSetOnAnotherProfileAndAnUnlistedEffect) {
  StartKeyboard();
  ASSERT_EQ(Ctl({"lighting", "set", "--profile", "2", "--effect", "17", "--four-colour", "green"}).exitCode, 0);
  JsonValue dump = Dump();
  EXPECT_EQ(ParamByte(dump, 1, 0), 17);
  EXPECT_EQ(ParamByte(dump, 1, 17), 2);
  EXPECT_NE(ParamByte(dump, 0, 0), 17);

  const RunResult r = Ctl({"lighting", "set", "--effect", "19"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("does not offer effect 19"), std::string::npos);
  EXPECT_EQ(Dump()["params"].text, dump["params"].text);
}

// ---- Profile files without a keyboard ----------------------------------------

TEST_F(CtlTest, FileShowAndDiffDescribeBackups) {
  StartKeyboard();
  const auto plain = root_ / "plain.fwc", changed = root_ / "changed.fwc";
  ASSERT_EQ(Ctl({"backup", plain.string()}).exitCode, 0);
  ASSERT_EQ(Ctl({"assign", "Esc", "media:Mute", "--profile", "2"}).exitCode, 0);
  ASSERT_EQ(Ctl({"macro", "add", "Hi", "H+", "H-"}).exitCode, 0);
  ASSERT_EQ(Ctl({"backup", changed.string()}).exitCode, 0);
  keyboard_.reset();  // no keyboard from here on

  const JsonValue shown = CtlJson({"file", "show", changed.string()});
  ASSERT_EQ(shown["macros"].items.size(), 1u);
  EXPECT_EQ(shown["macros"][0]["name"].text, "Hi");
  EXPECT_EQ(shown["macros"][0]["steps"].Int(), 2);
  ASSERT_EQ(shown["profiles"].items.size(), 3u);
  EXPECT_TRUE(shown["profiles"][0]["keys"].items.empty());
  ASSERT_EQ(shown["profiles"][1]["keys"].items.size(), 1u);
  EXPECT_EQ(shown["profiles"][1]["keys"][0]["key"].text, "Esc");
  EXPECT_EQ(shown["profiles"][1]["keys"][0]["type"].text, "media");

  const RunResult diff = Ctl({"file", "diff", plain.string(), changed.string()});
  EXPECT_EQ(diff.exitCode, 0);
  EXPECT_EQ(diff.out, "profile 2 Esc: default | Reassigned to media key (Mute)\nmacro Hi: absent | 2 steps, 1 cycles\n");
  EXPECT_TRUE(CtlJson({"file", "diff", changed.string(), changed.string()})["same"].boolean);

  const auto junk = root_.Write("junk.fwc", "junk");
  EXPECT_EQ(Ctl({"file", "show", junk.string()}).exitCode, 4);
  EXPECT_EQ(Ctl({"file", "diff", plain.string(), junk.string()}).exitCode, 4);
  EXPECT_EQ(Ctl({"file", "show"}).exitCode, 2);
  EXPECT_EQ(Ctl({"backup", (root_ / "no" / "such" / "folder.fwc").string()}).exitCode, 2);
}

// ---- doctor ---------------------------------------------------------------------

TEST_F(CtlTest, DoctorTellsWhetherTheKeyboardCanBeReached) {
  const RunResult missing = Ctl({"doctor"});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.out.find("fix: keyloft-virtual-keyboard serve --dir " + Vhid().string()), std::string::npos)
      << missing.out;

  StartKeyboard();
  const JsonValue doctor = CtlJson({"doctor"});
  EXPECT_TRUE(doctor["ok"].boolean);
  EXPECT_EQ(doctor["transport"].text, "vhid");
  EXPECT_EQ(doctor["nodes"].items.size(), 3u);  // one per interface socket
  EXPECT_EQ(doctor["fix"].kind, JsonValue::Kind::kNull);
}

// ---- Macros ---------------------------------------------------------------------

TEST_F(CtlTest, MacrosAreAddedShownAndDeletedOnTheKeyboard) {
  StartKeyboard();
  const RunResult add = Ctl({"--verify", "macro", "add", "Shout", "Left Shift+", "H+", "30", "H-", "Left Shift-"});
  ASSERT_EQ(add.exitCode, 0) << add.err;
  EXPECT_EQ(add.out, "added Shout\n");
  ASSERT_EQ(Ctl({"macro", "add", "Other", "A+", "A-"}).exitCode, 0);
  EXPECT_EQ(Ctl({"macro", "add", "shout", "A+"}).exitCode, 2);  // names are unique without regard to case
  const std::string macroArea = Dump()["macros"].text;
  EXPECT_NE(macroArea.find("aa55"), std::string::npos);  // the image's magic

  // A new process reads them back from the keyboard.
  const JsonValue list = CtlJson({"macros"});
  ASSERT_EQ(list["macros"].items.size(), 2u);
  EXPECT_EQ(list["macros"][0]["name"].text, "Shout");
  EXPECT_EQ(list["macros"][0]["steps"].Int(), 4);
  EXPECT_EQ(Ctl({"macro", "show", "Shout"}).out, "Left Shift+\nH+\n30\nH-\nLeft Shift-\n");
  EXPECT_GT(CtlJson({"info"})["macro_bytes_used"].Int(), 0);

  // Deleting the first moves the second up: keys that play it must follow, in every profile.
  ASSERT_EQ(Ctl({"assign", "F5", "macro:Other:3", "--profile", "3"}).exitCode, 0);
  ASSERT_EQ(Ctl({"assign", "F6", "macro:Shout"}).exitCode, 0);
  const std::string keyMaps = Dump()["keymaps"].text;
  const RunResult declined = Ctl({"macro", "delete", "Shout"});  // F6 plays it: the question is answered No
  EXPECT_EQ(declined.exitCode, 2);
  EXPECT_NE(declined.err.find("answered No"), std::string::npos) << declined.err;
  EXPECT_EQ(Dump()["keymaps"].text, keyMaps);
  const RunResult del = Ctl({"--yes", "--verify", "macro", "delete", "Shout"});
  ASSERT_EQ(del.exitCode, 0) << del.err;
  EXPECT_NE(Ctl({"keys", "--profile", "3"}).out.find("\nF5\tReassigned to macro (Other)\n"), std::string::npos);
  EXPECT_NE(Ctl({"keys"}).out.find("\nF6\tdefault\n"), std::string::npos);
  EXPECT_EQ(CtlJson({"macros"})["macros"].items.size(), 1u);
}

// Two writers at once: each reads the macro area and key map, changes them and
// writes them back. Neither may write back what it read before the other's
// write, so every change either acknowledged is on the keyboard, and nothing
// else. Each writer adds a macro and gives it a key, and deletes its macro of
// four rounds before (its key goes back to default), so the area changes size
// both ways and the run can go on for as long as asked: KEYLOFT_RACE_SECONDS
// (a soak; without it, eight rounds each).
TEST_F(CtlTest, TwoWritersAtOnceLoseNothing) {
  StartKeyboard({"--latency-ms", "1"});
  constexpr int kMinimumRounds = 8;
  constexpr int kKept = 4;
  const char* soak = std::getenv("KEYLOFT_RACE_SECONDS");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(soak ? std::atoi(soak) : 0);
  const std::array<std::string, 2> keys = {"QWERTYUI", "ASDFGHJK"};
  std::array<int, 2> rounds{};
  std::array<std::string, 2> failures;
  auto name = [](int w, int i) { return "W" + std::to_string(w + 1) + "-" + std::to_string(i + 1); };
  auto key = [&](int w, int i) { return std::string(1, keys[w][i % keys[w].size()]); };
  auto writer = [&](int w) {
    for (int i = 0; i < kMinimumRounds || std::chrono::steady_clock::now() < until; ++i) {
      const RunResult added = Ctl({"macro", "add", name(w, i), "A+", "A-"});
      const RunResult assigned = Ctl({"assign", key(w, i), "macro:" + name(w, i)});
      const RunResult deleted = i >= kKept ? Ctl({"--yes", "macro", "delete", name(w, i - kKept)}) : RunResult{0, "", ""};
      for (const RunResult* r : {&added, &assigned, &deleted}) {
        if (r->exitCode != 0) failures[w] += name(w, i) + ": " + r->err;
      }
      rounds[w] = i + 1;
      if (!failures[w].empty()) return;  // what is expected is no longer known
    }
  };
  std::thread second(writer, 1);
  writer(0);
  second.join();
  ASSERT_EQ(failures[0] + failures[1], "");

  std::set<std::string> expected;
  std::map<std::string, std::string> expectedKeys;
  for (int w = 0; w < 2; ++w) {
    for (int i = std::max(0, rounds[w] - 2 * kKept); i < rounds[w]; ++i) {
      const bool kept = i >= rounds[w] - kKept;
      if (kept) expected.insert(name(w, i));
      expectedKeys[key(w, i)] = kept ? "Reassigned to macro (" + name(w, i) + ")" : "default";
    }
  }
  std::set<std::string> onKeyboard;
  const JsonValue list = CtlJson({"macros"});
  for (const JsonValue& m : list["macros"].items) onKeyboard.insert(m["name"].text);
  EXPECT_EQ(onKeyboard, expected) << rounds[0] << " and " << rounds[1] << " rounds";
  const std::string assignments = Ctl({"keys"}).out;
  for (const auto& [k, what] : expectedKeys) {
    const std::string line = "\n" + k + "\t" + what + "\n";
    EXPECT_NE(assignments.find(line), std::string::npos) << line << "in\n" << assignments;
  }
}

// The cable pulled at each point of a macro add in turn. Whatever the point,
// the next command finds the keyboard holding the old macros or the new ones,
// whole, never a mix, and what it holds agrees with what was said: a failed add
// whose macro is there was finished, and the command that finished it says so.
TEST_F(CtlTest, AnAddCutShortAnywhereLeavesOldOrNewAndSaysWhich) {
  const std::vector<std::string> addNew = [] {
    std::vector<std::string> words = {"macro", "add", "New"};
    for (int i = 0; i < 150; ++i) words.insert(words.end(), {"A+", "A-"});
    return words;
  }();
  bool finishedOnce = false;
  for (int n = 1;; n += 3) {
    SCOPED_TRACE("unplugged at command " + std::to_string(n));
    keyboard_.reset();
    StartKeyboard();
    ASSERT_EQ(Ctl({"macro", "add", "Old", "B+", "B-"}).exitCode, 0);
    ASSERT_EQ(keyboard_->Ctl({"unplug-after", std::to_string(n)}).out, "ok\n");
    const RunResult added = Ctl(addNew);
    if (added.exitCode == 0) break;  // done before the cable went: every point has been tried
    ASSERT_EQ(keyboard_->Ctl({"plug"}).out, "ok\n");
    const RunResult listed = Ctl({"--json", "macros"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const auto doc = ParseJson(listed.out);
    ASSERT_TRUE(doc);
    std::map<std::string, long long> steps;
    for (const JsonValue& m : (*doc)["macros"].items) steps[m["name"].text] = m["steps"].Int();
    EXPECT_EQ(steps["Old"], 2);
    const bool finished = listed.err.find("It has been finished now") != std::string::npos;
    finishedOnce = finishedOnce || finished;
    if (steps.count("New")) {
      EXPECT_EQ(steps["New"], 300);
      EXPECT_TRUE(added.exitCode == 0 || finished) << added.err << listed.err;
    } else {
      EXPECT_NE(added.exitCode, 0);
      EXPECT_FALSE(finished);
    }
    EXPECT_EQ(steps.size(), steps.count("New") ? 2u : 1u);
    ASSERT_LT(n, 400) << "the add never got through";
  }
  EXPECT_TRUE(finishedOnce) << "no point of the write was cut";
}

// The keyboard refuses the macro area's write and takes the rest: the macro
// did not reach it, and the command says so.
TEST_F(CtlTest, ARefusedMacroWriteIsExitOne) {
  const auto trace = root_ / "trace.txt";
  StartKeyboard({"--trace", trace.string()});
  auto commandsSent = [&] {
    const std::string lines = TempDir::ReadFile(trace);
    size_t n = 0;
    for (size_t at = lines.find("out 04"); at != std::string::npos; at = lines.find("out 04", at + 1)) ++n;
    return n;
  };
  ASSERT_EQ(Ctl({"macros"}).exitCode, 0);
  const size_t connection = commandsSent();  // what a command's connection sends
  // After the connection: the bracket's begin, then the macro area.
  ASSERT_EQ(keyboard_->Ctl({"refuse-after", std::to_string(connection + 2)}).exitCode, 0);
  const RunResult add = Ctl({"macro", "add", "Shout", "H+", "H-"});
  EXPECT_EQ(add.exitCode, 1);
  EXPECT_EQ(add.out, "");
  EXPECT_NE(add.err.find("refused"), std::string::npos) << add.err;
  EXPECT_EQ(Dump()["macros"].text.find("aa55"), std::string::npos);  // no macro image
}

TEST_F(CtlTest, MacroStepsAreCheckedBeforeTheKeyboard) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"macro", "add", "M"},
                                                                {"macro", "add", "M", "50", "A+"},
                                                                {"macro", "add", "M", "A"},
                                                                {"macro", "add", "M", "Nokey+"},
                                                                {"macro", "add", "M", "A+", "40001"},
                                                                {"macro", "rename", "M"}}) {
    EXPECT_EQ(Ctl(args).exitCode, 2) << args.back();
  }
  StartKeyboard();
  EXPECT_EQ(Ctl({"macro", "show", "none"}).exitCode, 2);
  EXPECT_EQ(Ctl({"macro", "delete", "none"}).exitCode, 2);
}

// ---- watch ----------------------------------------------------------------------

TEST_F(CtlTest, WatchPrintsTheKeyboardsEvents) {
  StartKeyboard();
  BackgroundProgram watch(KEYLOFTCTL_PATH, {"--vhid", Vhid().string(), "--json", "watch"}, Env(), root_ / "scratch");
  ASSERT_TRUE(watch.WaitForOutput("{\"event\":\"connected\"}\n"));
  ASSERT_EQ(keyboard_->Ctl({"profile", "3"}).exitCode, 0);
  ASSERT_TRUE(watch.WaitForOutput("{\"event\":\"profile\",\"profile\":3}\n")) << watch.Out();
  ASSERT_EQ(keyboard_->Ctl({"lighting"}).exitCode, 0);
  ASSERT_TRUE(watch.WaitForOutput("{\"event\":\"lighting\"}\n")) << watch.Out();
  ASSERT_EQ(keyboard_->Ctl({"unplug"}).exitCode, 0);
  ASSERT_TRUE(watch.WaitForOutput("{\"event\":\"removed\"}\n")) << watch.Out();
  ASSERT_EQ(keyboard_->Ctl({"plug"}).exitCode, 0);
  ASSERT_TRUE(watch.WaitForOutput("{\"event\":\"removed\"}\n{\"event\":\"connected\"}\n")) << watch.Out();
  EXPECT_EQ(watch.Stop(), 0);
  EXPECT_EQ(watch.Out(),
            "{\"event\":\"connected\"}\n{\"event\":\"profile\",\"profile\":3}\n{\"event\":\"lighting\"}\n"
            "{\"event\":\"removed\"}\n{\"event\":\"connected\"}\n");
}

TEST_F(CtlTest, WatchWaitsForAKeyboardThatComesLater) {
  BackgroundProgram watch(KEYLOFTCTL_PATH, {"--vhid", Vhid().string(), "watch"}, Env(), root_ / "scratch");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (watch.Err().find("waiting") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_NE(watch.Err().find("keyloftctl doctor"), std::string::npos) << watch.Err();
  StartKeyboard();
  EXPECT_TRUE(watch.WaitForOutput("connected\n")) << watch.Out();
  EXPECT_EQ(watch.Stop(), 0);
}

// ---- Per-key colours and reset ------------------------------------------------

TEST_F(CtlTest, ColoursPaintTheSchemeAndUploadIt) {
  StartKeyboard();
  auto slotColour = [&](int profile, int slot) {
    return Dump()["key_colours"].text.substr(static_cast<size_t>(profile * 512 + slot * 3) * 2, 6);
  };
  const RunResult r = Ctl({"colours", "Esc=112233", "left shift=abcdef", "--profile", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "profile 2 scheme 1: 2 keys painted\n");
  EXPECT_EQ(slotColour(1, 1), "112233");   // Esc
  EXPECT_EQ(slotColour(1, 69), "abcdef");  // Left Shift
  // The scheme keeps what was painted before: the whole image is uploaded again.
  ASSERT_EQ(Ctl({"colours", "Q=010203", "--profile", "2"}).exitCode, 0);
  EXPECT_EQ(slotColour(1, 1), "112233");
  EXPECT_EQ(slotColour(1, 36), "010203");
  EXPECT_EQ(Ctl({"colours", "G1=010203"}).exitCode, 2);
  EXPECT_EQ(Ctl({"colours", "Esc=red"}).exitCode, 2);
  EXPECT_EQ(Ctl({"colours", "Esc=010203", "--scheme", "11"}).exitCode, 2);
}

// Every command takes the names keys prints: colours paints every lit key by it.
TEST_F(CtlTest, ColoursTakeTheNamesKeysPrints) {
  StartKeyboard();
  const RunResult keys = Ctl({"keys"});
  ASSERT_EQ(keys.exitCode, 0) << keys.err;
  std::vector<std::string> args = {"colours", "Fn=0a0b0c"};
  std::istringstream lines(keys.out);
  for (std::string line; std::getline(lines, line);) {
    const std::string name = line.substr(0, line.find('\t'));
    if (name.size() >= 2 && name[0] == 'G' && std::isdigit(static_cast<unsigned char>(name[1]))) continue;  // unlit
    args.push_back(name + "=0a0b0c");
  }
  ASSERT_EQ(args.size(), 1u + 1u + 105u);
  const RunResult r = Ctl(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "profile 1 scheme 1: 106 keys painted\n");
  for (const char* name : {"Num 6", "Up Arrow", "/"}) {
    EXPECT_EQ(Ctl({"colours", std::string(name) + "=010203"}).exitCode, 0) << name;
  }
}

TEST_F(CtlTest, ResetAsksThenBacksUpAndRestoresTheDefaults) {
  StartKeyboard();
  const std::string fresh = KeyMap(Dump(), 0);
  ASSERT_EQ(Ctl({"assign", "A", "key:B"}).exitCode, 0);
  ASSERT_EQ(Ctl({"lighting", "set", "--effect", "5"}).exitCode, 0);
  const std::string assigned = KeyMap(Dump(), 0);

  const RunResult declined = Ctl({"reset", "--lighting"});
  EXPECT_EQ(declined.exitCode, 2);
  EXPECT_NE(declined.err.find("answered No"), std::string::npos);
  EXPECT_EQ(KeyMap(Dump(), 0), assigned);

  const JsonValue reset = CtlJson({"--yes", "--verify", "reset", "--lighting"});
  EXPECT_EQ(reset["profile"].Int(), 1);
  const JsonValue dump = Dump();
  EXPECT_EQ(KeyMap(dump, 0), fresh);
  EXPECT_EQ(ParamByte(dump, 0, 0), 1);  // effect 1
  // The safety backup holds the assignment that the reset took away.
  ASSERT_TRUE(std::filesystem::exists(reset["backup"].text));
  const RunResult shown = Ctl({"file", "show", reset["backup"].text});
  EXPECT_NE(shown.out.find("profile 1:\n  A\tReassigned to key (B)\n"), std::string::npos) << shown.out;
}

}  // namespace
}  // namespace keyloft::test

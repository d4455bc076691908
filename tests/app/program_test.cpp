// keyloft run as a user runs it (offscreen, so no display is needed): one
// copy per user, what a second start tells it, a crashed copy's lock taken
// over, the switches, and a clean end on SIGTERM.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "programs.h"
#include "temp_dir.h"

namespace keyloft::test {
namespace {

constexpr std::string_view kNoTray = "there is no system tray";
constexpr std::string_view kToldOpen = "told \"OPEN\"";

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    for (const char* sub : {"home", "data", "config", "run", "scratch", "vhid"}) {
      std::filesystem::create_directories(root_ / sub);
    }
    chmod((root_ / "run").c_str(), 0700);
  }

  std::vector<std::string> Env() const {
    return {"HOME=" + (root_ / "home").string(),
            "XDG_DATA_HOME=" + (root_ / "data").string(),
            "XDG_CONFIG_HOME=" + (root_ / "config").string(),
            "XDG_RUNTIME_DIR=" + (root_ / "run").string(),
            "QT_QPA_PLATFORM=offscreen",
            "QT_LOGGING_RULES=keyloft.instance.info=true",
            "LANG=C.UTF-8",
            "PATH=/usr/bin:/bin"};
  }
  std::vector<std::string> Args(std::vector<std::string> extra = {}) const {
    extra.insert(extra.begin(), {"--vhid", (root_ / "vhid").string()});
    return extra;
  }
  // The running copy, once it says how to reach it (there is no tray offscreen).
  std::unique_ptr<BackgroundProgram> StartFirst() {
    auto first = std::make_unique<BackgroundProgram>(KEYLOFT_PATH, Args(), Env(), root_ / "scratch");
    EXPECT_TRUE(first->WaitForError(kNoTray)) << first->Err();
    return first;
  }
  RunResult Start(std::vector<std::string> args, int limitSeconds = 20) const {
    return RunProgram(KEYLOFT_PATH, Args(std::move(args)), Env(), root_ / "scratch", limitSeconds);
  }

  TempDir root_;
};

TEST_F(ProgramTest, ASecondStartOpensTheRunningCopyAndEnds) {
  auto first = StartFirst();
  const RunResult second = Start({});
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(first->WaitForError(kToldOpen)) << first->Err();
  EXPECT_TRUE(first->Running());
  // /Start from a second copy is still just a wish to see the window.
  EXPECT_EQ(Start({"/START"}).exitCode, 0);
  EXPECT_EQ(first->Stop(), 0);  // SIGTERM: a clean end
}

TEST_F(ProgramTest, KillEndsTheRunningCopyInAnyCase) {
  for (const char* kill : {"/Kill", "--kill"}) {
    auto first = StartFirst();
    const RunResult second = Start({kill});
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(first->Wait(10), 0) << kill << ": " << first->Err();
  }
}

TEST_F(ProgramTest, ACrashedCopysLockAndSocketAreTakenOver) {
  auto crashed = StartFirst();
  crashed->Crash();
  ASSERT_TRUE(std::filesystem::exists(root_ / "run" / "keyloft.socket"));

  auto next = StartFirst();
  EXPECT_TRUE(next->Running()) << next->Err();
  EXPECT_EQ(Start({}).exitCode, 0);
  EXPECT_TRUE(next->WaitForError(kToldOpen)) << next->Err();
  EXPECT_EQ(next->Stop(), 0);
}

TEST_F(ProgramTest, KillWithNoCopyRunningStartsAsUsual) {
  BackgroundProgram program(KEYLOFT_PATH, Args({"/kill"}), Env(), root_ / "scratch");
  EXPECT_TRUE(program.WaitForError(kNoTray)) << program.Err();
  EXPECT_EQ(program.Stop(), 0);
}

struct SwitchCase {
  std::vector<std::string> args;
  bool display;
  int exitCode;
  std::string_view says;
};

TEST_F(ProgramTest, SwitchesThatEndAtOnce) {
  const SwitchCase cases[] = {
      {{"--help"}, true, 0, "--start"},
      {{"--version"}, true, 0, "keyloft "},
      {{"--vhid"}, true, 2, "--vhid"},
      {{}, false, 1, "no display"},
      // Checking an installation needs no display.
      {{"--check-assets"}, false, 0, "all assets are there"},
  };
  for (const SwitchCase& c : cases) {
    std::vector<std::string> env = Env();
    if (!c.display) std::erase(env, std::string("QT_QPA_PLATFORM=offscreen"));
    const RunResult r = RunProgram(KEYLOFT_PATH, c.args, env, root_ / "scratch", 20);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
  }
}

TEST_F(ProgramTest, ADisplayThatDoesNotAnswerIsOneLineAndExitCodeOne) {
  std::vector<std::string> env = Env();
  std::erase(env, std::string("QT_QPA_PLATFORM=offscreen"));
  env.push_back("DISPLAY=/nonexistent/keyloft-test-display:0");
  const RunResult r = RunProgram(KEYLOFT_PATH, {}, env, root_ / "scratch", 20);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("keyloft: cannot start the desktop"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace keyloft::test

// The built program: its command line, exit codes, signals and state file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "emu/firmware.h"
#include "emu_test_support.h"
#include "temp_dir.h"

extern char** environ;

namespace keyloft::emu {
namespace {

using namespace std::chrono_literals;
using keyloft::test::TempDir;
using test::FilesEndingIn;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// One run of the program, its output captured in files of the folder.
class Program {
 public:
  Program(const TempDir& dir, std::vector<std::string> args) : out_(Unique(dir / "stdout")), err_(Unique(dir / "stderr")) {
    args.insert(args.begin(), KEYLOFT_VKB_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_TRUNC, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  void Signal(int signal) const { ::kill(pid_, signal); }
  // The exit code, or -1 when it does not end in time or ends by a signal.
  int Wait(std::chrono::milliseconds wait = test::kPatience) {
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (fd < 0) return -1;
    pollfd p{fd, POLLIN, 0};
    bool ended = ::poll(&p, 1, static_cast<int>(wait.count())) == 1;
    ::close(fd);
    if (!ended) return -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return ReadText(out_); }
  std::string Err() const { return ReadText(err_); }

 private:
  // A new empty file beside the others of the folder.
  static std::filesystem::path Unique(const std::filesystem::path& stem) {
    std::string pattern = stem.string() + "-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd >= 0) ::close(fd);
    return pattern;
  }

  pid_t pid_ = -1;
  std::filesystem::path out_, err_;
};

bool HasControlSocket(const std::filesystem::path& folder) { return !FilesEndingIn(folder, ".ctl").empty(); }

TEST(Program, ShutsDownCleanlyOnSignalsSavingTheStateForTheNextRun) {
  TempDir dir;
  auto vhid = dir / "vhid";
  std::filesystem::create_directory(vhid);
  const std::string state = (dir / "state.json").string();
  {
    Program serve(dir, {"serve", "--dir", vhid.string(), "--model", "2", "--state", state, "--macro-blocks", "9"});
    ASSERT_TRUE(test::WaitForFolder(vhid, [&] { return HasControlSocket(vhid); })) << serve.Err();
    EXPECT_EQ(FilesEndingIn(vhid, ".sock").size(), 3u);

    Program ctl(dir, {"ctl", "--dir", vhid.string(), "profile", "3"});
    EXPECT_EQ(ctl.Wait(), 0) << ctl.Err();
    EXPECT_EQ(ctl.Out(), "ok\n");

    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.Wait(), 0) << serve.Err();
    EXPECT_TRUE(FilesEndingIn(vhid, ".sock").empty());
    EXPECT_FALSE(HasControlSocket(vhid));
  }
  std::string error;
  auto saved = Firmware::FromJson(ReadText(state), 2, 9, error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(saved->ActiveProfile(), 2);

  Program serve(dir, {"serve", "--dir", vhid.string(), "--state", state});  // model and capacity from the file
  ASSERT_TRUE(test::WaitForFolder(vhid, [&] { return HasControlSocket(vhid); })) << serve.Err();
  Program dump(dir, {"ctl", "--dir", vhid.string(), "dump"});
  EXPECT_EQ(dump.Wait(), 0) << dump.Err();
  EXPECT_EQ(dump.Out(), saved->ToJson());
  serve.Signal(SIGINT);
  EXPECT_EQ(serve.Wait(), 0) << serve.Err();
  EXPECT_TRUE(std::filesystem::is_empty(vhid));
}

TEST(Program, QuitFromControlEndsTheKeyboard) {
  TempDir dir;
  Program serve(dir, {"serve", "--dir", dir.Path().string(), "--layout", "shared"});
  ASSERT_TRUE(test::WaitForFolder(dir.Path(), [&] { return HasControlSocket(dir.Path()); })) << serve.Err();
  EXPECT_EQ(FilesEndingIn(dir.Path(), ".sock").size(), 2u);
  Program quit(dir, {"ctl", "--dir", dir.Path().string(), "quit"});
  EXPECT_EQ(quit.Wait(), 0) << quit.Err();
  EXPECT_EQ(serve.Wait(), 0) << serve.Err();
  EXPECT_FALSE(HasControlSocket(dir.Path()));
}

TEST(Program, ACorruptStateFileIsReportedAndKept) {
  TempDir dir;
  auto vhid = dir / "vhid";
  std::filesystem::create_directory(vhid);
  const std::string corrupt = "{\"model\": 1, \"info\": \"zz\"}";
  auto state = dir.Write("state.json", corrupt);
  Program serve(dir, {"serve", "--dir", vhid.string(), "--state", state.string()});
  EXPECT_EQ(serve.Wait(), 1);
  EXPECT_NE(serve.Err().find("state.json"), std::string::npos) << serve.Err();
  EXPECT_EQ(ReadText(state), corrupt);
  EXPECT_TRUE(std::filesystem::is_empty(vhid));
}

struct ExitCase {
  const char* name;
  std::vector<std::string> args;  // "DIR" at the start stands for the test's folder
  int code;
  const char* message;  // a piece of stderr
};

class ExitCodes : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodes, TellWhatWentWrong) {
  TempDir dir;
  std::vector<std::string> args = GetParam().args;
  for (auto& a : args)
    if (a.starts_with("DIR")) a = dir.Path().string() + a.substr(3);
  dir.Write("two/a.ctl", "");  // two keyboards, as far as the names go
  dir.Write("two/b.ctl", "");
  dir.Write("stale/vkb-1.ctl", "");  // left by a keyboard that is gone
  Program run(dir, args);
  EXPECT_EQ(run.Wait(), GetParam().code) << run.Err();
  EXPECT_NE(run.Err().find(GetParam().message), std::string::npos) << run.Err();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ExitCodes,
    ::testing::Values(
        ExitCase{"NoCommand", {}, 2, "missing command"},
        ExitCase{"ServeWithoutDir", {"serve"}, 2, "--dir"},
        ExitCase{"BadModel", {"serve", "--dir", "DIR", "--model", "3"}, 2, "--model"},
        ExitCase{"BadLayout", {"serve", "--dir", "DIR", "--layout", "stacked"}, 2, "--layout"},
        ExitCase{"TooManyMacroBlocks", {"serve", "--dir", "DIR", "--macro-blocks", "256"}, 2, "--macro-blocks"},
        ExitCase{"UnknownOption", {"serve", "--dir", "DIR", "--colour", "red"}, 2, "unknown option"},
        ExitCase{"BadCtlCommand", {"ctl", "--dir", "DIR", "profile", "9"}, 2, "usage: profile N"},
        ExitCase{"MissingFolder", {"serve", "--dir", "DIR/missing"}, 1, "no such folder"},
        ExitCase{"NoKeyboard", {"ctl", "--dir", "DIR", "dump"}, 1, "no virtual keyboard"},
        ExitCase{"SeveralKeyboards", {"ctl", "--dir", "DIR/two", "dump"}, 1, "several virtual keyboards"},
        ExitCase{"StaleControlSocket", {"ctl", "--dir", "DIR/stale", "dump"}, 1, "cannot reach the keyboard"}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

TEST(Program, HelpListsBothCommandsAndExitsZero) {
  TempDir dir;
  for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"serve", "--help"}, {"ctl", "--help"}}) {
    Program help(dir, args);
    EXPECT_EQ(help.Wait(), 0) << args.front();
    EXPECT_NE(help.Out().find("serve --dir DIR"), std::string::npos) << args.front();
    EXPECT_NE(help.Out().find("unplug-after N"), std::string::npos) << args.front();
  }
}

}  // namespace
}  // namespace keyloft::emu

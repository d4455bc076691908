#include "programs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "temp_dir.h"

namespace keyloft::test {
namespace {

using namespace std::chrono_literals;

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> out;
  for (auto& w : words) out.push_back(w.data());
  out.push_back(nullptr);
  return out;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::filesystem::path& outFile, const std::filesystem::path& errFile) {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = env;
  auto argvPtrs = Pointers(argv);
  auto envPtrs = Pointers(envp);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPtrs.data(), envPtrs.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit code, or -1 when the process had to be killed.
int WaitFor(pid_t pid, std::chrono::steady_clock::duration limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(2ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunCount() {
  // Tests run programs from several threads at once (racing writers).
  static std::atomic<int> count = 0;
  return ++count;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const std::filesystem::path& scratch, int limitSeconds) {
  const std::string stem = "run" + std::to_string(RunCount());
  const auto outFile = scratch / (stem + ".out"), errFile = scratch / (stem + ".err");
  RunResult result;
  const pid_t pid = Spawn(program, args, env, outFile, errFile);
  if (pid < 0) return result;
  result.exitCode = WaitFor(pid, std::chrono::seconds(limitSeconds));
  result.out = TempDir::ReadFile(outFile);
  result.err = TempDir::ReadFile(errFile);
  return result;
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& args,
                                     const std::vector<std::string>& env, const std::filesystem::path& scratch) {
  const std::string stem = "background" + std::to_string(RunCount());
  outFile_ = scratch / (stem + ".out");
  errFile_ = scratch / (stem + ".err");
  pid_ = Spawn(program, args, env, outFile_, errFile_);
}

BackgroundProgram::~BackgroundProgram() { Stop(); }

std::string BackgroundProgram::Out() const { return TempDir::ReadFile(outFile_); }
std::string BackgroundProgram::Err() const { return TempDir::ReadFile(errFile_); }

namespace {

bool WaitForText(const std::function<std::string()>& read, std::string_view text, int limitSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  while (read().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

}  // namespace

bool BackgroundProgram::WaitForOutput(std::string_view text, int limitSeconds) const {
  return WaitForText([this] { return Out(); }, text, limitSeconds);
}

bool BackgroundProgram::WaitForError(std::string_view text, int limitSeconds) const {
  return WaitForText([this] { return Err(); }, text, limitSeconds);
}

bool BackgroundProgram::Running() const {
  if (pid_ < 0) return false;
  // Looks without reaping, so Stop and Wait still get the exit code.
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

void BackgroundProgram::Crash() {
  if (pid_ < 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int BackgroundProgram::Stop() {
  if (pid_ < 0) return -1;
  kill(pid_, SIGTERM);
  const int code = WaitFor(pid_, 10s);
  pid_ = -1;
  return code;
}

int BackgroundProgram::Wait(int limitSeconds) {
  if (pid_ < 0) return -1;
  const int code = WaitFor(pid_, std::chrono::seconds(limitSeconds));
  pid_ = -1;
  return code;
}

KeyboardProcess::KeyboardProcess(std::filesystem::path folder, std::vector<std::string> serveArgs,
                                 std::vector<std::string> env, std::filesystem::path scratch)
    : folder_(std::move(folder)), env_(std::move(env)), scratch_(std::move(scratch)) {
  std::filesystem::create_directories(folder_);
  std::vector<std::string> args{"serve", "--dir", folder_.string()};
  args.insert(args.end(), serveArgs.begin(), serveArgs.end());
  pid_ = Spawn(VIRTUAL_KEYBOARD_PATH, args, env_, scratch_ / "serve.out", scratch_ / "serve.err");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (pid_ > 0 && !ready_ && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      if (entry.path().extension() == ".ctl") ready_ = true;
    }
    if (!ready_) std::this_thread::sleep_for(5ms);
  }
}

KeyboardProcess::~KeyboardProcess() {
  if (pid_ < 0) return;
  if (ready_) Ctl({"quit"});
  if (WaitFor(pid_, 10s) < 0) kill(pid_, SIGKILL);
}

RunResult KeyboardProcess::Ctl(const std::vector<std::string>& words) const {
  std::vector<std::string> args{"ctl", "--dir", folder_.string()};
  args.insert(args.end(), words.begin(), words.end());
  return RunProgram(VIRTUAL_KEYBOARD_PATH, args, env_, scratch_);
}

}  // namespace keyloft::test

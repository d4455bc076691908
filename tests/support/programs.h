// Running the programs under test: keyloftctl runs to its end with its output
// captured; the virtual keyboard serves in the background until told to quit.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace keyloft::test {

struct RunResult {
  int exitCode = -1;  // -1: killed or not started
  std::string out;
  std::string err;
};

// Runs program with args and exactly the environment env ("NAME=value"),
// capturing stdout and stderr through files in scratch. A program that runs
// past limitSeconds is killed.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const std::filesystem::path& scratch, int limitSeconds = 60);

// A program left running (keyloftctl watch): its output read while it runs.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& env, const std::filesystem::path& scratch);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // Waits until stdout holds text; false after the limit.
  bool WaitForOutput(std::string_view text, int limitSeconds = 10) const;
  // The same for stderr.
  bool WaitForError(std::string_view text, int limitSeconds = 10) const;
  // Still running (not ended, or ended and not yet waited for).
  bool Running() const;
  // Ends it with SIGKILL, as a crash would, leaving whatever it held behind.
  void Crash();
  std::string Out() const;
  std::string Err() const;
  // Sends SIGTERM and returns the exit code (-1 when it had to be killed).
  int Stop();
  // Waits for the program to end by itself; its exit code, or -1 when killed at the limit.
  int Wait(int limitSeconds = 30);

 private:
  std::filesystem::path outFile_;
  std::filesystem::path errFile_;
  pid_t pid_ = -1;
};

// keyloft-virtual-keyboard serve in its own folder.
class KeyboardProcess {
 public:
  KeyboardProcess(std::filesystem::path folder, std::vector<std::string> serveArgs, std::vector<std::string> env,
                  std::filesystem::path scratch);
  ~KeyboardProcess();
  KeyboardProcess(const KeyboardProcess&) = delete;
  KeyboardProcess& operator=(const KeyboardProcess&) = delete;

  // True once its control socket is there.
  bool Ready() const { return ready_; }
  const std::filesystem::path& Folder() const { return folder_; }
  RunResult Ctl(const std::vector<std::string>& words) const;
  // The memory dump, as JSON text.
  std::string Dump() const { return Ctl({"dump"}).out; }

 private:
  std::filesystem::path folder_;
  std::vector<std::string> env_;
  std::filesystem::path scratch_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace keyloft::test

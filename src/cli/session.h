// What every command shares: the global options, exit codes, error output,
// and a core started against the keyboard with its connection sequence run.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_ui.h"
#include "cli/json_writer.h"
#include "cli/output.h"
#include "sync/core.h"
#include "sync/thread_executor.h"

namespace keyloft::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitKeyboard = 1,    // the keyboard refused or did not answer
  kExitUsage = 2,
  kExitNoKeyboard = 3,
  kExitFileRejected = 4,
  kExitBusy = 5,        // the window has key or macro changes not applied
};

// The running keyloft, serving one command for keyloftctl: its core and
// sequence thread, and how to learn that the client has gone.
struct Host {
  KeyloftCore& core;
  Executor& executor;
  // Returns once the client has hung up (watch runs until then).
  std::function<void()> waitForHangUp;
};

struct GlobalOptions {
  std::optional<std::filesystem::path> vhidDir;
  bool json = false;
  bool yes = false;
  bool verify = false;
  bool verbose = false;  // say on stderr which way a command went
  // Set when the running keyloft runs the command for keyloftctl.
  const Host* host = nullptr;
  // keyloftctl's folder, which relative file names are named from, when it is not this process's.
  std::filesystem::path callerFolder;
};

// A file name as the user gave it, made to name the same file from here.
std::filesystem::path FromCaller(const GlobalOptions& options, const std::filesystem::path& path);

// "keyloftctl: message" on stderr; returns code.
int Fail(int code, std::string_view message);
// The document and a line feed on stdout.
void PrintJson(const JsonWriter& json);
// Why a command failed, in words.
std::string DevResultText(DevResult result);

HidTransportConfig TransportFor(const GlobalOptions& options);
// Which keyboard a transport reaches, as the running program and keyloftctl
// compare it: "hidraw", or "vhid:" and the folder's canonical path.
std::string TransportKey(const HidTransportConfig& transport);

class Session {
 public:
  // listen: follow the keyboard's own events (watch only).
  // With options.host, the command runs on the running program's core.
  explicit Session(const GlobalOptions& options, bool listen = false);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Waits for the connection sequence and checks that the keyboard answers.
  // kExitOk, or the exit code after saying why on stderr.
  int Connect();

  KeyloftCore& Core() { return host_ ? host_->core : *core_; }
  // True when the running keyloft runs this command (its windows see the change).
  bool Hosted() const { return host_ != nullptr; }
  // kExitOk, or kExitBusy after saying why: the window holds key or macro
  // changes not yet applied, which a write of keys or macros would sweep along.
  int RefuseWhileEditing();
  // Until interrupted (SIGINT, SIGTERM), or for the running program until the
  // client hangs up. The signals must have been blocked before any thread started.
  void WaitForStop();
  CliUi& Ui() { return ui_; }
  const GlobalOptions& Options() const { return options_; }
  // Starts following the keyboard without waiting for it (watch).
  void Start() {
    if (core_) core_->Start();
  }
  // Queues task on the sequences' thread, after whatever runs there now.
  void Post(std::function<void()> task);
  // Runs task on the thread the core's sequences run on; what it says goes to this command's user.
  void Run(const std::function<void()>& task);
  // A fresh read of the information block, on the sequences' thread.
  DevResult ReadInfo(InfoBlock& info);

 private:
  int ConnectHosted();
  Executor& SequenceThread() { return host_ ? host_->executor : *executor_; }

  GlobalOptions options_;
  const Host* host_;
  CliUi ui_;
  // The notices of edits made on this thread go to this command's user.
  PromptRouter::Scope prompts_;
  // Without a running program: a core of our own.
  std::unique_ptr<ThreadExecutor> executor_;
  std::unique_ptr<KeyloftCore> core_;
  std::optional<KeyboardHold> hold_;
};

// Profile numbers as the user writes them (1..3) into 0..2; -1 when the text is not one.
int ParseProfileNumber(std::string_view text);
// A decimal number in [low, high]; nullopt otherwise.
std::optional<int> ParseInt(std::string_view text, int low, int high);

}  // namespace keyloft::cli

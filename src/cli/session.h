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
#include "sync/core.h"
#include "sync/thread_executor.h"

namespace keyloft::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitKeyboard = 1,    // the keyboard refused or did not answer
  kExitUsage = 2,
  kExitNoKeyboard = 3,
  kExitFileRejected = 4,
};

struct GlobalOptions {
  std::optional<std::filesystem::path> vhidDir;
  bool json = false;
  bool yes = false;
  bool verify = false;
};

// "keyloftctl: message" on stderr; returns code.
int Fail(int code, std::string_view message);
// The document and a line feed on stdout.
void PrintJson(const JsonWriter& json);
// Why a command failed, in words.
std::string DevResultText(DevResult result);

HidTransportConfig TransportFor(const GlobalOptions& options);

class Session {
 public:
  // listen: follow the keyboard's own events (watch only).
  explicit Session(const GlobalOptions& options, bool listen = false);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Waits for the connection sequence and checks that the keyboard answers.
  // kExitOk, or the exit code after saying why on stderr.
  int Connect();

  KeyloftCore& Core() { return *core_; }
  CliUi& Ui() { return ui_; }
  const GlobalOptions& Options() const { return options_; }
  // Starts following the keyboard without waiting for it (watch).
  void Start() { core_->Start(); }
  // Queues task on the sequences' thread, after whatever runs there now.
  void Post(std::function<void()> task) { executor_.Post(std::move(task)); }
  // Runs task on the thread the core's sequences run on.
  void Run(const std::function<void()>& task) { executor_.RunAndWait(task); }
  // A fresh read of the information block, on the sequences' thread.
  DevResult ReadInfo(InfoBlock& info);

 private:
  GlobalOptions options_;
  ThreadExecutor executor_;
  CliUi ui_;
  std::unique_ptr<KeyloftCore> core_;
};

// Profile numbers as the user writes them (1..3) into 0..2; -1 when the text is not one.
int ParseProfileNumber(std::string_view text);
// A decimal number in [low, high]; nullopt otherwise.
std::optional<int> ParseInt(std::string_view text, int low, int high);

}  // namespace keyloft::cli

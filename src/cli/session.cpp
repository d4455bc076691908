#include "cli/session.h"

#include <signal.h>

#include <charconv>
#include <chrono>
#include <iostream>
#include <thread>

#include "device/command_protocol.h"

namespace keyloft::cli {
namespace {

// A silent keyboard costs the connection one command's retries; the limit is
// well above that and a healthy connection's few milliseconds.
constexpr auto kConnectLimit = std::chrono::seconds(15);

}  // namespace

int Fail(int code, std::string_view message) {
  Err() << "keyloftctl: " << message << '\n';
  return code;
}

void PrintJson(const JsonWriter& json) { Out() << json.Text() << '\n'; }

std::string DevResultText(DevResult result) { return DescribeDevResult(result); }

HidTransportConfig TransportFor(const GlobalOptions& options) {
  return options.vhidDir ? HidTransportConfig::Vhid(*options.vhidDir) : HidTransportConfig::FromEnvironment();
}

std::filesystem::path FromCaller(const GlobalOptions& options, const std::filesystem::path& path) {
  return options.callerFolder.empty() || path.is_absolute() ? path : options.callerFolder / path;
}

std::string TransportKey(const HidTransportConfig& transport) {
  std::error_code ec;
  if (transport.vhidDir.empty() || !std::filesystem::is_directory(transport.vhidDir, ec)) return "hidraw";
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(transport.vhidDir, ec);
  return "vhid:" + (ec ? std::filesystem::absolute(transport.vhidDir, ec) : canonical).string();
}

Session::Session(const GlobalOptions& options, bool listen)
    : options_(options), host_(options.host), ui_(options.yes, Err()), prompts_(ui_) {
  if (!host_) {
    executor_ = std::make_unique<ThreadExecutor>();
    core_ = std::make_unique<KeyloftCore>(Paths::FromEnvironment(), TransportFor(options),
                                          CorePorts{*executor_, ui_.Ports()},
                                          CoreOptions{false, MonitorTiming{}, listen});
    // What the command reads it may write back: the keyboard is this
    // process's from its first exchange to the command's end. watch only
    // follows, and holds nothing.
    if (!listen) hold_.emplace(core_->Device());
  }
  ui_.SetLanguage(&Core().Lang());
  if (options_.verbose) {
    Err() << "keyloftctl: " << (host_ ? "sent to the running keyloft, which owns the keyboard"
                                      : "no keyloft runs for this user; opening the keyboard directly")
          << '\n';
  }
}

Session::~Session() {
  hold_.reset();
  if (core_) core_->Stop();
}

void Session::Post(std::function<void()> task) {
  SequenceThread().Post([this, task = std::move(task)] {
    PromptRouter::Scope scope(ui_);
    task();
  });
}

void Session::Run(const std::function<void()>& task) {
  SequenceThread().RunAndWait([&] {
    PromptRouter::Scope scope(ui_);
    task();
  });
}

int Session::RefuseWhileEditing() {
  bool unapplied = false;
  Run([&] { unapplied = Core().EditsUnapplied(); });
  if (!unapplied) return kExitOk;
  return Fail(kExitBusy,
              "Keyloft's window has key or macro changes that are not applied (or a key dialog is open); "
              "nothing was written. Apply or cancel them in the window, then try again");
}

void Session::WaitForStop() {
  if (host_) {
    if (host_->waitForHangUp) host_->waitForHangUp();
    return;
  }
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  int signal = 0;
  sigwait(&stop, &signal);
}

int Session::Connect() {
  if (host_) return ConnectHosted();
  core_->Start();
  const auto deadline = std::chrono::steady_clock::now() + kConnectLimit;
  while (!core_->Monitor().InitialReportDone()) {
    // A monitor that cannot list the interfaces stops without a report.
    if (!core_->Monitor().Running() || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!core_->Monitor().InitialReportDone() || !core_->Device().deviceConnected) {
    return Fail(kExitNoKeyboard, "no keyboard found; run 'keyloftctl doctor' to see why");
  }
  // The connection already found it silent: asking again would only wait out
  // the retries once more.
  if (core_->Device().unanswered) return Fail(kExitKeyboard, DevResultText(DevResult::NoReply));
  if (core_->Device().keyboardInUse) return Fail(kExitKeyboard, DevResultText(DevResult::InUse));
  InfoBlock info;
  const DevResult result = ReadInfo(info);
  if (result != DevResult::Ok) return Fail(kExitKeyboard, DevResultText(result));
  return kExitOk;
}

int Session::ConnectHosted() {
  KeyloftCore& core = host_->core;
  bool connected = false;
  // After whatever the program's sequence thread has queued, an arrival's read-back included.
  Run([&] { connected = core.Device().deviceConnected; });
  if (!connected) return Fail(kExitNoKeyboard, "no keyboard found; run 'keyloftctl doctor' to see why");
  // A keyboard the program once found silent may answer by now: it is asked.
  InfoBlock info;
  const DevResult result = ReadInfo(info);
  if (result != DevResult::Ok) return Fail(kExitKeyboard, DevResultText(result));
  // A keyboard that was silent when it arrived is read now, unless the
  // window holds changes over what it showed meanwhile.
  Run([&] {
    if (!core.EditsUnapplied()) [[maybe_unused]] auto caught = core.Sync().CatchUpReadBack();
  });
  return kExitOk;
}

DevResult Session::ReadInfo(InfoBlock& info) {
  DevResult result = DevResult::NoReply;
  Run([&] {
    DeviceSequence sequence(Core().Device(), DeviceSequence::Fresh);
    CommandChannel channel(Core().Device());
    result = channel.DevReadInfo(info.bytes);
    if (result == DevResult::Ok) {
      std::scoped_lock lock(Core().Device().stateLock);
      Core().Device().lastInfo = info;
    }
  });
  return result;
}

std::optional<int> ParseInt(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

int ParseProfileNumber(std::string_view text) {
  const auto n = ParseInt(text, 1, 3);
  return n ? *n - 1 : -1;
}

}  // namespace keyloft::cli

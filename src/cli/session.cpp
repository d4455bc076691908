#include "cli/session.h"

#include <charconv>
#include <chrono>
#include <iostream>
#include <thread>

#include "device/command_protocol.h"

namespace keyloft::cli {
namespace {

// A silent keyboard makes the connection sequence wait out every read's
// retries, so the limit is well above a healthy connection's few milliseconds.
constexpr auto kConnectLimit = std::chrono::seconds(15);

}  // namespace

int Fail(int code, std::string_view message) {
  std::cerr << "keyloftctl: " << message << '\n';
  return code;
}

void PrintJson(const JsonWriter& json) { std::cout << json.Text() << '\n'; }

std::string DevResultText(int result) {
  switch (result) {
    case DEV_NO_REPLY: return "the keyboard did not answer";
    case DEV_WRITE_FAILED: return "the command could not be sent to the keyboard";
    case DEV_STATUS_FF: return "the keyboard refused the command";
    case DEV_STATUS_FE: return "the keyboard rejected the command as malformed";
    case DEV_BAD_PROFILE: return "the keyboard reported an invalid profile";
    default: return "the keyboard failed (result " + std::to_string(result) + ")";
  }
}

HidTransportConfig TransportFor(const GlobalOptions& options) {
  return options.vhidDir ? HidTransportConfig::Vhid(*options.vhidDir) : HidTransportConfig::FromEnvironment();
}

Session::Session(const GlobalOptions& options, bool listen) : options_(options), ui_(options.yes) {
  core_ = std::make_unique<KeyloftCore>(Paths::FromEnvironment(), TransportFor(options),
                                        CorePorts{executor_, ui_.Ports()},
                                        CoreOptions{false, MonitorTiming{}, listen});
  ui_.SetLanguage(&core_->Lang());
}

Session::~Session() { core_->Stop(); }

int Session::Connect() {
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
  InfoBlock info;
  const int result = ReadInfo(info);
  if (result != DEV_OK) return Fail(kExitKeyboard, DevResultText(result));
  return kExitOk;
}

int Session::ReadInfo(InfoBlock& info) {
  int result = DEV_NO_REPLY;
  Run([&] {
    CommandChannel channel(core_->Device());
    result = channel.DevReadInfo(info.bytes);
    if (result == DEV_OK) {
      std::scoped_lock lock(core_->Device().stateLock);
      core_->Device().lastInfo = info;
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

#include "cli/session.h"

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
  std::cerr << "keyloftctl: " << message << '\n';
  return code;
}

void PrintJson(const JsonWriter& json) { std::cout << json.Text() << '\n'; }

std::string DevResultText(DevResult result) { return DescribeDevResult(result); }

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
  // The connection already found it silent: asking again would only wait out
  // the retries once more.
  if (core_->Device().unanswered) return Fail(kExitKeyboard, DevResultText(DevResult::NoReply));
  InfoBlock info;
  const DevResult result = ReadInfo(info);
  if (result != DevResult::Ok) return Fail(kExitKeyboard, DevResultText(result));
  return kExitOk;
}

DevResult Session::ReadInfo(InfoBlock& info) {
  DevResult result = DevResult::NoReply;
  Run([&] {
    DeviceSequence sequence(core_->Device(), DeviceSequence::Fresh);
    CommandChannel channel(core_->Device());
    result = channel.DevReadInfo(info.bytes);
    if (result == DevResult::Ok) {
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

// keyloft-bench-sync: the connection read-back and an Apply against a virtual
// keyboard that answers each command after 1 ms, for 0, 10 and 100 macros.
// Prints, per case, the exchanges made, the wall time, the floor the keyboard
// itself sets (1 ms an exchange and 10 ms before each end of a bracket) and
// their ratio: how much the program adds to what the keyboard takes.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "emu/server.h"
#include "sync/core.h"
#include "sync/headless_ui.h"
#include "sync/thread_executor.h"

namespace keyloft {
namespace {

class Headless : public HeadlessUi {
 public:
  std::atomic<bool> connected{false};
  void Notify(std::string_view key) override {
    std::fprintf(stderr, "keyloft-bench-sync: the program said %.*s\n", static_cast<int>(key.size()), key.data());
  }
  void KeyboardConnected() override { connected = true; }
};

// Commands the host wrote since the trace was last counted, and how many ended a bracket.
struct TraceCount {
  std::filesystem::path file;
  size_t seen = 0;
  std::pair<int, int> Next() {
    std::ifstream in(file);
    size_t line = 0;
    int commands = 0, ends = 0;
    for (std::string text; std::getline(in, text); ++line) {
      if (line < seen || !text.starts_with("out 04")) continue;
      ++commands;
      ends += text.size() > 13 && text.substr(10, 2) == "02";
    }
    seen = line;
    return {commands, ends};
  }
};

MacroList Macros(size_t count, size_t areaBytes) {
  MacroList list(count);
  for (size_t i = 0; i < count; ++i) {
    list[i].id = static_cast<uint16_t>(i + 1);
    list[i].name = u"Macro " + Utf8ToUtf16(std::to_string(i + 1));
  }
  // Steps until the area is nine tenths full.
  for (size_t s = 0; count > 0 && MacroImageSizes(list).withNames + 4 * count < areaBytes * 9 / 10; ++s) {
    list[s % count].steps.push_back({10, 0x01E, static_cast<uint16_t>(s % 2)});
  }
  return list;
}

void Report(const char* name, std::pair<int, int> counted, double wallMs, int latencyMs) {
  double floorMs = counted.first * static_cast<double>(latencyMs) + counted.second * 10.0;
  std::printf("case=%s exchanges=%d wall_ms=%.1f floor_ms=%.1f ratio=%.3f\n", name, counted.first, wallMs, floorMs,
              floorMs > 0 ? wallMs / floorMs : 0.0);
}

constexpr int kMacroBlocks = 255;

int Fail(const char* why) {
  std::fprintf(stderr, "keyloft-bench-sync: %s\n", why);
  return 1;
}

// The cases against the keyboard served in home/vhid: 0 when each ran.
int Measure(const Paths& paths, const std::filesystem::path& home, int latencyMs) {
  ThreadExecutor executor;
  Headless ui;
  KeyloftCore core(paths, HidTransportConfig::Vhid(home / "vhid"), CorePorts{executor, ui.Ports()},
                   CoreOptions{true, MonitorTiming{50, 50}, false});
  core.Start();
  while (!ui.connected) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  executor.Drain();
  TraceCount trace{home / "trace.txt"};
  trace.Next();

  for (size_t count : {0, 10, 100}) {
    // The macros reach the keyboard with an Apply, then come back with a read-back.
    ProfileEditor& editor = core.Editor();
    for (const MacroRecord& m : editor.Macros()) {
      if (editor.DeleteMacro(m.id) != EditResult::Ok) return Fail("a macro could not be deleted");
    }
    for (MacroRecord& m : Macros(count, kMacroBlocks * 128)) {
      if (editor.AddMacro(Utf16ToUtf8(m.name), std::move(m.steps), m.cycles) != EditResult::Ok) {
        return Fail("a macro could not be added");
      }
    }
    // A change even without macros, so that every case writes the macro area and a key map.
    if (editor.AssignKey(0, 0x01E, KeyAction::Default()) != EditResult::Ok) return Fail("a key could not be assigned");
    auto start = std::chrono::steady_clock::now();
    ApplyOutcome applied;
    executor.RunAndWait([&] { applied = core.Sync().Apply(); });
    if (applied.result != ApplyResult::Applied) return Fail("the macros could not be applied");
    auto wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Report(("apply_" + std::to_string(count) + "_macros").c_str(), trace.Next(), wall, latencyMs);

    start = std::chrono::steady_clock::now();
    executor.RunAndWait([&] { core.Sync().OnConnected(); });
    wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Report(("readback_" + std::to_string(count) + "_macros").c_str(), trace.Next(), wall, latencyMs);
  }
  core.Stop();
  return 0;
}

int Run(int latencyMs) {
  const auto home = std::filesystem::temp_directory_path() / ("keyloft-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(home / "vhid");
  emu::ServerOptions options;
  options.folder = home / "vhid";
  options.tracePath = home / "trace.txt";
  options.latencyMs = latencyMs;
  emu::Server server(emu::Firmware(*emu::FindModel(1), kMacroBlocks), options);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "keyloft-bench-sync: %s\n", error.c_str());
    return 1;
  }
  std::thread serving([&] { server.Run(); });

  Paths paths;
  paths.programFolder = ExecutableFolder();
  paths.dataHome = home / "data";
  paths.stateHome = home / "state";
  paths.configHome = home / "config";
  paths.runtimeFolder = home;
  const int result = Measure(paths, home, latencyMs);
  server.Stop();
  serving.join();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return result;
}

}  // namespace
}  // namespace keyloft

// An argument sets another latency (0 shows what the program and the
// transport cost alone).
int main(int argc, char** argv) { return keyloft::Run(argc > 1 ? std::atoi(argv[1]) : 1); }

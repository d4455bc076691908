// watch: the keyboard followed as the desktop program follows it, one line per event.
#include <signal.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "cli/commands.h"

namespace keyloft::cli {
namespace {

// What one sequence showed; a sequence calls the view several times, so the
// line is printed once it has finished.
struct Seen {
  bool connected = false;
  bool removed = false;
  bool panel = false;
  int profile = -1;
};

void PrintEvent(bool json, std::string_view event, int profile = -1) {
  if (json) {
    JsonWriter line;
    line.BeginObject().Key("event").String(event);
    if (profile >= 0) line.Key("profile").Int(profile + 1);
    std::cout << line.EndObject().Text() << std::endl;
  } else {
    std::cout << event;
    if (profile >= 0) std::cout << ' ' << profile + 1;
    std::cout << std::endl;
  }
}

}  // namespace

int RunWatch(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");

  // Blocked before any thread starts, so only sigwait below takes them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  Session session(options, true);
  // Both touched on the sequences' thread only.
  Seen seen;
  bool flushQueued = false;
  int shownProfile = -1;
  auto flush = [&] {
    flushQueued = false;
    const Seen now = seen;
    seen = Seen{};
    if (now.removed) PrintEvent(options.json, "removed");
    if (now.connected) {
      PrintEvent(options.json, "connected");
      shownProfile = session.Core().Device().activeProfileCache;
    } else if (now.profile >= 0 && now.profile != shownProfile) {
      PrintEvent(options.json, "profile", now.profile);
      shownProfile = now.profile;
    } else if (now.panel && !now.removed) {
      PrintEvent(options.json, "lighting");
    }
  };
  session.Ui().SetEventSink([&](std::string_view event) {
    if (event == "connected") seen.connected = true;
    else if (event == "removed") seen.removed = true;
    else if (event == "panel") seen.panel = true;
    else if (event.starts_with("profile ")) seen.profile = std::stoi(std::string(event.substr(8)));
    if (!flushQueued) {
      flushQueued = true;
      session.Post(flush);
    }
  });
  session.Start();
  // Say once why nothing comes yet; the keyboard is followed all the same.
  for (int i = 0; i < 2000 && !session.Core().Monitor().InitialReportDone() && session.Core().Monitor().Running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!session.Core().Device().deviceConnected) {
    std::cerr << "keyloftctl: no keyboard yet; waiting for one (see 'keyloftctl doctor')\n";
  }
  int signal = 0;
  sigwait(&stop, &signal);
  session.Run([&] { session.Ui().SetEventSink(nullptr); });
  return kExitOk;
}

}  // namespace keyloft::cli

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
  int applied = -1;  // the profile whose keys and macros were written
};

void PrintEvent(std::ostream& out, bool json, std::string_view event, int profile = -1) {
  if (json) {
    JsonWriter line;
    line.BeginObject().Key("event").String(event);
    if (profile >= 0) line.Key("profile").Int(profile + 1);
    out << line.EndObject().Text() << std::endl;
  } else {
    out << event;
    if (profile >= 0) out << ' ' << profile + 1;
    out << std::endl;
  }
}

}  // namespace

int RunWatch(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");

  if (!options.host) {
    // Blocked before any thread starts, so only the wait below takes them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  }

  Session session(options, true);
  std::ostream& out = Out();  // the sequences' thread prints to this command's output
  // All touched on the sequences' thread only.
  Seen seen;
  bool flushQueued = false;
  int shownProfile = -1;
  auto flush = [&] {
    flushQueued = false;
    const Seen now = seen;
    seen = Seen{};
    if (now.removed) PrintEvent(out, options.json, "removed");
    if (now.connected) {
      PrintEvent(out, options.json, "connected");
      shownProfile = session.Core().Device().activeProfileCache;
    } else if (now.profile >= 0 && now.profile != shownProfile) {
      PrintEvent(out, options.json, "profile", now.profile);
      shownProfile = now.profile;
    } else if (now.panel && !now.removed) {
      PrintEvent(out, options.json, "lighting");
    }
    if (now.applied >= 0) PrintEvent(out, options.json, "applied", now.applied);
  };
  CoreEvents& events = session.Core().Events();
  const int subscription = events.Subscribe([&](std::string_view event, int profile) {
    if (event == "connected") seen.connected = true;
    else if (event == "removed") seen.removed = true;
    else if (event == "panel") seen.panel = true;
    else if (event == "profile") seen.profile = profile;
    else if (event == "applied") seen.applied = profile;
    if (!flushQueued) {
      flushQueued = true;
      session.Post(flush);
    }
  });
  if (session.Hosted()) {
    session.Run([&] { shownProfile = session.Core().Device().activeProfileCache; });
  } else {
    session.Start();
  }
  // Say once why nothing comes yet; the keyboard is followed all the same.
  for (int i = 0; i < 2000 && !session.Core().Monitor().InitialReportDone() && session.Core().Monitor().Running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!session.Core().Device().deviceConnected) {
    Err() << "keyloftctl: no keyboard yet; waiting for one (see 'keyloftctl doctor')" << std::endl;
  }
  session.WaitForStop();
  events.Unsubscribe(subscription);
  // A flush already queued runs before this, while what it uses is still here.
  session.Run([] {});
  return kExitOk;
}

}  // namespace keyloft::cli

#include "emu/server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <vector>

#include "emu/bytes.h"
#include "emu/control.h"
#include "util/atomic_file.h"

namespace keyloft::emu {
namespace {

// CLOCK_MONOTONIC on Linux, the clock the reply timer runs on.
using Clock = std::chrono::steady_clock;

constexpr int kListenBacklog = 16;
// Longer than any report: a longer message still reads as too long, never as 64 bytes.
constexpr size_t kReceiveBytes = 4096;
constexpr size_t kControlReceiveBytes = 1024;

// Waking a sleeping thread at a set time takes from a few microseconds to some
// tens (in a virtual machine), more than a held reply may be late. So the
// timer goes off that much ahead of a reply's due time, learnt from how late
// it has woken the loop, and the loop waits out the rest on the clock.
class WakeLead {
 public:
  Clock::duration Lead() const { return std::min(lag_ + lag_ / 2 + kMargin, kMaxLead); }
  // How long after the time it was set for the timer woke the loop.
  void Observe(Clock::duration lag) { lag_ += (std::clamp(lag, Clock::duration::zero(), kMaxLead) - lag_) / 8; }

 private:
  static constexpr Clock::duration kMargin = std::chrono::microseconds(10);
  static constexpr Clock::duration kMaxLead = std::chrono::microseconds(300);  // the most the loop spins
  Clock::duration lag_ = std::chrono::microseconds(50);
};

// When a message was sent, from the kernel's stamp (SO_TIMESTAMPNS, wall-clock
// time) moved onto the monotonic clock; received when there is none. The loop
// may wake some tens of microseconds after a command comes in, and that must
// not add to the latency the keyboard is told to show. wallNow is read before
// received, so the age is never overstated and no reply goes early.
Clock::time_point SentAt(msghdr& message, const timespec& wallNow, Clock::time_point received) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS || c->cmsg_len < CMSG_LEN(sizeof(timespec))) {
      continue;
    }
    timespec stamp{};
    std::memcpy(&stamp, CMSG_DATA(c), sizeof(stamp));
    const auto age = std::chrono::seconds(wallNow.tv_sec - stamp.tv_sec) +
                     std::chrono::nanoseconds(wallNow.tv_nsec - stamp.tv_nsec);
    // A wall clock set back meanwhile gives a stamp from the future.
    return received - std::max<Clock::duration>(age, Clock::duration::zero());
  }
  return received;
}

std::string Errno(std::string_view what) { return std::string(what) + ": " + std::strerror(errno); }

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address, std::string& error) {
  const std::string text = path.string();
  if (text.size() >= sizeof(address.sun_path)) {
    error = "socket path too long for a Unix socket (" + std::to_string(text.size()) + " bytes, at most " +
            std::to_string(sizeof(address.sun_path) - 1) + "): " + text;
    return false;
  }
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

// Binds under a temporary name and renames into place once listening, so a
// client that sees the file can connect at once.
int Listen(const std::filesystem::path& path, const std::filesystem::path& temporary, std::string& error) {
  sockaddr_un final{}, temp{};
  if (!FillAddress(path, final, error) || !FillAddress(temporary, temp, error)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = Errno("cannot create a socket");
    return -1;
  }
  ::unlink(temporary.c_str());  // left by a crashed run with the same pid
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&temp), sizeof(temp)) != 0 || ::listen(fd, kListenBacklog) != 0 ||
      ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = Errno("cannot listen on " + path.string());
    ::unlink(temporary.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

struct Server::Impl {
  struct Endpoint {
    int number = 0;
    std::vector<uint8_t> hello;
    std::filesystem::path path;
    int listenFd = -1;
  };
  struct Host {
    int fd = -1;
    size_t endpoint = 0;
    bool dead = false;
  };
  struct ControlClient {
    int fd = -1;
    std::string pendingAnswer;  // waiting for room in the socket
    bool dead = false;
  };
  struct HeldReply {
    Clock::time_point due;
    std::array<uint8_t, kCommandReportBytes> report;
  };
  enum class Target { kStop, kWake, kTimer, kControlListener, kListener, kHost, kControl };
  struct PollTarget {
    Target kind;
    size_t index = 0;
    int fd = -1;
  };

  Impl(Firmware fw, ServerOptions opt)
      : firmware(std::move(fw)), options(std::move(opt)), name("vkb-" + std::to_string(::getpid())),
        latencyMs(options.latencyMs), wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
        timerFd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}
  ~Impl() {
    CloseAll();
    if (wakeFd >= 0) ::close(wakeFd);
    if (timerFd >= 0) ::close(timerFd);
  }

  Firmware firmware;
  ServerOptions options;
  std::string name;
  std::vector<Endpoint> endpoints;
  size_t commandEndpoint = 0;
  size_t consumerEndpoint = 0;
  std::vector<Host> hosts;
  std::vector<ControlClient> controls;
  std::filesystem::path controlPath;
  int controlFd = -1;
  FILE* trace = nullptr;
  bool traceFailed = false;
  bool plugged = false;
  bool silent = false;
  bool quitting = false;
  int unplugAfter = 0;  // 0: off
  int latencyMs = 0;
  const int wakeFd;  // Stop() writes it from another thread: set once, closed last
  std::deque<HeldReply> held;  // due times never decrease, so replies keep their order
  // Fires just before the first held reply is due. A poll() timeout would be
  // whole milliseconds plus the thread's timer slack; an absolute timerfd has
  // neither.
  const int timerFd;
  std::optional<Clock::time_point> armedFor;  // the due time timerFd is set for; none when disarmed or spent
  Clock::time_point firesAt;
  WakeLead wakeLead;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kReceiveBytes);

  void Log(const std::string& line) const {
    if (options.log) options.log(line);
  }

  // ---- files and sockets ----

  bool Start(std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_directory(options.folder, ec)) {
      error = "no such folder: " + options.folder.string();
      return false;
    }
    for (int number : InterfacesOf(options.layout)) {
      Endpoint e;
      e.number = number;
      char suffix[16];
      std::snprintf(suffix, sizeof(suffix), "-mi_%02x.sock", number);
      e.path = options.folder / (name + suffix);
      e.hello = HelloMessage(firmware.Model(), number, ReportDescriptor(number, options.layout));
      if (number == CommandInterface(options.layout)) commandEndpoint = endpoints.size();
      if (number == kConsumerInterface) consumerEndpoint = endpoints.size();
      endpoints.push_back(std::move(e));
    }
    controlPath = options.folder / (name + std::string(kControlSuffix));

    if (options.tracePath) {
      trace = std::fopen(options.tracePath->c_str(), "a");
      if (trace == nullptr) {
        error = Errno("cannot open the trace file " + options.tracePath->string());
        return false;
      }
    }
    if (wakeFd < 0) {
      error = Errno("cannot create an eventfd");
      return false;
    }
    if (timerFd < 0) {
      error = Errno("cannot create a timerfd");
      return false;
    }
    if (!Plug(error)) return false;
    controlFd = Listen(controlPath, options.folder / ("." + name + ".ctl.tmp"), error);
    if (controlFd < 0) {
      Unplug();
      return false;
    }
    return true;
  }

  bool Plug(std::string& error) {
    if (plugged) return true;
    for (Endpoint& e : endpoints) {
      e.listenFd = Listen(e.path, options.folder / ("." + e.path.filename().string() + ".tmp"), error);
      if (e.listenFd < 0) {
        plugged = true;  // so that Unplug removes the ones already made
        Unplug();
        return false;
      }
    }
    plugged = true;
    return true;
  }

  void Unplug() {
    if (!plugged) return;
    plugged = false;
    // The files go first: a host that sees its connection end finds the device gone.
    for (Endpoint& e : endpoints) {
      if (e.listenFd < 0) continue;
      ::unlink(e.path.c_str());
      ::close(e.listenFd);
      e.listenFd = -1;
    }
    for (Host& h : hosts) h.dead = true;  // closed by the loop's next Reap
    held.clear();
    firmware.PowerCycle();
  }

  // Closes what was marked dead; only between two rounds of events, so no
  // descriptor number is reused while a poll result still names it.
  void Reap() {
    for (Host& h : hosts)
      if (h.dead) ::close(h.fd);
    std::erase_if(hosts, [](const Host& h) { return h.dead; });
    for (ControlClient& c : controls)
      if (c.dead) ::close(c.fd);
    std::erase_if(controls, [](const ControlClient& c) { return c.dead; });
  }

  void CloseAll() {
    Unplug();
    for (Host& h : hosts) ::close(h.fd);
    hosts.clear();
    for (ControlClient& c : controls) ::close(c.fd);
    controls.clear();
    if (controlFd >= 0) {
      ::unlink(controlPath.c_str());
      ::close(controlFd);
      controlFd = -1;
    }
    if (trace != nullptr) std::fclose(trace);
    trace = nullptr;
  }

  bool Save() {
    if (!options.statePath) return true;
    if (!ReplaceFileAtomically(*options.statePath, firmware.ToJson())) {
      Log("cannot save the state to " + options.statePath->string());
      return false;
    }
    firmware.MarkSaved();
    return true;
  }

  void SaveIfChanged() {
    if (firmware.Dirty()) Save();
  }

  // ---- reports ----

  void Trace(std::string_view direction, std::span<const uint8_t> report) {
    if (trace == nullptr) return;
    std::string line(direction);
    line += ' ';
    line += ToHex(report);
    line += '\n';
    if ((std::fputs(line.c_str(), trace) < 0 || std::fflush(trace) != 0) && !traceFailed) {
      traceFailed = true;
      Log("cannot write the trace file " + options.tracePath->string());
    }
  }

  void Broadcast(size_t endpoint, std::span<const uint8_t> report) {
    if (!plugged) return;
    Trace("in", report);
    for (Host& h : hosts) {
      if (h.dead || h.endpoint != endpoint) continue;
      if (::send(h.fd, report.data(), report.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) continue;
      // A host that does not read loses reports, as a full hidraw queue does.
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) h.dead = true;
    }
  }

  void ReportEvent(uint16_t usage) {
    Broadcast(consumerEndpoint, ConsumerReport(usage));
    Broadcast(consumerEndpoint, ConsumerReport(kUsageNone));
  }

  void OnCommand(std::span<const uint8_t> report, Clock::time_point arrived) {
    if (unplugAfter > 0 && --unplugAfter == 0) {
      Unplug();
      SaveIfChanged();  // writes of a bracket the unplug cut short
      return;
    }
    if (silent) return;
    CommandReply reply = firmware.HandleCommand(report);
    if (reply.persistPoint) SaveIfChanged();
    if (latencyMs == 0 && held.empty()) {
      Broadcast(commandEndpoint, reply.report);
      return;
    }
    auto due = arrived + std::chrono::milliseconds(latencyMs);
    if (!held.empty()) due = std::max(due, held.back().due);
    held.push_back({due, reply.report});
  }

  void SendDueReplies() {
    auto now = Clock::now();
    // The timer goes off a little early: the last stretch is waited out here,
    // as a reply must not go before its time.
    if (!held.empty() && held.front().due > now && held.front().due - now <= wakeLead.Lead()) {
      while (now < held.front().due) now = Clock::now();
    }
    while (!held.empty() && held.front().due <= now) {
      Broadcast(commandEndpoint, held.front().report);
      held.pop_front();
    }
  }

  // Sets the timer for the first held reply, or disarms it when none waits.
  // Only when that changes: a reply added behind others needs no system call.
  void ArmTimer() {
    std::optional<Clock::time_point> due;
    if (!held.empty()) due = held.front().due;
    if (due == armedFor) return;
    itimerspec deadline{};  // all zero disarms
    if (due) {
      firesAt = *due - wakeLead.Lead();
      // At least 1 ns: an all-zero time would disarm it.
      const int64_t ns = std::max<int64_t>(
          1, std::chrono::duration_cast<std::chrono::nanoseconds>(firesAt.time_since_epoch()).count());
      deadline.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      deadline.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    // A past time fires at once, so a reply due while the loop was busy still goes.
    if (::timerfd_settime(timerFd, TFD_TIMER_ABSTIME, &deadline, nullptr) != 0) {
      Log(Errno("cannot set the reply timer"));
      return;
    }
    armedFor = due;
  }

  // woke: when poll() returned, before any reply was waited for.
  void TimerFired(Clock::time_point woke) {
    uint64_t expirations = 0;
    if (::read(timerFd, &expirations, sizeof(expirations)) != sizeof(expirations)) return;
    if (armedFor) wakeLead.Observe(woke - firesAt);
    armedFor.reset();
  }

  // ---- events ----

  void AcceptHosts(size_t endpoint) {
    for (;;) {
      int fd = ::accept4(endpoints[endpoint].listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) Log(Errno("cannot accept a host"));
        return;
      }
      const int on = 1;
      ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof(on));  // without it, arrival is when read
      const auto& hello = endpoints[endpoint].hello;
      bool sent = ::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
                  static_cast<ssize_t>(hello.size());
      hosts.push_back({fd, endpoint, !sent});
    }
  }

  void ReadHost(size_t index, short revents) {
    Host& host = hosts[index];
    iovec data{buffer.data(), buffer.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(timespec))> stamp{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = stamp.data();
    message.msg_controllen = stamp.size();
    ssize_t n = ::recvmsg(host.fd, &message, MSG_DONTWAIT);
    if (n < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) host.dead = true;
      return;
    }
    // A message of no bytes and the end of the connection both read as 0.
    if (n == 0 && (revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0) {
      host.dead = true;
      return;
    }
    timespec wallNow{};
    ::clock_gettime(CLOCK_REALTIME, &wallNow);
    const auto arrived = SentAt(message, wallNow, Clock::now());
    std::span<const uint8_t> report(buffer.data(), static_cast<size_t>(n));
    Trace("out", report);
    if (host.endpoint != commandEndpoint) return;  // LED reports and the like: nothing to do
    // On a shared interface only report 4 is a command; other ids belong to other collections.
    if (options.layout == Layout::kShared && (report.empty() || report[0] != kCommandReportId)) return;
    OnCommand(report, arrived);
  }

  void AcceptControls() {
    for (;;) {
      int fd = ::accept4(controlFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      controls.push_back({fd, {}, false});
    }
  }

  void ReadControl(size_t index) {
    ControlClient& client = controls[index];
    std::array<char, kControlReceiveBytes> line{};
    ssize_t n = ::recv(client.fd, line.data(), line.size(), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
      client.dead = true;
      return;
    }
    client.pendingAnswer = Control(std::string_view(line.data(), static_cast<size_t>(n)));
    WriteControl(index);
  }

  void WriteControl(size_t index) {
    ControlClient& client = controls[index];
    // One message carries the whole answer; a dump of a large macro area needs room.
    int room = static_cast<int>(client.pendingAnswer.size()) + 4096;
    ::setsockopt(client.fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof(room));
    ssize_t n = ::send(client.fd, client.pendingAnswer.data(), client.pendingAnswer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // wait for POLLOUT
    client.pendingAnswer.clear();
    client.dead = true;  // one command per connection
  }

  std::string Control(std::string_view line) {
    std::string error;
    auto command = ParseControlLine(line, error);
    if (!command) return std::string(kControlErrorPrefix) + error;
    switch (command->verb) {
      case ControlVerb::kProfile:
        firmware.SelectProfile(command->number - 1);
        SaveIfChanged();
        ReportEvent(kUsageProfileChanged);
        break;
      case ControlVerb::kLighting:
        firmware.StepLighting();
        SaveIfChanged();
        ReportEvent(kUsageLightingChanged);
        break;
      case ControlVerb::kReset:
        firmware.FactoryReset();
        SaveIfChanged();
        ReportEvent(kUsageProfileChanged);
        break;
      case ControlVerb::kMacroStart: ReportEvent(kUsageMacroStarted); break;
      case ControlVerb::kMacroStop: ReportEvent(kUsageMacroStopped); break;
      case ControlVerb::kUnplug:
        Unplug();
        SaveIfChanged();
        break;
      case ControlVerb::kPlug:
        if (!Plug(error)) return std::string(kControlErrorPrefix) + error;
        break;
      case ControlVerb::kUnplugAfter: unplugAfter = command->number; break;
      case ControlVerb::kSilent: silent = command->number != 0; break;
      case ControlVerb::kRefuse: firmware.SetForcedStatus(static_cast<uint8_t>(command->number)); break;
      case ControlVerb::kRefuseAfter: firmware.RefuseAfter(command->number); break;
      case ControlVerb::kLatency: latencyMs = command->number; break;
      case ControlVerb::kDump: return firmware.ToJson();
      case ControlVerb::kQuit: quitting = true; break;
    }
    return std::string(kControlOk);
  }

  // ---- the loop ----

  int Run() {
    bool failed = false;
    std::vector<pollfd> fds;
    std::vector<PollTarget> targets;
    auto watch = [&](Target kind, size_t index, int fd, short events) {
      fds.push_back({fd, events, 0});
      targets.push_back({kind, index, fd});
    };
    while (!quitting) {
      Reap();
      fds.clear();
      targets.clear();
      if (options.stopFd >= 0) watch(Target::kStop, 0, options.stopFd, POLLIN);
      watch(Target::kWake, 0, wakeFd, POLLIN);
      ArmTimer();
      watch(Target::kTimer, 0, timerFd, POLLIN);
      watch(Target::kControlListener, 0, controlFd, POLLIN);
      for (size_t i = 0; i < endpoints.size(); ++i)
        if (endpoints[i].listenFd >= 0) watch(Target::kListener, i, endpoints[i].listenFd, POLLIN);
      for (size_t i = 0; i < hosts.size(); ++i) watch(Target::kHost, i, hosts[i].fd, POLLIN | POLLRDHUP);
      for (size_t i = 0; i < controls.size(); ++i)
        watch(Target::kControl, i, controls[i].fd, controls[i].pendingAnswer.empty() ? POLLIN : POLLOUT);

      int ready = ::poll(fds.data(), fds.size(), -1);
      const auto woke = Clock::now();
      if (ready < 0) {
        if (errno == EINTR) continue;
        Log(Errno("poll failed"));
        failed = true;
        break;
      }
      SendDueReplies();
      for (size_t i = 0; i < fds.size() && !quitting; ++i) {
        const short revents = fds[i].revents;
        if (revents == 0) continue;
        const PollTarget& t = targets[i];
        switch (t.kind) {
          case Target::kStop:
          case Target::kWake:
            quitting = true;
            break;
          case Target::kTimer: TimerFired(woke); break;  // its replies went out with SendDueReplies
          case Target::kControlListener: AcceptControls(); break;
          case Target::kListener:
            if (endpoints[t.index].listenFd == t.fd) AcceptHosts(t.index);  // else unplugged meanwhile
            break;
          case Target::kHost:
            if (!hosts[t.index].dead) ReadHost(t.index, revents);
            break;
          case Target::kControl:
            if (controls[t.index].dead) break;
            if (!controls[t.index].pendingAnswer.empty()) {
              if ((revents & (POLLHUP | POLLERR)) != 0) controls[t.index].dead = true;
              else WriteControl(t.index);
            } else {
              ReadControl(t.index);
            }
            break;
        }
      }
    }
    // Answers already written (the `ok` of quit among them) stay readable after close.
    CloseAll();
    return Save() && !failed ? 0 : 1;
  }
};

Server::Server(Firmware firmware, ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(firmware), std::move(options))) {}

Server::~Server() = default;

bool Server::Start(std::string& error) {
  if (impl_->Start(error)) return true;
  impl_->CloseAll();
  return false;
}

int Server::Run() { return impl_->Run(); }

void Server::Stop() {
  const uint64_t one = 1;
  if (impl_->wakeFd >= 0 && ::write(impl_->wakeFd, &one, sizeof(one)) < 0) {
    // Only a counter at its limit fails, and then a wake-up is already pending.
  }
}

const std::string& Server::Name() const { return impl_->name; }

}  // namespace keyloft::emu

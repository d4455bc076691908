// keyloft-bench-desktop: what the desktop program costs the person using it.
// The real keyloft runs offscreen against a virtual keyboard served here:
//   start_ms      process start to ready (its tray, or the word that there is none)
//   open_ms       OPEN sent to the window's first paint
//   idle_cpu_pct  CPU over the idle period, connected, window hidden
//   rss_mb        resident memory after it
//   rss_growth_kb_per_cycle
//                 resident memory gained per unplug and plug of the
//                 keyboard, over --plug-cycles cycles after a warm-up
//   ctl_direct_ms, ctl_forwarded_ms, forward_overhead_ms
//                 keyloftctl profile (median of 20) opening the keyboard
//                 itself, and sent to the running program; the difference
// Then the program's windows run in this process with a 10 ms heartbeat on
// their Qt thread, and a 1 ms keyboard:
//   stall_ms      the longest gap of the heartbeat while the connection
//                 read-back and an Apply of 100 macros run, and while a
//                 silent keyboard is asked
// Then, in the same windows, shown:
//   dialog_ms        a key click's key dialog, from the call that opens it to
//                    its first paint (median; dialog_first_ms: the first
//                    opening, which loads the dialog's skin)
//   preview_cpu_pct  CPU of this whole process over the preview period, the
//                    lighting view on with the ripple effect animating
//   external_redraw_ms  keyloftctl assign through these windows: from the
//                    keyboard taking the change to the key's repaint (median of 9)
// Usage: keyloft-bench-desktop [--runs N] [--idle-seconds S] [--preview-seconds S] [--plug-cycles N]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/key_dialog.h"
#include "app/lighting_panel.h"
#include "app/single_instance.h"
#include "emu/control.h"
#include "emu/server.h"
#include "platform/paths.h"
#include "ui/skin/skin_style.h"

extern char** environ;

namespace keyloft {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMacroBlocks = 255;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "keyloft-bench-desktop: %s\n", what.c_str());
  std::exit(1);
}

// A virtual keyboard served on its own thread in this process.
class Keyboard {
 public:
  Keyboard(const std::filesystem::path& folder, int latencyMs) : folder_(folder) {
    std::filesystem::create_directories(folder);
    emu::ServerOptions options;
    options.folder = folder;
    options.latencyMs = latencyMs;
    server_ = std::make_unique<emu::Server>(emu::Firmware(*emu::FindModel(1), kMacroBlocks), options);
    std::string error;
    if (!server_->Start(error)) Fail("virtual keyboard: " + error);
    thread_ = std::thread([this] { server_->Run(); });
  }
  ~Keyboard() {
    server_->Stop();
    thread_.join();
  }
  void Control(const std::string& line) {
    std::string error;
    auto socket = emu::FindControlSocket(folder_, error);
    if (!socket || emu::SendControl(*socket, line).text.rfind("ok", 0) != 0) Fail("the keyboard refused " + line);
  }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<emu::Server> server_;
  std::thread thread_;
};

// ---- The real program -------------------------------------------------------------------

// keyloft as a child, its stderr read line by line.
class Program {
 public:
  Program(const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) Fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp, envp;
    for (auto& a : argv) argp.push_back(a.data());
    argp.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    for (auto& e : envCopy) envp.push_back(e.data());
    envp.push_back(nullptr);
    started_ = Clock::now();
    if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argp.data(), envp.data()) != 0) Fail("cannot start " + path);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    err_ = fds[0];
  }
  ~Program() {
    Stop();
    ::close(err_);
  }

  Clock::time_point Started() const { return started_; }
  pid_t Pid() const { return pid_; }

  // Waits for a line holding text; the moment it came.
  Clock::time_point WaitFor(const std::string& text, int limitMs = 20000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
      for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
        const std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        if (line.find(text) != std::string::npos) return Clock::now();
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) Fail("keyloft never said '" + text + "'");
      pollfd p{err_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(err_, chunk, sizeof chunk);
      if (n <= 0) Fail("keyloft ended before it said '" + text + "'");
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // Already waited for elsewhere.
  void Forget() { pid_ = -1; }

  int Stop() {
    if (pid_ < 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  std::string buffer_;
  Clock::time_point started_;
};

// Runs a program to its end, its output discarded; its exit code.
int RunToEnd(const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env) {
  Program program(path, args, env);
  int status = 0;
  ::waitpid(program.Pid(), &status, 0);
  program.Forget();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SendToInstance(const std::filesystem::path& socketPath, const char* message) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Fail("cannot reach keyloft's socket");
  const std::string line = std::string(message) + "\n";
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) Fail("cannot tell keyloft");
  ::close(fd);
}

// User and system CPU time of a process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) {
      stime = std::stoull(field);
      break;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double ResidentKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6));
  }
  return 0;
}

double ResidentMb(pid_t pid) { return ResidentKb(pid) / 1024.0; }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void MeasureProgram(const std::filesystem::path& home, int runs, int idleSeconds, int plugCycles) {
  Keyboard keyboard(home / "vhid", 0);
  const std::vector<std::string> env = {
      "HOME=" + home.string(),
      "XDG_RUNTIME_DIR=" + (home / "run").string(),
      "XDG_CONFIG_HOME=" + (home / "config").string(),
      "XDG_DATA_HOME=" + (home / "data").string(),
      "QT_QPA_PLATFORM=offscreen",
      "QT_LOGGING_RULES=keyloft.startup.info=true",
      "LANG=C.UTF-8",
      "PATH=/usr/bin:/bin",
  };
  std::filesystem::create_directories(home / "run");
  ::chmod((home / "run").c_str(), 0700);
  const std::string keyloft = (ExecutableFolder() / "keyloft").string();
  const std::vector<std::string> args = {"--start", "--vhid", (home / "vhid").string()};

  std::vector<double> startMs, openMs;
  for (int run = 0; run < runs; ++run) {
    Program program(keyloft, args, env);
    startMs.push_back(std::chrono::duration<double, std::milli>(program.WaitFor("keyloft.startup: ready") -
                                                                 program.Started())
                          .count());
    program.WaitFor("keyloft.startup: connected");
    const auto asked = Clock::now();
    SendToInstance(home / "run" / "keyloft.socket", app::kOpenMessage);
    program.WaitFor("keyloft.startup: painted");
    openMs.push_back(MsSince(asked));
    if (program.Stop() != 0) Fail("keyloft did not end cleanly on SIGTERM");
  }
  std::printf("start_ms=%.1f\nopen_ms=%.1f\n", Median(startMs), Median(openMs));
  std::fflush(stdout);

  Program program(keyloft, args, env);
  program.WaitFor("keyloft.startup: connected");
  std::this_thread::sleep_for(std::chrono::seconds(1));  // the read-back's tail settles
  const double before = CpuSeconds(program.Pid());
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double used = CpuSeconds(program.Pid()) - before;
  std::printf("idle_cpu_pct=%.3f\nrss_mb=%.1f\n", 100.0 * used / idleSeconds, ResidentMb(program.Pid()));
  std::fflush(stdout);

  // Each cycle waits for the program to see the removal and to finish the
  // read-back of the return. The warm-up fills what is built once (caches,
  // the allocator's pools), so what grows after it grows per cycle.
  const auto plugCycle = [&] {
    keyboard.Control("unplug");
    program.WaitFor("keyloft.startup: removed");
    keyboard.Control("plug");
    program.WaitFor("keyloft.startup: connected");
  };
  for (int i = 0; i < 30; ++i) plugCycle();
  const double rssBefore = ResidentKb(program.Pid());
  for (int i = 0; i < plugCycles; ++i) plugCycle();
  std::printf("rss_growth_kb_per_cycle=%.2f\n", (ResidentKb(program.Pid()) - rssBefore) / plugCycles);
  std::fflush(stdout);

  // The same command, keyloftctl alone (a runtime folder where no program
  // listens) and through the running program.
  const std::string ctl = (ExecutableFolder() / "keyloftctl").string();
  std::vector<std::string> alone = env;
  std::filesystem::create_directories(home / "run-alone");
  ::chmod((home / "run-alone").c_str(), 0700);
  for (std::string& e : alone) {
    if (e.starts_with("XDG_RUNTIME_DIR=")) e = "XDG_RUNTIME_DIR=" + (home / "run-alone").string();
  }
  const std::vector<std::string> profile = {"--vhid", (home / "vhid").string(), "profile"};
  std::vector<double> direct, forwarded;
  for (int i = 0; i < 20; ++i) {
    auto start = Clock::now();
    if (RunToEnd(ctl, profile, alone) != 0) Fail("keyloftctl profile failed alone");
    direct.push_back(MsSince(start));
    start = Clock::now();
    if (RunToEnd(ctl, profile, env) != 0) Fail("keyloftctl profile failed through keyloft");
    forwarded.push_back(MsSince(start));
  }
  std::printf("ctl_direct_ms=%.1f\nctl_forwarded_ms=%.1f\nforward_overhead_ms=%.1f\n", Median(direct),
              Median(forwarded), Median(forwarded) - Median(direct));
  std::fflush(stdout);
}

// ---- The windows in this process ----------------------------------------------------------

// The longest gap between ticks of a 10 ms timer on the Qt thread.
class Heartbeat {
 public:
  Heartbeat() {
    timer_.setInterval(10);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (last_.isValid()) longest_ = std::max(longest_, last_.nsecsElapsed() / 1e6);
      last_.start();
    });
    timer_.start();
  }
  // The longest gap since the last call.
  double Take() {
    const double gap = std::max(longest_, last_.isValid() ? last_.nsecsElapsed() / 1e6 : 0.0);
    longest_ = 0;
    return gap;
  }

 private:
  QTimer timer_;
  QElapsedTimer last_;
  double longest_ = 0;
};

void RunUntil(const std::function<bool()>& done, int limitMs = 60000) {
  QElapsedTimer waited;
  waited.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || waited.elapsed() > limitMs) loop.quit();
  });
  poll.start(1);
  loop.exec();
  if (!done()) Fail("timed out");
}

double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Whether a widget has painted since it was watched.
class FirstPaint : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

void MeasureDialog(app::Application& application, int runs) {
  app::MainWindow& window = application.mainWindow();
  window.show();
  app::KeyDialog& dialog = *window.ownKeyDialog();
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    FirstPaint paint;
    dialog.installEventFilter(&paint);
    double took = -1;
    const Clock::time_point start = Clock::now();
    // The dialog is modal: it is measured and closed from inside its own loop.
    QTimer::singleShot(0, &dialog, [&] {
      RunUntil([&] { return paint.painted; }, 10000);
      took = MsSince(start);
      dialog.cancel();
    });
    dialog.openForKey(0x01E, QRect(100, 100, 40, 40), false);
    dialog.removeEventFilter(&paint);
    if (took < 0) Fail("the key dialog did not open");
    ms.push_back(took);
  }
  std::printf("dialog_first_ms=%.1f\ndialog_ms=%.1f\n", ms.front(), Median(ms));
  std::fflush(stdout);
}

// keyloftctl assign through the windows of this process: from the moment the
// keyboard took the change (its Apply published) to the key's repaint.
void MeasureExternalRedraw(app::Application& application, const std::filesystem::path& home, const Paths& paths) {
  app::MainWindow& window = application.mainWindow();
  window.show();
  const std::vector<std::string> env = {
      "HOME=" + home.string(),
      "XDG_RUNTIME_DIR=" + paths.runtimeFolder.string(),
      "XDG_CONFIG_HOME=" + paths.configHome.string(),
      "XDG_DATA_HOME=" + paths.dataHome.string(),
      "KEYLOFT_VHID_DIR=" + (home / "vhid-stall").string(),
      "LANG=C.UTF-8",
      "PATH=/usr/bin:/bin",
  };
  const std::string ctl = (ExecutableFolder() / "keyloftctl").string();
  ImageButton* key = window.keyButton(0x01E);
  std::vector<double> ms;
  std::atomic<int64_t> appliedAt{0};
  CoreEvents& events = application.core().Events();
  const int subscription = events.Subscribe([&](std::string_view event, int) {
    if (event == "applied") appliedAt = Clock::now().time_since_epoch().count();
  });
  for (int i = 0; i < 9; ++i) {
    const bool ticked = key->isTicked();
    appliedAt = 0;
    FirstPaint paint;
    key->installEventFilter(&paint);
    Program program(ctl, {"assign", "A", ticked ? "default" : "key:B"}, env);
    int status = 0;
    bool ended = false;
    RunUntil([&] {
      if (!ended && ::waitpid(program.Pid(), &status, WNOHANG) == program.Pid()) {
        ended = true;
        program.Forget();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
          Fail("keyloftctl assign failed through the windows: " + std::to_string(WEXITSTATUS(status)));
        }
      }
      // Only a paint of the new state counts.
      if (appliedAt == 0 || key->isTicked() == ticked) paint.painted = false;
      return paint.painted;
    });
    const auto painted = Clock::now();
    key->removeEventFilter(&paint);
    ms.push_back(std::chrono::duration<double, std::milli>(painted.time_since_epoch() -
                                                           Clock::duration(appliedAt.load()))
                     .count());
    if (!ended) ::waitpid(program.Pid(), &status, 0);
    program.Forget();
  }
  events.Unsubscribe(subscription);
  std::printf("external_redraw_ms=%.1f\n", Median(ms));
  std::fflush(stdout);
}

void MeasurePreview(app::Application& application, int seconds) {
  app::MainWindow& window = application.mainWindow();
  window.show();
  app::LightingPanel& panel = *window.ownLightingPanel();
  // The lighting read again after the silent keyboard, as a profile button does.
  application.runner().run([&] { return application.core().Sync().ProfileButton(0); });
  RunUntil([&] { return !application.runner().busy(); });
  static_cast<QAbstractButton*>(panel.control("CONTROL_DengStaPic"))->click();
  RunUntil([&] { return panel.viewShown() && !application.runner().busy(); });
  auto* effects = static_cast<QComboBox*>(panel.control("CONTROL_XGcombox"));
  const int ripple = application.core().Lighting().Modes().IndexOf(13);
  if (ripple < 0) Fail("the keyboard lists no ripple effect");
  effects->setCurrentIndex(ripple);
  emit effects->activated(ripple);
  RunUntil([&] { return !application.runner().busy() && panel.previewRunning(); });

  // Nothing but the window's own timers runs meanwhile.
  const double before = ProcessCpuSeconds();
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  const double used = ProcessCpuSeconds() - before;
  if (!panel.previewRunning()) Fail("the preview stopped");
  std::printf("preview_cpu_pct=%.2f\n", 100.0 * used / seconds);
  std::fflush(stdout);
}

void MeasureStalls(const std::filesystem::path& home, int previewSeconds) {
  Keyboard keyboard(home / "vhid-stall", 1);
  std::filesystem::create_directories(home / "run-stall");
  ::chmod((home / "run-stall").c_str(), 0700);
  Paths paths;
  paths.programFolder = ExecutableFolder();
  paths.dataHome = home / "data-stall";
  paths.stateHome = home / "state-stall";
  paths.configHome = home / "config-stall";
  paths.runtimeFolder = home / "run-stall";

  app::SingleInstance instance(paths.runtimeFolder);
  if (instance.claim(app::kOpenMessage) != app::SingleInstance::Role::First) Fail("no instance lock");
  app::StartOptions options;
  options.vhidDir = (home / "vhid-stall").string();
  app::Application application(options, paths, instance);
  bool ready = false;
  QObject::connect(&application, &app::Application::keyboardReady, [&] { ready = true; });

  Heartbeat heartbeat;
  if (!application.start()) Fail("the skin did not load");
  RunUntil([&] { return ready && !application.runner().busy(); });
  const double readback = heartbeat.Take();

  ProfileEditor& editor = application.core().Editor();
  for (int m = 1; m <= 100; ++m) {
    std::vector<MacroStep> steps;
    for (int s = 0; s < 8; ++s) steps.push_back({10, 0x01E, static_cast<uint16_t>(s % 2)});
    if (editor.AddMacro("Macro " + std::to_string(m), steps, 1, nullptr) != EditResult::Ok) Fail("macro refused");
  }
  heartbeat.Take();
  application.mainWindow().apply();
  RunUntil([&] { return !application.runner().busy(); });
  const double apply = heartbeat.Take();

  keyboard.Control("silent on");
  application.mainWindow().button("FUNC_PROFILE2")->click();
  RunUntil([&] { return !application.runner().busy(); });
  const double silent = heartbeat.Take();
  keyboard.Control("silent off");

  std::printf("stall_ms=%.1f\n", std::max({readback, apply, silent}));
  std::printf("stall_readback_ms=%.1f\nstall_apply_100_macros_ms=%.1f\nstall_silent_keyboard_ms=%.1f\n", readback,
              apply, silent);
  std::fflush(stdout);
  MeasureDialog(application, 9);
  MeasureExternalRedraw(application, home, paths);
  MeasurePreview(application, previewSeconds);
  application.shutdown();
}

}  // namespace
}  // namespace keyloft

int main(int argc, char** argv) {
  int runs = 5;
  int idleSeconds = 60;
  int previewSeconds = 30;
  int plugCycles = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--idle-seconds") idleSeconds = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--preview-seconds") previewSeconds = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--plug-cycles") plugCycles = std::max(1, std::atoi(argv[i + 1]));
  }
  const auto home = std::filesystem::temp_directory_path() / ("keyloft-bench-desktop-" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  keyloft::MeasureProgram(home, runs, idleSeconds, plugCycles);

  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  keyloft::ApplySkinStyle(qt);
  keyloft::MeasureStalls(home, previewSeconds);

  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}

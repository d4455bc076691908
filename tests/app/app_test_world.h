// The desktop program in-process, against a keyloft-virtual-keyboard serve
// process with its trace, each test in a temporary home. Message boxes are
// answered by MessageBoxes, as a user would click them; one that no test
// answers is closed after a while and fails the test rather than hanging it.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "app/application.h"
#include "app/single_instance.h"
#include "json_reader.h"
#include "programs.h"
#include "temp_dir.h"
#include "trace_file.h"

namespace keyloft::test {

// Answers every message box that opens with answer, and keeps its text.
class MessageBoxes : public QObject {
 public:
  explicit MessageBoxes(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box == answered_) return;
      answered_ = box;
      texts_ << box->text();
      QAbstractButton* button = box->button(answer_);
      if (!button) button = box->defaultButton();
      if (button) button->click();
    });
    timer_.start();
  }
  void setAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
  const QStringList& texts() const { return texts_; }
  void clear() { texts_.clear(); }

 private:
  QTimer timer_;
  QMessageBox::StandardButton answer_;
  QPointer<QMessageBox> answered_;
  QStringList texts_;
};

// Closes a message box that has waited 3 s for an answer no test gives, and
// keeps its text.
class StrayBoxes : public QObject {
 public:
  StrayBoxes() {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != seen_) {
        seen_ = box;
        since_.start();
        return;
      }
      if (!box || since_.elapsed() < 3000) return;
      texts_ << box->text();
      since_.start();
      box->reject();
    });
    timer_.start();
  }
  const QStringList& texts() const { return texts_; }

 private:
  QTimer timer_;
  QPointer<QMessageBox> seen_;
  QElapsedTimer since_;
  QStringList texts_;
};

class AppWorld {
 public:
  AppWorld() {
    for (const char* sub : {"data", "config", "run", "scratch", "vhid"}) std::filesystem::create_directories(root_ / sub);
    ::chmod((root_ / "run").c_str(), 0700);
    paths_.programFolder = KEYLOFT_ASSETS_DIR;
    paths_.dataHome = root_ / "data";
    paths_.stateHome = root_ / "state";
    paths_.configHome = root_ / "config";
    paths_.runtimeFolder = root_ / "run";
  }
  ~AppWorld() { Stop(); }

  // The keyboard process, serving before the program starts.
  bool StartKeyboard(std::vector<std::string> serveArgs = {}) {
    serveArgs.insert(serveArgs.end(), {"--trace", trace_.Path().string()});
    keyboard_ = std::make_unique<KeyboardProcess>(root_ / "vhid", std::move(serveArgs), Env(), root_ / "scratch");
    return keyboard_->Ready();
  }
  std::string Ctl(const std::string& words) {
    std::vector<std::string> split;
    for (size_t at = 0; at < words.size();) {
      const size_t end = std::min(words.find(' ', at), words.size());
      split.push_back(words.substr(at, end - at));
      at = end + 1;
    }
    const RunResult r = keyboard_->Ctl(split);
    return r.out + r.err;
  }
  JsonValue Dump() const { return ParseJson(keyboard_->Dump()).value_or(JsonValue{}); }
  int ActiveProfileOnKeyboard() const { return static_cast<int>(Dump()["active_profile"].Int()); }
  int ParamByte(int profile, size_t offset) const {
    const size_t at = (static_cast<size_t>(profile) * 42 + offset) * 2;
    return std::stoi(Dump()["params"].text.substr(at, 2), nullptr, 16);
  }

  // keyloftctl as the same user runs it beside the program (so it finds the
  // program's socket); the event loop runs while it does.
  RunResult Keyloftctl(const std::vector<std::string>& args) {
    BackgroundProgram ctl(KEYLOFTCTL_PATH, args, CtlEnv(), root_ / "scratch");
    [[maybe_unused]] const bool ended = QTest::qWaitFor([&] { return !ctl.Running(); }, 60000);
    RunResult r;
    r.exitCode = ctl.Wait(1);
    r.out = ctl.Out();
    r.err = ctl.Err();
    return r;
  }
  // keyloftctl left running (watch), with the same environment.
  std::unique_ptr<BackgroundProgram> StartKeyloftctl(const std::vector<std::string>& args) {
    return std::make_unique<BackgroundProgram>(KEYLOFTCTL_PATH, args, CtlEnv(), root_ / "scratch");
  }

  // The program, started as keyloft starts it; hidden: --start.
  [[nodiscard]] bool StartProgram(bool hidden = false) {
    instance_ = std::make_unique<app::SingleInstance>(paths_.runtimeFolder);
    if (instance_->claim(app::kOpenMessage) != app::SingleInstance::Role::First) return false;
    app::StartOptions options;
    options.start = hidden;
    hidden_ = hidden;
    options.vhidDir = (root_ / "vhid").string();
    app_ = std::make_unique<app::Application>(options, paths_, *instance_,
                                              app::ApplicationTiming{MonitorTiming{5, 20}});
    readySpy_ = std::make_unique<QSignalSpy>(app_.get(), &app::Application::keyboardReady);
    return app_->start();
  }
  // Waits until the keyboard was read back count times in all and, unless
  // started hidden, until the window its arrival asks for is shown. That
  // request comes after the arrival: a test that went on without it would
  // meet it later, when the keyboard may be gone and a message box waits.
  bool WaitReady(int count = 1) {
    return QTest::qWaitFor([&] {
      opened_ = opened_ || hidden_ || Window().isVisible();
      return opened_ && readySpy_->count() >= count;
    }, 10000);
  }
  // Waits until no sequence runs.
  bool WaitIdle() { return QTest::qWaitFor([&] { return !app_->runner().busy(); }, 10000); }
  void Stop() { app_.reset(); }
  // The texts of the message boxes nobody answered.
  const QStringList& StrayBoxTexts() const { return strayBoxes_.texts(); }

  app::Application& App() { return *app_; }
  app::MainWindow& Window() { return app_->mainWindow(); }
  KeyloftCore& Core() { return app_->core(); }
  TraceFile& Trace() { return trace_; }
  const Paths& AppPaths() const { return paths_; }
  const TempDir& Root() const { return root_; }

 private:
  std::vector<std::string> Env() const {
    return {"HOME=" + root_.Path().string(), "PATH=/usr/bin:/bin"};
  }
  std::vector<std::string> CtlEnv() const {
    return {"HOME=" + root_.Path().string(), "XDG_DATA_HOME=" + paths_.dataHome.string(),
            "XDG_CONFIG_HOME=" + paths_.configHome.string(), "XDG_RUNTIME_DIR=" + paths_.runtimeFolder.string(),
            "KEYLOFT_VHID_DIR=" + (root_ / "vhid").string(), "LANG=en_US.UTF-8", "PATH=/usr/bin:/bin"};
  }

  TempDir root_;
  TraceFile trace_{root_ / "trace.txt"};
  Paths paths_;
  std::unique_ptr<KeyboardProcess> keyboard_;
  std::unique_ptr<app::SingleInstance> instance_;
  std::unique_ptr<app::Application> app_;
  std::unique_ptr<QSignalSpy> readySpy_;
  bool hidden_ = false;
  bool opened_ = false;
  StrayBoxes strayBoxes_;
};

// Ends a test's world; a message box that went unanswered fails the test.
inline void EndWorld(std::unique_ptr<AppWorld>& world) {
  const QStringList stray = world ? world->StrayBoxTexts() : QStringList();
  world.reset();
  QVERIFY2(stray.isEmpty(), qPrintable("unanswered message boxes: " + stray.join(" | ")));
}

}  // namespace keyloft::test

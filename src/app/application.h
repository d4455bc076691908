// The keyloft program as a whole: the core with its sequence thread, the
// main window, the tray, the about box, and the order in which they start and
// end. It answers the core's ports (through DesktopPorts) by handing each call
// to the window part it concerns.
#pragma once

#include <QObject>
#include <QMessageBox>
#include <QPointer>
#include <filesystem>
#include <memory>

#include "app/about_box.h"
#include "app/diagnostics_report.h"
#include "app/command_line.h"
#include "app/desktop_ports.h"
#include "app/main_window.h"
#include "app/sequence_runner.h"
#include "app/single_instance.h"
#include "app/tray.h"
#include "cli/control_server.h"
#include "platform/paths.h"
#include "sync/core.h"
#include "sync/thread_executor.h"
#include "ui/skin/skin_pictures.h"

namespace keyloft::app {

// How often the connection monitor looks; tests shorten it.
struct ApplicationTiming {
  MonitorTiming monitor;
};

class Application : public QObject, private DesktopShell {
  Q_OBJECT

 public:
  Application(StartOptions options, const Paths& paths, SingleInstance& instance, ApplicationTiming timing = {});
  ~Application() override;

  // Builds the windows and starts following the keyboard. False, after saying
  // why on stderr, when the main window's skin cannot be loaded.
  bool start();

  // Open: the window when a keyboard is connected, else a word that there is none.
  void openMainWindow();
  // Exit: the windows close, the device threads stop and are joined, and the
  // event loop ends. Changes not applied are discarded, and stderr says so
  // (keyloft --kill, SIGTERM: nobody is there to ask).
  void shutdown();
  // Exit as the user asks for it (the window's close, the tray's Exit): with
  // changes not applied, asked first whether to apply them, discard them, or
  // keep the program running.
  void requestExit();
  bool stopped() const { return stopped_; }

  MainWindow& mainWindow() { return *window_; }
  KeyloftCore& core() { return *core_; }
  DesktopPorts& ports() { return *ports_; }
  SequenceRunner& runner() { return *runner_; }
  Tray& tray() { return *tray_; }
  bool trayShown() const { return trayShown_; }
  QMessageBox* removedNotice() const { return removedNotice_; }
  DiagnosticsReport* report() const { return report_; }
  AboutBox* aboutBox() const { return about_; }

 signals:
  // The keyboard arrived and its profiles were read back (tests wait on it).
  void keyboardReady();
  void keyboardGone();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showAbout();
  void hideMainWindow();
  void startCompanion();
  // The keyboard went while the window was shown: a tray message, or a notice
  // that waits for nobody.
  void sayKeyboardRemoved();
  // The report button: one report window, the doctor run in it.
  void showReport();

  // DesktopShell
  void showNotice(const QString& text) override;
  bool askYesNo(const QString& text) override;
  void keyboardConnected() override;
  void keyboardRemoved() override;
  void openRequested() override;
  void showTrayIcon(TrayIcon icon) override;
  void setApplyEnabled(bool enabled) override;
  void stopRecording() override;
  void profileManagerShowActive(int profile) override;
  void redrawKeys() override;
  void markProfileButton(int profile) override;
  void refreshProfileCaption() override;
  void showProgress(bool shown) override;
  void refreshLighting(const LightingSnapshot& lighting) override;
  void lightingViewCall(const LightingSnapshot& lighting, const std::function<void(LightingView&)>& call) override;

  StartOptions options_;
  Paths paths_;
  SingleInstance& instance_;
  ApplicationTiming timing_;
  SkinPictureCache cache_;
  // Declared before the core, which uses them, so they outlive it.
  ThreadExecutor executor_;
  std::unique_ptr<DesktopPorts> ports_;
  std::unique_ptr<KeyloftCore> core_;
  // keyloftctl's way to the keyboard while the program owns it; gone before the core.
  std::unique_ptr<cli::ControlServer> control_;
  std::unique_ptr<SequenceRunner> runner_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Tray> tray_;
  QPointer<AboutBox> about_;
  // The "no keyboard" box while it is shown: asked again, it is raised, not stacked.
  QPointer<QMessageBox> noKeyboardBox_;
  QPointer<QMessageBox> removedNotice_;
  QPointer<DiagnosticsReport> report_;
  bool trayShown_ = false;
  bool stopped_ = false;
  bool exitAsked_ = false;
  // The user chose to discard what was pending: nothing more to say of it.
  bool discardChosen_ = false;
  bool awaitingPaint_ = false;
};

}  // namespace keyloft::app

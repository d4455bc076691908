#include "app/application.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <cstdio>

#include "app/help.h"
#include "app/profile_manager.h"
#include "cli/control_protocol.h"
#include "cli/session.h"
#include "store/settings.h"

namespace keyloft::app {
namespace {

// The companion program, started when it is there beside the program.
constexpr const char* kCompanionName = "DiZozovo";

HidTransportConfig Transport(const StartOptions& options) {
  return options.vhidDir ? HidTransportConfig::Vhid(*options.vhidDir) : HidTransportConfig::FromEnvironment();
}

// The moments a benchmark times (QT_LOGGING_RULES="keyloft.startup.info=true"):
// ready (tray or its stand-in), connected (read back), painted (first paint
// after each opening).
Q_LOGGING_CATEGORY(lcStartup, "keyloft.startup", QtWarningMsg)

QString Caption() { return QString::fromUtf8(kApplicationTitle.data(), static_cast<int>(kApplicationTitle.size())); }

}  // namespace

Application::Application(StartOptions options, const Paths& paths, SingleInstance& instance,
                         ApplicationTiming timing)
    : options_(std::move(options)), paths_(paths), instance_(instance), timing_(timing) {
  ports_ = std::make_unique<DesktopPorts>(static_cast<DesktopShell&>(*this));
  core_ = std::make_unique<KeyloftCore>(paths_, Transport(options_), CorePorts{executor_, ports_->Ports()},
                                        CoreOptions{options_.start, timing_.monitor, true});
  ports_->setLanguage(core_->Lang());
  // Read on the sequence thread, which alone changes the lighting.
  ports_->setLightingSource([this] { return core_->KeyColours().Snapshot(); });
  control_ = std::make_unique<cli::ControlServer>(*core_, executor_, cli::TransportKey(Transport(options_)));
  // What keyloftctl changed, the windows show; the sequences it ran have
  // already redrawn what they touched.
  control_->SetAfterCommand([this] { executor_.Post([this] { core_->ShowState(); }); });
  runner_ = std::make_unique<SequenceRunner>(executor_);
  window_ = std::make_unique<MainWindow>(*core_, *runner_, *ports_, cache_, paths_.programFolder);
  window_->setWindowIcon(LoadStateIcon(paths_.programFolder, TrayIcon::Connected));
  tray_ = std::make_unique<Tray>(core_->Lang(), paths_.programFolder);
  if (lcStartup().isInfoEnabled()) window_->installEventFilter(this);

  connect(&instance_, &SingleInstance::openRequested, this, &Application::openMainWindow);
  connect(&instance_, &SingleInstance::killRequested, this, &Application::shutdown);
  connect(tray_.get(), &Tray::openRequested, this, &Application::openMainWindow);
  connect(tray_.get(), &Tray::aboutRequested, this, &Application::showAbout);
  connect(tray_.get(), &Tray::exitRequested, this, &Application::requestExit);
  connect(window_.get(), &MainWindow::dismissed, this, &Application::hideMainWindow);
  connect(window_.get(), &MainWindow::closeRequested, this, &Application::requestExit);
  connect(window_.get(), &MainWindow::reportRequested, this, &Application::showReport);
  connect(window_.get(), &MainWindow::helpRequested, this,
          [this] { OpenManual(paths_.programFolder, core_->Lang(), window_.get()); });
}

Application::~Application() { shutdown(); }

bool Application::start() {
  if (auto error = window_->loadSkin()) {
    std::fprintf(stderr, "keyloft: %s\n", error->Message().c_str());
    return false;
  }
  window_->buildControls();
  trayShown_ = tray_->show();
  if (!trayShown_) {
    // Nothing to click in a tray: a second start is the way back to the window.
    std::fprintf(stderr,
                 "keyloft: there is no system tray on this desktop; start keyloft again to open its window.\n");
  }
  startCompanion();
  core_->Start();
  // keyloftctl goes through this copy from now on; without the socket it
  // opens the keyboard itself, as it does when no copy runs.
  std::string error;
  const std::filesystem::path folder = PrivateRuntimeFolder(paths_);
  if (!folder.empty() && !control_->Start(folder / cli::kControlSocketName, error)) {
    std::fprintf(stderr, "keyloft: keyloftctl cannot reach this copy: %s\n", error.c_str());
  }
  qCInfo(lcStartup) << "ready";
  return true;
}

void Application::startCompanion() {
  const std::filesystem::path companion = paths_.programFolder / kCompanionName;
  std::error_code ec;
  if (std::filesystem::is_regular_file(companion, ec)) {
    QProcess::startDetached(QString::fromStdString(companion.string()), {});
  }
}

void Application::openMainWindow() {
  if (stopped_) return;
  if (core_->Monitor().ReportedConnection() != 1) {
    // Each start of keyloft asks this copy to open: one box says it, however often.
    if (noKeyboardBox_) {
      noKeyboardBox_->raise();
      noKeyboardBox_->activateWindow();
      return;
    }
    QMessageBox box(QMessageBox::Information, Caption(),
                    QString::fromStdString(core_->Lang().GetText("MAIN_NO_DEVICE_PROMPT")), QMessageBox::Ok,
                    window_->isVisible() ? window_.get() : nullptr);
    noKeyboardBox_ = &box;
    box.exec();
    return;
  }
  awaitingPaint_ = !window_->isVisible();
  window_->showNormal();
  window_->raise();
  window_->activateWindow();
  // A message that came before the window (a keyboard that did not answer at
  // once) must not end up hidden behind the window it blocks.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window_.get()) {
    modal->raise();
    modal->activateWindow();
  }
}

void Application::hideMainWindow() {
  // Without a tray a hidden window could not be found again: it goes to the
  // task bar instead. Asked each time: a tray may come or go meanwhile.
  if (Tray::available()) {
    window_->hide();
  } else {
    window_->showMinimized();
  }
}

void Application::showAbout() {
  if (about_) {
    about_->raise();
    about_->activateWindow();
    return;
  }
  about_ = new AboutBox(core_->Lang(), ManualPath(paths_.programFolder));
  connect(about_, &AboutBox::manualRequested, this,
          [this] { OpenManual(paths_.programFolder, core_->Lang(), about_); });
  about_->show();
}

void Application::requestExit() {
  if (stopped_ || exitAsked_) return;
  if (!core_->ChangesPending()) {
    shutdown();
    return;
  }
  const Localisation& lang = core_->Lang();
  auto text = [&](std::string_view key) { return QString::fromStdString(lang.GetText(key)); };
  QMessageBox box(QMessageBox::Question, Caption(), text("MAIN_EXIT_PROMPT"),
                  QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel,
                  window_->isVisible() ? window_.get() : nullptr);
  box.button(QMessageBox::Apply)->setText(text("MAIN_EXIT_APPLY"));
  box.button(QMessageBox::Discard)->setText(text("MAIN_EXIT_DISCARD"));
  box.button(QMessageBox::Cancel)->setText(text("MAIN_EXIT_CANCEL"));
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  exitAsked_ = true;
  const int answer = box.exec();
  exitAsked_ = false;
  if (answer == QMessageBox::Discard) {
    discardChosen_ = true;
    shutdown();
  } else if (answer == QMessageBox::Apply) {
    // The program ends once the keyboard took everything; a failure is said
    // and the program stays, the changes still pending.
    window_->applyThen([this](bool applied) {
      if (applied) shutdown();
    });
  }
}

void Application::shutdown() {
  if (stopped_) return;
  stopped_ = true;
  if (!discardChosen_ && core_->ChangesPending()) {
    std::fprintf(stderr, "keyloft: changes that were not applied to the keyboard are discarded\n");
  }
  window_->hide();
  if (about_) about_->close();
  window_->closeChildDialogs();
  stopRecording();
  tray_->hide();
  // A sequence waiting for an answer gets No; then the device threads and the
  // sequence thread stop, and nothing they use goes away before.
  ports_->close();
  core_->Stop();
  // After the sequence thread: a command still waiting on it is let go.
  control_->Stop();
  QApplication::quit();
}

// ---- What the core's ports say ---------------------------------------------------

void Application::showNotice(const QString& text) {
  QMessageBox::information(window_->isVisible() ? window_.get() : nullptr, Caption(), text);
}

bool Application::askYesNo(const QString& text) {
  return QMessageBox::question(window_->isVisible() ? window_.get() : nullptr, Caption(), text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void Application::keyboardConnected() {
  qCInfo(lcStartup) << "connected";
  emit keyboardReady();
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
  if (awaitingPaint_ && watched == window_.get() && event->type() == QEvent::Paint) {
    awaitingPaint_ = false;
    qCInfo(lcStartup) << "painted";
  }
  return QObject::eventFilter(watched, event);
}

void Application::keyboardRemoved() {
  qCInfo(lcStartup) << "removed";
  // The window the user looks at goes away: said once, never in the way.
  if (window_->isVisible() && !window_->isMinimized()) sayKeyboardRemoved();
  window_->closeChildDialogs();
  if (about_) about_->close();
  hideMainWindow();
  emit keyboardGone();
}

void Application::openRequested() { openMainWindow(); }

void Application::showReport() {
  if (report_) {
    report_->raise();
    report_->activateWindow();
    return;
  }
  // keyloftctl reaches the keyboard this copy serves.
  QStringList arguments;
  if (options_.vhidDir) arguments << QStringLiteral("--vhid") << QString::fromStdString(*options_.vhidDir);
  report_ = new DiagnosticsReport(core_->Lang(), arguments, window_.get());
  report_->show();
  report_->start();
}

void Application::sayKeyboardRemoved() {
  const QString text = QString::fromStdString(core_->Lang().GetText("MAIN_KEYBOARD_REMOVED"));
  if (tray_->showMessage(text)) return;
  if (removedNotice_) return;
  // Owned by the window, so it goes with the program whether or not anyone closed it.
  auto* notice = new QMessageBox(QMessageBox::Information, Caption(), text, QMessageBox::Ok, window_.get());
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->setModal(false);
  removedNotice_ = notice;
  notice->show();
}

void Application::showTrayIcon(TrayIcon icon) { tray_->setState(icon); }

void Application::setApplyEnabled(bool enabled) { window_->setApplyEnabled(enabled); }

void Application::stopRecording() { window_->stopRecording(); }

void Application::profileManagerShowActive(int profile) { window_->profileManagerShowActive(profile); }

void Application::redrawKeys() { window_->redrawKeys(); }

void Application::markProfileButton(int profile) { window_->markProfileButton(profile); }

void Application::refreshProfileCaption() { window_->refreshProfileCaption(); }

void Application::showProgress(bool shown) { window_->showProgress(shown); }

void Application::refreshLighting(const LightingSnapshot& lighting) { window_->refreshLighting(lighting); }

void Application::lightingViewCall(const LightingSnapshot& lighting, const std::function<void(LightingView&)>& call) {
  if (LightingPanelSeam* panel = window_->lightingPanel()) {
    panel->update(lighting);
    call(panel->view());
  }
}

}  // namespace keyloft::app

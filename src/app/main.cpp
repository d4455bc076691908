// keyloft: the desktop program. One copy per user lives in the tray; a later
// start hands its wish (open the window, or end) to the running copy.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/asset_check.h"
#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/termination.h"
#include "platform/paths.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skinned_dialog.h"

namespace {

// Qt ends a program it cannot give a display with a message of its own and a
// crash; say plainly what is missing instead.
bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// While Qt starts, a fatal message (a display that does not answer, no
// platform plugin) ends the program with that one line and exit code 1
// rather than an abort and a core dump.
QtMessageHandler qtDefaultHandler = nullptr;

void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    qtDefaultHandler(type, context, message);
    return;
  }
  std::fprintf(stderr, "keyloft: cannot start the desktop: %s\n", qPrintable(message.section('\n', 0, 0)));
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace keyloft;
  using namespace keyloft::app;
  const std::vector<std::string> words(argv + 1, argv + argc);
  const StartOptions options = ParseStartOptions(words);
  if (!options.error.empty()) {
    std::cerr << "keyloft: " << options.error << "\n" << StartUsage();
    return 2;
  }
  if (options.help) {
    std::cout << StartUsage();
    return 0;
  }
  if (options.version) {
    std::cout << "keyloft " << KEYLOFT_VERSION << "\n";
    return 0;
  }
  if (options.checkAssets) {
    QCoreApplication qt(argc, argv);  // for the image format plugins; no display
    return PrintAssetReport(Paths::FromEnvironment().programFolder, std::cout);
  }
  for (const std::string& word : options.ignored) std::cerr << "keyloft: ignoring '" << word << "'\n";
  if (!HasDisplay()) {
    std::cerr << "keyloft: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                 "keyloftctl reaches the keyboard without one\n";
    return 1;
  }

  qtDefaultHandler = qInstallMessageHandler(StartupMessages);
  QApplication qt(argc, argv);
  qInstallMessageHandler(qtDefaultHandler);
  QApplication::setApplicationName("keyloft");
  QApplication::setApplicationVersion(KEYLOFT_VERSION);
  QApplication::setQuitOnLastWindowClosed(false);  // it lives on in the tray
  const Paths paths = Paths::FromEnvironment();

  SingleInstance instance(PrivateRuntimeFolder(paths));
  switch (instance.claim(options.kill ? kKillMessage : kOpenMessage)) {
    case SingleInstance::Role::Told:
      return 0;
    case SingleInstance::Role::Unreachable:
    case SingleInstance::Role::NoFolder:
      std::cerr << "keyloft: " << instance.error().toStdString() << "\n";
      return 1;
    case SingleInstance::Role::First:
      break;
  }
  // /Kill with no copy running: the program starts as usual.

  ApplySkinStyle(qt);
  Application application(options, paths, instance);
  TerminationSignals termination;
  QObject::connect(&termination, &TerminationSignals::received, &application, &Application::shutdown);
  if (!application.start()) return kSkinFailureExitCode;
  return QApplication::exec();
}

#include "app/tray.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFont>
#include <QString>

namespace keyloft::app {
namespace {

const char* StateFile(TrayIcon state) {
  switch (state) {
    case TrayIcon::Disconnected: return "keyloft-disconnected";
    case TrayIcon::Connected: return "keyloft-connected";
    case TrayIcon::MacroPlaying: return "keyloft-playing";
  }
  return "keyloft-disconnected";
}

// Qt shows the icon through a StatusNotifier host when the session has one.
bool StatusNotifierHost() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  return bus.isConnected() && bus.interface() &&
         bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

}  // namespace

std::filesystem::path StateIconFile(const std::filesystem::path& programFolder, TrayIcon state, int size) {
  return programFolder / "icons" / (std::string(StateFile(state)) + "-" + std::to_string(size) + ".png");
}

QIcon LoadStateIcon(const std::filesystem::path& programFolder, TrayIcon state) {
  QIcon icon;
  for (int size : kStateIconSizes) {
    icon.addFile(QString::fromStdString(StateIconFile(programFolder, state, size).string()), QSize(size, size));
  }
  return icon;
}

Tray::Tray(const Localisation& lang, std::filesystem::path programFolder, QObject* parent)
    : QObject(parent), lang_(lang), programFolder_(std::move(programFolder)) {
  auto text = [this](std::string_view key) { return QString::fromStdString(lang_.GetText(key)); };
  open_ = menu_.addAction(text("MENU_11"));
  QFont bold = open_->font();
  bold.setBold(true);
  open_->setFont(bold);
  menu_.setDefaultAction(open_);
  connect(open_, &QAction::triggered, this, &Tray::openRequested);
  connect(menu_.addAction(text("MENU_22")), &QAction::triggered, this, &Tray::aboutRequested);
  connect(menu_.addAction(text("MENU_33")), &QAction::triggered, this, &Tray::exitRequested);
  icon_.setContextMenu(&menu_);
  icon_.setIcon(LoadStateIcon(programFolder_, state_));
  showStateInToolTip();
  connect(&icon_, &QSystemTrayIcon::activated, this, &Tray::activated);
}

bool Tray::available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool Tray::show() {
  singleClickOpens_ = StatusNotifierHost();
  icon_.show();
  return available();
}

bool Tray::showMessage(const QString& text) {
  // Through the desktop's notifications (a StatusNotifier host) only: Qt's own
  // balloon for an old-style tray ignores the program's colours and is hard to read.
  if (!available() || !icon_.isVisible() || !StatusNotifierHost() || !QSystemTrayIcon::supportsMessages()) return false;
  icon_.showMessage(QStringLiteral("Keyloft"), text, QSystemTrayIcon::Information, 5000);
  return true;
}

void Tray::hide() { icon_.hide(); }

void Tray::setState(TrayIcon state) {
  if (state == state_) return;
  state_ = state;
  icon_.setIcon(LoadStateIcon(programFolder_, state));
  showStateInToolTip();
}

void Tray::showStateInToolTip() {
  const char* key = state_ == TrayIcon::Disconnected ? "TRAY_NO_KEYBOARD"
                    : state_ == TrayIcon::MacroPlaying ? "TRAY_PLAYING"
                                                       : "TRAY_CONNECTED";
  icon_.setToolTip(QString::fromStdString(lang_.GetText("KEYBOARD_TRAY_DESC")) + QStringLiteral("\n") +
                   QString::fromStdString(lang_.GetText(key)));
}

void Tray::activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick || (reason == QSystemTrayIcon::Trigger && singleClickOpens_)) {
    emit openRequested();
  }
}

}  // namespace keyloft::app

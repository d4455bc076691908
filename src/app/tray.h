// The tray icon: the keyboard's state in three pictures, a tooltip, and a menu
// (Open in bold, About, Exit). A double-click opens the window; where the tray
// is a StatusNotifier host (KDE, GNOME's AppIndicator extension), which sends
// one activation and never a double-click, a single click opens it, so the
// icon is never a dead end. Without any tray the program runs all the same;
// the application tells the user how to reach it.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <filesystem>
#include <memory>

#include "device/device_events.h"
#include "lang/localisation.h"

namespace keyloft::app {

// The sizes the artwork program draws each state's icon at.
inline constexpr int kStateIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// One size of a state's icon in the program's icons/ folder.
std::filesystem::path StateIconFile(const std::filesystem::path& programFolder, TrayIcon state, int size);
// The icon of a state, every size the artwork program drew.
QIcon LoadStateIcon(const std::filesystem::path& programFolder, TrayIcon state);

class Tray : public QObject {
  Q_OBJECT

 public:
  Tray(const Localisation& lang, std::filesystem::path programFolder, QObject* parent = nullptr);

  // Whether a tray is there to show the icon in.
  static bool available();
  // Shows the icon, and keeps it asked for: a tray that comes after the
  // program (a panel started later) takes it then. False when there is no
  // tray now.
  bool show();
  void hide();
  // The icon and its tooltip, which says whether a keyboard is connected.
  void setState(TrayIcon state);
  QString toolTip() const { return icon_.toolTip(); }
  // A passing message from the icon through the desktop's notifications;
  // false when there are none to show it.
  bool showMessage(const QString& text);
  TrayIcon state() const { return state_; }
  QMenu& menu() { return menu_; }
  QAction* openAction() const { return open_; }

 signals:
  void openRequested();
  void aboutRequested();
  void exitRequested();

 private:
  void activated(QSystemTrayIcon::ActivationReason reason);
  void showStateInToolTip();

  const Localisation& lang_;
  std::filesystem::path programFolder_;
  QSystemTrayIcon icon_;
  QMenu menu_;
  QAction* open_ = nullptr;
  TrayIcon state_ = TrayIcon::Disconnected;
  bool singleClickOpens_ = false;
};

}  // namespace keyloft::app

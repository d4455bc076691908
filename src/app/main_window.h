// The main window: the keyboard drawn as key buttons, the profile and
// report-rate buttons, Flip, the links, Help, the backup menu, Apply, OK and
// Cancel, all placed from the skin's Main.ini. It turns clicks into calls on
// the core (edits at once, anything that talks to the keyboard through the
// sequence runner) and shows what the core's ports tell it. The lighting panel
// and the key dialog plug in through LightingPanelSeam and KeyEditorSeam.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/clock_watch.h"
#include "app/desktop_ports.h"
#include "app/sequence_runner.h"
#include "sync/core.h"
#include "sync/scheme_editor.h"
#include "ui/controls/image_button.h"
#include "ui/skin/skin_pictures.h"
#include "app/skinned_window.h"

namespace keyloft::app {

class ProfileManagerDialog;
class KeyDialog;
class LightingPanel;

// Where a key click goes outside the lighting view: the key dialog.
class KeyEditorSeam {
 public:
  virtual ~KeyEditorSeam() = default;
  // Opens the dialog for a key (or a G-key) beside its button; macroOnly for
  // the macro button, which edits G9's macro.
  virtual void openForKey(KeyCode key, const QRect& buttonOnScreen, bool macroOnly) = 0;
  virtual void closeIfOpen() = 0;
};

// The lighting panel: the LED pictures toggle its view, and in the view a
// click on a key paints it.
class LightingPanelSeam {
 public:
  virtual ~LightingPanelSeam() = default;
  virtual bool viewShown() const = 0;
  virtual void paintKey(KeyCode key) = 0;
  // Every control in line with the lighting.
  virtual void refresh(const LightingSnapshot& lighting) = 0;
  // The lighting as it is now, before one of the view's calls.
  virtual void update(const LightingSnapshot& lighting) = 0;
  virtual LightingView& view() = 0;
};

class MainWindow : public SkinnedWindow {
  Q_OBJECT

 public:
  MainWindow(KeyloftCore& core, SequenceRunner& runner, DesktopPorts& ports, SkinPictureCache& cache,
             std::filesystem::path programFolder, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Places every control and gives it its pictures and texts; after loadSkin().
  void buildControls();

  LightingPanelSeam* lightingPanel() const { return lightingPanel_; }

  // What the core's ports say, on the Qt thread.
  void redrawKeys();
  void markProfileButton(int profile);
  void refreshProfileCaption();
  void setApplyEnabled(bool enabled);
  void showProgress(bool shown);
  void refreshLighting(const LightingSnapshot& lighting);
  void profileManagerShowActive(int profile);
  // The keyboard went away: the open dialogs close.
  void closeChildDialogs();

  // Backup and Restore after their file dialogs. A backup that fails says so
  // and returns false; a restore runs on the sequence thread.
  bool backupTo(const QString& file);
  void restoreFrom(const QString& file);

  ImageButton* keyButton(KeyCode key) const;
  // The keyboard view's buttons: the keys, the G keys and Fn.
  const std::map<KeyCode, ImageButton*>& keyButtons() const { return keys_; }
  // One of the skin's whole-window pictures, cut as the buttons use them.
  const QPixmap& windowPicture(std::string_view file);
  LightingPanel* ownLightingPanel() const { return ownPanel_.get(); }
  KeyDialog* ownKeyDialog() const { return ownKeyDialog_.get(); }
  // The core wants a running recording stopped (before Apply, on a profile change).
  void stopRecording();
  ProfileManagerDialog* profileManager() const { return profileManager_.get(); }

 signals:
  // OK (after its Apply) and Cancel: the window goes out of sight.
  void dismissed();
  // The Close button: the program ends.
  void closeRequested();
  void helpRequested();
  // The report button: a diagnostics report for a bug report.
  void reportRequested();

 public slots:
  void apply();
  // Apply, then done(true) on the Qt thread when the changes reached the
  // keyboard (or nothing was pending); a failure is said first.
  void applyThen(std::function<void(bool applied)> done);
  // Escape, or the window manager's close: out of sight, like Cancel.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void placeButtons();
  void wire();
  void keyClicked(KeyCode key);
  void profileClicked(int profile);
  void reportRateClicked(int rate);
  void toggleFlip();
  void applyFlip();
  void restoreDefaults();
  void openProfileManager();
  void backup();
  void restore();
  void openLink(const std::string& key);
  void setBusy(bool busy);
  void showApplyOutcome(const ApplyOutcome& outcome);
  // The key dialog for a key, beside its button; macroOnly: the macro page alone.
  void openKeyEditor(KeyCode key, bool macroOnly);
  void stepProgress();
  // What a key's tooltip adds when the keyboard keeps no assignment for it.
  QString notKept(KeyCode key) const;

  KeyloftCore& core_;
  SequenceRunner& runner_;
  DesktopPorts& ports_;
  SkinPictureCache& cache_;
  std::filesystem::path programFolder_;
  std::map<KeyCode, ImageButton*> keys_;
  QLabel* progress_ = nullptr;
  QLabel* reportRateLabel_ = nullptr;
  QTimer progressTimer_;
  int progressStep_ = 0;
  bool progressShown_ = false;
  bool applyEnabled_ = false;
  int flip_ = 0;
  KeyEditorSeam* keyEditor_ = nullptr;
  LightingPanelSeam* lightingPanel_ = nullptr;
  std::unique_ptr<LightingPanel> ownPanel_;
  std::unique_ptr<KeyDialog> ownKeyDialog_;
  std::unique_ptr<ProfileManagerDialog> profileManager_;
  ClockChangeWatcher clockWatch_;
};

}  // namespace keyloft::app

// The key dialog: what one key or G-key does, on four pages (single key,
// macro, media, keyboard function), and the program's macro editor with its
// recorder. Skinned from Composite.ini. The rules live in the core's
// KeyEditSession; this window turns clicks and key events into its calls and
// shows what they leave.
//
// Keys are captured (single-key page) and recorded through one application
// event filter, installed only while the dialog is open; the key comes from the
// event's native scan code, so the Win keys are caught by what they are. While
// a key is awaited and the dialog is the active window it grabs the keyboard,
// so the desktop does not act on Super; it lets go when it loses activation.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/desktop_ports.h"
#include "app/main_window.h"
#include "sync/core.h"
#include "sync/key_edit_session.h"
#include "ui/controls/image_button.h"
#include "ui/controls/report_list.h"
#include "ui/controls/transparent_label.h"
#include "ui/skin/skin_pictures.h"
#include "app/skinned_window.h"

class QKeyEvent;

namespace keyloft::app {

// The first on-screen keyboard program found on PATH, or empty.
QString FindOnScreenKeyboard();

class KeyDialog : public SkinnedWindow, public KeyEditorSeam {
  Q_OBJECT

 public:
  KeyDialog(KeyloftCore& core, DesktopPorts& ports, SkinPictureCache& cache, const std::filesystem::path& programFolder,
            QWidget* parent = nullptr);
  ~KeyDialog() override;

  // KeyEditorSeam: shows the dialog (modal) until OK or Cancel.
  void openForKey(KeyCode key, const QRect& buttonOnScreen, bool macroOnly) override;
  void closeIfOpen() override;

  bool isOpen() const { return session_ != nullptr; }
  // The open session, for the window's own tests.
  KeyEditSession* session() const { return session_.get(); }
  ReportList& steps() const { return *steps_; }
  QComboBox& macroBox() const { return *macros_; }
  QComboBox& mouseBox() const { return *mouse_; }
  // The key's name on the title line, and whether the keyboard keeps what is set.
  QLabel& editedKeyLabel() const { return *editedKey_; }
  QLineEdit& cyclesBox() const { return *cycles_; }
  QLineEdit& captureBox() const { return *capture_; }
  QCheckBox& recordDelayBox() const { return *recordDelay_; }
  QLabel& memoryLabel() const { return *memoryText_; }
  bool keyboardGrabbed() const { return grabbed_; }
  // Where the dialog went on its last opening.
  QPoint placedAt() const { return placedAt_; }

  // The buttons as a click runs them (the tests' and the skin's way in).
  // False when nothing could be applied (the user was told).
  bool apply();
  void ok();
  void cancel();
  void toggleRecording();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void placeControls();
  void placeTitle(const SkinLayout& layout);
  void placeChoicePages(const SkinLayout& layout);
  void placeMacroPage(const SkinLayout& layout);
  void setTexts();
  // What stays for the whole opening: macro-only mode, the record-delay option.
  void showMode();
  void showPageControls();
  void showSteps();
  void showMacroList();
  void showMemory();
  void showGaugeColour(bool fits);
  void showRecording();
  void refresh();
  void place(const QRect& buttonOnScreen);
  void updateGrab();
  // Filter, grab, recording and session let go; finish also closes.
  void release();
  void finish(int result);
  bool handleKey(QKeyEvent* event);
  // An in-place edit of a step, taken after the list closed its editor.
  void deferEdit(std::function<void()> edit);
  void takePendingEdit();
  void stepEdited(int row, int column, int index);
  void delayEdited(int row, const QString& text);
  void addMacro();
  void deleteMacro();
  void clearSteps();
  void nameTyped(const QString& text);
  void cyclesTyped(const QString& text);
  bool ask(std::string_view key);

  KeyloftCore& core_;
  DesktopPorts& ports_;
  SkinPictureCache& cache_;
  std::filesystem::path programFolder_;
  std::unique_ptr<KeyEditSession> session_;
  QLineEdit* capture_ = nullptr;
  QComboBox* media_ = nullptr;
  QComboBox* mouse_ = nullptr;
  QComboBox* function_ = nullptr;
  QComboBox* macros_ = nullptr;
  ReportList* steps_ = nullptr;
  QLineEdit* cycles_ = nullptr;
  QCheckBox* recordDelay_ = nullptr;
  TransparentLabel* editedKey_ = nullptr;
  TransparentLabel* cyclesLabel_ = nullptr;
  TransparentLabel* recordDelayLabel_ = nullptr;
  QLabel* memoryText_ = nullptr;
  QProgressBar* memoryBar_ = nullptr;
  QElapsedTimer clock_;  // steady: the recorded pauses
  bool showing_ = false;  // the controls are being filled, not edited
  // The user types in the name box: a refresh leaves its text alone.
  bool typingName_ = false;
  bool grabbed_ = false;
  bool filterInstalled_ = false;
  QPoint placedAt_;
  const SkinImageNames* maskSet_ = nullptr;  // the page background shown
  std::optional<bool> gaugeFits_;            // the gauge's colour shown
  QString osk_;
  std::function<void()> pendingEdit_;
};

}  // namespace keyloft::app

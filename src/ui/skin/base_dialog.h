// The skinned dialog every window is built on: no frame, its look is the
// background picture, its outline is cut from the mask picture, and a press
// anywhere on its own surface drags it as a caption would.
//
// Qt paints through a back buffer already, so no separate double-buffering
// surface is needed for the pictures drawn here.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QRegion>
#include <filesystem>
#include <optional>
#include <string>

#include "ui/skin/skin_layout.h"

namespace keyloft {

// Why a dialog's skin could not be loaded: the file and what went wrong.
struct SkinLoadError {
  std::filesystem::path file;
  std::string reason;
  // One line for the user, naming the file.
  std::string Message() const;
};

// The exit code of a process whose window has no usable background or mask.
inline constexpr int kSkinFailureExitCode = 3;

// Prints the error on stderr and ends the process with kSkinFailureExitCode.
// A window without its pictures has no face and no outline to show, so the
// program cannot go on; but it must say why rather than vanish successfully.
[[noreturn]] void ExitForSkinFailure(const SkinLoadError& error);

class CBaseDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CBaseDialog(std::filesystem::path layoutFile, QWidget* parent = nullptr);

  const SkinLayout& Layout() const { return layout_; }

  // Reads SCREEN, loads the background and mask, sizes the window to the
  // background and applies the outline. Nothing changes on failure.
  std::optional<SkinLoadError> LoadDialogSkin();

  const QPixmap& Background() const { return background_; }
  const QRegion& Outline() const { return outline_; }

 protected:
  // Runs once per showing, before the window appears: loads the skin and ends
  // the process when it cannot. Windows extend it to place their controls.
  virtual void InitDialog();

  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void done(int result) override;

 private:
  void ReleaseSkin();

  SkinLayout layout_;
  QPixmap background_;  // already shaped: transparent outside the outline
  QRegion outline_;
  bool initialised_ = false;
  std::optional<QPoint> dragOffset_;  // when the window system cannot move us
};

}  // namespace keyloft

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

// The exit code of a program that stops because a window has no usable
// background or mask: without its pictures a window has no face and no
// outline to show, and the program must say so rather than vanish successfully.
inline constexpr int kSkinFailureExitCode = 3;

class SkinnedDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SkinnedDialog(std::filesystem::path layoutFile, QWidget* parent = nullptr);

  const SkinLayout& skinLayout() const { return layout_; }

  // Reads SCREEN, loads the background and mask, sizes the window to the
  // background and applies the outline. The owner calls it before every
  // opening, since closing releases the pictures, and decides what a failure
  // means; nothing changes on failure.
  [[nodiscard]] std::optional<SkinLoadError> loadSkin();

  const QPixmap& backgroundPicture() const { return background_; }
  const QRegion& outline() const { return outline_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void done(int result) override;

 private:
  void releaseSkin();

  SkinLayout layout_;
  QPixmap background_;  // already shaped: transparent outside the outline
  QRegion outline_;
  std::optional<QPoint> pressedAt_;  // the left button is down on the background, no move yet
  std::optional<QPoint> dragOffset_;  // when the window system cannot move us
};

}  // namespace keyloft

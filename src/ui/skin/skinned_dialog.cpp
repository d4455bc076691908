#include "ui/skin/skinned_dialog.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/skin/outline.h"
#include "ui/skin/skin_entries.h"

namespace keyloft {
namespace {

// Reads and decodes one picture; the reason names what failed.
std::optional<SkinLoadError> LoadPicture(const std::filesystem::path& file, QImage& out) {
  QFile input(QString::fromStdString(file.string()));
  if (!input.open(QIODevice::ReadOnly))
    return SkinLoadError{file, "cannot be read (" + input.errorString().toStdString() + ")"};
  QImageReader reader(&input);
  out = reader.read();
  if (out.isNull())
    return SkinLoadError{file, "cannot be decoded as a picture (" + reader.errorString().toStdString() + ")"};
  return std::nullopt;
}

}  // namespace

std::string SkinLoadError::Message() const {
  return "skin file \"" + file.string() + "\" " + reason;
}

SkinnedDialog::SkinnedDialog(std::filesystem::path layoutFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), layout_(std::move(layoutFile)) {
  setAttribute(Qt::WA_TranslucentBackground);
}

std::optional<SkinLoadError> SkinnedDialog::loadSkin() {
  std::string mainName = layout_.Screen("Main");
  if (mainName.empty())
    return SkinLoadError{layout_.File(), "names no background picture (SCREEN/Main is missing or empty)"};
  std::string maskName = layout_.Screen("Mask", mainName);
  if (maskName.empty()) maskName = mainName;

  QImage background, mask;
  if (auto error = LoadPicture(layout_.PicturePath(mainName), background)) return error;
  if (maskName == mainName) {
    mask = background;  // no mask of its own: the outline is cut from the background
  } else if (auto error = LoadPicture(layout_.PicturePath(maskName), mask)) {
    return error;
  }

  QRegion outline = OutlineFromMask(mask);
  // All white would leave a window nobody can see or reach.
  if (outline.isEmpty())
    return SkinLoadError{layout_.PicturePath(maskName), "has no pixel inside the window outline (all pure white)"};
  outline_ = outline;
  background_ = QPixmap::fromImage(ShapeBackground(background, outline_));
  setFixedSize(background.size());
  setMask(outline_);
  update();
  return std::nullopt;
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawPixmap(0, 0, background_);
}

void SkinnedDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  // A click is not a move: the move starts once the pointer has travelled
  // the drag distance with the button held.
  pressedAt_ = event->globalPosition().toPoint();
  dragOffset_.reset();
}

void SkinnedDialog::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) {
    pressedAt_.reset();
    dragOffset_.reset();
  } else if (dragOffset_) {
    move(event->globalPosition().toPoint() - *dragOffset_);
  } else if (pressedAt_ &&
             (event->globalPosition().toPoint() - *pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
    const QPoint pressed = *pressedAt_;
    pressedAt_.reset();
    // Let the window system move us where it can (Wayland allows nothing else).
    if (QWindow* window = windowHandle(); !window || !window->startSystemMove()) {
      dragOffset_ = pressed - pos();
      move(event->globalPosition().toPoint() - *dragOffset_);
    }
  }
  QDialog::mouseMoveEvent(event);
}

void SkinnedDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressedAt_.reset();
    dragOffset_.reset();
  }
  QDialog::mouseReleaseEvent(event);
}

void SkinnedDialog::done(int result) {
  releaseSkin();
  QDialog::done(result);
}

void SkinnedDialog::releaseSkin() {
  background_ = QPixmap();
  outline_ = QRegion();
}

}  // namespace keyloft

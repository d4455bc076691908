#include "ui/controls/picture_button.h"

#include <QPainter>

namespace keyloft {

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
}

void PictureButton::setPicture(const QPixmap& picture) {
  if (picture.cacheKey() == picture_.cacheKey()) return;
  picture_ = picture;
  update();
}

QSize PictureButton::sizeHint() const { return picture_.isNull() ? QSize(16, 16) : picture_.size(); }

void PictureButton::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  // Skins cut their pictures to the control's size; another size is scaled.
  if (picture_.size() == size()) painter.drawPixmap(0, 0, picture_);
  else painter.drawPixmap(rect(), picture_);
}

}  // namespace keyloft

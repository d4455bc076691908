#include "ui/controls/bitmap_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace keyloft {

CBitmapSlider::CBitmapSlider(int id, QWidget* parent) : QWidget(parent), id_(id) {
  setFocusPolicy(Qt::StrongFocus);
}

void CBitmapSlider::SetBitmapChannel(const QPixmap& channel) {
  channel_ = channel;
  updateGeometry();
  update();
}

void CBitmapSlider::SetBitmapThumb(const QPixmap& normal, const QPixmap& pressed) {
  thumb_ = normal;
  thumbPressed_ = pressed;
  update();
}

void CBitmapSlider::SetRange(int min, int max) {
  if (min > max) std::swap(min, max);
  min_ = min;
  max_ = max;
  SetPos(pos_);
}

void CBitmapSlider::SetPageSize(int size) { pageSize_ = std::max(1, size); }

void CBitmapSlider::SetPos(int pos) {
  const int clamped = std::clamp(pos, min_, max_);
  if (clamped == pos_) return;
  pos_ = clamped;
  update();
}

QSize CBitmapSlider::sizeHint() const {
  if (channel_.isNull()) return {100, std::max(20, thumb_.height())};
  return channel_.deviceIndependentSize().toSize().expandedTo({1, thumb_.height()});
}

int CBitmapSlider::Travel() const {
  // Without a thumb the positions spread over the whole width, from the
  // first pixel column to the last.
  return std::max(0, width() - std::max(1, thumb_.width()));
}

int CBitmapSlider::PosAtX(int x) const {
  const int travel = Travel();
  if (travel == 0 || max_ == min_) return min_;
  // The thumb's centre follows the pointer.
  const int left = std::clamp(x - thumb_.width() / 2, 0, travel);
  return min_ + static_cast<int>(std::lround(double(left) * (max_ - min_) / travel));
}

void CBitmapSlider::MoveByMouse(int x) {
  const int pos = PosAtX(x);
  if (pos == pos_) return;
  pos_ = pos;
  update();
  emit moving(id_, pos_);
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!channel_.isNull()) painter.drawPixmap(0, 0, channel_);
  if (thumb_.isNull()) return;
  const QPixmap& thumb = pressed_ && !thumbPressed_.isNull() ? thumbPressed_ : thumb_;
  const int span = max_ - min_;
  const int x = span == 0 ? 0 : static_cast<int>(std::lround(double(pos_ - min_) * Travel() / span));
  painter.drawPixmap(x, (height() - thumb.height()) / 2, thumb);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressed_ = true;
  update();
  MoveByMouse(event->position().toPoint().x());
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) return QWidget::mouseMoveEvent(event);
  MoveByMouse(event->position().toPoint().x());
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  MoveByMouse(event->position().toPoint().x());
  pressed_ = false;
  update();
  emit moved(id_, pos_);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  int target = pos_;
  switch (event->key()) {
    // As a Windows track bar: Up moves toward the minimum, Down toward the maximum.
    case Qt::Key_Left:
    case Qt::Key_Up: target = pos_ - 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target = pos_ + 1; break;
    case Qt::Key_PageUp: target = pos_ - pageSize_; break;
    case Qt::Key_PageDown: target = pos_ + pageSize_; break;
    case Qt::Key_Home: target = min_; break;
    case Qt::Key_End: target = max_; break;
    default: return QWidget::keyPressEvent(event);
  }
  event->accept();
  target = std::clamp(target, min_, max_);
  if (target == pos_) return;
  pos_ = target;
  update();
  emit moved(id_, pos_);
}

}  // namespace keyloft

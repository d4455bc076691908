#include "ui/controls/pixmap_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace keyloft {

PixmapSlider::PixmapSlider(QWidget* parent) : QAbstractSlider(parent) {
  setOrientation(Qt::Horizontal);
  // As a track bar: Up and Page Up move toward the minimum.
  setInvertedControls(true);
  setFocusPolicy(Qt::StrongFocus);
}

void PixmapSlider::setChannelPixmap(const QPixmap& channel) {
  channel_ = channel;
  updateGeometry();
  update();
}

void PixmapSlider::setThumbPixmaps(const QPixmap& normal, const QPixmap& pressed) {
  thumb_ = normal;
  thumbPressed_ = pressed;
  update();
}

QSize PixmapSlider::sizeHint() const {
  if (channel_.isNull()) return {100, std::max(20, thumb_.height())};
  return channel_.deviceIndependentSize().toSize().expandedTo({1, thumb_.height()});
}

int PixmapSlider::travel() const {
  // Without a thumb the values spread over the whole width, from the first
  // pixel column to the last.
  return std::max(0, width() - std::max(1, thumb_.width()));
}

int PixmapSlider::valueAtX(int x) const {
  const int span = maximum() - minimum();
  if (travel() == 0 || span == 0) return minimum();
  // The thumb's centre follows the pointer.
  const int left = std::clamp(x - thumb_.width() / 2, 0, travel());
  return minimum() + static_cast<int>(std::lround(double(left) * span / travel()));
}

void PixmapSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!channel_.isNull()) painter.drawPixmap(0, 0, channel_);
  if (thumb_.isNull()) return;
  const QPixmap& thumb = isSliderDown() && !thumbPressed_.isNull() ? thumbPressed_ : thumb_;
  const int span = maximum() - minimum();
  const int x = span == 0 ? 0 : static_cast<int>(std::lround(double(sliderPosition() - minimum()) * travel() / span));
  painter.drawPixmap(x, (height() - thumb.height()) / 2, thumb);
}

void PixmapSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractSlider::mousePressEvent(event);
  setSliderDown(true);
  update();
  setSliderPosition(valueAtX(event->position().toPoint().x()));
}

void PixmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!isSliderDown()) return QAbstractSlider::mouseMoveEvent(event);
  setSliderPosition(valueAtX(event->position().toPoint().x()));
}

void PixmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isSliderDown()) return QAbstractSlider::mouseReleaseEvent(event);
  setSliderPosition(valueAtX(event->position().toPoint().x()));
  setSliderDown(false);
  update();
  // Reported whether or not the value changed: the owner takes a release as the user's choice.
  emit userMoved(value());
}

void PixmapSlider::keyPressEvent(QKeyEvent* event) {
  const int before = value();
  // Left and Right move the way they point; Qt turns them with inverted controls.
  if (event->key() == Qt::Key_Left) {
    triggerAction(SliderSingleStepSub);
  } else if (event->key() == Qt::Key_Right) {
    triggerAction(SliderSingleStepAdd);
  } else {
    QAbstractSlider::keyPressEvent(event);
  }
  if (value() != before) emit userMoved(value());
}

void PixmapSlider::wheelEvent(QWheelEvent* event) {
  // Left to the window: Qt's three lines a notch would skip most of a
  // five-value range, and the lighting panel moves by mouse and keys only.
  event->ignore();
}

}  // namespace keyloft

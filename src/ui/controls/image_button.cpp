#include "ui/controls/image_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "util/text.h"

namespace keyloft {
namespace {

constexpr size_t kCaptionChars = 259;

// The slot of each look in a SkinImageSet and in the text colours.
int SlotOf(ImageButton::Look look) {
  switch (look) {
    case ImageButton::Look::Over: return 1;
    case ImageButton::Look::Pressed: return 2;
    case ImageButton::Look::Disabled: return 3;
    case ImageButton::Look::Ticked: return 4;
    default: return 0;
  }
}

}  // namespace

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
  textColors_.fill(QColor(Qt::black));
  // Drawn wholly from pictures: nothing of the platform's button look.
  setFocusPolicy(Qt::TabFocus);
  // Moves without a button pressed, so the over look returns after a re-skin
  // while the pointer rests on the button.
  setMouseTracking(true);
}

void ImageButton::setSkin(QPoint origin, const SkinImageSet& pictures) {
  origin_ = origin;
  setPictures(pictures);
}

void ImageButton::setPictures(const SkinImageSet& pictures) {
  pictures_ = pictures;
  clearPointerState();
  update();
}

void ImageButton::setAlternativePictures(const QPixmap* picture0, const QPixmap* picture1, bool on, bool select) {
  alternativePictures_[0] = picture0;
  alternativePictures_[1] = picture1;
  alternativeMode_ = on;
  alternativeSelect_ = select;
  clearPointerState();
  update();
}

void ImageButton::setTicked(bool ticked) {
  ticked_ = ticked;
  update();
}

void ImageButton::setColorFrame(QColor color, int percent, bool on) {
  frameColor_ = color;
  framePercent_ = std::min(percent, 100);
  frameMode_ = on;
  update();
}

void ImageButton::setTextStyle(bool drawText, int pointSize, const QString& fontFace,
                              const std::array<QColor, 5>& colors, Qt::Alignment alignment) {
  drawText_ = drawText;
  pointSize_ = pointSize;
  fontFace_ = fontFace;
  textColors_ = colors;
  alignment_ = alignment;
  update();
}

void ImageButton::setTextAngle(int tenthsOfDegree, bool rotated) {
  textAngle_ = tenthsOfDegree;
  rotated_ = rotated;
  update();
}

void ImageButton::setTooltipText(const QString& text, bool activate) {
  if (text.isEmpty()) return;
  tooltipText_ = text;
  setToolTip(activate ? text : QString());
}

ImageButton::Look ImageButton::currentLook() const {
  if (!isEnabled()) return Look::Disabled;
  if (alternativeMode_) return alternativeSelect_ ? Look::Alternative1 : Look::Alternative0;
  if (isDown()) return Look::Pressed;
  if (hover_) return Look::Over;
  if (ticked_) return Look::Ticked;
  return Look::Normal;
}

const QPixmap* ImageButton::pictureOf(Look look) const {
  if (look == Look::Alternative0) return alternativePictures_[0];
  if (look == Look::Alternative1) return alternativePictures_[1];
  return pictures_.pictures[SlotOf(look)];
}

QColor ImageButton::textColorOf(Look look) const { return textColors_[SlotOf(look)]; }

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Look look = currentLook();
  if (frameMode_) {
    // A 2-pixel pen centred on the rectangle (1, 1)-(width - 1, height - 1), square corners.
    QPen pen(frameColor_, 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, width() - 2, height() - 2));
  } else if (const QPixmap* picture = pictureOf(look)) {
    painter.drawPixmap(QPoint(0, 0), *picture, QRect(origin_ - QPoint(1, 1), size()));
  }
  if (drawText_) drawCaption(painter, look);
  if (dimWhenDisabled_ && !isEnabled()) painter.fillRect(rect(), QColor(0x10, 0x12, 0x15, 150));
  painter.end();
  if (drawCallback_) drawCallback_(*this, look == Look::Normal && !frameMode_);
}

void ImageButton::drawCaption(QPainter& painter, Look look) {
  QString caption = QString::fromStdString(std::string(TruncateCodePoints(text().toStdString(), kCaptionChars)));
  QFont font(fontFace_);
  // Points to pixels at the screen's resolution, rounded to nearest.
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pointSize_ * logicalDpiY() / 72.0))));
  font.setWeight(rotated_ ? QFont::Black : QFont::Normal);
  painter.setFont(font);
  painter.setPen(textColorOf(look));
  painter.setRenderHint(QPainter::TextAntialiasing);
  if (textAngle_ == 0) {
    painter.drawText(rect(), static_cast<int>(alignment_ | Qt::TextSingleLine), caption);
    return;
  }
  QFontMetrics metrics(font);
  if (!rotated_) {
    // Turned about the start of the run, where the layout puts it.
    QRect run = metrics.boundingRect(rect(), static_cast<int>(alignment_ | Qt::TextSingleLine), caption);
    painter.save();
    painter.translate(run.bottomLeft());
    painter.rotate(-textAngle_ / 10.0);
    painter.drawText(QPoint(0, -metrics.descent()), caption);
    painter.restore();
    return;
  }
  // Centre the slanted run: turn about the button's centre, draw centred there.
  QRect run(QPoint(0, 0), QSize(metrics.horizontalAdvance(caption), metrics.height()));
  run.moveCenter(QPoint(0, 0));
  painter.save();
  painter.translate(QRectF(rect()).center());
  painter.rotate(-textAngle_ / 10.0);
  painter.drawText(run, Qt::AlignCenter | Qt::TextSingleLine, caption);
  painter.restore();
}

void ImageButton::enterEvent(QEnterEvent* event) {
  hover_ = true;
  // Coming over the button brings its tooltip back, active.
  if (!tooltipText_.isEmpty()) setTooltipText(tooltipText_, true);
  update();
  QAbstractButton::enterEvent(event);
}

void ImageButton::mouseMoveEvent(QMouseEvent* event) {
  if (!hover_ && rect().contains(event->position().toPoint())) {
    hover_ = true;
    update();
  }
  QAbstractButton::mouseMoveEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void ImageButton::clearPointerState() {
  hover_ = false;
  setDown(false);
}

}  // namespace keyloft

// The image button: a push button drawn wholly from whole-window state
// pictures. It shows the part of the chosen picture that lies under it,
// starting one pixel up and left of its origin: skins cut their pictures so.
// A fast second click is another click: Qt's default double-click handling
// already delivers it as a press.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>

#include "ui/skin/skin_pictures.h"

namespace keyloft {

class ImageButton : public QAbstractButton {
  Q_OBJECT
  Q_PROPERTY(bool ticked READ isTicked WRITE setTicked)

 public:
  // Which picture a drawing used, first match wins in this order.
  enum class Look { Disabled, Alternative0, Alternative1, Pressed, Over, Ticked, Normal };
  // Called after every drawing with whether the normal picture was drawn;
  // it may paint over the button.
  using DrawCallback = std::function<void(ImageButton& button, bool normalDrawn)>;

  explicit ImageButton(QWidget* parent = nullptr);

  // The pictures and where the button lies in them; clears the pointer state.
  void setSkin(QPoint origin, const SkinImageSet& pictures);
  // New pictures at the same origin; clears the pointer state.
  void setPictures(const SkinImageSet& pictures);
  // While on, the button shows picture1 when select is set, else picture0,
  // whatever its state but disabled; clears the pointer state.
  void setAlternativePictures(const QPixmap* picture0, const QPixmap* picture1, bool on, bool select);
  void setTicked(bool ticked);
  bool isTicked() const { return ticked_; }
  // Draws a 2-pixel outline in the colour instead of any picture. The percent
  // is kept (capped at 100) for callers that read it back; it changes nothing.
  void setColorFrame(QColor color, int percent, bool on);
  // Caption drawing; colours in picture order (normal, over, pressed, disabled, ticked).
  void setTextStyle(bool drawText, int pointSize, const QString& fontFace, const std::array<QColor, 5>& colors,
                    Qt::Alignment alignment = Qt::AlignCenter);
  // Caption angle in tenths of a degree, counter-clockwise; a rotated caption
  // is bold and centred along its slant, any other turns about its start.
  void setTextAngle(int tenthsOfDegree, bool rotated);
  // An empty text changes nothing.
  void setTooltipText(const QString& text, bool activate);
  const QString& tooltipText() const { return tooltipText_; }
  // A disabled button whose skin has no disabled picture of its own is
  // drawn dimmed, so it does not look clickable.
  void setDimWhenDisabled(bool on) { dimWhenDisabled_ = on; }
  void setDrawCallback(DrawCallback callback) { drawCallback_ = std::move(callback); }

  QPoint origin() const { return origin_; }
  int framePercent() const { return framePercent_; }
  const SkinImageSet& pictures() const { return pictures_; }
  Look currentLook() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  const QPixmap* pictureOf(Look look) const;
  QColor textColorOf(Look look) const;
  void drawCaption(QPainter& painter, Look look);
  void clearPointerState();

  QPoint origin_;
  SkinImageSet pictures_;
  bool alternativeMode_ = false, alternativeSelect_ = false;
  const QPixmap* alternativePictures_[2] = {nullptr, nullptr};
  bool hover_ = false;
  bool ticked_ = false;
  bool dimWhenDisabled_ = false;
  bool frameMode_ = false;
  QColor frameColor_;
  int framePercent_ = 0;
  bool drawText_ = false;
  int pointSize_ = 8;
  QString fontFace_ = QStringLiteral("Tahoma Unicode MS");
  std::array<QColor, 5> textColors_{};
  Qt::Alignment alignment_ = Qt::AlignCenter;
  int textAngle_ = 0;
  bool rotated_ = false;
  QString tooltipText_;
  DrawCallback drawCallback_;
};

}  // namespace keyloft

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

class CPngButton : public QAbstractButton {
  Q_OBJECT

 public:
  // Which picture a drawing used, first match wins in this order.
  enum class Look { Disabled, Alternative0, Alternative1, Pressed, Over, Ticked, Normal };
  // Called after every drawing with whether the normal picture was drawn.
  using DrawCallback = std::function<void(CPngButton& button, bool normalDrawn)>;

  explicit CPngButton(QWidget* parent = nullptr);

  void SetSkin(QPoint origin, const SkinImageSet& pictures, bool redraw);
  void SetPictures(const SkinImageSet& pictures, bool redraw);
  void SetAltPictures(const QPixmap* picture0, const QPixmap* picture1, bool on, bool select, bool redraw);
  void SetTicked(bool ticked, bool redraw);
  // Draws a 2-pixel outline in the colour instead of any picture. The percent
  // is kept (capped at 100) for callers that read it back; it changes nothing.
  void SetColourFrame(QColor colour, int percent, bool on);
  // Caption drawing; colours in picture order (normal, over, pressed, disabled, ticked).
  void SetTextStyle(bool drawText, int pointSize, const QString& fontFace, const std::array<QColor, 5>& colours,
                    Qt::Alignment alignment = Qt::AlignCenter);
  // Caption angle in tenths of a degree, counter-clockwise; a rotated caption
  // is bold and centred along its slant, any other turns about its start.
  void SetTextAngle(int tenthsOfDegree, bool rotated);
  // An empty text changes nothing.
  void SetTooltipText(const QString& text, bool activate);
  void SetDrawCallback(DrawCallback callback) { drawCallback_ = std::move(callback); }
  void Redraw() { repaint(); }

  QPoint Origin() const { return origin_; }
  int FramePercent() const { return framePercent_; }
  const SkinImageSet& Pictures() const { return pictures_; }
  Look CurrentLook() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  const QPixmap* PictureOf(Look look) const;
  QColor TextColourOf(Look look) const;
  void DrawCaption(QPainter& painter, Look look);
  void ClearPointerState();

  QPoint origin_;
  SkinImageSet pictures_;
  bool altMode_ = false, altSelect_ = false;
  const QPixmap* altPictures_[2] = {nullptr, nullptr};
  bool hover_ = false;
  bool ticked_ = false;
  bool frameMode_ = false;
  QColor frameColour_;
  int framePercent_ = 0;
  bool drawText_ = false;
  int pointSize_ = 8;
  QString fontFace_ = QStringLiteral("Tahoma Unicode MS");
  std::array<QColor, 5> textColours_{};
  Qt::Alignment alignment_ = Qt::AlignCenter;
  int textAngle_ = 0;
  bool rotated_ = false;
  QString tooltipText_;
  DrawCallback drawCallback_;
};

}  // namespace keyloft

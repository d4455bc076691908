#include "ui/controls/color_button.h"

#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace keyloft {

namespace {

// The common colours of the palette, five rows of eight.
constexpr std::array<QRgb, 40> kPaletteColors = {
    0x000000, 0x993300, 0x333300, 0x003300, 0x003366, 0x000080, 0x333399, 0x333333,
    0x800000, 0xFF6600, 0x808000, 0x008000, 0x008080, 0x0000FF, 0x666699, 0x808080,
    0xFF0000, 0xFF9900, 0x99CC00, 0x339966, 0x33CCCC, 0x3366FF, 0x800080, 0x969696,
    0xFF00FF, 0xFFCC00, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x00CCFF, 0x993366, 0xC0C0C0,
    0xFF99CC, 0xFFCC99, 0xFFFF99, 0xCCFFCC, 0xCCFFFF, 0x99CCFF, 0xCC99FF, 0xFFFFFF,
};
constexpr int kPaletteColumns = 8;
constexpr QColor kStripColor{148, 145, 139};

// The face is laid out in edge coordinates: right and bottom lie just
// outside the rectangle.
QRect EdgeRect(int left, int top, int right, int bottom) { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }

// A one-pixel outline inside the rectangle, then its inside filled.
void FrameAndFill(QPainter& painter, const QRect& r, const QColor& frame, const QColor& fill) {
  painter.setPen(frame);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  if (fill.isValid()) painter.fillRect(r.adjusted(1, 1, -1, -1), fill);
}

QToolButton* PaletteEntry(QWidget* parent, const QString& objectName) {
  auto* button = new QToolButton(parent);
  button->setObjectName(objectName);
  button->setAutoRaise(true);
  return button;
}

}  // namespace

ColorButton::ColorButton(QWidget* parent)
    : QAbstractButton(parent), automaticText_(tr("Automatic")), otherText_(tr("Other...")) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  connect(this, &QAbstractButton::clicked, this, &ColorButton::showPopup);
}

void ColorButton::setColor(const QColor& color) {
  color_ = color;
  automatic_ = false;
  update();
}

QColor ColorButton::color() const { return automatic_ ? automaticColor_ : color_; }

void ColorButton::setAutomatic(bool on) {
  automatic_ = on;
  update();
}

void ColorButton::setAutomaticColor(const QColor& color) {
  automaticColor_ = color;
  update();
}

void ColorButton::setAutomaticEntry(const QString& text, bool shown) {
  automaticText_ = text;
  automaticShown_ = shown;
}

void ColorButton::setOtherEntry(const QString& text, bool shown) {
  otherText_ = text;
  otherShown_ = shown;
}

QSize ColorButton::sizeHint() const { return {40, 20}; }

void ColorButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int w = width();
  const int h = height();
  const QColor frame = palette().color(QPalette::Dark);

  // R: the client rectangle grown by one pixel on every side.
  const int rLeft = -1, rTop = -1, rRight = w + 1, rBottom = h + 1;
  // Left swatch, filled only while enabled.
  FrameAndFill(painter, EdgeRect(rLeft, rTop, rRight / 2 + 5, rBottom), frame,
               isEnabled() ? color() : QColor());
  // Right strip, over the swatch's right end: the client rectangle grown by
  // one pixel across and two down.
  const int r2Left = -1, r2Top = -2, r2Right = w + 1, r2Bottom = h + 2;
  FrameAndFill(painter, EdgeRect(r2Left + r2Right / 2 + 3, r2Top, r2Right, r2Bottom), frame, kStripColor);

  const int m = (rBottom - rTop) / 2;
  const QPoint triangle[3] = {{rRight - 11, m - 2}, {rRight - 5, m - 2}, {rRight - 8, m + 1}};
  painter.setPen(Qt::black);
  painter.setBrush(Qt::black);
  painter.drawPolygon(triangle, 3);

  if (hasFocus()) {
    // Three pixels outside the face, so the face itself carries no focus mark.
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(-3, -3, 3, 3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

void ColorButton::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  update();
}

void ColorButton::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  update();
}

void ColorButton::focusOutEvent(QFocusEvent* event) {
  QAbstractButton::focusOutEvent(event);
  update();
}

void ColorButton::showPopup() {
  if (popup_) popup_->close();
  auto* popup = new QFrame(this, Qt::Popup);
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QVBoxLayout(popup);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->setSpacing(2);

  if (automaticShown_) {
    QToolButton* automatic = PaletteEntry(popup, QStringLiteral("automatic"));
    automatic->setText(automaticText_);
    automatic->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QPixmap swatch(12, 12);
    swatch.fill(automaticColor_);
    automatic->setIcon(swatch);
    automatic->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    automatic->setCheckable(true);
    automatic->setChecked(automatic_);
    connect(automatic, &QToolButton::clicked, this, [this] { choose(automaticColor_, true); });
    layout->addWidget(automatic);
  }

  auto* grid = new QGridLayout;
  grid->setSpacing(1);
  for (size_t i = 0; i < kPaletteColors.size(); ++i) {
    const QColor color = QColor::fromRgb(kPaletteColors[i]);
    QToolButton* entry = PaletteEntry(popup, QStringLiteral("color"));
    entry->setProperty("color", color);
    entry->setToolTip(color.name());
    QPixmap swatch(14, 14);
    swatch.fill(color);
    entry->setIcon(swatch);
    entry->setCheckable(true);
    entry->setChecked(!automatic_ && color == color_);
    connect(entry, &QToolButton::clicked, this, [this, color] { choose(color, false); });
    grid->addWidget(entry, int(i) / kPaletteColumns, int(i) % kPaletteColumns);
  }
  layout->addLayout(grid);

  if (otherShown_) {
    QToolButton* other = PaletteEntry(popup, QStringLiteral("other"));
    other->setText(otherText_);
    other->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(other, &QToolButton::clicked, this, &ColorButton::chooseOther);
    layout->addWidget(other);
  }

  popup_ = popup;
  popup->adjustSize();
  popup->move(mapToGlobal(QPoint(0, height())));
  popup->show();
  update();
}

void ColorButton::choose(const QColor& chosen, bool automatic) {
  if (popup_) popup_->close();
  automatic_ = automatic;
  if (!automatic) color_ = chosen;
  update();
  emit colorChosen(color());
}

void ColorButton::chooseOther() {
  if (popup_) popup_->close();
  const QColor initial = color();
  const QColor chosen = dialog_ ? dialog_(initial, this) : QColorDialog::getColor(initial, this);
  if (chosen.isValid()) choose(chosen, false);
}

}  // namespace keyloft

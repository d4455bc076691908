#include "art.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QRadialGradient>
#include <cmath>

namespace keyloft::skingen {

using namespace palette;

QFont Font(int pixelSize, bool bold, bool condensed) {
  QFont f(condensed ? "DejaVu Sans Condensed" : "DejaVu Sans");
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

QColor WithAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

QRectF Inner(const QRect& r) { return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5); }

namespace {

QLinearGradient Vertical(const QRectF& r, QColor top, QColor bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  return g;
}

QPainterPath Rounded(const QRectF& r, qreal radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

// The outline of a cap: its rectangle, or the union with the lower part.
QPainterPath CapPath(const QRectF& r, const QRectF& lower, qreal radius) {
  QPainterPath path = Rounded(r, radius);
  if (!lower.isEmpty()) {
    QPainterPath bottom = Rounded(lower, radius);
    // Bridge the two rows so the union has no waist between them.
    QPainterPath bridge;
    bridge.addRect(QRectF(lower.left(), r.top() + r.height() / 3, lower.width(), lower.top() - r.top()));
    path = path.united(bridge).united(bottom).simplified();
  }
  return path;
}

struct CapColours {
  QColor skirtTop, skirtBottom, border, faceTop, faceBottom, legend, highlight;
};

CapColours ColoursOf(Look look, CapStyle style) {
  if (style == CapStyle::Unlit)
    return {QColor(0x24, 0x28, 0x2e), QColor(0x19, 0x1b, 0x1f), QColor(0x0b, 0x0c, 0x0e), QColor(0x2a, 0x2e, 0x35),
            QColor(0x25, 0x29, 0x2f), QColor(), QColor(255, 255, 255, 14)};
  if (style == CapStyle::Lit)
    return {QColor(0xb9, 0xcf, 0xd8), QColor(0x8d, 0xa5, 0xaf), QColor(0x0b, 0x0c, 0x0e), QColor(0xf6, 0xfb, 0xff),
            QColor(0xd9, 0xe7, 0xee), QColor(), QColor(255, 255, 255, 120)};
  const QColor legend = style == CapStyle::GKey ? kAccentSoft : kText;
  switch (look) {
    case Look::Over:
      return {QColor(0x30, 0x3b, 0x45), QColor(0x1f, 0x28, 0x30), kAccent, QColor(0x4b, 0x53, 0x5f),
              QColor(0x3e, 0x45, 0x50), QColor(0xff, 0xff, 0xff), QColor(255, 255, 255, 40)};
    case Look::Pressed:
    case Look::Sunk:
      return {QColor(0x1a, 0x1d, 0x22), QColor(0x16, 0x18, 0x1c), WithAlpha(kAccent, 150), QColor(0x25, 0x29, 0x30),
              QColor(0x2b, 0x30, 0x37), kAccentSoft, QColor(0, 0, 0, 0)};
    case Look::Ticked:
      return {QColor(0x0c, 0x5a, 0x69), QColor(0x07, 0x38, 0x42), kAccent, QColor(0x16, 0xa6, 0xc0),
              QColor(0x0f, 0x7d, 0x92), QColor(0xff, 0xff, 0xff), QColor(255, 255, 255, 60)};
    case Look::Disabled:
      return {QColor(0x20, 0x23, 0x28), QColor(0x1a, 0x1c, 0x20), QColor(0x0b, 0x0c, 0x0e), QColor(0x27, 0x2b, 0x31),
              QColor(0x25, 0x28, 0x2e), kTextDim, QColor(255, 255, 255, 10)};
    case Look::Normal:
      break;
  }
  return {QColor(0x2c, 0x31, 0x39), QColor(0x1c, 0x1f, 0x24), QColor(0x0b, 0x0c, 0x0e), QColor(0x3e, 0x44, 0x4e),
          QColor(0x33, 0x38, 0x41), legend, QColor(255, 255, 255, 26)};
}

}  // namespace

void DrawWindow(QPainter& p, QSize size, int titleHeight) {
  const QRectF all = Inner(QRect(QPoint(0, 0), size));
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // Paint the corners dark too: the mask cuts them, but the pictures stay tidy.
  p.fillRect(QRect(QPoint(0, 0), size), kWindowBottom);
  p.setPen(Qt::NoPen);
  p.setBrush(Vertical(all, kWindowTop, kWindowBottom));
  p.drawRoundedRect(all, 12, 12);
  if (titleHeight > 0) {
    QPainterPath band = Rounded(all, 12).intersected(
        [&] { QPainterPath r; r.addRect(QRectF(0, 0, size.width(), titleHeight)); return r; }());
    p.setBrush(Vertical(QRectF(0, 0, size.width(), titleHeight), QColor(0x25, 0x29, 0x30), QColor(0x1e, 0x21, 0x27)));
    p.drawPath(band);
    p.fillRect(QRect(1, titleHeight, size.width() - 2, 1), QColor(0x0d, 0x0f, 0x12));
    p.fillRect(QRect(1, titleHeight + 1, size.width() - 2, 1), QColor(255, 255, 255, 10));
    // A faint accent glow under the mark.
    QRadialGradient glow(QPointF(60, titleHeight / 2.0), 140);
    glow.setColorAt(0, WithAlpha(kAccent, 26));
    glow.setColorAt(1, WithAlpha(kAccent, 0));
    p.setBrush(glow);
    p.drawPath(band);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kFrame, 1));
  p.drawRoundedRect(all, 12, 12);
  p.setPen(QPen(QColor(255, 255, 255, 12), 1));
  p.drawRoundedRect(all.adjusted(1, 1, -1, -1), 11, 11);
  p.restore();
}

void DrawWell(QPainter& p, const QRect& r, int radius) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 14));  // lower lip catching light
  p.drawRoundedRect(QRectF(r).adjusted(0, 1, 0, 1), radius, radius);
  p.setBrush(Vertical(r, QColor(0x0c, 0x0d, 0x10), kPlate));
  p.drawRoundedRect(QRectF(r), radius, radius);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0, 0, 0, 120), 1));
  p.drawRoundedRect(Inner(r), radius, radius);
  p.restore();
}

void DrawCard(QPainter& p, const QRect& r, int radius) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kCardLine, 1));
  p.setBrush(kCard);
  p.drawRoundedRect(Inner(r), radius, radius);
  p.setPen(QPen(QColor(255, 255, 255, 10), 1));
  p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
  p.restore();
}

FittedLegend FitLegend(const QString& text, int faceWidth, int faceHeight, bool bold) {
  const int room = faceWidth - 2;
  auto fits = [&](const QStringList& lines, int size, bool condensed) {
    const QFontMetrics fm(Font(size, bold, condensed));
    if (fm.height() * lines.size() > faceHeight + 2) return false;
    for (const QString& line : lines)
      if (fm.horizontalAdvance(line) > room) return false;
    return true;
  };
  // Large single line first, then a condensed face, then two lines, then smaller.
  const int start = text.size() == 1 ? 13 : 11;
  const int split = text.indexOf(' ');
  const QStringList two = split > 0 ? QStringList{text.left(split), text.mid(split + 1)} : QStringList{};
  for (int size = start; size >= 10; --size)
    for (bool condensed : {false, true})
      if (fits({text}, size, condensed)) return {{text}, size, condensed};
  for (int size = 10; size >= 8; --size)
    for (bool condensed : {false, true})
      if (!two.isEmpty() && fits(two, size, condensed)) return {two, size, condensed};
  for (int size = 9; size >= 7; --size)
    if (fits({text}, size, true)) return {{text}, size, true};
  return {{text.left(4)}, 8, true};
}

void DrawKeyCap(QPainter& p, const QRect& r, const QRect& lower, Look look, const QStringList& legend,
                CapStyle style) {
  const CapColours c = ColoursOf(look, style);
  const qreal radius = 4;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF outer = QRectF(r);
  const QRectF outerLower = lower.isEmpty() ? QRectF() : QRectF(lower);
  // Skirt.
  p.setPen(Qt::NoPen);
  p.setBrush(c.border);
  p.drawPath(CapPath(outer, outerLower, radius + 0.5));
  p.setBrush(Vertical(outer.united(outerLower), c.skirtTop, c.skirtBottom));
  p.drawPath(CapPath(outer.adjusted(1, 1, -1, -1), outerLower.isEmpty() ? QRectF() : outerLower.adjusted(1, 1, -1, -1),
                     radius));
  // Face: sits high on the skirt, sinks when pressed.
  const bool pressed = look == Look::Pressed && style != CapStyle::Unlit && style != CapStyle::Lit;
  const qreal top = pressed ? 3 : 2, bottom = pressed ? 2.5 : 4.5, side = 3;
  QRectF face = outer.adjusted(side, top, -side, -bottom);
  QRectF faceLower;
  if (!outerLower.isEmpty()) {
    face = outer.adjusted(side, top, -side, -side);  // the top part flows into the lower part
    faceLower = outerLower.adjusted(side, 0, -side, -bottom);
  }
  p.setBrush(Vertical(face.united(faceLower), c.faceTop, c.faceBottom));
  p.drawPath(CapPath(face, faceLower, radius - 1));
  if (c.highlight.alpha() > 0) {
    p.setPen(QPen(c.highlight, 1));
    p.drawLine(QPointF(face.left() + 3, face.top() + 0.5), QPointF(face.right() - 3, face.top() + 0.5));
  }
  if (pressed) {
    p.setPen(QPen(QColor(0, 0, 0, 110), 1));
    p.drawLine(QPointF(face.left() + 2, face.top() + 0.5), QPointF(face.right() - 2, face.top() + 0.5));
  }
  if (look == Look::Over || look == Look::Pressed || look == Look::Ticked) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c.border, 1));
    p.drawPath(CapPath(outer.adjusted(0.5, 0.5, -0.5, -0.5),
                       outerLower.isEmpty() ? QRectF() : outerLower.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    if (look == Look::Over) {  // soft inner glow
      p.setPen(QPen(WithAlpha(kAccent, 60), 2));
      p.drawPath(CapPath(outer.adjusted(2, 2, -2, -2), outerLower.isEmpty() ? QRectF() : outerLower.adjusted(2, 2, -2, -2),
                         radius - 1));
    }
  }
  // Legend.
  if (!legend.isEmpty() && c.legend.isValid()) {
    const QRect faceBox = face.toAlignedRect();
    QRect textBox = faceBox;
    if (!outerLower.isEmpty()) textBox.setHeight(r.height() / 2 - 2);
    // Bold marks G keys and ticked keys, where the legend is short enough to take it.
    const bool bold = style == CapStyle::GKey || (look == Look::Ticked && legend.join("").size() <= 3);
    const FittedLegend fit = legend.size() == 1 ? FitLegend(legend[0], faceBox.width(), textBox.height(), bold)
                                                : FittedLegend{legend, 9, false};
    p.setFont(Font(fit.pixelSize, bold, fit.condensed));
    p.setPen(c.legend);
    p.drawText(textBox.adjusted(0, -1, 0, -1), Qt::AlignCenter, fit.lines.join('\n'));
  }
  p.restore();
}

void DrawIcon(QPainter& p, Icon icon, const QRectF& b, const QColor& colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  const qreal x = b.left(), y = b.top(), w = b.width(), h = b.height();
  const QPointF c = b.center();
  auto P = [&](qreal fx, qreal fy) { return QPointF(x + fx * w, y + fy * h); };
  auto line = [&](qreal x1, qreal y1, qreal x2, qreal y2) { p.drawLine(P(x1, y1), P(x2, y2)); };
  auto chevron = [&](qreal cy, bool up) {
    if (up) {
      line(0.2, cy + 0.15, 0.5, cy - 0.15);
      line(0.5, cy - 0.15, 0.8, cy + 0.15);
    } else {
      line(0.2, cy - 0.15, 0.5, cy + 0.15);
      line(0.5, cy + 0.15, 0.8, cy - 0.15);
    }
  };
  switch (icon) {
    case Icon::None:
      break;
    case Icon::Menu:
      for (qreal fy : {0.25, 0.5, 0.75}) line(0.15, fy, 0.85, fy);
      break;
    case Icon::Help:
      p.drawEllipse(b.adjusted(0.5, 0.5, -0.5, -0.5));
      p.setFont(Font(static_cast<int>(h * 0.72), true));
      p.drawText(b.translated(0, 0.5), Qt::AlignCenter, "?");
      break;
    case Icon::Minimize:
      line(0.2, 0.62, 0.8, 0.62);
      break;
    case Icon::Close:
    case Icon::Cross:
      line(0.22, 0.22, 0.78, 0.78);
      line(0.78, 0.22, 0.22, 0.78);
      break;
    case Icon::Profiles:  // stacked layers
      p.drawPolygon(QPolygonF({P(0.5, 0.1), P(0.92, 0.32), P(0.5, 0.54), P(0.08, 0.32)}));
      p.drawPolyline(QPolygonF({P(0.08, 0.52), P(0.5, 0.74), P(0.92, 0.52)}));
      p.drawPolyline(QPolygonF({P(0.08, 0.7), P(0.5, 0.92), P(0.92, 0.7)}));
      break;
    case Icon::Macro:  // play with a loop tail
      p.drawPolygon(QPolygonF({P(0.3, 0.18), P(0.82, 0.5), P(0.3, 0.82)}));
      line(0.1, 0.3, 0.1, 0.7);
      break;
    case Icon::Reset:
    case Icon::Restore:
      p.drawArc(b.adjusted(w * 0.12, h * 0.12, -w * 0.12, -h * 0.12), 100 * 16, 290 * 16);
      p.drawPolyline(QPolygonF({P(0.12, 0.12), P(0.3, 0.3), P(0.46, 0.1)}));
      break;
    case Icon::Swap:
      line(0.15, 0.35, 0.85, 0.35);
      line(0.85, 0.35, 0.65, 0.18);
      line(0.85, 0.65, 0.15, 0.65);
      line(0.15, 0.65, 0.35, 0.82);
      break;
    case Icon::Globe:
      p.drawEllipse(b.adjusted(1, 1, -1, -1));
      p.drawEllipse(QRectF(x + w * 0.32, y + 1, w * 0.36, h - 2));
      line(0.08, 0.5, 0.92, 0.5);
      break;
    case Icon::Home:
      p.drawPolyline(QPolygonF({P(0.1, 0.5), P(0.5, 0.12), P(0.9, 0.5)}));
      p.drawPolyline(QPolygonF({P(0.22, 0.42), P(0.22, 0.88), P(0.78, 0.88), P(0.78, 0.42)}));
      line(0.5, 0.88, 0.5, 0.65);
      break;
    case Icon::Folder:  // a folder with its tab
      p.drawPolygon(QPolygonF({P(0.08, 0.24), P(0.4, 0.24), P(0.5, 0.36), P(0.92, 0.36), P(0.92, 0.84), P(0.08, 0.84)}));
      line(0.08, 0.46, 0.92, 0.46);
      break;
    case Icon::Report:  // a sheet with lines of text and a folded corner
      p.drawPolygon(QPolygonF({P(0.2, 0.1), P(0.62, 0.1), P(0.8, 0.28), P(0.8, 0.9), P(0.2, 0.9)}));
      line(0.34, 0.42, 0.66, 0.42);
      line(0.34, 0.58, 0.66, 0.58);
      line(0.34, 0.74, 0.56, 0.74);
      break;
    case Icon::Chat:
      p.drawRoundedRect(QRectF(x + w * 0.1, y + h * 0.14, w * 0.8, h * 0.56), 2.5, 2.5);
      p.drawPolyline(QPolygonF({P(0.3, 0.7), P(0.26, 0.9), P(0.48, 0.7)}));
      break;
    case Icon::Camera:
      p.drawRoundedRect(QRectF(x + w * 0.08, y + h * 0.26, w * 0.84, h * 0.6), 2.5, 2.5);
      p.drawEllipse(QPointF(c.x(), y + h * 0.56), w * 0.17, w * 0.17);
      line(0.34, 0.26, 0.4, 0.14);
      line(0.4, 0.14, 0.6, 0.14);
      line(0.6, 0.14, 0.66, 0.26);
      break;
    case Icon::Check:
    case Icon::Apply:
      p.drawPolyline(QPolygonF({P(0.18, 0.52), P(0.42, 0.76), P(0.84, 0.26)}));
      break;
    case Icon::Plus:
      line(0.5, 0.18, 0.5, 0.82);
      line(0.18, 0.5, 0.82, 0.5);
      break;
    case Icon::Trash:
      line(0.15, 0.25, 0.85, 0.25);
      line(0.4, 0.25, 0.42, 0.12);
      line(0.42, 0.12, 0.58, 0.12);
      line(0.58, 0.12, 0.6, 0.25);
      p.drawPolyline(QPolygonF({P(0.24, 0.25), P(0.3, 0.9), P(0.7, 0.9), P(0.76, 0.25)}));
      line(0.5, 0.4, 0.5, 0.75);
      break;
    case Icon::Load:  // open folder
      p.drawPolyline(QPolygonF({P(0.1, 0.82), P(0.1, 0.18), P(0.38, 0.18), P(0.48, 0.3), P(0.86, 0.3), P(0.86, 0.45)}));
      p.drawPolygon(QPolygonF({P(0.1, 0.82), P(0.24, 0.45), P(0.96, 0.45), P(0.82, 0.82)}));
      break;
    case Icon::Top:
      line(0.2, 0.14, 0.8, 0.14);
      chevron(0.45, true);
      chevron(0.72, true);
      break;
    case Icon::Up:
      chevron(0.5, true);
      break;
    case Icon::Down:
      chevron(0.5, false);
      break;
    case Icon::Bottom:
      chevron(0.28, false);
      chevron(0.55, false);
      line(0.2, 0.86, 0.8, 0.86);
      break;
    case Icon::Record:
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(c, w * 0.32, h * 0.32);
      break;
    case Icon::Keyboard:
      p.drawRoundedRect(QRectF(x + 0.5, y + h * 0.2, w - 1, h * 0.6), 2, 2);
      for (qreal fx : {0.24, 0.42, 0.6, 0.78}) line(fx, 0.38, fx + 0.01, 0.38);
      line(0.3, 0.62, 0.7, 0.62);
      break;
    case Icon::Eraser: {
      // A tilted eraser block, its rubber end filled, above a base line.
      p.save();
      p.translate(P(0.52, 0.46));
      p.rotate(-45);
      const QRectF block(-w * 0.36, -h * 0.17, w * 0.72, h * 0.34);
      p.drawRoundedRect(block, 1.5, 1.5);
      p.setBrush(colour);
      p.drawRoundedRect(QRectF(block.left(), block.top(), block.width() * 0.42, block.height()), 1.5, 1.5);
      p.restore();
      line(0.3, 0.92, 0.9, 0.92);
      break;
    }
    case Icon::Bulb:
    case Icon::BulbOff: {
      p.drawArc(QRectF(x + w * 0.2, y + h * 0.05, w * 0.6, h * 0.6), -30 * 16, 240 * 16);
      line(0.26, 0.5, 0.37, 0.72);
      line(0.74, 0.5, 0.63, 0.72);
      line(0.37, 0.72, 0.63, 0.72);
      line(0.4, 0.88, 0.6, 0.88);
      if (icon == Icon::Bulb) {
        p.setPen(Qt::NoPen);
        p.setBrush(WithAlpha(colour, 110));
        p.drawEllipse(QRectF(x + w * 0.28, y + h * 0.13, w * 0.44, h * 0.44));
      }
      break;
    }
    case Icon::Sun:
      p.drawEllipse(c, w * 0.2, h * 0.2);
      for (int i = 0; i < 8; ++i) {
        const qreal a = i * M_PI / 4;
        p.drawLine(c + QPointF(std::cos(a) * w * 0.32, std::sin(a) * h * 0.32),
                   c + QPointF(std::cos(a) * w * 0.45, std::sin(a) * h * 0.45));
      }
      break;
    case Icon::Gauge:
      p.drawArc(b.adjusted(1, 2, -1, h * 0.4), 0, 180 * 16);
      p.drawLine(QPointF(c.x(), y + h * 0.72), P(0.78, 0.32));
      break;
    case Icon::Compass:
      p.drawEllipse(b.adjusted(1, 1, -1, -1));
      p.drawPolygon(QPolygonF({P(0.5, 0.2), P(0.6, 0.5), P(0.5, 0.8), P(0.4, 0.5)}));
      break;
    case Icon::Palette:
      p.drawEllipse(b.adjusted(1, 1, -1, -1));
      p.setPen(Qt::NoPen);
      for (auto [fx, fy, col] : {std::tuple{0.35, 0.35, QColor(0xf4, 0x5b, 0x69)}, {0.62, 0.32, QColor(0xf6, 0xc3, 0x44)},
                                 {0.7, 0.58, QColor(0x4a, 0xde, 0x80)}, {0.4, 0.65, QColor(0x60, 0xa5, 0xfa)}}) {
        p.setBrush(col);
        p.drawEllipse(P(fx, fy), w * 0.1, h * 0.1);
      }
      break;
    case Icon::Brush:
      p.save();
      p.translate(c);
      p.rotate(45);
      p.drawRoundedRect(QRectF(-w * 0.09, -h * 0.48, w * 0.18, h * 0.5), 1.5, 1.5);
      p.setBrush(colour);
      p.drawPath([&] {
        QPainterPath tip;
        tip.moveTo(-w * 0.16, h * 0.06);
        tip.lineTo(w * 0.16, h * 0.06);
        tip.quadTo(w * 0.18, h * 0.34, 0, h * 0.48);
        tip.quadTo(-w * 0.18, h * 0.34, -w * 0.16, h * 0.06);
        return tip;
      }());
      p.restore();
      break;
    case Icon::Fill:  // paint bucket
      p.save();
      p.translate(c + QPointF(-w * 0.06, 0));
      p.rotate(-30);
      p.drawRoundedRect(QRectF(-w * 0.28, -h * 0.2, w * 0.5, h * 0.5), 2, 2);
      p.drawArc(QRectF(-w * 0.18, -h * 0.42, w * 0.3, h * 0.4), 0, 180 * 16);
      p.restore();
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(P(0.84, 0.76), w * 0.08, h * 0.1);
      break;
    case Icon::Music:
      p.drawEllipse(P(0.3, 0.76), w * 0.14, h * 0.11);
      p.drawEllipse(P(0.76, 0.66), w * 0.14, h * 0.11);
      line(0.44, 0.76, 0.44, 0.16);
      line(0.9, 0.66, 0.9, 0.06);
      line(0.44, 0.16, 0.9, 0.06);
      line(0.44, 0.3, 0.9, 0.2);
      break;
    case Icon::Gear: {
      QPolygonF teeth;
      for (int i = 0; i < 16; ++i) {
        const qreal a = i * M_PI / 8 + M_PI / 16;
        const qreal rr = (i % 2 == 0) ? 0.46 : 0.34;
        teeth << c + QPointF(std::cos(a) * w * rr, std::sin(a) * h * rr);
      }
      p.drawPolygon(teeth);
      p.drawEllipse(c, w * 0.13, h * 0.13);
      break;
    }
    case Icon::Key:
      p.drawRoundedRect(QRectF(x + w * 0.1, y + h * 0.1, w * 0.8, h * 0.8), 3, 3);
      p.drawRoundedRect(QRectF(x + w * 0.22, y + h * 0.18, w * 0.56, h * 0.5), 2, 2);
      break;
    case Icon::Rainbow: {
      const QColor hues[] = {QColor(0xf4, 0x5b, 0x69), QColor(0xf6, 0xc3, 0x44), QColor(0x4a, 0xde, 0x80),
                             QColor(0x22, 0xd3, 0xee), QColor(0xa7, 0x8b, 0xfa)};
      for (int i = 0; i < 5; ++i) {
        p.setPen(QPen(hues[i], 1.6, Qt::SolidLine, Qt::FlatCap));
        const qreal inset = 1 + i * 1.8;
        p.drawArc(QRectF(x + inset, y + h * 0.2 + inset, w - 2 * inset, h * 1.1 - 2 * inset), 0, 180 * 16);
      }
      break;
    }
  }
  p.restore();
}

void DrawButton(QPainter& p, const QRect& r, Look look, const QString& caption, Icon icon, ButtonKind kind,
                int pixelSize) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box = Inner(r);
  const qreal radius = kind == ButtonKind::Segment ? 4 : 5;
  QColor text = kText, iconColour = kTextSoft;
  const bool flat = kind == ButtonKind::Flat || kind == ButtonKind::FlatDanger;
  if (flat) {
    if (look == Look::Over || look == Look::Pressed) {
      const bool danger = kind == ButtonKind::FlatDanger;
      QColor fill = danger ? kDanger : QColor(0x33, 0x38, 0x41);
      if (look == Look::Pressed) fill = fill.darker(danger ? 125 : 130);
      p.setPen(Qt::NoPen);
      p.setBrush(fill);
      p.drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), radius, radius);
      iconColour = danger ? QColor(Qt::white) : (look == Look::Pressed ? kAccentSoft : QColor(Qt::white));
    } else if (look == Look::Disabled) {
      iconColour = kTextDim;
    }
    text = iconColour;
  } else {
    QColor top(0x3a, 0x3f, 0x48), bottom(0x2e, 0x32, 0x3a), border(0x48, 0x4e, 0x59);
    if (kind == ButtonKind::Primary) {
      top = QColor(0x1a, 0xb4, 0xcf), bottom = QColor(0x10, 0x88, 0x9f), border = QColor(0x2c, 0xd9, 0xf2);
      iconColour = text = QColor(0xff, 0xff, 0xff);
    }
    switch (look) {
      case Look::Normal:
        if (kind != ButtonKind::Primary) iconColour = kAccentSoft;
        break;
      case Look::Over:
        top = top.lighter(122), bottom = bottom.lighter(122), border = kAccent;
        text = Qt::white;
        iconColour = kind == ButtonKind::Primary ? QColor(Qt::white) : kAccent;
        break;
      case Look::Pressed:
        top = bottom.darker(140), bottom = bottom.darker(118);
        border = WithAlpha(kAccent, 170);
        text = kind == ButtonKind::Primary ? QColor(0xd8, 0xf7, 0xfc) : kAccentSoft;
        iconColour = text;
        break;
      case Look::Ticked:
        top = QColor(0x16, 0xa6, 0xc0), bottom = QColor(0x0e, 0x7b, 0x90), border = kAccent;
        text = iconColour = Qt::white;
        break;
      case Look::Disabled:
        top = QColor(0x27, 0x2a, 0x30), bottom = QColor(0x23, 0x26, 0x2b), border = QColor(0x30, 0x34, 0x3b);
        text = iconColour = kTextDim;
        break;
      case Look::Sunk:
        top = bottom.darker(150), bottom = bottom.darker(125), border = QColor(0x33, 0x37, 0x3f);
        text = iconColour = kind == ButtonKind::Primary ? QColor(0xb6, 0xdd, 0xe4) : kTextSoft;
        break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));  // drop shadow one pixel below
    p.drawRoundedRect(QRectF(r).adjusted(0, 1, 0, 0), radius, radius);
    p.setBrush(Vertical(box, top, bottom));
    p.setPen(QPen(border, 1));
    p.drawRoundedRect(box.adjusted(0, 0, 0, -1), radius, radius);
    const bool sunk = look == Look::Pressed || look == Look::Sunk;
    if (!sunk && look != Look::Disabled) {
      p.setPen(QPen(QColor(255, 255, 255, look == Look::Ticked ? 60 : 22), 1));
      p.drawLine(QPointF(box.left() + radius, box.top() + 1), QPointF(box.right() - radius, box.top() + 1));
    } else if (sunk) {
      p.setPen(QPen(QColor(0, 0, 0, 120), 1));
      p.drawLine(QPointF(box.left() + radius, box.top() + 1), QPointF(box.right() - radius, box.top() + 1));
    }
  }
  // Content: icon then caption, centred together.
  const QFont font = Font(pixelSize, kind == ButtonKind::Primary || look == Look::Ticked);
  const QFontMetrics fm(font);
  const int iconSize = caption.isEmpty() ? std::min(r.width(), r.height()) - 12 : pixelSize + 2;
  const int gap = (icon != Icon::None && !caption.isEmpty()) ? 6 : 0;
  const int contentWidth = (icon != Icon::None ? iconSize : 0) + gap + fm.horizontalAdvance(caption);
  const int shift = (look == Look::Pressed || look == Look::Sunk) ? 1 : 0;
  int cx = r.left() + (r.width() - contentWidth) / 2;
  const int cy = r.top() + r.height() / 2 + shift - (flat ? 0 : 1);
  if (icon != Icon::None) {
    DrawIcon(p, icon, QRectF(cx, cy - iconSize / 2.0, iconSize, iconSize), iconColour);
    cx += iconSize + gap;
  }
  if (!caption.isEmpty()) {
    p.setFont(font);
    p.setPen(text);
    p.drawText(QRect(cx, r.top() + shift - (flat ? 0 : 1), contentWidth, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
               caption);
  }
  p.restore();
}

void DrawTab(QPainter& p, const QRect& r, Look look, const QString& caption, Icon icon) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QColor text = kTextSoft, iconColour = kTextSoft;
  const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, 0);
  QPainterPath shape;
  shape.addRoundedRect(box.adjusted(0, 0, 0, 6), 6, 6);
  QPainterPath clip;
  clip.addRect(QRectF(r));
  shape = shape.intersected(clip);
  switch (look) {
    case Look::Normal:
    case Look::Sunk:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x22, 0x26, 0x2c));
      p.drawPath(shape);
      break;
    case Look::Over:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x2b, 0x30, 0x38));
      p.drawPath(shape);
      text = Qt::white, iconColour = kAccent;
      break;
    case Look::Pressed:
    case Look::Ticked:
      // Selected: the card colour, an accent bar on top, open towards the page.
      p.setPen(QPen(kCardLine, 1));
      p.setBrush(kCard);
      p.drawPath(shape);
      p.setPen(Qt::NoPen);
      p.setBrush(kAccent);
      p.drawRoundedRect(QRectF(r.left() + 10, r.top() + 1, r.width() - 20, 3), 1.5, 1.5);
      p.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 2, 1), kCard);
      text = Qt::white, iconColour = kAccent;
      break;
    case Look::Disabled:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x1c, 0x1f, 0x24));
      p.drawPath(shape);
      text = iconColour = kTextDim;
      break;
  }
  const QFont font = Font(12, look == Look::Ticked || look == Look::Pressed);
  const int iconSize = 14, gap = 7;
  const int contentWidth = iconSize + gap + QFontMetrics(font).horizontalAdvance(caption);
  const int cx = r.left() + (r.width() - contentWidth) / 2, cy = r.top() + r.height() / 2 + 1;
  DrawIcon(p, icon, QRectF(cx, cy - iconSize / 2.0, iconSize, iconSize), iconColour);
  p.setFont(font);
  p.setPen(text);
  p.drawText(QRect(cx + iconSize + gap, r.top() + 1, contentWidth, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
             caption);
  p.restore();
}

void DrawText(QPainter& p, const QRect& r, int flags, const QString& text, const QFont& font, const QColor& colour) {
  p.save();
  p.setFont(font);
  p.setPen(colour);
  p.drawText(r, flags, text);
  p.restore();
}

void DrawCaption(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& colour, int pixelSize) {
  QFont f = Font(pixelSize, true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
  DrawText(p, r, flags, text.toUpper(), f, colour);
}

void DrawWordmark(QPainter& p, QPoint at, int height) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // The mark: a keycap seen from above with a lit bar along its front edge.
  const QRectF cap(at.x() + 0.5, at.y() + 0.5, height - 1, height - 1);
  p.setPen(QPen(kAccent, 1.6));
  p.setBrush(QColor(0x12, 0x30, 0x38));
  p.drawRoundedRect(cap, 5, 5);
  p.setPen(Qt::NoPen);
  p.setBrush(Vertical(cap, QColor(0x3a, 0x40, 0x4a), QColor(0x2a, 0x2f, 0x36)));
  p.drawRoundedRect(cap.adjusted(4, 3.5, -4, -7), 3, 3);
  p.setBrush(kAccent);
  p.drawRoundedRect(QRectF(cap.left() + 5, cap.bottom() - 5, cap.width() - 10, 2), 1, 1);
  // The word.
  QFont f = Font(static_cast<int>(height * 0.62), true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
  p.setFont(f);
  p.setPen(kText);
  const QRect word(at.x() + height + 10, at.y(), 200, height);
  p.drawText(word, Qt::AlignLeft | Qt::AlignVCenter, "KEYLOFT");
  const int wordWidth = QFontMetrics(f).horizontalAdvance("KEYLOFT");
  QFont sub = Font(10);
  sub.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
  p.setFont(sub);
  p.setPen(kTextSoft);
  p.drawText(QRect(word.left() + wordWidth + 10, at.y() + 2, 200, height), Qt::AlignLeft | Qt::AlignVCenter,
             "keyboard studio");
  p.restore();
}

}  // namespace keyloft::skingen

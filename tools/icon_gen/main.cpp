// keyloft-icon-gen: Keyloft's icon in its three states (no keyboard, keyboard
// connected, a macro playing), drawn from one description of shapes on a 64-unit
// grid: as SVG for any size, and as PNG at the sizes trays and menus ask for,
// each snapped to whole pixels so the small ones stay crisp.
//
//   keyloft-icon-gen --out assets/icons     (scripts/make-skin runs it)
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The skin's colours.
const QColor kBody(0x1c, 0x20, 0x26);
const QColor kRim(0x3a, 0x41, 0x4c);
const QColor kKeyDark(0x4b, 0x53, 0x5f);
const QColor kKeyIdle(0x8a, 0x93, 0xa3);
const QColor kAccent(0x22, 0xd3, 0xee);
const QColor kAccentDeep(0x0e, 0x74, 0x90);
const QColor kWhite(0xf6, 0xfb, 0xff);

struct Shape {
  enum Kind { RoundedRect, Circle, Triangle } kind;
  double x, y, w, h, radius;  // a triangle's points: (x, y), (x, y + h), (x + w, y + h / 2)
  QColor fill;
  QColor stroke;  // invalid: none
  double strokeWidth = 0;
};

enum class State { Disconnected, Connected, Playing };

const char* StateName(State s) {
  switch (s) {
    case State::Disconnected: return "disconnected";
    case State::Connected: return "connected";
    case State::Playing: return "playing";
  }
  return "";
}

// The keyboard: a rounded body and rows of keys, the space bar below; lit
// keys in the accent colour when a keyboard is there, grey when not. Small
// sizes get fewer, larger keys, so every gap is at least a pixel.
std::vector<Shape> Artwork(State state, bool small) {
  const bool lit = state != State::Disconnected;
  const QColor key = lit ? kKeyIdle : kKeyDark;
  const QColor accent = lit ? kAccent : kKeyIdle;
  std::vector<Shape> shapes;
  shapes.push_back({Shape::RoundedRect, 2, 14, 60, 38, 7, kBody, lit ? kAccentDeep : kRim, 2.5});
  if (small) {
    for (int i = 0; i < 3; ++i) {
      shapes.push_back({Shape::RoundedRect, 10.0 + i * 16, 20, 12, 12, 2, i == 0 ? accent : key, QColor(), 0});
    }
    shapes.push_back({Shape::RoundedRect, 10, 36, 44, 10, 2, key, QColor(), 0});
  }
  // Five columns of keys between x 7 and 57, three rows between y 20 and 46.
  const double keyW = 8, gap = 2.5, left = 7, top = 20;
  auto column = [&](int i) { return left + i * (keyW + gap); };
  for (int row = 0; row < (small ? 0 : 3); ++row) {
    const double y = top + row * (keyW + 1);
    for (int i = 0; i < 5; ++i) {
      if (row == 2 && (i == 2 || i == 3)) continue;  // under the space bar
      double w = keyW;
      if (row == 2 && i == 1) w = 3 * keyW + 2 * gap;  // the space bar
      const bool highlighted = (row == 0 && i == 0) || (row == 1 && i == 2);
      shapes.push_back({Shape::RoundedRect, column(i), y, w, keyW, 2, highlighted ? accent : key, QColor(), 0});
    }
  }
  if (state == State::Playing) {
    // A play badge over the corner: the keyboard is running a macro.
    shapes.push_back({Shape::Circle, 39, 1, 24, 24, 12, kAccent, kBody, 3});
    shapes.push_back({Shape::Triangle, 47, 7, 10, 12, 0, kWhite, QColor(), 0});
  }
  return shapes;
}

// Coordinates snapped to the pixel grid of a size, so edges fall on whole pixels.
double Snap(double units, int size) { return std::round(units * size / 64.0); }

QImage RenderPng(State state, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, size > 22);  // the smallest sizes: hard pixel edges
  for (const Shape& s : Artwork(state, size <= 24)) {
    const QRectF r(Snap(s.x, size), Snap(s.y, size), std::max(1.0, Snap(s.x + s.w, size) - Snap(s.x, size)),
                   std::max(1.0, Snap(s.y + s.h, size) - Snap(s.y, size)));
    const double stroke = s.stroke.isValid() ? std::max(1.0, std::round(s.strokeWidth * size / 64.0)) : 0;
    p.setPen(s.stroke.isValid() ? QPen(s.stroke, stroke) : Qt::NoPen);
    p.setBrush(s.fill);
    const QRectF inner = r.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
    const double radius = s.radius * size / 64.0;
    switch (s.kind) {
      case Shape::RoundedRect: p.drawRoundedRect(inner, radius, radius); break;
      case Shape::Circle: p.drawEllipse(inner); break;
      case Shape::Triangle: {
        const QPointF points[] = {r.topLeft(), r.bottomLeft(), QPointF(r.right(), r.center().y())};
        p.drawPolygon(points, 3);
        break;
      }
    }
  }
  p.end();
  return image;
}

QString Hex(const QColor& c) { return c.name(QColor::HexRgb); }

QString RenderSvg(State state) {
  QString svg;
  QTextStream out(&svg);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<!-- Written by keyloft-icon-gen (scripts/make-skin); edit the generator, not this file. -->\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n";
  for (const Shape& s : Artwork(state, false)) {
    const double half = s.stroke.isValid() ? s.strokeWidth / 2 : 0;
    QString stroke = s.stroke.isValid()
                         ? QString(" stroke=\"%1\" stroke-width=\"%2\"").arg(Hex(s.stroke)).arg(s.strokeWidth)
                         : QString();
    switch (s.kind) {
      case Shape::RoundedRect:
        out << QString("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"%7/>\n")
                   .arg(s.x + half).arg(s.y + half).arg(s.w - 2 * half).arg(s.h - 2 * half).arg(s.radius)
                   .arg(Hex(s.fill)).arg(stroke);
        break;
      case Shape::Circle:
        out << QString("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"%5/>\n")
                   .arg(s.x + s.w / 2).arg(s.y + s.h / 2).arg(s.w / 2 - half).arg(Hex(s.fill)).arg(stroke);
        break;
      case Shape::Triangle:
        out << QString("  <polygon points=\"%1,%2 %1,%3 %4,%5\" fill=\"%6\"/>\n")
                   .arg(s.x).arg(s.y).arg(s.y + s.h).arg(s.x + s.w).arg(s.y + s.h / 2).arg(Hex(s.fill));
        break;
    }
  }
  out << "</svg>\n";
  return svg;
}

int Run(const QStringList& args) {
  if (args.size() != 3 || args[1] != "--out") {
    std::fprintf(stderr, "usage: keyloft-icon-gen --out FOLDER\n");
    return 2;
  }
  QDir out(args[2]);
  if (!out.mkpath(".")) {
    std::fprintf(stderr, "keyloft-icon-gen: cannot create %s\n", qPrintable(args[2]));
    return 1;
  }
  for (State state : {State::Disconnected, State::Connected, State::Playing}) {
    const QString stem = QString("keyloft-%1").arg(StateName(state));
    QFile svg(out.filePath(stem + ".svg"));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(RenderSvg(state).toUtf8()) < 0) {
      std::fprintf(stderr, "keyloft-icon-gen: cannot write %s\n", qPrintable(svg.fileName()));
      return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
      const QString file = out.filePath(QString("%1-%2.png").arg(stem).arg(size));
      if (!RenderPng(state, size).save(file)) {
        std::fprintf(stderr, "keyloft-icon-gen: cannot write %s\n", qPrintable(file));
        return 1;
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  return Run(app.arguments());
}

#include "ui/skin/outline.h"

#include <QPainter>
#include <vector>

namespace keyloft {
namespace {

bool IsOutside(QRgb pixel) { return (pixel & 0x00FFFFFF) == 0x00FFFFFF; }

}  // namespace

QRegion OutlineFromMask(const QImage& mask) {
  QImage pixels = mask.convertToFormat(QImage::Format_RGB32);
  QRegion outline;
  std::vector<QRect> batch;
  batch.reserve(kOutlineBatch);
  auto flush = [&] {
    if (batch.empty()) return;
    QRegion part;
    part.setRects(batch.data(), static_cast<int>(batch.size()));
    outline += part;
    batch.clear();
  };
  for (int y = 0; y < pixels.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < pixels.width()) {
      while (x < pixels.width() && IsOutside(row[x])) ++x;
      int start = x;
      while (x < pixels.width() && !IsOutside(row[x])) ++x;
      if (x > start) {
        batch.emplace_back(start, y, x - start, 1);
        if (static_cast<int>(batch.size()) == kOutlineBatch) flush();
      }
    }
  }
  flush();
  return outline;
}

QImage ShapeBackground(const QImage& background, const QRegion& outline) {
  QImage shaped = background.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&shaped);
  painter.setClipRegion(QRegion(shaped.rect()) - outline);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(shaped.rect(), Qt::transparent);
  return shaped;
}

}  // namespace keyloft

// A window's outline from its mask picture: pure white (255, 255, 255) is
// outside, every other pixel inside. The region drives the window mask (the
// shape on X11, the input region everywhere, so clicks outside reach the
// windows behind); the shaped background gives per-pixel transparency where a
// compositor draws the window.
#pragma once

#include <QImage>
#include <QRegion>

namespace keyloft {

// Rows are scanned into runs of inside pixels and united in batches of at most
// this many rectangles, so a large mask never builds one huge region call.
inline constexpr int kOutlineBatch = 2000;

QRegion OutlineFromMask(const QImage& mask);

// The background with every pixel outside the outline made fully transparent
// (beyond the mask's extent too, as the region leaves those out).
QImage ShapeBackground(const QImage& background, const QRegion& outline);

}  // namespace keyloft

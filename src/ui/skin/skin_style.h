// The look of the standard controls that sit on skinned windows (combo boxes,
// edit boxes, lists, check boxes, menus and tooltips), so they match the skin's
// dark graphite pictures instead of the desktop theme.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QApplication;

namespace keyloft {

// The skin's palette, shared with the artwork.
struct SkinPalette {
  QColor base{0x1B, 0x1E, 0x24};        // fields and lists
  QColor raised{0x2A, 0x2E, 0x36};      // drop-downs, headers
  QColor border{0x3C, 0x42, 0x4D};
  QColor text{0xE6, 0xE9, 0xEE};
  QColor dimText{0x8A, 0x93, 0xA3};
  QColor accent{0x2E, 0xC7, 0xE6};      // selection, focus, ticks
  QColor accentText{0x0B, 0x12, 0x18};  // text on the accent
};

const SkinPalette& DefaultSkinPalette();

inline constexpr int kTooltipDelayMs = 300;

// A style sheet for the application or a skinned window.
QString SkinControlStyle(const SkinPalette& palette = DefaultSkinPalette());
// The same colours as a Qt palette, for what the style sheet does not reach
// (drop-down arrows, colour and file dialogs).
QPalette SkinQtPalette(const SkinPalette& palette = DefaultSkinPalette());
// Fusion, the palette and the style sheet for the whole program.
void ApplySkinStyle(QApplication& app);

}  // namespace keyloft

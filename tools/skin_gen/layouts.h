// Where every control of the three skinned windows sits: the rectangles written
// into the layout files and used again to paint the artwork, so the two cannot
// drift apart.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <map>
#include <string>
#include <vector>

#include "model/key_codes.h"

namespace keyloft::skingen {

struct WindowLayout {
  QSize size;
  std::map<std::string, QRect> rects;       // BUTTONINFO
  std::map<std::string, QPoint> arrowCells;  // BUTTONINFO2 values (picture origins)
  QRect Rect(const std::string& key) const;  // throws when the key is not laid out
};

// A key of the drawn keyboard: its button key, its code (0 for G, D and Fn keys)
// and, for the L-shaped Enter, the lower part that is narrower than the button.
struct KeyShape {
  std::string key;
  KeyCode code = 0;
  QRect rect;
  QRect lowerPart;  // empty unless the key is L-shaped
};

struct MainGeometry {
  QRect plate;
  QRect panel;
  std::vector<QRect> panelDividers;  // x of vertical rules in the lighting panel
  std::vector<KeyShape> keys;        // every keycap: G keys, the 105 keys, Fn, D keys
};

const WindowLayout& MainLayout();
const MainGeometry& MainShapes();
const WindowLayout& CompositeLayout();
const WindowLayout& ProfileLayout();

// The composite dialog's page panel (the mask control's rectangle).
QRect CompositePagePanel();

}  // namespace keyloft::skingen

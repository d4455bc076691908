// The lighting panel's bitmaps: labels, toggles, swatches, direction arrows,
// slider tracks and the apply progress frames, each the size of the control
// that shows it and painted over the panel exactly as it lies beneath.
#pragma once

#include <QImage>
#include <map>
#include <string>

namespace keyloft::skingen {

// File name -> picture, for every name of LightingPanelBitmaps().
std::map<std::string, QImage> PanelBitmaps(const QImage& mainBackground);

}  // namespace keyloft::skingen

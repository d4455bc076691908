// The three windows painted whole, once per picture file: the background and
// every state picture are the same scene with each control in the state that
// picture stands for.
#pragma once

#include <QImage>
#include <QString>
#include <map>
#include <string>
#include <string_view>

namespace keyloft::skingen {

// Button key -> legend of every keycap of the main window.
using Legends = std::map<std::string, QString>;

// fileName is a picture of the main window's image sets, or main_color0/1.jpg.
// State pictures are shifted one pixel up and left of the background, because
// a button shows its picture from one pixel up and left of its origin.
QImage MainBackground(const Legends& legends);
QImage MainPicture(std::string_view fileName, const Legends& legends);
// The arrow glyphs beside the flip toggles, at the BUTTONINFO2 offsets.
QImage ArrowPicture(const QImage& background);

enum class Page { Key, Macro, Media, Function };
QImage CompositeBackground();
// fileName: one of the composite dialog's set pictures (key_*, macro_*, macro2_*, media_*, function_*).
QImage CompositePicture(std::string_view fileName);

QImage ProfileBackground();
QImage ProfilePicture(std::string_view fileName);

// The window outline: pure white outside a rounded rectangle, black inside.
QImage OutlineMask(QSize size);

}  // namespace keyloft::skingen

// The drawing vocabulary of the Keyloft skin: one palette, one type face and
// the few shapes every window is built from (window frame, keycaps, buttons,
// tabs, icons). Everything is drawn on whole pixels so edges stay crisp.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QString>
#include <QStringList>

namespace keyloft::skingen {

// The state a control is drawn in; a picture file shows every control in the
// state its image set uses that file for.
// Sunk is a muted pressed look for windows whose pressed picture also serves
// as the disabled one.
enum class Look { Normal, Over, Pressed, Disabled, Ticked, Sunk };

namespace palette {
inline const QColor kWindowTop(0x1d, 0x20, 0x26);
inline const QColor kWindowBottom(0x15, 0x17, 0x1b);
inline const QColor kFrame(0x3a, 0x40, 0x4a);
inline const QColor kPlate(0x10, 0x12, 0x15);
inline const QColor kCard(0x1f, 0x23, 0x29);
inline const QColor kCardLine(0x2d, 0x32, 0x3b);
inline const QColor kText(0xdd, 0xe2, 0xe8);
inline const QColor kTextSoft(0x93, 0x9a, 0xa5);
inline const QColor kTextDim(0x5a, 0x60, 0x6a);
inline const QColor kAccent(0x22, 0xd3, 0xee);
inline const QColor kAccentSoft(0x67, 0xe8, 0xf9);
inline const QColor kAccentDeep(0x0e, 0x74, 0x90);
inline const QColor kDanger(0xe5, 0x48, 0x4d);
}  // namespace palette

QFont Font(int pixelSize, bool bold = false, bool condensed = false);
QColor WithAlpha(QColor c, int alpha);
QRectF Inner(const QRect& r);  // the rectangle through the centres of its edge pixels

// Window background: a rounded frame, a vertical gradient and a title band of
// the given height (0 for none).
void DrawWindow(QPainter& p, QSize size, int titleHeight);
// A recessed area (keyboard plate, list wells) and a raised card (panels).
void DrawWell(QPainter& p, const QRect& r, int radius);
void DrawCard(QPainter& p, const QRect& r, int radius);

// A keycap; lower is the narrower second row of an L-shaped key (or empty).
// Legend lines are centred on the cap's face; an empty list draws a blank cap.
enum class CapStyle { Key, GKey, Small, Unlit, Lit };
void DrawKeyCap(QPainter& p, const QRect& r, const QRect& lower, Look look, const QStringList& legend,
                CapStyle style = CapStyle::Key);
// The legend as it fits a face of the given width: one or two lines, font size.
struct FittedLegend {
  QStringList lines;
  int pixelSize = 11;
  bool condensed = false;
};
FittedLegend FitLegend(const QString& text, int faceWidth, int faceHeight, bool bold);

enum class Icon {
  None, Menu, Help, Minimize, Close, Profiles, Macro, Reset, Swap, Globe, Home, Chat, Camera, Check, Cross,
  Plus, Trash, Load, Top, Up, Down, Bottom, Record, Keyboard, Eraser, Apply, Bulb, BulbOff, Sun, Gauge,
  Compass, Palette, Brush, Fill, Music, Gear, Key, Rainbow, Restore, Folder, Report,
};
void DrawIcon(QPainter& p, Icon icon, const QRectF& box, const QColor& colour);

// Push buttons: caption and optional icon; Ticked is the accent-filled "on" look.
enum class ButtonKind { Plain, Primary, Flat, FlatDanger, Segment };
void DrawButton(QPainter& p, const QRect& r, Look look, const QString& caption, Icon icon = Icon::None,
                ButtonKind kind = ButtonKind::Plain, int pixelSize = 12);
// A page tab: Ticked is the selected tab, joined to the page panel below it.
void DrawTab(QPainter& p, const QRect& r, Look look, const QString& caption, Icon icon);

// Text helpers.
void DrawText(QPainter& p, const QRect& r, int flags, const QString& text, const QFont& font, const QColor& colour);
// Small upper-case section caption with letter spacing.
void DrawCaption(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& colour, int pixelSize = 10);

// The Keyloft mark (a keycap outline with a light bar) and wordmark.
void DrawWordmark(QPainter& p, QPoint at, int height);

}  // namespace keyloft::skingen

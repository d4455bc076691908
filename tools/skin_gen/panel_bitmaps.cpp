#include "panel_bitmaps.h"

#include <QPainter>
#include <functional>
#include <stdexcept>

#include "art.h"
#include "layouts.h"
#include "ui/skin/skin_entries.h"

namespace keyloft::skingen {

using namespace palette;

namespace {

// Numbered bitmaps. The window uses 0..8 as the sliders' channel pictures; the
// rest give a slider control everything else it may draw:
//   0..4   brightness track at positions 0..4 (fill and knob), slider size
//   5..8   speed track at positions 0..3 (fill and knob), slider size
//   9, 10  slider thumb, released and pressed (16 x 20)
//   11     brightness channel, empty (no fill, no knob)
//   12..16 brightness channel filled to positions 0..4, without knob
//   17..20 speed channel filled to positions 0..3, without knob
//   21     speed channel, empty
//   22, 23 brightness and speed track of a disabled slider
//   24, 25 scale strips under the brightness and speed tracks (dim .. bright,
//          slow .. fast), slider width x 12
constexpr int kThumbW = 16, kThumbH = 20, kTrackPad = 10;

const QColor kFour[] = {QColor(0xef, 0x44, 0x44), QColor(0xfa, 0xcc, 0x15), QColor(0x22, 0xc5, 0x5e),
                        QColor(0x3b, 0x82, 0xf6)};
const QColor kPresets[] = {QColor(0xef, 0x44, 0x44), QColor(0xf9, 0x73, 0x16), QColor(0xfa, 0xcc, 0x15),
                           QColor(0x22, 0xc5, 0x5e), QColor(0x22, 0xd3, 0xee), QColor(0x3b, 0x82, 0xf6),
                           QColor(0xa8, 0x55, 0xf7), QColor(0xf1, 0xf5, 0xf9)};

struct Track {
  int positions;
  int position;  // -1: empty channel
  bool knob;
  bool disabled;
};

qreal KnobX(const QSize& size, int positions, int position) {
  return kTrackPad + (size.width() - 2.0 * kTrackPad) * position / (positions - 1);
}

void DrawThumb(QPainter& p, QPointF centre, bool pressed) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 90));
  p.drawEllipse(centre + QPointF(0, 1.2), 7.5, 7.5);
  QLinearGradient face(centre - QPointF(0, 7), centre + QPointF(0, 7));
  face.setColorAt(0, pressed ? QColor(0xc8, 0xf4, 0xfb) : QColor(0xff, 0xff, 0xff));
  face.setColorAt(1, pressed ? QColor(0x9a, 0xdc, 0xe8) : QColor(0xd6, 0xdd, 0xe4));
  p.setBrush(face);
  p.setPen(QPen(kAccent, 2));
  p.drawEllipse(centre, 6.5, 6.5);
  p.setPen(Qt::NoPen);
  p.setBrush(pressed ? kAccentDeep : kAccent);
  p.drawEllipse(centre, 2, 2);
  p.restore();
}

void DrawTrack(QPainter& p, QSize size, const Track& t) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const qreal cy = size.height() / 2.0;
  const QRectF channel(kTrackPad - 2, cy - 2, size.width() - 2 * kTrackPad + 4, 4);
  p.setPen(QPen(QColor(0, 0, 0, 140), 1));
  p.setBrush(QColor(0x0c, 0x0d, 0x10));
  p.drawRoundedRect(channel.adjusted(-0.5, -0.5, 0.5, 0.5), 2.5, 2.5);
  // Tick dots under the channel, one per position.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < t.positions; ++i) {
    const bool reached = t.position >= i && !t.disabled;
    p.setBrush(reached ? WithAlpha(kAccent, 170) : QColor(0x3a, 0x40, 0x4a));
    p.drawEllipse(QPointF(KnobX(size, t.positions, i), cy + 8.5), 1.3, 1.3);
  }
  if (t.position >= 0) {
    const qreal x = KnobX(size, t.positions, t.position);
    QLinearGradient fill(channel.topLeft(), QPointF(x, channel.top()));
    fill.setColorAt(0, t.disabled ? QColor(0x3a, 0x40, 0x4a) : kAccentDeep);
    fill.setColorAt(1, t.disabled ? QColor(0x4a, 0x50, 0x5a) : kAccent);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(channel.left(), channel.top(), x - channel.left() + 2, channel.height()), 2, 2);
    if (t.knob) {
      if (t.disabled) {
        p.setBrush(QColor(0x4a, 0x50, 0x5a));
        p.drawEllipse(QPointF(x, cy), 6.5, 6.5);
      } else {
        DrawThumb(p, QPointF(x, cy), false);
      }
    }
  }
  p.restore();
}

// A small push face for the toggles and arrows: released, hovered or chosen.
void DrawChip(QPainter& p, const QRect& r, Look look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QColor top(0x33, 0x38, 0x41), bottom(0x2a, 0x2e, 0x35), border(0x44, 0x4a, 0x55);
  if (look == Look::Over) top = top.lighter(120), bottom = bottom.lighter(120), border = kAccent;
  if (look == Look::Ticked) top = QColor(0x0f, 0x5a, 0x69), bottom = QColor(0x0b, 0x45, 0x51), border = kAccent;
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.setPen(QPen(border, 1));
  p.setBrush(g);
  p.drawRoundedRect(Inner(r), 5, 5);
  p.restore();
}

void DrawDirection(QPainter& p, const QRect& r, const std::string& kind, bool chosen) {
  DrawChip(p, r, chosen ? Look::Ticked : Look::Normal);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QColor colour = chosen ? QColor(Qt::white) : kTextSoft;
  p.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const QPointF c = QRectF(r).center();
  auto arrow = [&](QPointF from, QPointF to) {
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot((to - from).x(), (to - from).y());
    const QPointF n(-d.y(), d.x());
    p.drawPolyline(QPolygonF({to - d * 4.5 + n * 4, to, to - d * 4.5 - n * 4}));
  };
  if (kind == "left") arrow(c + QPointF(7, 0), c - QPointF(7, 0));
  if (kind == "right") arrow(c - QPointF(7, 0), c + QPointF(7, 0));
  if (kind == "up") arrow(c + QPointF(0, 6), c - QPointF(0, 6));
  if (kind == "down") arrow(c - QPointF(0, 6), c + QPointF(0, 6));
  if (kind == "kuosan" || kind == "julong") {
    const bool out = kind == "kuosan";
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, 1.8, 1.8);
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int side : {-1, 1}) {
      const QPointF inner = c + QPointF(side * 4.5, 0), outer = c + QPointF(side * 12, 0);
      out ? arrow(inner, outer) : arrow(outer, inner);
    }
  }
  p.restore();
}

void DrawLabel(QPainter& p, const QRect& r, Icon icon, const QString& text) {
  DrawIcon(p, icon, QRectF(r.left(), r.top() + 1.5, 13, 13), kAccentSoft);
  DrawCaption(p, r.adjusted(19, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text, kTextSoft, 10);
}

// One side of the two-part lighting view switch.
void DrawSwitchSide(QPainter& p, const QRect& r, bool leftSide, Look look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // Round only the outer corners: draw wider than the picture and clip.
  const QRectF shape = leftSide ? Inner(r).adjusted(0, 0, 8, 0) : Inner(r).adjusted(-8, 0, 0, 0);
  p.setClipRect(r);
  QColor fill(0x17, 0x19, 0x1d), border(0x3a, 0x40, 0x4a), text = kTextSoft;
  if (look == Look::Over) fill = QColor(0x26, 0x2b, 0x32), text = Qt::white;
  if (look == Look::Ticked) {
    fill = leftSide ? QColor(0x12, 0x8d, 0xa4) : QColor(0x44, 0x4a, 0x55);
    border = leftSide ? kAccent : QColor(0x5a, 0x61, 0x6c);
    text = Qt::white;
  }
  p.setPen(QPen(border, 1));
  p.setBrush(fill);
  p.drawRoundedRect(shape, 6, 6);
  if (!leftSide) p.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), border);
  p.restore();
  // What each side shows: the keys' lighting, or what the keys do. Not
  // "On" and "Off": the switch changes the view, never the keyboard's LEDs.
  DrawText(p, r.adjusted(4, 0, -4, 0), Qt::AlignCenter, leftSide ? "Lighting" : "Keys",
           Font(12, look == Look::Ticked), text);
}

void DrawSwatch(QPainter& p, const QRect& r, QColor colour, bool chosen) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = QRectF(r).center();
  if (chosen) {
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 12.5, 12.5);
  }
  p.setPen(QPen(colour.darker(150), 1));
  p.setBrush(colour);
  p.drawEllipse(c, chosen ? 9.5 : 10.5, chosen ? 9.5 : 10.5);
  if (chosen) {
    const QColor tick = colour.lightness() > 150 ? QColor(0x10, 0x12, 0x15) : QColor(Qt::white);
    DrawIcon(p, Icon::Check, QRectF(c.x() - 6, c.y() - 6, 12, 12), tick);
  }
  p.restore();
}

void DrawProgress(QPainter& p, QSize size, int frame, int frames) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF bar(0.5, 0.5, size.width() - 1, size.height() - 1);
  const qreal radius = bar.height() / 2;
  p.setPen(QPen(QColor(0, 0, 0, 140), 1));
  p.setBrush(QColor(0x0c, 0x0d, 0x10));
  p.drawRoundedRect(bar, radius, radius);
  // A lit segment sweeps left to right; the last frame hands over to the first.
  const qreal segment = size.width() * 0.35;
  const qreal x = -segment + (size.width() + segment) * frame / frames;
  QLinearGradient g(QPointF(x, 0), QPointF(x + segment, 0));
  g.setColorAt(0, WithAlpha(kAccent, 0));
  g.setColorAt(0.7, kAccent);
  g.setColorAt(1, kAccentSoft);
  QPainterPath clip;
  clip.addRoundedRect(bar.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
  p.setClipPath(clip);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRect(QRectF(x, 0, segment, size.height()));
  p.restore();
}

}  // namespace

std::map<std::string, QImage> PanelBitmaps(const QImage& background) {
  const WindowLayout& l = MainLayout();
  std::map<std::string, QImage> out;
  // A picture the size of an entry's rectangle, starting from what lies under it.
  auto at = [&](const std::string& name, const std::string& key, const std::function<void(QPainter&, QRect)>& paint) {
    const QRect r = l.Rect(key);
    QImage image = background.copy(r).convertToFormat(QImage::Format_RGB32);
    QPainter p(&image);
    paint(p, QRect(QPoint(0, 0), r.size()));
    out[name] = image;
  };
  // Pictures no entry shows keep the panel's colour around them.
  auto loose = [&](const std::string& name, QSize size, const std::function<void(QPainter&, QRect)>& paint) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kCard);
    QPainter p(&image);
    paint(p, QRect(QPoint(0, 0), size));
    out[name] = image;
  };

  at("led.bmp", "CONTROL_DengStatic", [](QPainter& p, QRect r) { DrawLabel(p, r, Icon::Bulb, "View"); });
  at("brightness.bmp", "CONTROL_LightStatic", [](QPainter& p, QRect r) { DrawLabel(p, r, Icon::Sun, "Brightness"); });
  at("speed.bmp", "CONTROL_SpeedStatic", [](QPainter& p, QRect r) { DrawLabel(p, r, Icon::Gauge, "Speed"); });
  at("direction.bmp", "CONTROL_BLFXStatic", [](QPainter& p, QRect r) { DrawLabel(p, r, Icon::Compass, "Direction"); });
  at("color.bmp", "CONTROL_HXysStatic", [](QPainter& p, QRect r) { DrawLabel(p, r, Icon::Palette, "Color"); });

  const struct {
    const char* name;
    bool leftSide;
    Look look;
  } sides[] = {{"LED_enabled_on.bmp", true, Look::Ticked},     {"LED_enabled_mouseOver.bmp", true, Look::Over},
               {"LED_enabled_off.bmp", true, Look::Normal},    {"LED_disabled_on.bmp", false, Look::Ticked},
               {"LED_disabled_mouseOver.bmp", false, Look::Over}, {"LED_disabled_off.bmp", false, Look::Normal}};
  for (const auto& s : sides)
    at(s.name, s.leftSide ? "CONTROL_DengStaPic" : "CONTROL_DengDisable",
       [&](QPainter& p, QRect r) { DrawSwitchSide(p, r, s.leftSide, s.look); });

  // Sliders.
  for (int pos = 0; pos <= 4; ++pos)
    at(std::to_string(pos) + ".bmp", "CONTROL_LightSlider",
       [&](QPainter& p, QRect r) { DrawTrack(p, r.size(), {5, pos, true, false}); });
  for (int pos = 0; pos <= 3; ++pos)
    at(std::to_string(5 + pos) + ".bmp", "CONTROL_SpeedSlider",
       [&](QPainter& p, QRect r) { DrawTrack(p, r.size(), {4, pos, true, false}); });
  for (int pressed = 0; pressed < 2; ++pressed)
    loose(std::to_string(9 + pressed) + ".bmp", QSize(kThumbW, kThumbH),
          [&](QPainter& p, QRect r) { DrawThumb(p, QRectF(r).center(), pressed == 1); });
  at("11.bmp", "CONTROL_LightSlider", [](QPainter& p, QRect r) { DrawTrack(p, r.size(), {5, -1, false, false}); });
  for (int pos = 0; pos <= 4; ++pos)
    at(std::to_string(12 + pos) + ".bmp", "CONTROL_LightSlider",
       [&](QPainter& p, QRect r) { DrawTrack(p, r.size(), {5, pos, false, false}); });
  for (int pos = 0; pos <= 3; ++pos)
    at(std::to_string(17 + pos) + ".bmp", "CONTROL_SpeedSlider",
       [&](QPainter& p, QRect r) { DrawTrack(p, r.size(), {4, pos, false, false}); });
  at("21.bmp", "CONTROL_SpeedSlider", [](QPainter& p, QRect r) { DrawTrack(p, r.size(), {4, -1, false, false}); });
  at("22.bmp", "CONTROL_LightSlider", [](QPainter& p, QRect r) { DrawTrack(p, r.size(), {5, 0, true, true}); });
  at("23.bmp", "CONTROL_SpeedSlider", [](QPainter& p, QRect r) { DrawTrack(p, r.size(), {4, 0, true, true}); });
  const int scaleWidth = l.Rect("CONTROL_LightSlider").width();
  loose("24.bmp", QSize(scaleWidth, 12), [](QPainter& p, QRect r) {
    DrawIcon(p, Icon::Sun, QRectF(kTrackPad - 5, 1.5, 9, 9), kTextDim);
    DrawIcon(p, Icon::Sun, QRectF(r.width() - kTrackPad - 6, 0, 12, 12), kTextSoft);
  });
  loose("25.bmp", QSize(scaleWidth, 12), [](QPainter& p, QRect r) {
    DrawText(p, r.adjusted(kTrackPad - 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, "slow", Font(9), kTextDim);
    DrawText(p, r.adjusted(0, 0, -(kTrackPad - 6), 0), Qt::AlignRight | Qt::AlignVCenter, "fast", Font(9), kTextSoft);
  });

  // Direction arrows: the first arrow of each pair sits left, the second right.
  const struct {
    const char* stem;
    const char* key;
  } arrows[] = {{"left", "CONTROL_BLFXLStaPic"}, {"right", "CONTROL_BLFXRStaPic"}, {"up", "CONTROL_BLFXLStaPic3"},
                {"down", "CONTROL_BLFXRStaPic3"}, {"kuosan", "CONTROL_BLFXLStaPic"}, {"julong", "CONTROL_BLFXRStaPic"}};
  for (const auto& a : arrows) {
    const std::string stem = a.stem;
    // leftup/leftdown, ..., but kuosan/kuosandown and julong/julongdown.
    const bool plainStem = stem == "kuosan" || stem == "julong";
    at(stem + (plainStem ? "" : "up") + ".bmp", a.key, [&](QPainter& p, QRect r) { DrawDirection(p, r, stem, false); });
    at(stem + "down.bmp", a.key, [&](QPainter& p, QRect r) { DrawDirection(p, r, stem, true); });
  }

  // Multicolour toggle.
  for (int on = 0; on < 2; ++on)
    at(on ? "sjsdown.bmp" : "sjsup.bmp", "CONTROL_HXsjsStaPic", [&](QPainter& p, QRect r) {
      DrawChip(p, r, on ? Look::Ticked : Look::Normal);
      DrawIcon(p, Icon::Rainbow, QRectF(r).adjusted(5, 5, -5, -5), kText);
    });

  // Four-colour choice.
  const struct {
    const char* stem;
    const char* key;
  } four[] = {{"hong", "CONTROL_HONGPIC"}, {"huang", "CONTROL_HUANGPIC"}, {"lv", "CONTROL_LVPIC"}, {"lan", "CONTROL_LANPIC"}};
  for (int i = 0; i < 4; ++i)
    for (int chosen = 0; chosen < 2; ++chosen)
      at(std::string(four[i].stem) + (chosen ? "ok" : "") + ".bmp", four[i].key,
         [&](QPainter& p, QRect r) { DrawSwatch(p, r, kFour[i], chosen == 1); });

  // User-defined effect tools.
  for (int tool = 1; tool <= 2; ++tool)
    for (int down = 0; down < 2; ++down)
      at("user" + std::to_string(tool) + (down ? "down" : "up") + ".bmp", "CONTROL_USERgjStaPic" + std::to_string(tool),
         [&](QPainter& p, QRect r) {
           DrawChip(p, r, down ? Look::Ticked : Look::Normal);
           DrawIcon(p, tool == 1 ? Icon::Brush : Icon::Fill, QRectF(r.center().x() - 7.5, r.center().y() - 7.5, 16, 16),
                    down ? QColor(Qt::white) : kTextSoft);
         });

  // Colour presets.
  for (int n = 1; n <= 8; ++n)
    at("Color" + std::to_string(n) + ".bmp", "CONTROL_Color" + std::to_string(n), [&](QPainter& p, QRect r) {
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(QColor(0, 0, 0, 150), 1));
      p.setBrush(kPresets[n - 1]);
      p.drawRoundedRect(Inner(r).adjusted(1, 1, -1, -1), 4, 4);
    });

  // Apply progress.
  for (int frame = 1; frame <= 10; ++frame)
    at("jdt" + std::to_string(frame) + ".bmp", "CONTROL_JDTStatic",
       [&](QPainter& p, QRect r) { DrawProgress(p, r.size(), frame, 10); });

  // Loaded but not shown by the panel; drawn to match all the same.
  for (int on = 0; on < 2; ++on)
    loose(on ? "dengdown.bmp" : "dengup.bmp", QSize(28, 28), [&](QPainter& p, QRect r) {
      DrawChip(p, r, on ? Look::Ticked : Look::Normal);
      DrawIcon(p, on ? Icon::Bulb : Icon::BulbOff, QRectF(r).adjusted(7, 7, -7, -7), on ? QColor(Qt::white) : kTextSoft);
    });
  const struct {
    const char* name;
    Look look;
  } restore[] = {{"restore_default_off.bmp", Look::Normal},
                 {"restore_default_mouseOver.bmp", Look::Over},
                 {"restore_default_clicked.bmp", Look::Pressed}};
  for (const auto& r : restore)
    loose(r.name, QSize(110, 28), [&](QPainter& p, QRect box) { DrawButton(p, box, r.look, "Default", Icon::Restore); });

  for (std::string_view name : LightingPanelBitmaps())
    if (!out.contains(std::string(name))) throw std::logic_error("no artwork for " + std::string(name));
  if (out.size() != LightingPanelBitmaps().size()) throw std::logic_error("a panel bitmap the window never loads");
  return out;
}

}  // namespace keyloft::skingen

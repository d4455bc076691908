#include "scenes.h"

#include <QPainter>
#include <set>
#include <stdexcept>

#include "art.h"
#include "layouts.h"
#include "ui/skin/skin_entries.h"

namespace keyloft::skingen {

using namespace palette;

namespace {

constexpr int kMainTitleHeight = 48;

// The state a control shows in a picture: the first slot of its set that names
// the picture, normal when the normal slot does (so it is seamless with the
// background) or when the set does not use the picture at all.
Look LookIn(const SkinImageNames& set, std::string_view file) {
  if (set[0] == file) return Look::Normal;
  constexpr Look bySlot[] = {Look::Normal, Look::Over, Look::Pressed, Look::Disabled, Look::Ticked};
  for (size_t i = 1; i < set.size(); ++i)
    if (set[i] == file) return bySlot[i];
  return Look::Normal;
}

QImage NewPicture(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(kWindowBottom);
  return image;
}

// --- Main window -----------------------------------------------------------

enum class CapMode { Legends, Unlit, Lit };

void PaintMainStatic(QPainter& p) {
  const WindowLayout& l = MainLayout();
  const MainGeometry& g = MainShapes();
  DrawWindow(p, l.size, kMainTitleHeight);
  DrawWordmark(p, QPoint(22, 12), 24);
  DrawCaption(p, QRect(20, 58, 62, 30), Qt::AlignLeft | Qt::AlignVCenter, "Profile", kTextSoft);
  // Separators between the toolbar groups.
  p.fillRect(QRect(201, 63, 1, 20), kCardLine);
  DrawWell(p, g.plate, 10);
  // The strip above the function row sits on a slightly lifted shelf.
  const QRect strip(g.plate.left() + 8, 104, g.plate.width() - 16, 34);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 6));
  p.drawRoundedRect(Inner(strip), 6, 6);
  p.restore();
  DrawCaption(p, QRect(520, 110, 80, 22), Qt::AlignLeft | Qt::AlignVCenter, "Alt keys", kTextDim, 9);
  DrawCard(p, g.panel, 8);
  for (const QRect& d : g.panelDividers) p.fillRect(d, kCardLine);
}

QString Caption(const std::string& key) {
  static const std::map<std::string, QString> captions = {
      {"FUNC_PROFILE1", "1"},        {"FUNC_PROFILE2", "2"},       {"FUNC_PROFILE3", "3"},
      {"FUNC_PROFILES", "Profiles"}, {"FUNC_MACRO", "Macros"},     {"FUNC_DEFAULT", "Defaults"},
      {"FUNC_REPORT1", "125 Hz"},    {"FUNC_REPORT2", "250 Hz"},   {"FUNC_REPORT3", "500 Hz"},
      {"FUNC_REPORT4", "1000 Hz"},   {"FLIP_1", "F1–F4"},          {"FLIP_2", "D1–D6"},
      {"FLIP_0", "Flip"},            {"LOCK_CAPS", "Caps"},        {"LOCK_NUM", "Num"},
      {"LOCK_SCROLL", "Scroll"},     {"LOCK_AB", "AB"},            {"CONTROL2_APPLY", "Apply"},
      {"CONTROL_OK", "OK"},          {"CONTROL_CANCEL", "Cancel"}, {"KORVIN_LINK", "User manual"},
      {"KORVIN_VER", "v" KEYLOFT_VERSION},
  };
  auto it = captions.find(key);
  return it == captions.end() ? QString() : it->second;
}

void DrawLock(QPainter& p, const QRect& r, Look look, const QString& label) {
  const bool lit = look == Look::Ticked;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF dot(r.left() + 8.5, r.center().y() + 0.5);
  if (lit) {
    QRadialGradient glow(dot, 8);
    glow.setColorAt(0, WithAlpha(kAccent, 150));
    glow.setColorAt(1, WithAlpha(kAccent, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(dot, 8, 8);
  }
  p.setPen(QPen(lit ? kAccentSoft : QColor(0x3a, 0x3f, 0x48), 1));
  p.setBrush(lit ? kAccent : QColor(0x1b, 0x1e, 0x23));
  p.drawEllipse(dot, 3.5, 3.5);
  p.restore();
  DrawText(p, QRect(r.left() + 16, r.top(), r.width() - 16, r.height()), Qt::AlignLeft | Qt::AlignVCenter, label,
           Font(10, lit), lit ? QColor(Qt::white) : kTextSoft);
}

void DrawBadge(QPainter& p, const QRect& r, Look look, const QString& text) {
  const bool on = look == Look::Ticked;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(on ? kAccent : QColor(0x3a, 0x40, 0x4a), 1));
  p.setBrush(on ? QColor(0x0e, 0x4e, 0x5c) : QColor(0x17, 0x19, 0x1d));
  p.drawRoundedRect(Inner(r).adjusted(1, 2, -1, -2), (r.height() - 4) / 2.0, (r.height() - 4) / 2.0);
  p.restore();
  DrawCaption(p, r, Qt::AlignCenter, text, on ? QColor(Qt::white) : kTextSoft, 9);
}

void DrawLink(QPainter& p, const QRect& r, Look look) {
  QColor colour = kAccentSoft;
  if (look == Look::Over) colour = Qt::white;
  if (look == Look::Pressed) colour = kAccentDeep.lighter(130);
  const int iconSize = 14;
  DrawIcon(p, Icon::Help, QRectF(r.left() + 4, r.center().y() - iconSize / 2.0 + 0.5, iconSize, iconSize), colour);
  QFont f = Font(12);
  f.setUnderline(look == Look::Over);
  DrawText(p, QRect(r.left() + 24, r.top(), r.width() - 24, r.height()), Qt::AlignLeft | Qt::AlignVCenter, Caption("KORVIN_LINK"),
           f, colour);
}

void DrawIconLink(QPainter& p, const QRect& r, Look look, Icon icon) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QColor ring(0x3a, 0x40, 0x4a), fill(0x1b, 0x1e, 0x23), glyph = kTextSoft;
  if (look == Look::Over) ring = kAccent, fill = QColor(0x24, 0x2b, 0x33), glyph = Qt::white;
  if (look == Look::Pressed) ring = kAccentDeep, fill = QColor(0x13, 0x16, 0x1a), glyph = kAccentSoft;
  p.setPen(QPen(ring, 1));
  p.setBrush(fill);
  p.drawEllipse(Inner(r));
  p.restore();
  DrawIcon(p, icon, QRectF(r).adjusted(7, 7, -7, -7), glyph);
}

void PaintMainControl(QPainter& p, const std::string& key, const QRect& r, Look look) {
  if (key.starts_with("FUNC_PROFILE") && key.size() == 13) {
    DrawButton(p, r, look, Caption(key), Icon::None, ButtonKind::Segment, 13);
  } else if (key == "FUNC_PROFILES") {
    DrawButton(p, r, look, Caption(key), Icon::Profiles);
  } else if (key == "FUNC_MACRO") {
    DrawButton(p, r, look, Caption(key), Icon::Macro);
  } else if (key == "FUNC_DEFAULT") {
    DrawButton(p, r, look, Caption(key), Icon::Reset);
  } else if (key == "FUNC_SWITCH") {
    // Never shown by the window; only its lit looks are drawn, so a hidden
    // button leaves no trace in the background.
    if (look != Look::Normal) DrawButton(p, r, look, QString(), Icon::Swap, ButtonKind::Segment);
  } else if (key.starts_with("FUNC_REPORT")) {
    DrawButton(p, r, look, Caption(key), Icon::None, ButtonKind::Segment, 11);
  } else if (key == "FLIP_1" || key == "FLIP_2") {
    DrawButton(p, r, look, Caption(key), Icon::None, ButtonKind::Segment, 10);
  } else if (key == "FLIP_0") {
    DrawBadge(p, r, look, Caption(key));
  } else if (key.starts_with("LOCK_")) {
    DrawLock(p, r, look, Caption(key));
  } else if (key == "CONTROL_MENU") {
    DrawButton(p, r, look, QString(), Icon::Menu, ButtonKind::Flat);
  } else if (key == "CONTROL_HELP") {
    DrawButton(p, r, look, QString(), Icon::Help, ButtonKind::Flat);
  } else if (key == "CONTROL_MINIMIZE") {
    DrawButton(p, r, look, QString(), Icon::Minimize, ButtonKind::Flat);
  } else if (key == "CONTROL_CLOSE") {
    DrawButton(p, r, look, QString(), Icon::Close, ButtonKind::FlatDanger);
  } else if (key == "KORVIN_LINK") {
    DrawLink(p, r, look);
  } else if (key == "KEY_VAVUZE") {
    DrawIconLink(p, r, look, Icon::Folder);  // the folder of backups and the user's files
  } else if (key == "KEY_FACEBOOK") {
    DrawIconLink(p, r, look, Icon::Report);  // a diagnostics report
  } else if (key == "KEY_INSTARGRAM") {
    // No third purpose: the place stays empty and the program hides the button.
  } else if (key == "KORVIN_VER") {
    DrawBadge(p, r, Look::Normal, Caption(key));
  } else if (key == "CONTROL2_APPLY") {
    DrawButton(p, r, look, Caption(key), Icon::Apply);
  } else if (key == "CONTROL_OK") {
    DrawButton(p, r, look, Caption(key), Icon::None, ButtonKind::Primary);
  } else if (key == "CONTROL_CANCEL") {
    DrawButton(p, r, look, Caption(key));
  } else {
    throw std::logic_error("no artwork for " + key);
  }
}

QImage PaintMain(std::string_view file, bool shifted, const Legends& legends, CapMode caps) {
  const WindowLayout& l = MainLayout();
  QImage image = NewPicture(l.size);
  QPainter p(&image);
  if (shifted) p.translate(-1, -1);
  PaintMainStatic(p);
  std::map<std::string, Look> looks;
  for (const SkinEntry& e : MainLayoutEntries())
    if (e.placement == Placement::ImageButton) looks[e.key] = LookIn(e.pictures, file);
  for (const KeyShape& k : MainShapes().keys) {
    const bool gKey = k.key.starts_with("FUNC_G");
    CapStyle style = gKey ? CapStyle::GKey : CapStyle::Key;
    if (caps == CapMode::Unlit) style = CapStyle::Unlit;
    if (caps == CapMode::Lit) style = CapStyle::Lit;
    QStringList legend;
    if (caps == CapMode::Legends) legend << legends.at(k.key);
    DrawKeyCap(p, k.rect, k.lowerPart, looks.at(k.key), legend, style);
  }
  std::set<std::string> capKeys;
  for (const KeyShape& k : MainShapes().keys) capKeys.insert(k.key);
  for (const auto& [key, look] : looks)
    if (!capKeys.contains(key)) PaintMainControl(p, key, l.Rect(key), look);
  return image;
}

// --- Composite key dialog --------------------------------------------------

struct CompositeScene {
  Page page;
  Look look;
  bool pageTabSelected;  // the page's own tab drawn selected (pictures of the page sets)
  bool macroOnly;        // opened from the macro button: the other pages are off
};

CompositeScene SceneOf(std::string_view file) {
  auto lookOf = [&](const SkinImageNames& set) { return LookIn(set, file); };
  for (const SkinImageNames* set : {&kKeySet, &kMacroSet, &kMacro2Set, &kMediaSet, &kFunctionSet}) {
    if (std::find(set->begin(), set->end(), file) == set->end()) continue;
    const Look look = lookOf(*set);
    if (set == &kKeySet) return {Page::Key, look, false, false};
    if (set == &kMacroSet) return {Page::Macro, look, true, false};
    if (set == &kMacro2Set) return {Page::Macro, look, true, true};
    if (set == &kMediaSet) return {Page::Media, look, true, false};
    return {Page::Function, look, true, false};
  }
  throw std::logic_error("not a composite picture: " + std::string(file));
}

void DrawField(QPainter& p, const QRect& r) { DrawWell(p, r, 5); }

void DrawPagePrompt(QPainter& p, const QRect& panel, Icon icon, const QString& title, const QString& hint) {
  const QRect badge(panel.center().x() - 32, panel.top() + 46, 64, 64);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient glow(badge.center(), 70);
  glow.setColorAt(0, WithAlpha(kAccent, 34));
  glow.setColorAt(1, WithAlpha(kAccent, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(badge.center()), 70, 70);
  p.setPen(QPen(WithAlpha(kAccent, 140), 1.5));
  p.setBrush(QColor(0x17, 0x2a, 0x31));
  p.drawEllipse(QRectF(badge).adjusted(0.75, 0.75, -0.75, -0.75));
  p.restore();
  DrawIcon(p, icon, QRectF(badge).adjusted(18, 18, -18, -18), kAccent);
  DrawText(p, QRect(panel.left(), badge.bottom() + 16, panel.width(), 22), Qt::AlignHCenter | Qt::AlignVCenter, title,
           Font(15, true), kText);
  DrawText(p, QRect(panel.left(), badge.bottom() + 40, panel.width(), 18), Qt::AlignHCenter | Qt::AlignVCenter, hint,
           Font(11), kTextSoft);
}

void PaintMacroPage(QPainter& p, Look look) {
  const WindowLayout& l = CompositeLayout();
  DrawCaption(p, QRect(36, 100, 60, 28), Qt::AlignLeft | Qt::AlignVCenter, "Macro", kTextSoft);
  DrawField(p, l.Rect("FUNC_MACRO_LIST"));
  DrawField(p, l.Rect("FUNC_MACRO_LIST2"));
  DrawField(p, l.Rect("FUNC_MACRO_CYCLES"));
  const struct {
    const char* key;
    const char* caption;
    Icon icon;
  } buttons[] = {
      {"FUNC_MACRO_ADD", "New", Icon::Plus},         {"FUNC_MACRO_DELETE", "Delete", Icon::Trash},
      {"FUNC_MACRO_UP_TOP", "Top", Icon::Top},        {"FUNC_MACRO_UP", "Up", Icon::Up},
      {"FUNC_MACRO_DOWN", "Down", Icon::Down},        {"FUNC_MACRO_DOWN_BOTTOM", "Bottom", Icon::Bottom},
      {"FUNC_MACRO_DELETE2", "Remove", Icon::Cross},  {"FUNC_MACRO_CLEAR", "Clear all", Icon::Eraser},
  };
  for (const auto& b : buttons) DrawButton(p, l.Rect(b.key), look, b.caption, b.icon, ButtonKind::Plain, 11);
  // Record: a red dot that glows while recording (the ticked look is the pressed picture).
  const QRect record = l.Rect("FUNC_MACRO_RECORD");
  DrawButton(p, record, look, "Record", Icon::None, ButtonKind::Plain, 12);
  const bool live = look == Look::Pressed;
  const QColor dot = look == Look::Disabled ? kTextDim : (live ? QColor(0xff, 0x5a, 0x5f) : kDanger);
  const int shift = live ? 1 : 0;
  DrawIcon(p, Icon::Record, QRectF(record.left() + 18, record.center().y() - 6 + shift, 12, 12), dot);
  // Divider above the record row.
  p.fillRect(QRect(36, 337, 528, 1), kCardLine);
}

QImage PaintComposite(const CompositeScene& s, bool shifted) {
  const WindowLayout& l = CompositeLayout();
  QImage image = NewPicture(l.size);
  QPainter p(&image);
  if (shifted) p.translate(-1, -1);
  DrawWindow(p, l.size, 0);
  // Title.
  const QRect title = l.Rect("CONTROL_TITLE");
  // The title is a disabled button that changes sets while the dialog is open,
  // so every picture carries the same title.
  DrawIcon(p, Icon::Key, QRectF(title.left() + 2, title.top() + 6, 16, 16), kAccent);
  DrawText(p, title.adjusted(28, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, "Keys and macros", Font(15, true), kText);
  // Page panel, then the tabs that open onto it.
  const QRect panel = CompositePagePanel();
  DrawCard(p, panel, 8);
  const struct {
    const char* key;
    const char* caption;
    Icon icon;
    Page page;
  } tabs[] = {{"CONTROL_KEY", "Key", Icon::Key, Page::Key},
              {"CONTROL_MACRO", "Macro", Icon::Macro, Page::Macro},
              {"CONTROL_MEDIA", "Media", Icon::Music, Page::Media},
              {"CONTROL_FUNCTION", "Function", Icon::Gear, Page::Function}};
  for (const auto& t : tabs) {
    Look look = s.look == Look::Pressed ? Look::Ticked : s.look;
    if (look == Look::Disabled && !(s.macroOnly && t.page != Page::Macro)) look = Look::Normal;
    if (s.pageTabSelected && t.page == s.page && look != Look::Disabled) look = Look::Ticked;
    DrawTab(p, l.Rect(t.key), look, t.caption, t.icon);
  }
  switch (s.page) {
    case Page::Key:
      DrawPagePrompt(p, panel, Icon::Keyboard, "Press the key it should send",
                     "Any key of this keyboard, or one from the on-screen keyboard");
      DrawField(p, l.Rect("FUNC_KEY_INPUT"));
      break;
    case Page::Media:
      DrawPagePrompt(p, panel, Icon::Music, "Choose a media key", "Playback, volume, mail, browser and more");
      DrawField(p, l.Rect("FUNC_MEDIA_SELECT"));
      break;
    case Page::Function:
      DrawPagePrompt(p, panel, Icon::Gear, "Choose a keyboard function",
                     "Profiles, lighting effect, brightness, speed and Win lock");
      DrawField(p, l.Rect("FUNC_FUNCTION_SELECT"));
      break;
    case Page::Macro:
      PaintMacroPage(p, s.look);
      break;
  }
  // Footer.
  Look footer = s.look;
  DrawButton(p, l.Rect("CONTROL_CLEAR"), footer, "Clear", Icon::Restore);
  DrawButton(p, l.Rect("CONTROL_OSK"), s.macroOnly && footer == Look::Disabled ? Look::Normal : footer, "Keyboard",
             Icon::Keyboard);
  const Look commands = footer == Look::Disabled ? Look::Normal : footer;
  DrawButton(p, l.Rect("CONTROL_OK"), commands, "OK", Icon::None, ButtonKind::Primary);
  DrawButton(p, l.Rect("CONTROL_CANCEL"), commands, "Cancel");
  return image;
}

// --- Profile manager -------------------------------------------------------

QImage PaintProfile(Look look, bool shifted) {
  const WindowLayout& l = ProfileLayout();
  QImage image = NewPicture(l.size);
  QPainter p(&image);
  if (shifted) p.translate(-1, -1);
  DrawWindow(p, l.size, 0);
  DrawIcon(p, Icon::Profiles, QRectF(22, 18, 18, 18), kAccent);
  DrawText(p, QRect(50, 14, 300, 26), Qt::AlignLeft | Qt::AlignVCenter, "Profiles", Font(16, true), kText);
  DrawText(p, QRect(136, 16, 360, 26), Qt::AlignLeft | Qt::AlignVCenter, "Key and lighting setups on this computer",
           Font(11), kTextSoft);
  DrawWell(p, l.Rect("PROGRAM_LIST"), 6);
  DrawButton(p, l.Rect("FUNC_ADD"), look, "Add", Icon::Plus);
  DrawButton(p, l.Rect("FUNC_LOAD"), look, "Load…", Icon::Load);
  DrawButton(p, l.Rect("FUNC_DELETE"), look, "Delete", Icon::Trash);
  p.fillRect(QRect(20, 284, 480, 1), kCardLine);
  DrawButton(p, l.Rect("CONTROL2_APPLY"), look, "Apply", Icon::Apply);
  DrawButton(p, l.Rect("CONTROL_OK"), look, "OK", Icon::None, ButtonKind::Primary);
  DrawButton(p, l.Rect("CONTROL_CANCEL"), look, "Cancel");
  return image;
}

}  // namespace

QImage MainBackground(const Legends& legends) { return PaintMain(kMainNormal, false, legends, CapMode::Legends); }

QImage MainPicture(std::string_view file, const Legends& legends) {
  if (file == kMainColor0) return PaintMain(kMainNormal, true, legends, CapMode::Unlit);
  if (file == kMainColor1) return PaintMain(kMainNormal, true, legends, CapMode::Lit);
  return PaintMain(file, true, legends, CapMode::Legends);
}

QImage ArrowPicture(const QImage& background) {
  const WindowLayout& l = MainLayout();
  const QSize cell = l.Rect("LEFT_ARROW").size();
  // Window-sized like every state picture, though only the cells at the top left are shown.
  QImage image(l.size, QImage::Format_RGB32);
  image.fill(kWindowBottom);
  QPainter p(&image);
  for (const auto& [key, origin] : l.arrowCells) {
    const bool left = key.find("LEFT") != std::string::npos;
    const bool up = key.starts_with("UP_");
    const bool second = key.back() == '2';
    const QRect button = l.Rect(left ? "LEFT_ARROW" : "RIGHT_ARROW");
    const QRect cellRect(origin - QPoint(1, 1), cell);
    p.drawImage(cellRect.topLeft(), background.copy(button));
    DrawIcon(p, up ? Icon::Up : Icon::Down, QRectF(cellRect).adjusted(1, 4, -1, -4), second ? QColor(Qt::white) : kAccent);
  }
  return image;
}

QImage CompositeBackground() { return PaintComposite({Page::Key, Look::Normal, false, false}, false); }
QImage CompositePicture(std::string_view file) { return PaintComposite(SceneOf(file), true); }

QImage ProfileBackground() { return PaintProfile(Look::Normal, false); }

QImage ProfilePicture(std::string_view file) {
  const Look look = LookIn(kProfileSet, file);
  return PaintProfile(look == Look::Pressed ? Look::Sunk : look, true);
}

QImage OutlineMask(QSize size) {
  QImage shape(size, QImage::Format_RGB32);
  shape.fill(Qt::white);
  {
    QPainter p(&shape);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), 12.5, 12.5);
  }
  // Two colours only: a pixel is inside or outside, never in between.
  return shape.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
}

}  // namespace keyloft::skingen

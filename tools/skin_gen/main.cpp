// keyloft-skin-gen: paints Keyloft's own skin (pictures, masks, lighting panel
// bitmaps) and writes the three layout files that place every control on it.
//
//   keyloft-skin-gen --out assets/Skins --lang assets/Lang0409.ini [--preview DIR]
//
// --preview also writes PNG views of each window with a few buttons in their
// other states, for checking the artwork by eye.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "lang/localisation.h"
#include "layouts.h"
#include "model/key_codes.h"
#include "panel_bitmaps.h"
#include "scenes.h"
#include "store/registry.h"
#include "ui/skin/skin_entries.h"

namespace keyloft::skingen {
namespace {

constexpr char kLink[] = "https://keyloft.org/";
constexpr int kJpegQuality = 90;

struct WindowFiles {
  const char* layout;
  const char* background;
  const char* mask;
};
constexpr WindowFiles kMainFiles{"Main.ini", "main_bg.jpg", "main_mask.bmp"};
constexpr WindowFiles kCompositeFiles{"Composite.ini", "composite_bg.jpg", "composite_mask.bmp"};
constexpr WindowFiles kProfileFiles{"Profile.ini", "profile_bg.jpg", "profile_mask.bmp"};

// A keycap legend from the language file's key name: modifiers lose their side,
// keypad keys their "Num " prefix, arrows become arrow glyphs.
QString CapLegend(const std::string& name) {
  QString text = QString::fromStdString(name);
  for (const char* side : {"Left ", "Right "}) {
    const QString rest = text.mid(static_cast<int>(strlen(side)));
    if (text.startsWith(side) && (rest == "Ctrl" || rest == "Shift" || rest == "Alt" || rest == "Win")) return rest;
  }
  if (text.endsWith(" Arrow")) {
    const QString dir = text.chopped(6);
    if (dir == "Up") return QString::fromUtf8("↑");
    if (dir == "Down") return QString::fromUtf8("↓");
    if (dir == "Left") return QString::fromUtf8("←");
    if (dir == "Right") return QString::fromUtf8("→");
  }
  if (text.startsWith("Num ") && text != "Num Lock") return text.mid(4);
  if (text.startsWith("ISO ")) return text.mid(4);
  return text;
}

Legends BuildLegends(const Localisation& lang) {
  Legends legends;
  for (const KeyShape& k : MainShapes().keys) {
    if (k.code != 0) {
      legends[k.key] = CapLegend(GetKeyName(lang, k.code));
    } else if (k.key == "KEY_FN") {
      legends[k.key] = "Fn";
    } else {
      legends[k.key] = QString::fromStdString(k.key.substr(5));  // FUNC_G3 -> G3, FUNC_D2 -> D2
    }
  }
  return legends;
}

void Save(const QImage& image, const QDir& dir, std::string_view name) {
  const QString path = dir.filePath(QString::fromUtf8(name.data(), static_cast<int>(name.size())));
  const bool jpeg = path.endsWith(".jpg");
  QImage out = jpeg ? image.convertToFormat(QImage::Format_RGB32) : image;
  if (path.endsWith(".bmp") && out.format() != QImage::Format_Mono) out = out.convertToFormat(QImage::Format_RGB888);
  if (!out.save(path, jpeg ? "JPG" : "BMP", jpeg ? kJpegQuality : -1))
    throw std::runtime_error("cannot write " + path.toStdString());
}

QString RectText(const QRect& r) { return QString("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

// Every table entry laid out, nothing laid out that no table names.
void CheckCoverage(const WindowLayout& layout, const std::vector<SkinEntry>& entries, const char* file) {
  std::set<std::string> keys;
  for (const SkinEntry& e : entries) {
    keys.insert(e.key);
    if (!layout.rects.contains(e.key)) throw std::logic_error(std::string(file) + ": no place for " + e.key);
  }
  for (const auto& [key, rect] : layout.rects) {
    if (!keys.contains(key)) throw std::logic_error(std::string(file) + ": " + key + " is no entry of the window");
    if (!QRect(QPoint(0, 0), layout.size).contains(rect)) throw std::logic_error(std::string(file) + ": " + key + " is off the window");
  }
}

// Key buttons must not overlap, except the pairs the window redraws in order.
void CheckKeyOverlaps() {
  const auto& keys = MainShapes().keys;
  for (size_t i = 0; i < keys.size(); ++i)
    for (size_t j = i + 1; j < keys.size(); ++j) {
      if (!keys[i].rect.intersects(keys[j].rect)) continue;
      bool allowed = false;
      for (const OverlapAllowance& a : MainOverlapAllowances())
        allowed |= (a.first == keys[i].key && a.second == keys[j].key) || (a.first == keys[j].key && a.second == keys[i].key);
      if (!allowed) throw std::logic_error("keys overlap: " + keys[i].key + " and " + keys[j].key);
    }
}

void WriteLayout(const QDir& dir, const WindowFiles& files, const WindowLayout& layout,
                 const std::vector<SkinEntry>& entries, bool mainWindow) {
  QFile file(dir.filePath(files.layout));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    throw std::runtime_error(std::string("cannot write ") + files.layout);
  QTextStream out(&file);
  out << "; Written by keyloft-skin-gen (scripts/make-skin); edit the generator, not this file.\n";
  out << "[SCREEN]\nMain=" << files.background << "\nMask=" << files.mask << "\n";
  if (mainWindow) out << "Link=" << kLink << "\nLink1=" << kLink << "\nLink2=" << kLink << "\n";
  out << "\n[BUTTONINFO]\n";
  std::set<std::string> written;
  for (const SkinEntry& e : entries)
    if (written.insert(e.key).second) out << QString::fromStdString(e.key) << "=" << RectText(layout.Rect(e.key)) << "\n";
  if (mainWindow) {
    out << "\n[BUTTONINFO2]\n";
    for (std::string_view key : ArrowOffsetKeys()) {
      const QPoint at = layout.arrowCells.at(std::string(key));
      const QSize cell = layout.Rect("LEFT_ARROW").size();
      out << QString::fromUtf8(key.data(), static_cast<int>(key.size())) << "="
          << RectText(QRect(at, cell)) << "\n";
    }
  }
}

// --- Preview ---------------------------------------------------------------

// Paint a button the way the window does: its picture from one pixel up and left.
void ShowButton(QPainter& p, const QImage& picture, const QRect& r, QPoint origin) {
  p.drawImage(r.topLeft(), picture.copy(QRect(origin - QPoint(1, 1), r.size())));
}
void ShowButton(QPainter& p, const QImage& picture, const QRect& r) { ShowButton(p, picture, r, r.topLeft()); }

QImage Cut(const QImage& view, const QImage& mask) {
  QImage out = view.convertToFormat(QImage::Format_ARGB32);
  const QImage m = mask.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x)
      if ((m.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) out.setPixel(x, y, 0);
  return out;
}

void WritePreviews(const QDir& skin, const QDir& preview) {
  auto load = [&](const char* name) {
    QImage image(skin.filePath(name));
    if (image.isNull()) throw std::runtime_error(std::string("cannot read ") + name);
    return image;
  };
  {  // Main window in the lighting view with a few states.
    const WindowLayout& l = MainLayout();
    QImage view = load(kMainFiles.background);
    QPainter p(&view);
    const QImage over = load("main_over.jpg"), down = load("main_down.jpg"), ticked = load("main_disable.jpg"),
                 lit = load("main_color1.jpg"), arrows = load("Arrow.jpg");
    ShowButton(p, over, l.Rect(KeyButtonKey(0x011)));
    ShowButton(p, down, l.Rect(KeyButtonKey(0x01E)));
    ShowButton(p, ticked, l.Rect(KeyButtonKey(0x01C)));
    ShowButton(p, ticked, l.Rect(KeyButtonKey(0x02B)));
    ShowButton(p, ticked, l.Rect("FUNC_G2"));
    ShowButton(p, over, l.Rect("FUNC_G5"));
    ShowButton(p, lit, l.Rect(KeyButtonKey(0x147)));
    ShowButton(p, ticked, l.Rect("FUNC_PROFILE1"));
    ShowButton(p, over, l.Rect("FUNC_MACRO"));
    ShowButton(p, ticked, l.Rect("FUNC_REPORT4"));
    ShowButton(p, ticked, l.Rect("FLIP_0"));
    ShowButton(p, over, l.Rect("LOCK_NUM"));
    ShowButton(p, over, l.Rect("CONTROL_CLOSE"));
    ShowButton(p, ticked, l.Rect("CONTROL2_APPLY"));
    ShowButton(p, over, l.Rect("CONTROL_OK"));
    ShowButton(p, over, l.Rect("KORVIN_LINK"));
    ShowButton(p, arrows, l.Rect("LEFT_ARROW"), l.arrowCells.at(ArrowOffsetKey(true, 0, 1)));
    ShowButton(p, arrows, l.Rect("RIGHT_ARROW"), l.arrowCells.at(ArrowOffsetKey(false, 0, 1)));
    const std::pair<const char*, const char*> panel[] = {
        {"CONTROL_DengStatic", "led.bmp"},       {"CONTROL_DengStaPic", "LED_enabled_on.bmp"},
        {"CONTROL_DengDisable", "LED_disabled_off.bmp"}, {"CONTROL_LightStatic", "brightness.bmp"},
        {"CONTROL_LightSlider", "3.bmp"},        {"CONTROL_SpeedStatic", "speed.bmp"},
        {"CONTROL_SpeedSlider", "6.bmp"},        {"CONTROL_BLFXStatic", "direction.bmp"},
        {"CONTROL_BLFXLStaPic", "leftdown.bmp"}, {"CONTROL_BLFXRStaPic", "rightup.bmp"},
        {"CONTROL_HXysStatic", "color.bmp"},     {"CONTROL_HXsjsStaPic", "sjsdown.bmp"},
        {"CONTROL_JDTStatic", "jdt4.bmp"},       {"CONTROL_USERgjStaPic1", "user1down.bmp"},
        {"CONTROL_USERgjStaPic2", "user2up.bmp"},
    };
    for (const auto& [key, name] : panel) p.drawImage(l.Rect(key).topLeft(), load(name));
    // Native controls the window adds, sketched so the panel reads as a whole.
    p.setRenderHint(QPainter::Antialiasing);
    for (const char* key : {"CONTROL_XGcombox", "CONTROL_umCombo", "COLOR_R", "COLOR_G", "COLOR_B"}) {
      p.setPen(QColor(0x44, 0x4a, 0x55));
      p.setBrush(QColor(0x15, 0x17, 0x1b));
      p.drawRoundedRect(QRectF(l.Rect(key)).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    p.setPen(QColor(0xdd, 0xe2, 0xe8));
    p.drawText(l.Rect("CONTROL_XGcombox").adjusted(8, 0, 0, 0), Qt::AlignVCenter, "Wave");
    p.drawText(l.Rect("CONTROL_UsbStatic"), Qt::AlignVCenter | Qt::AlignRight, "Report Rate");
    p.drawText(l.Rect("CONTROL_HXsjsStatic"), Qt::AlignVCenter, "Multicolor");
    for (const char* key : {"CONTROL_HXysButton", "CONTROL_USERysButton", "CONTROL_USERjsButton"}) {
      p.setPen(QColor(0x44, 0x4a, 0x55));
      p.setBrush(QColor(0xe0, 0x40, 0x60));
      p.drawRoundedRect(QRectF(l.Rect(key)).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    p.end();
    Cut(view, load(kMainFiles.mask)).save(preview.filePath("main.png"));
  }
  {  // Composite dialog on the macro page, and on the key page.
    const WindowLayout& l = CompositeLayout();
    for (bool macro : {true, false}) {
      QImage view = load(kCompositeFiles.background);
      QPainter p(&view);
      ShowButton(p, load(macro ? "macro_disable.jpg" : "key_normal.jpg"), l.Rect("CONTROL_MASK"));
      ShowButton(p, load("key_down.jpg"), l.Rect(macro ? "CONTROL_MACRO" : "CONTROL_KEY"));
      ShowButton(p, load("key_over.jpg"), l.Rect("CONTROL_MEDIA"));
      if (macro) {
        for (const auto& e : CompositeLayoutEntries())
          if (e.pictures[0] == "macro_normal.jpg") ShowButton(p, load("macro_normal.jpg"), l.Rect(e.key));
        ShowButton(p, load("macro_over.jpg"), l.Rect("FUNC_MACRO_ADD"));
        ShowButton(p, load("macro_down.jpg"), l.Rect("FUNC_MACRO_RECORD"));
        ShowButton(p, load("macro_disable.jpg"), l.Rect("FUNC_MACRO_DELETE2"));
      }
      ShowButton(p, load("key_over.jpg"), l.Rect("CONTROL_OK"));
      p.end();
      Cut(view, load(kCompositeFiles.mask)).save(preview.filePath(macro ? "composite_macro.png" : "composite_key.png"));
    }
    QImage view = load(kCompositeFiles.background);  // macro-only mode
    QPainter p(&view);
    ShowButton(p, load("macro_disable.jpg"), l.Rect("CONTROL_MASK"));
    for (const char* key : {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_TITLE", "CONTROL_CLEAR"})
      ShowButton(p, load("macro2_disable.jpg"), l.Rect(key));
    ShowButton(p, load("key_down.jpg"), l.Rect("CONTROL_MACRO"));
    p.end();
    Cut(view, load(kCompositeFiles.mask)).save(preview.filePath("composite_macro_only.png"));
  }
  {  // Profile manager.
    const WindowLayout& l = ProfileLayout();
    QImage view = load(kProfileFiles.background);
    QPainter p(&view);
    ShowButton(p, load("Profile_over.jpg"), l.Rect("FUNC_ADD"));
    ShowButton(p, load("Profile_down.jpg"), l.Rect("FUNC_LOAD"));
    ShowButton(p, load("Profile_down.jpg"), l.Rect("CONTROL2_APPLY"));
    p.end();
    Cut(view, load(kProfileFiles.mask)).save(preview.filePath("profile.png"));
  }
  {  // Every panel bitmap on one sheet, enlarged.
    const auto names = LightingPanelBitmaps();
    QImage sheet(QSize(8 * 170, ((static_cast<int>(names.size()) + 7) / 8) * 50), QImage::Format_RGB32);
    sheet.fill(QColor(0x30, 0x30, 0x30));
    QPainter p(&sheet);
    int i = 0;
    for (std::string_view name : names) {
      const QPoint at((i % 8) * 170 + 4, (i / 8) * 50 + 4);
      p.drawImage(at, load(std::string(name).c_str()));
      p.setPen(Qt::white);
      p.setFont(QFont("DejaVu Sans", 7));
      p.drawText(at + QPoint(0, 42), QString::fromUtf8(name.data(), static_cast<int>(name.size())));
      ++i;
    }
    p.end();
    sheet.save(preview.filePath("panel_bitmaps.png"));
  }
}

int Run(const QStringList& args) {
  QString outPath, langPath, previewPath;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if ((a == "--out" || a == "--lang" || a == "--preview") && i + 1 < args.size()) {
      (a == "--out" ? outPath : a == "--lang" ? langPath : previewPath) = args[++i];
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", qPrintable(a));
      return 2;
    }
  }
  if (outPath.isEmpty() || langPath.isEmpty()) {
    std::fprintf(stderr, "usage: keyloft-skin-gen --out SKIN_FOLDER --lang Lang0409.ini [--preview FOLDER]\n");
    return 2;
  }
  // Key names come through the program's own lookup, from a registry in a
  // throw-away folder so no user setting is read or written.
  QTemporaryDir home;
  RegistryKey registry(std::filesystem::path(home.path().toStdString()) / "registry.ini");
  const std::filesystem::path langFile = langPath.toStdString();
  Localisation lang(langFile.parent_path(), registry, 0x0409);
  if (lang.LanguageFile(lang.GetLanguageIndex()).filename() != langFile.filename()) {
    std::fprintf(stderr, "the language file must be %s\n", lang.LanguageFile(0).filename().c_str());
    return 2;
  }
  const Legends legends = BuildLegends(lang);

  CheckCoverage(MainLayout(), MainLayoutEntries(), kMainFiles.layout);
  CheckCoverage(CompositeLayout(), CompositeLayoutEntries(), kCompositeFiles.layout);
  CheckCoverage(ProfileLayout(), ProfileLayoutEntries(), kProfileFiles.layout);
  CheckKeyOverlaps();

  QDir out(outPath);
  if (!out.mkpath(".")) throw std::runtime_error("cannot create " + outPath.toStdString());

  // Main window.
  const QImage mainBackground = MainBackground(legends);
  Save(mainBackground, out, kMainFiles.background);
  Save(OutlineMask(MainLayout().size), out, kMainFiles.mask);
  for (std::string_view name : {kMainNormal, kMainOver, kMainDown, kMainDisable, kMainColour0, kMainColour1})
    Save(MainPicture(name, legends), out, name);
  Save(ArrowPicture(mainBackground), out, kArrowPicture);
  for (const auto& [name, image] : PanelBitmaps(mainBackground)) Save(image, out, name);
  WriteLayout(out, kMainFiles, MainLayout(), MainLayoutEntries(), true);

  // Composite key dialog.
  Save(CompositeBackground(), out, kCompositeFiles.background);
  Save(OutlineMask(CompositeLayout().size), out, kCompositeFiles.mask);
  std::set<std::string_view> done;
  for (const SkinImageNames* set : {&kKeySet, &kMacroSet, &kMacro2Set, &kMediaSet, &kFunctionSet})
    for (std::string_view name : *set)
      if (done.insert(name).second) Save(CompositePicture(name), out, name);
  WriteLayout(out, kCompositeFiles, CompositeLayout(), CompositeLayoutEntries(), false);

  // Profile manager.
  Save(ProfileBackground(), out, kProfileFiles.background);
  Save(OutlineMask(ProfileLayout().size), out, kProfileFiles.mask);
  for (std::string_view name : PicturesOf(ProfileLayoutEntries())) Save(ProfilePicture(name), out, name);
  WriteLayout(out, kProfileFiles, ProfileLayout(), ProfileLayoutEntries(), false);

  if (!previewPath.isEmpty()) {
    QDir preview(previewPath);
    preview.mkpath(".");
    WritePreviews(out, preview);
  }
  return 0;
}

}  // namespace
}  // namespace keyloft::skingen

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  try {
    return keyloft::skingen::Run(app.arguments());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "keyloft-skin-gen: %s\n", e.what());
    return 1;
  }
}

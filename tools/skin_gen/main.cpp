// keyloft-skin-gen: paints Keyloft's own skin (pictures, masks, lighting panel
// bitmaps) and writes the three layout files that place every control on it.
//
//   keyloft-skin-gen --out assets/Skins --lang assets/Lang0409.ini
//
// keyloft-skin-preview shows the result as the windows draw it.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
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
#include "platform/locale.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

namespace keyloft::skingen {
namespace {

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
  if (mainWindow) {
    const QString link = QString::fromUtf8(kDefaultLink.data(), static_cast<qsizetype>(kDefaultLink.size()));
    out << "Link=" << link << "\nLink1=" << link << "\nLink2=" << link << "\n";
  }
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
  out.flush();
  file.close();
  if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
    throw std::runtime_error(std::string("cannot write ") + files.layout);
}

int Run(const QStringList& args) {
  QString outPath, langPath;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if ((a == "--out" || a == "--lang") && i + 1 < args.size()) {
      (a == "--out" ? outPath : langPath) = args[++i];
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", qPrintable(a));
      return 2;
    }
  }
  if (outPath.isEmpty() || langPath.isEmpty()) {
    std::fprintf(stderr, "usage: keyloft-skin-gen --out SKIN_FOLDER --lang Lang0409.ini\n");
    return 2;
  }
  // Key names come through the program's own lookup, in English whatever the
  // user's settings say.
  const std::filesystem::path langFile = langPath.toStdString();
  Localisation lang(langFile.parent_path(), kLangEnglishUS);
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
  for (std::string_view name : {kMainNormal, kMainOver, kMainDown, kMainDisable, kMainColor0, kMainColor1})
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

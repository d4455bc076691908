// The skin Keyloft ships: every entry the windows place is there and inside
// its window and outline, every picture they name exists and decodes at the
// right size, and the keys of the keyboard view do not cover each other.
#include <QImageReader>
#include <QtTest>
#include <cctype>
#include <set>

#include "util/ini_file.h"
#include "ui/skin/outline.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

using namespace keyloft;
namespace fs = std::filesystem;

namespace {

const fs::path kSkin = fs::path(KEYLOFT_ASSETS_DIR) / kSkinFolderName;

struct Window {
  const char* layoutFile;
  const std::vector<SkinEntry>& (*entries)();
};

const Window kWindows[] = {
    {"Main.ini", MainLayoutEntries}, {"Composite.ini", CompositeLayoutEntries}, {"Profile.ini", ProfileLayoutEntries}};

QImage Decode(const fs::path& file) { return QImageReader(QString::fromStdString(file.string())).read(); }

QSize WindowSize(const SkinLayout& layout) { return Decode(layout.PicturePath(layout.Screen("Main"))).size(); }

bool IsKeyButton(const std::string& key) {
  auto numbered = [&key](std::string_view prefix) {
    return key.size() == prefix.size() + 1 && key.starts_with(prefix) && std::isdigit(static_cast<unsigned char>(key.back()));
  };
  return key.starts_with("KEY_0") || numbered("FUNC_G") || numbered("FUNC_D") || key == "KEY_FN";
}

bool OverlapAllowed(const std::string& a, const std::string& b) {
  for (const OverlapAllowance& allowed : MainOverlapAllowances())
    if ((a == allowed.first && b == allowed.second) || (a == allowed.second && b == allowed.first)) return true;
  return false;
}

// Which bitmap a plain lighting control shows, so its size must match.
const std::pair<const char*, const char*> kPanelPictures[] = {
    {"CONTROL_DengStatic", "led.bmp"},          {"CONTROL_DengStaPic", "LED_enabled_on.bmp"},
    {"CONTROL_DengDisable", "LED_disabled_off.bmp"}, {"CONTROL_LightStatic", "brightness.bmp"},
    {"CONTROL_LightSlider", "0.bmp"},           {"CONTROL_SpeedStatic", "speed.bmp"},
    {"CONTROL_SpeedSlider", "5.bmp"},           {"CONTROL_BLFXStatic", "direction.bmp"},
    {"CONTROL_BLFXLStaPic", "leftup.bmp"},      {"CONTROL_BLFXRStaPic", "rightup.bmp"},
    {"CONTROL_HXysStatic", "color.bmp"},        {"CONTROL_HXsjsStaPic", "sjsup.bmp"},
    {"CONTROL_FYYSStatic", "color.bmp"},        {"CONTROL_FYSJSStaPic", "sjsup.bmp"},
    {"CONTROL_HONGPIC", "hong.bmp"},            {"CONTROL_HUANGPIC", "huang.bmp"},
    {"CONTROL_LVPIC", "lv.bmp"},                {"CONTROL_LANPIC", "lan.bmp"},
    {"CONTROL_USERgjStaPic1", "user1up.bmp"},   {"CONTROL_USERgjStaPic2", "user2up.bmp"},
    {"CONTROL_JDTStatic", "jdt1.bmp"},
};

// Pictures that must share one size: the looks of one control.
const std::vector<std::vector<const char*>> kSameSize = {
    {"0.bmp", "1.bmp", "2.bmp", "3.bmp", "4.bmp"},
    {"5.bmp", "6.bmp", "7.bmp", "8.bmp"},
    {"jdt1.bmp", "jdt2.bmp", "jdt3.bmp", "jdt4.bmp", "jdt5.bmp", "jdt6.bmp", "jdt7.bmp", "jdt8.bmp", "jdt9.bmp",
     "jdt10.bmp"},
    {"leftup.bmp", "leftdown.bmp", "rightup.bmp", "rightdown.bmp", "upup.bmp", "updown.bmp", "downup.bmp",
     "downdown.bmp", "julong.bmp", "julongdown.bmp", "kuosan.bmp", "kuosandown.bmp"},
    {"hong.bmp", "hongok.bmp", "huang.bmp", "huangok.bmp", "lv.bmp", "lvok.bmp", "lan.bmp", "lanok.bmp"},
    {"sjsup.bmp", "sjsdown.bmp"},
    {"user1up.bmp", "user1down.bmp", "user2up.bmp", "user2down.bmp"},
    {"LED_enabled_on.bmp", "LED_enabled_mouseOver.bmp", "LED_enabled_off.bmp"},
    {"LED_disabled_on.bmp", "LED_disabled_mouseOver.bmp", "LED_disabled_off.bmp"},
};

}  // namespace

class ShippedSkinTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryEntryIsPlacedInsideItsWindowAndOutline() {
    for (const Window& window : kWindows) {
      SkinLayout layout(kSkin / window.layoutFile);
      QSize size = WindowSize(layout);
      QVERIFY2(!size.isEmpty(), window.layoutFile);
      QString maskName = QString::fromStdString(layout.Screen("Mask", layout.Screen("Main")));
      QRegion outline = OutlineFromMask(Decode(layout.PicturePath(maskName.toStdString())));
      for (const SkinEntry& entry : window.entries()) {
        QString where = QString("%1 %2").arg(window.layoutFile, QString::fromStdString(entry.key));
        auto value = ReadIniValue(layout.File(), kButtonSection, entry.key);
        QVERIFY2(value.has_value(), qPrintable(where + " is missing"));
        SkinRect rect = ParseSkinRect(*value);
        QVERIFY2(!rect.IsUnplaced() && rect.w > 0 && rect.h > 0, qPrintable(where + " is not a rectangle"));
        QVERIFY2(QRect(QPoint(0, 0), size).contains(rect.ToQRect()), qPrintable(where + " leaves the window"));
        QVERIFY2((QRegion(rect.ToQRect()) - outline).isEmpty(), qPrintable(where + " is cut by the outline"));
      }
    }
  }

  void ArrowOffsetsAreThere() {
    SkinLayout layout(kSkin / kMainLayoutFile);
    QSize arrows = Decode(layout.PicturePath(kArrowPicture)).size();
    for (std::string_view key : ArrowOffsetKeys()) {
      SkinRect arrow = layout.Rect(kButtonSection, key.find("LEFT") != key.npos ? "LEFT_ARROW" : "RIGHT_ARROW");
      auto value = ReadIniValue(layout.File(), kArrowOffsetSection, key);
      QVERIFY2(value.has_value(), std::string(key).c_str());
      SkinRect offset = ParseSkinRect(*value);
      // The arrow shows its picture from one pixel up and left of the offset.
      QRect shown(offset.Origin() - QPoint(1, 1), QSize(arrow.w, arrow.h));
      QVERIFY2(QRect(QPoint(0, 0), arrows).contains(shown), std::string(key).c_str());
    }
  }

  void EveryPictureExistsDecodesAndFitsItsWindow() {
    for (const Window& window : kWindows) {
      SkinLayout layout(kSkin / window.layoutFile);
      QSize size = WindowSize(layout);
      std::vector<std::string_view> names = PicturesOf(window.entries());
      std::string mask = layout.Screen("Mask");
      QVERIFY2(!mask.empty(), window.layoutFile);
      QVERIFY2(Decode(layout.PicturePath(mask)).size() == size, mask.c_str());
      for (std::string_view name : names) {
        QImage picture = Decode(layout.PicturePath(name));
        QVERIFY2(!picture.isNull(), std::string(name).c_str());
        // A state picture is a whole-window picture.
        QVERIFY2(picture.size() == size, qPrintable(QString("%1 is %2x%3, the window %4x%5")
                                                        .arg(QString::fromStdString(std::string(name)))
                                                        .arg(picture.width()).arg(picture.height())
                                                        .arg(size.width()).arg(size.height())));
      }
    }
    SkinLayout main(kSkin / kMainLayoutFile);
    for (std::string_view name : {kMainColor0, kMainColor1})
      QCOMPARE(Decode(main.PicturePath(name)).size(), WindowSize(main));
    // The sets the composite dialog changes to while open are named in code, not by entries.
    SkinLayout composite(kSkin / kCompositeLayoutFile);
    for (const SkinImageNames* set : {&kMacro2Set, &kMediaSet, &kFunctionSet})
      for (std::string_view picture : *set)
        QVERIFY2(Decode(composite.PicturePath(picture)).size() == WindowSize(composite), std::string(picture).c_str());
  }

  void LightingBitmapsDecodeAtTheSizeOfTheirControls() {
    SkinLayout layout(kSkin / kMainLayoutFile);
    for (std::string_view name : LightingPanelBitmaps())
      QVERIFY2(!Decode(layout.PicturePath(name)).isNull(), std::string(name).c_str());
    for (auto [key, bitmap] : kPanelPictures) {
      SkinRect rect = layout.Rect(kButtonSection, key);
      QCOMPARE(Decode(layout.PicturePath(bitmap)).size(), QSize(rect.w, rect.h));
    }
    for (const auto& group : kSameSize)
      for (const char* name : group)
        QVERIFY2(Decode(layout.PicturePath(name)).size() == Decode(layout.PicturePath(group.front())).size(), name);
  }

  void KeyButtonsDoNotCoverEachOther() {
    SkinLayout layout(kSkin / kMainLayoutFile);
    std::vector<std::pair<std::string, QRect>> keys;
    for (const SkinEntry& entry : MainLayoutEntries())
      if (IsKeyButton(entry.key)) keys.emplace_back(entry.key, layout.Rect(kButtonSection, entry.key).ToQRect());
    QCOMPARE(keys.size(), size_t{9 + 105 + 6 + 1});
    for (size_t i = 0; i < keys.size(); ++i)
      for (size_t j = i + 1; j < keys.size(); ++j)
        if (keys[i].second.intersects(keys[j].second))
          QVERIFY2(OverlapAllowed(keys[i].first, keys[j].first),
                   qPrintable(QString::fromStdString(keys[i].first + " overlaps " + keys[j].first)));
  }
};

QTEST_MAIN(ShippedSkinTest)
#include "shipped_skin_test.moc"

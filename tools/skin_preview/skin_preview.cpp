// keyloft-skin-preview: renders the three skinned windows with every control
// placed from the layout files and a mix of looks (pointer over, pressed,
// disabled, ticked) to PNG files, so anyone can look at a skin without a
// keyboard. A window whose background or mask cannot be loaded ends the
// program as it would end Keyloft: with a message naming the file. With
// --manual it draws the user manual's pictures instead: the windows as the
// user sees them, without the mixed looks.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "platform/paths.h"
#include "util/ini_file.h"
#include "ui/controls/color_button.h"
#include "ui/controls/image_button.h"
#include "ui/controls/pixmap_slider.h"
#include "ui/controls/report_list.h"
#include "ui/controls/transparent_label.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_pictures.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skinned_dialog.h"

namespace keyloft {
namespace {

namespace fs = std::filesystem;

struct Options {
  fs::path skin;
  fs::path language;
  fs::path out;
  int showSeconds = 0;  // also show the main window on the screen this long
  int width = 0;        // pictures wider than this are scaled down to it; 0 keeps their size
  bool manual = false;  // the manual's pictures instead of the mixed looks
};

int picturesWritten = 0;

// Every picture goes out through here. With --width the pictures are meant to
// be small: one wider is scaled down smoothly, and all are packed as tightly as
// PNG goes.
bool WritePicture(const QImage& image, const fs::path& file, int width) {
  const QImage out = width > 0 && image.width() > width ? image.scaledToWidth(width, Qt::SmoothTransformation) : image;
  if (!out.save(QString::fromStdString(file.string()), "PNG", width > 0 ? 0 : -1)) return false;
  ++picturesWritten;
  return true;
}

// A skinned window under construction: the dialog, its buttons by key, and the
// pictures of the skin.
class PreviewWindow {
 public:
  PreviewWindow(const fs::path& layoutFile, SkinPictureCache& cache) : dialog_(layoutFile), cache_(cache) {}

  SkinnedDialog& Dialog() { return dialog_; }
  const SkinLayout& Layout() { return dialog_.skinLayout(); }

  // Loads the skin and shows the window, as the program opens one; false,
  // with the reason printed, when the skin cannot be loaded.
  bool Open() {
    if (auto error = dialog_.loadSkin()) {
      std::fprintf(stderr, "keyloft-skin-preview: %s\n", error->Message().c_str());
      return false;
    }
    dialog_.show();
    return true;
  }

  void PlaceButtons(const std::vector<SkinEntry>& entries) {
    for (const SkinEntry& entry : entries) {
      if (entry.placement != Placement::ImageButton) continue;
      ImageButton* button = Button(entry.key);
      PlaceImageButton(*button, Layout(), kButtonSection, entry.key, Set(entry.pictures));
    }
  }

  ImageButton* Button(const std::string& key) {
    auto& button = buttons_[key];
    if (!button) {
      button = new ImageButton(&dialog_);
      button->show();
    }
    return button;
  }

  SkinImageSet Set(const SkinImageNames& names) { return cache_.Set(Layout(), names, dialog_.size()); }
  const QPixmap& Picture(std::string_view name) { return cache_.Picture(Layout().PicturePath(name), dialog_.size()); }

  // A control of the window placed plainly under its key.
  template <typename Widget>
  Widget* Place(const std::string& key) {
    auto* widget = new Widget();
    widget->setParent(&dialog_);
    PlaceControl(*widget, Layout(), kButtonSection, key);
    widget->show();  // children made after the window was shown start hidden
    return widget;
  }

  // A panel bitmap as it is, not a window-sized state surface.
  QPixmap Bitmap(std::string_view name) const {
    return QPixmap(QString::fromStdString(dialog_.skinLayout().PicturePath(name).string()));
  }

  QLabel* PictureLabel(const std::string& key, std::string_view bitmap) {
    auto* label = Place<QLabel>(key);
    label->setPixmap(Bitmap(bitmap));
    return label;
  }

  static void Hover(ImageButton* button) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(button, &enter);
  }

  // The window over a quiet backdrop, so its outline shows.
  bool Save(const fs::path& file, int width) {
    QImage window(dialog_.size(), QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::transparent);
    dialog_.render(&window, QPoint(), QRegion(), QWidget::DrawChildren);
    const int margin = 24;
    QImage framed(window.size() + QSize(2 * margin, 2 * margin), QImage::Format_RGB32);
    QPainter painter(&framed);
    QLinearGradient backdrop(0, 0, 0, framed.height());
    backdrop.setColorAt(0, QColor(0x5A, 0x63, 0x70));
    backdrop.setColorAt(1, QColor(0x3A, 0x40, 0x4A));
    painter.fillRect(framed.rect(), backdrop);
    painter.drawImage(margin, margin, window);
    painter.end();
    return WritePicture(framed, file, width);
  }

 private:
  SkinnedDialog dialog_;
  SkinPictureCache& cache_;
  std::map<std::string, ImageButton*> buttons_;
};

int writeFailures = 0;

void Save(PreviewWindow& w, const fs::path& file, const Options& options) {
  if (w.Save(file, options.width)) return;
  std::fprintf(stderr, "keyloft-skin-preview: cannot write %s\n", file.c_str());
  ++writeFailures;
}

QString LangText(const Options& options, std::string_view section, std::string_view key, std::string_view fallback) {
  return QString::fromStdString(ReadIniString(options.language, section, key, fallback));
}

// Effects whose controls the lighting panel shows, by group.
bool ShownFor(std::initializer_list<int> effects, int effect) {
  return std::find(effects.begin(), effects.end(), effect) != effects.end();
}

// The lighting panel as the main window lays it out for one effect.
void BuildLightingPanel(PreviewWindow& w, const Options& options, int effect) {
  auto picture = [&](const char* key, std::string_view bitmap, bool shown) {
    w.PictureLabel(key, bitmap)->setVisible(shown);
  };
  auto text = [&](const char* key, const char* lightKey, const char* fallback, bool shown) {
    auto* label = w.Place<TransparentLabel>(key);
    label->setText(LangText(options, "LIGHT", lightKey, fallback));
    label->setFontHeight(12);
    label->setVisible(shown);
  };
  auto colour = [&](const char* key, QColor value, bool shown) {
    auto* button = w.Place<ColorButton>(key);
    button->setColor(value);
    button->setVisible(shown);
  };

  picture("CONTROL_DengStatic", "led.bmp", true);
  picture("CONTROL_DengStaPic", "LED_enabled_on.bmp", true);
  picture("CONTROL_DengDisable", "LED_disabled_off.bmp", true);

  auto* combo = w.Place<QComboBox>("CONTROL_XGcombox");
  for (int mode : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20})
    combo->addItem(LangText(options, "MODE", std::to_string(mode), std::to_string(mode)), mode);
  combo->setCurrentIndex(combo->findData(effect));

  bool brightness = effect >= 1 && effect <= 20 && effect != 19;
  picture("CONTROL_LightStatic", "brightness.bmp", brightness);
  auto* light = w.Place<PixmapSlider>("CONTROL_LightSlider");
  light->setRange(0, 4);
  light->setValue(3);
  light->setChannelPixmap(w.Bitmap("3.bmp"));
  light->setVisible(brightness);

  bool speed = ShownFor({1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15}, effect);
  picture("CONTROL_SpeedStatic", "speed.bmp", speed);
  auto* speedSlider = w.Place<PixmapSlider>("CONTROL_SpeedSlider");
  speedSlider->setRange(0, 3);
  speedSlider->setValue(1);
  speedSlider->setChannelPixmap(w.Bitmap("6.bmp"));
  speedSlider->setVisible(speed);

  // One set of direction controls, moved to the layout of the effect.
  bool direction = ShownFor({1, 2, 3, 11, 12, 18}, effect);
  const char* suffix = ShownFor({1, 2, 3, 11}, effect) ? "2" : effect == 12 ? "3" : "";
  const char* first = effect == 12 ? "updown.bmp" : effect == 18 ? "kuosandown.bmp" : "leftdown.bmp";
  const char* second = effect == 12 ? "downup.bmp" : effect == 18 ? "julong.bmp" : "rightup.bmp";
  std::pair<const char*, const char*> arrows[] = {
      {"CONTROL_BLFXStatic", "direction.bmp"}, {"CONTROL_BLFXLStaPic", first}, {"CONTROL_BLFXRStaPic", second}};
  for (auto [key, bitmap] : arrows) {
    QLabel* label = w.PictureLabel(key, bitmap);
    MoveControl(*label, w.Layout(), kButtonSection, std::string(key) + suffix);
    label->setVisible(direction);
  }

  bool breathing = ShownFor({1, 2, 3, 5, 7, 8, 9, 10, 11, 13, 14, 15}, effect);
  picture("CONTROL_HXysStatic", "color.bmp", breathing);
  colour("CONTROL_HXysButton", QColor(0x2E, 0xC7, 0xE6), breathing);
  text("CONTROL_HXsjsStatic", "DC", "Multicolour", breathing);
  picture("CONTROL_HXsjsStaPic", "sjsdown.bmp", breathing);

  bool reactive = ShownFor({6, 16}, effect);
  picture("CONTROL_FYYSStatic", "color.bmp", reactive);
  colour("CONTROL_FYYSButton", QColor(0x2E, 0xC7, 0xE6), reactive);
  text("CONTROL_FYSJSStatic", "DC", "Multicolour", reactive);
  picture("CONTROL_FYSJSStaPic", "sjsup.bmp", reactive);

  bool four = effect == 17;
  picture("CONTROL_HONGPIC", "hong.bmp", four);
  picture("CONTROL_HUANGPIC", "huangok.bmp", four);
  picture("CONTROL_LVPIC", "lv.bmp", four);
  picture("CONTROL_LANPIC", "lan.bmp", four);

  bool user = effect == 20;
  text("CONTROL_USERysStatic", "Color", "Colour", user);
  colour("CONTROL_USERysButton", QColor(0xFF, 0x4F, 0x9A), user);
  text("CONTROL_USERjsStatic", "JColor", "Base colour", user);
  colour("CONTROL_USERjsButton", QColor(0x22, 0x33, 0x55), user);
  text("CONTROL_USERgjStatic", "Tool", "Tool", user);
  picture("CONTROL_USERgjStaPic1", "user1down.bmp", user);
  picture("CONTROL_USERgjStaPic2", "user2up.bmp", user);
  auto* schemes = w.Place<QComboBox>("CONTROL_umCombo");
  schemes->setEditable(true);
  schemes->addItem("Scheme 1");
  schemes->setVisible(user);
}

// The key buttons in the lighting view: lit caps tinted by a rainbow preview.
void TintKeys(PreviewWindow& w, int windowWidth) {
  const QPixmap& lit = w.Picture(kMainColor1);
  const QPixmap& unlit = w.Picture(kMainColor0);
  auto tint = [windowWidth](ImageButton& button, bool) {
    QPainter painter(&button);
    QColor colour = QColor::fromHsv((button.x() * 300 / std::max(1, windowWidth)) % 360, 200, 255);
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.fillRect(button.rect().adjusted(3, 3, -3, -3), colour);
  };
  for (KeyCode code : kFullSizeKeys) {
    ImageButton* button = w.Button(KeyButtonKey(code));
    button->setAlternativePictures(&unlit, &lit, true, true);
    button->setDrawCallback(tint);
  }
}

// The Custom effect as the window shows a painted scheme: painted keys lit in
// their colour, the others dark. The keys and colours of the manual's example.
void PaintKeys(PreviewWindow& w) {
  const QPixmap& lit = w.Picture(kMainColor1);
  const QPixmap& unlit = w.Picture(kMainColor0);
  const QColor red(0xFF, 0x00, 0x00), green(0x00, 0xFF, 0x00), blue(0x00, 0x60, 0xFF);
  // Esc; W A S D; the arrow keys.
  const std::map<KeyCode, QColor> painted = {{0x001, red},  {0x011, green}, {0x01E, green}, {0x01F, green},
                                             {0x020, green}, {0x148, blue},  {0x14B, blue},  {0x150, blue},
                                             {0x14D, blue}};
  for (KeyCode code : kFullSizeKeys) {
    ImageButton* button = w.Button(KeyButtonKey(code));
    auto it = painted.find(code);
    button->setAlternativePictures(&unlit, &lit, true, it != painted.end());
    if (it == painted.end()) continue;
    button->setDrawCallback([colour = it->second](ImageButton& b, bool) {
      QPainter painter(&b);
      painter.setCompositionMode(QPainter::CompositionMode_Multiply);
      painter.fillRect(b.rect(), colour);
    });
  }
}

bool RenderMain(const Options& options, SkinPictureCache& cache, std::string_view name, int effect, bool lightingView) {
  PreviewWindow w(options.skin / kMainLayoutFile, cache);
  if (!w.Open()) return false;
  w.PlaceButtons(MainLayoutEntries());
  const SkinLayout& layout = w.Layout();
  for (bool left : {true, false}) {
    ImageButton* arrow = w.Button(left ? "LEFT_ARROW" : "RIGHT_ARROW");
    PlaceArrowButton(*arrow, layout, left ? "LEFT_ARROW" : "RIGHT_ARROW", ArrowOffsetKey(left, 0, 1),
                     &w.Picture(kArrowPicture));
    arrow->setEnabled(false);
  }
  for (const char* key : {"COLOR_R", "COLOR_G", "COLOR_B"}) w.Place<QLineEdit>(key)->setVisible(false);
  auto* usb = w.Place<TransparentLabel>("CONTROL_UsbStatic");
  usb->setText(LangText(options, "LIGHT", "Usb", "Report rate"));
  usb->setFontHeight(12);

  // Flip 0: F1..F4 usable, D1..D6 not; indicators never change.
  for (int n = 1; n <= 6; ++n) w.Button(DKeyButtonKey(n))->setEnabled(false);
  for (const char* key : {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB", "KORVIN_VER"})
    w.Button(key)->setEnabled(false);
  w.Button("FUNC_PROFILE1")->setTicked(true);
  w.Button("FUNC_REPORT4")->setTicked(true);
  // The manual's window has nothing waiting to be applied.
  w.Button("CONTROL2_APPLY")->setEnabled(!lightingView && !options.manual);

  if (lightingView) {
    BuildLightingPanel(w, options, effect);
    if (effect != 20) TintKeys(w, w.Dialog().width());
    else if (options.manual) PaintKeys(w);
    if (!options.manual) PreviewWindow::Hover(w.Button("FUNC_PROFILES"));
  } else {
    if (options.manual) {
      // The keys the manual's examples reassign: Caps Lock, F9, F12.
      for (KeyCode code : {0x03A, 0x043, 0x058}) w.Button(KeyButtonKey(code))->setTicked(true);
    } else {
      // Keys with their own assignment look ticked; one under the pointer, one pressed.
      for (std::string key : {GKeyButtonKey(1), GKeyButtonKey(2), GKeyButtonKey(5), KeyButtonKey(0x03B),
                              KeyButtonKey(0x011), KeyButtonKey(0x147)})
        w.Button(key)->setTicked(true);
      PreviewWindow::Hover(w.Button(KeyButtonKey(0x01E)));
      w.Button(KeyButtonKey(0x01F))->setDown(true);
      PreviewWindow::Hover(w.Button("CONTROL_MENU"));
      w.PictureLabel("CONTROL_JDTStatic", "jdt6.bmp");
    }
    w.PictureLabel("CONTROL_DengStatic", "led.bmp");
    w.PictureLabel("CONTROL_DengStaPic", "LED_enabled_off.bmp");
    w.PictureLabel("CONTROL_DengDisable", "LED_disabled_on.bmp");
  }
  fs::path file = options.out / (std::string(name) + ".png");
  Save(w, file, options);
  if (options.showSeconds > 0 && !lightingView) {
    // On a real display: the outline, the translucency and dragging by the surface.
    QTimer::singleShot(options.showSeconds * 1000, qApp, &QApplication::quit);
    QApplication::exec();
  }
  return true;
}

enum class Page { Key, Macro, Media, Function };

bool RenderComposite(const Options& options, SkinPictureCache& cache, std::string_view name, Page page) {
  PreviewWindow w(options.skin / kCompositeLayoutFile, cache);
  if (!w.Open()) return false;
  w.PlaceButtons(CompositeLayoutEntries());
  // Opened from the macro button, the page buttons, title and clear take the
  // macro2 set; the manual shows the dialog as a key opens it.
  if (!options.manual) {
    for (const char* key : {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_TITLE", "CONTROL_CLEAR"})
      PlaceImageButton(*w.Button(key), w.Layout(), kButtonSection, key, w.Set(kMacro2Set));
  }
  const SkinImageNames& maskSet = page == Page::Macro   ? kMacroMaskSet
                                  : page == Page::Media ? kMediaSet
                                  : page == Page::Function ? kFunctionSet
                                                           : kKeyMaskSet;
  PlaceImageButton(*w.Button("CONTROL_MASK"), w.Layout(), kButtonSection, "CONTROL_MASK", w.Set(maskSet));
  w.Button("CONTROL_MASK")->setEnabled(false);
  w.Button("CONTROL_TITLE")->setEnabled(false);
  w.Button("CONTROL_MASK")->lower();
  const char* pageKey = page == Page::Macro   ? "CONTROL_MACRO"
                        : page == Page::Media ? "CONTROL_MEDIA"
                        : page == Page::Function ? "CONTROL_FUNCTION"
                                                 : "CONTROL_KEY";
  w.Button(pageKey)->setTicked(true);
  if (!options.manual) PreviewWindow::Hover(w.Button("CONTROL_OK"));

  bool macro = page == Page::Macro;
  for (const SkinEntry& entry : CompositeLayoutEntries())
    if (entry.key.starts_with("FUNC_MACRO_") && entry.placement == Placement::ImageButton)
      w.Button(entry.key)->setVisible(macro);
  auto* input = w.Place<QLineEdit>("FUNC_KEY_INPUT");
  input->setReadOnly(true);
  input->setText("Left Ctrl");
  input->setVisible(page == Page::Key);
  auto* media = w.Place<QComboBox>("FUNC_MEDIA_SELECT");
  media->addItem("Play/Pause");
  media->setVisible(page == Page::Media);
  auto* function = w.Place<QComboBox>("FUNC_FUNCTION_SELECT");
  function->addItem(LangText(options, "TEXT", "FUNC_KEY_DESC1", "Function 1"));
  function->setVisible(page == Page::Function);

  auto* macros = w.Place<QComboBox>("FUNC_MACRO_LIST");
  macros->setEditable(true);
  macros->addItem(options.manual ? "Copy" : "Build order");
  auto* steps = w.Place<ReportList>("FUNC_MACRO_LIST2");
  int stepWidth = std::max(60, steps->width() - 4);
  // The manual shows the column names the program takes from the language file.
  steps->addColumn(options.manual ? LangText(options, "TEXT", "MACRO_KEYS_TISHI", "Key") : QString("Key"),
                   stepWidth * 45 / 100);
  steps->addColumn(options.manual ? LangText(options, "TEXT", "MACRO_ACTION_TISHI", "") : QString(),
                   stepWidth * 20 / 100);
  steps->addColumn(options.manual ? LangText(options, "TEXT", "MACRO_DELAY_MS", "ms") : QString("ms"),
                   stepWidth * 35 / 100);
  // The manual's example macro: Ctrl+C.
  const std::vector<std::pair<const char*, bool>> rows =
      options.manual ? std::vector<std::pair<const char*, bool>>{{"Left Ctrl", true}, {"C", true}, {"C", false},
                                                                  {"Left Ctrl", false}}
                     : std::vector<std::pair<const char*, bool>>{
                           {"Left Shift", true}, {"B", true}, {"B", false}, {"Left Shift", false}, {"1", true}};
  ReportModel& stepRows = steps->reportModel();
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i);
    const int delay = options.manual ? (i + 1 < rows.size() ? 20 : 0) : row * 10 + 20;
    stepRows.appendRow({rows[i].first, rows[i].second ? QStringLiteral("↓") : QStringLiteral("  ↑"),
                        QString::number(delay)});
    stepRows.setTextColor(row, 0, QColor(0x8A, 0x93, 0xA3));
    stepRows.setTextColor(row, 1, QColor(0x8A, 0x93, 0xA3));
  }
  steps->setSelectedRow(2);
  auto* cycles = w.Place<QLineEdit>("FUNC_MACRO_CYCLES");
  cycles->setText("1");
  auto* cyclesLabel = w.Place<TransparentLabel>("FUNC_MACRO_CYCLES_PROMPT");
  cyclesLabel->setText(LangText(options, "TEXT", "MACRO_CYCLES", "Cycles"));
  auto* delay = w.Place<QCheckBox>("FUNC_MACRO_RECORD_DELAY");
  delay->setChecked(true);
  auto* delayLabel = w.Place<TransparentLabel>("FUNC_MACRO_RECORD_DELAY2");
  delayLabel->setText(LangText(options, "TEXT", "RECORD_DELAY", "Record delays"));
  for (QWidget* widget : std::initializer_list<QWidget*>{macros, steps, cycles, cyclesLabel, delay, delayLabel})
    widget->setVisible(macro);
  if (macro && !options.manual) PreviewWindow::Hover(w.Button("FUNC_MACRO_RECORD"));

  fs::path file = options.out / (std::string(name) + ".png");
  Save(w, file, options);
  return true;
}

bool RenderProfile(const Options& options, SkinPictureCache& cache, std::string_view name) {
  PreviewWindow w(options.skin / kProfileLayoutFile, cache);
  if (!w.Open()) return false;
  w.PlaceButtons(ProfileLayoutEntries());
  auto* list = w.Place<ReportList>("PROGRAM_LIST");
  // The manual shows the captions the program takes from the language file.
  auto caption = [&](const char* key, const char* fixed) {
    return options.manual ? LangText(options, "TEXT", key, fixed) : QString::fromUtf8(fixed);
  };
  list->addColumn(caption("PROFILE_COLUMN_ACTIVE", "激活"), 60);
  list->addColumn(caption("PROFILE_COLUMN_NAME", "名称"), 120);
  list->addColumn(caption("PROFILE_COLUMN_FOLDER", "路径"), 230);
  list->setShowGrid(true);
  list->horizontalHeader()->setSectionsClickable(false);
  ReportModel& profiles = list->reportModel();
  profiles.setCheckable(true);
  profiles.setSingleCheck(true);
  // No one's real home folder in the manual.
  QString folder = (options.manual ? QStringLiteral("/home/you") : QDir::homePath()) +
                   "/.local/share/Orvo_Key 104 Mechanical Keyboard/";
  for (int row = 0; row < 3; ++row) profiles.appendRow({"", "$Profile0", folder});
  profiles.appendRow({"", options.manual ? "New Profile" : "Shooter", folder});
  w.Button("CONTROL2_APPLY")->setEnabled(false);
  if (options.manual) {
    profiles.setRowTickable(3, false);  // only the onboard rows can be made active
    profiles.setChecked(0, true);
  } else {
    profiles.setChecked(1, true);
    list->setSelectedRow(3);
    PreviewWindow::Hover(w.Button("FUNC_ADD"));
    w.Button("FUNC_LOAD")->setDown(true);
  }
  fs::path file = options.out / (std::string(name) + ".png");
  Save(w, file, options);
  return true;
}

// Every lighting panel bitmap on one sheet with its name, looks side by side.
void RenderPanelSheet(const Options& options) {
  const auto names = LightingPanelBitmaps();
  const int columns = 6, cellWidth = 190, cellHeight = 58;
  QImage sheet(QSize(columns * cellWidth, ((static_cast<int>(names.size()) + columns - 1) / columns) * cellHeight),
               QImage::Format_RGB32);
  sheet.fill(QColor(0x2A, 0x2E, 0x36));
  QPainter painter(&sheet);
  painter.setFont(QFont("DejaVu Sans", 7));
  painter.setPen(QColor(0xC0, 0xC6, 0xD0));
  int i = 0;
  for (std::string_view name : names) {
    const QPoint at((i % columns) * cellWidth + 6, (i / columns) * cellHeight + 6);
    QImage bitmap(QString::fromStdString((options.skin / name).string()));
    painter.drawImage(at, bitmap, QRect(QPoint(0, 0), bitmap.size().boundedTo(QSize(cellWidth - 12, cellHeight - 20))));
    painter.drawText(at + QPoint(0, cellHeight - 10), QString::fromUtf8(name.data(), static_cast<int>(name.size())));
    ++i;
  }
  painter.end();
  fs::path file = options.out / "panel-bitmaps.png";
  if (!WritePicture(sheet, file, options.width)) {
    std::fprintf(stderr, "keyloft-skin-preview: cannot write %s\n", file.c_str());
    ++writeFailures;
  }
}

int Usage(int code) {
  std::fprintf(code == 0 ? stdout : stderr,
               "usage: keyloft-skin-preview --out DIR [--skin DIR] [--lang FILE] [--show SECONDS]\n"
               "                            [--width PIXELS] [--manual]\n"
               "Renders the main window (key and lighting views), the composite key dialog (four pages),\n"
               "the profile manager and a sheet of the lighting panel's bitmaps to PNG files in DIR. The skin defaults to the Skins folder\n"
               "beside the program, the language file to Lang0409.ini there. --show also shows the\n"
               "main window on the display for that many seconds.\n"
               "--width scales every picture wider than PIXELS down to that width, smoothly.\n"
               "--manual renders the user manual's pictures instead, the windows as the user sees\n"
               "them: main-window, lighting-effect, lighting-custom, profile-manager, key-dialog-key\n"
               "and key-dialog-macro.\n");
  return code;
}

}  // namespace
}  // namespace keyloft

int main(int argc, char** argv) {
  using namespace keyloft;
  Options options;
  fs::path programFolder = Paths::FromEnvironment().programFolder;
  options.skin = programFolder / kSkinFolderName;
  options.language = programFolder / "Lang0409.ini";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage(0);
    if (arg == "--manual") {
      options.manual = true;
      continue;
    }
    if (i + 1 >= argc) return Usage(2);
    if (arg == "--out") options.out = argv[++i];
    else if (arg == "--skin") options.skin = argv[++i];
    else if (arg == "--lang") options.language = argv[++i];
    else if (arg == "--show") options.showSeconds = std::atoi(argv[++i]);
    else if (arg == "--width") options.width = std::atoi(argv[++i]);
    else return Usage(2);
  }
  if (options.out.empty() || options.width < 0) return Usage(2);
  std::error_code error;
  fs::create_directories(options.out, error);
  if (error) {
    std::fprintf(stderr, "keyloft-skin-preview: cannot create %s: %s\n", options.out.c_str(), error.message().c_str());
    return 1;
  }

  QApplication app(argc, argv);
  ApplySkinStyle(app);
  SkinPictureCache cache;
  // A window that cannot load its skin stops the program, as it would stop Keyloft.
  const bool opened =
      options.manual
          ? RenderMain(options, cache, "main-window", 1, false) &&
                RenderMain(options, cache, "lighting-effect", 1, true) &&
                RenderMain(options, cache, "lighting-custom", 20, true) &&
                RenderComposite(options, cache, "key-dialog-key", Page::Key) &&
                RenderComposite(options, cache, "key-dialog-macro", Page::Macro) &&
                RenderProfile(options, cache, "profile-manager")
          : RenderMain(options, cache, "main-keys", 1, false) &&
                RenderMain(options, cache, "main-lighting", 1, true) &&
                RenderMain(options, cache, "main-lighting-user", 20, true) &&
                RenderComposite(options, cache, "composite-key", Page::Key) &&
                RenderComposite(options, cache, "composite-macro", Page::Macro) &&
                RenderComposite(options, cache, "composite-media", Page::Media) &&
                RenderComposite(options, cache, "composite-function", Page::Function) &&
                RenderProfile(options, cache, "profile");
  if (!opened) return kSkinFailureExitCode;
  if (!options.manual) RenderPanelSheet(options);
  if (writeFailures > 0) return 1;
  std::printf("keyloft-skin-preview: wrote %d pictures to %s\n", picturesWritten, options.out.c_str());
  return 0;
}

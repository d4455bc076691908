#include "app/lighting_panel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QWindow>
#include <algorithm>

#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

namespace keyloft::app {
namespace {

QColor ToQColor(Colour c) { return QColor(ColourRed(c), ColourGreen(c), ColourBlue(c)); }
Colour FromQColor(const QColor& c) {
  return MakeColour(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}

// The panel's groups, by the controls' layout keys; the direction controls by
// the keys of their plain layout.
const std::vector<std::string> kComboGroup = {"CONTROL_XGcombox"};
const std::vector<std::string> kBrightnessGroup = {"CONTROL_LightStatic", "CONTROL_LightSlider"};
const std::vector<std::string> kSpeedGroup = {"CONTROL_SpeedStatic", "CONTROL_SpeedSlider"};
const std::vector<std::string> kDirectionGroup = {"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"};
const std::vector<std::string> kColourGroup = {"CONTROL_HXysStatic", "CONTROL_HXysButton", "CONTROL_HXsjsStatic",
                                               "CONTROL_HXsjsStaPic"};
const std::vector<std::string> kReactiveGroup = {"CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStatic",
                                                 "CONTROL_FYSJSStaPic"};
const std::vector<std::string> kFourColourGroup = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC",
                                                   "CONTROL_LANPIC"};
const std::vector<std::string> kUserGroup = {"CONTROL_USERysStatic", "CONTROL_USERysButton", "CONTROL_USERjsStatic",
                                             "CONTROL_USERjsButton", "CONTROL_USERgjStatic", "CONTROL_USERgjStaPic1",
                                             "CONTROL_USERgjStaPic2", "CONTROL_umCombo", "COLOR_R", "COLOR_G",
                                             "COLOR_B", "COLOR_R_CAPTION", "COLOR_G_CAPTION", "COLOR_B_CAPTION"};
// Shown in the view for every effect but Custom: why a key click paints nothing.
const std::vector<std::string> kNotPaintableGroup = {"PAINT_HINT"};
constexpr std::array<const char*, 3> kChannelFields = {"COLOR_R", "COLOR_G", "COLOR_B"};
// Shown whether the view is on or off: they turn it on.
const std::vector<std::string> kAlwaysShown = {"CONTROL_DengStatic", "CONTROL_DengStaPic", "CONTROL_DengDisable"};

constexpr std::array<const char*, 4> kFourColourPictures = {"hong", "huang", "lv", "lan"};

// Arrow pictures and the layout of the direction controls for an effect, by
// the kind of direction the model gives it.
struct ArrowLook {
  const char* firstUp;
  const char* firstDown;
  const char* secondUp;
  const char* secondDown;
  const char* layoutSuffix;
};
ArrowLook ArrowLookFor(int mode) {
  switch (ControlsForEffect(mode).direction) {
    case DirectionKind::kLeftRight:
      return {"leftup.bmp", "leftdown.bmp", "rightup.bmp", "rightdown.bmp", "2"};
    case DirectionKind::kUpDown:
      return {"upup.bmp", "updown.bmp", "downup.bmp", "downdown.bmp", "3"};
    case DirectionKind::kOutwardInward:
      return {"kuosan.bmp", "kuosandown.bmp", "julong.bmp", "julongdown.bmp", ""};
    case DirectionKind::kNone:
      break;
  }
  return {"leftup.bmp", "leftdown.bmp", "rightup.bmp", "rightdown.bmp", ""};
}

}  // namespace

LightingPanel::LightingPanel(MainWindow& window, KeyloftCore& core, SequenceRunner& runner)
    : window_(window), core_(core), runner_(runner) {
  previewTimer_.setInterval(kPreviewTickMs);
  connect(&previewTimer_, &QTimer::timeout, this, &LightingPanel::previewTick);
}

LightingPanel::~LightingPanel() {
  // The key buttons outlive the panel by a moment; they must not call it.
  for (auto& [key, button] : window_.keyButtons()) button->setDrawCallback(nullptr);
}

const QPixmap& LightingPanel::picture(const std::string& file) {
  auto it = pictures_.find(file);
  if (it == pictures_.end()) {
    // A file that fails to load leaves its picture empty.
    it = pictures_.emplace(file, QPixmap(QString::fromStdString(window_.skinLayout().PicturePath(file).string()))).first;
  }
  return it->second;
}

template <class T>
T* LightingPanel::make(const std::string& skinKey) {
  auto* control = new T(&window_);
  control->setObjectName(QString::fromStdString(skinKey));
  PlaceControl(*control, window_.skinLayout(), kButtonSection, skinKey);
  controls_[skinKey] = control;
  return control;
}

QWidget* LightingPanel::control(const std::string& skinKey) const {
  auto it = controls_.find(skinKey);
  return it == controls_.end() ? nullptr : it->second;
}

void LightingPanel::build() {
  for (std::string_view file : LightingPanelBitmaps()) picture(std::string(file));
  const Localisation& lang = core_.Lang();
  auto label = [&](const std::string& key, const char* file) {
    auto* l = make<QLabel>(key);
    l->setPixmap(picture(file));
    l->setScaledContents(true);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
  };
  auto caption = [&](const std::string& key, std::string_view textKey) {
    auto* l = make<TransparentLabel>(key);
    l->setText(QString::fromStdString(lang.GetLightText(textKey)));
  };
  label("CONTROL_DengStatic", "led.bmp");
  label("CONTROL_LightStatic", "brightness.bmp");
  label("CONTROL_SpeedStatic", "speed.bmp");
  label("CONTROL_BLFXStatic", "direction.bmp");
  label("CONTROL_HXysStatic", "color.bmp");
  label("CONTROL_FYYSStatic", "color.bmp");
  caption("CONTROL_HXsjsStatic", "DC");
  caption("CONTROL_FYSJSStatic", "DC");
  caption("CONTROL_USERysStatic", "Color");
  caption("CONTROL_USERjsStatic", "JColor");
  caption("CONTROL_USERgjStatic", "Tool");
  for (const char* key : {"CONTROL_DengStaPic", "CONTROL_DengDisable", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic",
                          "CONTROL_HXsjsStaPic", "CONTROL_FYSJSStaPic", "CONTROL_HONGPIC", "CONTROL_HUANGPIC",
                          "CONTROL_LVPIC", "CONTROL_LANPIC", "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2"})
    make<PictureButton>(key);
  effects_ = make<QComboBox>("CONTROL_XGcombox");
  effects_->setFocusPolicy(Qt::StrongFocus);
  schemes_ = make<QComboBox>("CONTROL_umCombo");
  schemes_->setEditable(true);
  schemes_->setInsertPolicy(QComboBox::NoInsert);
  schemes_->lineEdit()->setMaxLength(259);
  brightness_ = make<PixmapSlider>("CONTROL_LightSlider");
  brightness_->setRange(0, kMaxBrightness);
  brightness_->setPageStep(10);
  speed_ = make<PixmapSlider>("CONTROL_SpeedSlider");
  speed_->setRange(0, kMaxSpeed);
  speed_->setPageStep(10);
  effectColour_[0] = make<ColorButton>("CONTROL_HXysButton");
  effectColour_[1] = make<ColorButton>("CONTROL_FYYSButton");
  brushColour_ = make<ColorButton>("CONTROL_USERysButton");
  baseColour_ = make<ColorButton>("CONTROL_USERjsButton");
  // The brush colour as numbers, each channel with its letter before it.
  for (size_t c = 0; c < kChannelFields.size(); ++c) {
    channels_[c] = make<QSpinBox>(kChannelFields[c]);
    channels_[c]->setRange(0, 255);
    channels_[c]->setButtonSymbols(QAbstractSpinBox::NoButtons);
    channels_[c]->setAccessibleName(QString::fromStdString(lang.GetText(std::string("LIGHT_CHANNEL_") + "RGB"[c])));
    auto* letter = new TransparentLabel(&window_);
    const QRect field = channels_[c]->geometry();
    letter->setGeometry(field.left() - 16, field.top(), 12, field.height());
    letter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    letter->setText(QString(QChar("RGB"[c])));
    letter->setBuddy(channels_[c]);
    controls_[std::string(kChannelFields[c]) + "_CAPTION"] = letter;
  }
  // Where Custom's tools stand; every other effect leaves the place empty.
  auto* hint = new TransparentLabel(&window_);
  const QRect channels = window_.skinLayout().Rect(kButtonSection, "CONTROL_RGBStatic").ToQRect();
  hint->setGeometry(channels.left() - 110, channels.top() + 4, channels.right() + 1 - (channels.left() - 110), 96);
  hint->setWordWrap(true);
  hint->setTextColor(QColor(0x9A, 0xA3, 0xAD));
  hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  hint->setText(QString::fromStdString(lang.GetText("LIGHT_PAINT_ONLY_CUSTOM")));
  controls_["PAINT_HINT"] = hint;
  static_cast<PictureButton*>(control("CONTROL_DengStaPic"))->setToolTip(QString::fromStdString(lang.GetText("LIGHT_VIEW_LIGHTING_TIP")));
  static_cast<PictureButton*>(control("CONTROL_DengDisable"))->setToolTip(QString::fromStdString(lang.GetText("LIGHT_VIEW_KEYS_TIP")));
  directionSuffix_.clear();

  imageSliders();
  imageLedPictures();
  imageArrows(0);
  imageMulticolour();
  imageFourColour();
  imageTools();
  for (auto& [key, widget] : controls_) widget->raise();
  hidePanel();
  wire();
  window_.installEventFilter(this);
  effects_->installEventFilter(this);
}

template <class Work>
void LightingPanel::send(Work work) {
  // Lighting writes are not told one by one; a keyboard that stops answering
  // is told by the connection monitor.
  runner_.run(std::move(work), [](auto&&...) {});
}

void LightingPanel::wire() {
  auto clicked = [this](const char* key, auto slot) {
    connect(static_cast<QAbstractButton*>(control(key)), &QAbstractButton::clicked, this, slot);
  };
  clicked("CONTROL_DengStaPic", [this] { toggleView(false); });
  clicked("CONTROL_DengDisable", [this] { toggleView(true); });
  connect(effects_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    send([this, index] { return core_.Lighting().SelectMode(index); });
  });
  connect(brightness_, &PixmapSlider::userMoved, this, [this](int position) {
    lighting_.state.brightness = position;
    imageSliders();
    send([this, position] { return core_.Lighting().SetBrightness(position); });
  });
  connect(speed_, &PixmapSlider::userMoved, this, [this](int position) {
    lighting_.state.speed = SpeedSliderPosition(position);
    imageSliders();
    send([this, position] { return core_.Lighting().SetSpeed(position); });
  });
  for (uint8_t direction : {kDirectionFirst, kDirectionSecond}) {
    clicked(direction == kDirectionFirst ? "CONTROL_BLFXLStaPic" : "CONTROL_BLFXRStaPic", [this, direction] {
      lighting_.state.direction = direction;
      imageArrows(lighting_.state.mode);
      send([this, direction] { return core_.Lighting().SetDirection(direction); });
    });
  }
  for (ColorButton* b : effectColour_)
    connect(b, &ColorButton::colorChosen, this, [this, b](const QColor& color) { chooseColour(color, b); });
  for (const char* key : {"CONTROL_HXsjsStaPic", "CONTROL_FYSJSStaPic"}) {
    clicked(key, [this] {
      lighting_.state.multicolour = !lighting_.state.multicolour;
      imageMulticolour();
      send([this] { return core_.Lighting().ToggleMulticolour(); });
    });
  }
  for (int choice = 0; choice < 4; ++choice) {
    clicked(kFourColourGroup[static_cast<size_t>(choice)].c_str(), [this, choice] {
      lighting_.state.fourColour = choice;
      imageFourColour();
      send([this, choice] { return core_.Lighting().SetFourColour(choice); });
    });
  }
  for (int tool : {0, 1}) {
    clicked(tool == 0 ? "CONTROL_USERgjStaPic1" : "CONTROL_USERgjStaPic2", [this, tool] {
      lighting_.tools.tool = tool;
      imageTools();
      send([this, tool] { core_.KeyColours().SetTool(tool); });
    });
  }
  connect(brushColour_, &ColorButton::colorChosen, this, [this](const QColor& color) {
    lighting_.tools.brushColour = FromQColor(color);
    showBrushChannels();
    send([this, colour = FromQColor(color)] { core_.KeyColours().SetBrushColour(colour); });
  });
  for (QSpinBox* channel : channels_) {
    // Taken as typed: the spin box itself keeps the number within 0..255.
    connect(channel, &QSpinBox::valueChanged, this, [this] {
      const QColor color(channels_[0]->value(), channels_[1]->value(), channels_[2]->value());
      if (FromQColor(color) == lighting_.tools.brushColour) return;
      lighting_.tools.brushColour = FromQColor(color);
      brushColour_->setColor(color);
      send([this, colour = FromQColor(color)] { core_.KeyColours().SetBrushColour(colour); });
    });
  }
  connect(baseColour_, &ColorButton::colorChosen, this, [this](const QColor& color) {
    send([this, colour = FromQColor(color)] { return core_.KeyColours().SetBaseColour(colour); });
  });
  connect(schemes_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    send([this, index] { return core_.KeyColours().SelectScheme(index); });
  });
  connect(schemes_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& name) {
    // Stored on every keystroke; the list shows the new name at once.
    const int index = schemes_->currentIndex();
    if (index >= 0) schemes_->setItemText(index, name);
    send([this, name = name.toStdString()] { core_.KeyColours().RenameScheme(name); });
  });
}

void LightingPanel::chooseColour(const QColor& color, ColorButton* from) {
  lighting_.state.multicolour = false;
  lighting_.state.colour = FromQColor(color);
  imageMulticolour();
  for (ColorButton* b : effectColour_)
    if (b != from) b->setColor(color);
  send([this, colour = FromQColor(color)] { return core_.Lighting().SetColour(colour); });
}

// ---- The view ------------------------------------------------------------------

void LightingPanel::toggleView(bool fromOffPicture) {
  if (viewOn_) {
    send([this] { core_.Lighting().LeaveLightingView(); });
    return;
  }
  runner_.run([this] { return core_.Sync().EnterLightingView(); },
              [this, fromOffPicture](bool entered) {
                if (entered) turnViewOn(fromOffPicture);
              });
}

void LightingPanel::turnViewOn(bool fromOffPicture) {
  viewOn_ = true;
  lighting_.state.lightingView = true;
  imageLedPictures();
  dressKeys(true);
  BlankKeyColours();
  showControls(lighting_.state.mode, true, fromOffPicture);
  if (lighting_.state.mode == kUserDefinedMode) RepaintKeysFromMirror();
  updatePreviewTimer();
}

void LightingPanel::LeaveLightingView() {
  viewOn_ = false;
  lighting_.state.lightingView = false;
  imageLedPictures();
  BlankKeyColours();
  dressKeys(false);
  hidePanel();
  updatePreviewTimer();
  window_.redrawKeys();
}

void LightingPanel::hidePanel() {
  for (auto& [key, widget] : controls_)
    widget->setVisible(std::ranges::find(kAlwaysShown, key) != kAlwaysShown.end());
}

void LightingPanel::ShowEffectControls(int mode) { showControls(mode, false, false); }

void LightingPanel::showControls(int mode, bool enteringView, bool fromOffPicture) {
  if (!viewOn_) {
    hidePanel();
    return;
  }
  const EffectControls shown = ControlsForEffect(mode);
  const ModeInfo* quirks = FindModeInfo(mode);
  auto show = [this](const std::vector<std::string>& group, bool on) {
    for (const std::string& key : group) control(key)->setVisible(on);
  };
  show(kComboGroup, shown.modeCombo);
  show(kBrightnessGroup, shown.brightness);
  show(kSpeedGroup, shown.speed);
  show(kDirectionGroup, shown.direction != DirectionKind::kNone && !(enteringView && quirks && quirks->arrowsWaitOnEnter));
  show(kColourGroup, shown.colour);
  if (enteringView && fromOffPicture && quirks && quirks->colourHiddenEnteringFromOff) {
    control("CONTROL_HXysButton")->hide();
  }
  show(kReactiveGroup, shown.reactiveColour);
  show(kFourColourGroup, shown.fourColour);
  show(kUserGroup, shown.userDefined);
  show(kNotPaintableGroup, !shown.userDefined);
  updatePreviewTimer();
}

void LightingPanel::LayDirectionArrows(int mode) {
  imageArrows(mode);
  const std::string suffix = ArrowLookFor(mode).layoutSuffix;
  if (suffix == directionSuffix_) return;
  directionSuffix_ = suffix;
  const SkinLayout& layout = window_.skinLayout();
  for (const std::string& key : kDirectionGroup) {
    // The other layouts' keys give a position; the size stays.
    if (suffix.empty()) PlaceControl(*control(key), layout, kButtonSection, key);
    else MoveControl(*control(key), layout, kButtonSection, key + suffix);
  }
}

void LightingPanel::refresh(const LightingSnapshot& lighting) {
  lighting_ = lighting;
  RefreshPanel();
}

void LightingPanel::RefreshPanel() {
  const LightingState& s = lighting_.state;
  effects_->clear();
  for (const std::string& name : lighting_.modeNames) effects_->addItem(QString::fromStdString(name));
  imageSliders();
  brightness_->setValue(std::clamp(s.brightness, 0, kMaxBrightness));
  speed_->setValue(SpeedSliderPosition(s.speed));
  for (ColorButton* b : effectColour_) b->setColor(ToQColor(s.colour));
  imageMulticolour();
  syncUserControls();
  imageFourColour();
  imageArrows(s.mode);
  effects_->setCurrentIndex(ModeList(s.supportedModes).IndexOf(s.mode));
  const bool wasOn = viewOn_;
  viewOn_ = s.lightingView;
  imageLedPictures();
  if (viewOn_ != wasOn) dressKeys(viewOn_);
  if (!viewOn_) {
    if (wasOn) {
      BlankKeyColours();
      window_.redrawKeys();
    }
    hidePanel();
  } else {
    if (s.mode == kUserDefinedMode) RepaintKeysFromMirror();
    showControls(s.mode, false, false);
  }
  LayDirectionArrows(s.mode);
  updatePreviewTimer();
}

void LightingPanel::FillSchemeList(std::span<const std::string> names) {
  schemes_->clear();
  for (const std::string& name : names) schemes_->addItem(QString::fromStdString(name));
  schemes_->setCurrentIndex(lighting_.scheme);
}

void LightingPanel::syncUserControls() {
  if (lighting_.scheme >= 0 && lighting_.scheme < schemes_->count()) schemes_->setCurrentIndex(lighting_.scheme);
  baseColour_->setColor(ToQColor(lighting_.tools.baseColour));
  brushColour_->setColor(ToQColor(lighting_.tools.brushColour));
  showBrushChannels();
  imageTools();
}

void LightingPanel::showBrushChannels() {
  const QColor colour = ToQColor(lighting_.tools.brushColour);
  const int values[] = {colour.red(), colour.green(), colour.blue()};
  for (size_t c = 0; c < channels_.size(); ++c) {
    const QSignalBlocker quiet(channels_[c]);
    channels_[c]->setValue(values[c]);
  }
}

// ---- Pictures ------------------------------------------------------------------

void LightingPanel::imageLedPictures() {
  static_cast<PictureButton*>(control("CONTROL_DengStaPic"))
      ->setPicture(picture(viewOn_ ? "LED_enabled_on.bmp" : "LED_enabled_off.bmp"));
  static_cast<PictureButton*>(control("CONTROL_DengDisable"))
      ->setPicture(picture(viewOn_ ? "LED_disabled_off.bmp" : "LED_disabled_on.bmp"));
}

void LightingPanel::imageSliders() {
  // The channel picture shows the value; bytes above the range show its end.
  const int brightness = std::clamp(lighting_.state.brightness, 0, kMaxBrightness);
  brightness_->setChannelPixmap(picture(std::to_string(brightness) + ".bmp"));
  speed_->setChannelPixmap(picture(std::to_string(5 + SpeedSliderPosition(lighting_.state.speed)) + ".bmp"));
}

void LightingPanel::imageArrows(int mode) {
  const ArrowLook look = ArrowLookFor(mode);
  const bool first = lighting_.state.direction != 0;
  static_cast<PictureButton*>(control("CONTROL_BLFXLStaPic"))->setPicture(picture(first ? look.firstDown : look.firstUp));
  static_cast<PictureButton*>(control("CONTROL_BLFXRStaPic"))
      ->setPicture(picture(first ? look.secondUp : look.secondDown));
}

void LightingPanel::imageMulticolour() {
  for (const char* key : {"CONTROL_HXsjsStaPic", "CONTROL_FYSJSStaPic"})
    static_cast<PictureButton*>(control(key))->setPicture(picture(lighting_.state.multicolour ? "sjsdown.bmp" : "sjsup.bmp"));
}

void LightingPanel::imageFourColour() {
  const int chosen = lighting_.state.fourColour >= 0 && lighting_.state.fourColour <= 3 ? lighting_.state.fourColour : 0;
  for (int c = 0; c < 4; ++c) {
    const std::string name = std::string(kFourColourPictures[static_cast<size_t>(c)]) + (c == chosen ? "ok.bmp" : ".bmp");
    static_cast<PictureButton*>(control(kFourColourGroup[static_cast<size_t>(c)]))->setPicture(picture(name));
  }
}

void LightingPanel::imageTools() {
  const bool base = lighting_.tools.tool == 1;
  static_cast<PictureButton*>(control("CONTROL_USERgjStaPic1"))->setPicture(picture(base ? "user1up.bmp" : "user1down.bmp"));
  static_cast<PictureButton*>(control("CONTROL_USERgjStaPic2"))->setPicture(picture(base ? "user2down.bmp" : "user2up.bmp"));
}

// ---- Key colours ---------------------------------------------------------------

void LightingPanel::dressKeys(bool on) {
  const QPixmap& unlit = window_.windowPicture(kMainColor0);
  const QPixmap& lit = window_.windowPicture(kMainColor1);
  for (auto& [key, button] : window_.keyButtons()) {
    // The cap pictures cover the whole button: a colour change redraws the
    // button alone, not the window behind it.
    button->setAttribute(Qt::WA_OpaquePaintEvent, on);
    if (!on) {
      button->setAlternativePictures(nullptr, nullptr, false, false);
      button->setDrawCallback(nullptr);
      continue;
    }
    button->setAlternativePictures(&unlit, &lit, true, false);
    // The lit cap picture is white: multiplied by the key's colour it takes it.
    button->setDrawCallback([this, key = key](ImageButton& b, bool) {
      auto it = keyColours_.find(key);
      if (it == keyColours_.end() || !it->second) return;
      QPainter p(&b);
      p.setCompositionMode(QPainter::CompositionMode_Multiply);
      p.fillRect(b.rect(), ToQColor(*it->second));
    });
  }
}

void LightingPanel::setKeyColour(KeyCode key, std::optional<Colour> colour) {
  if (colour && (*colour & 0xFFFFFF) == 0) colour.reset();  // black shows as an unlit key
  auto& shown = keyColours_[key];
  if (shown == colour) return;
  const bool litChanged = shown.has_value() != colour.has_value();
  shown = colour;
  ImageButton* b = window_.keyButton(key);
  if (!b) return;
  if (litChanged && viewOn_) {
    b->setAlternativePictures(&window_.windowPicture(kMainColor0), &window_.windowPicture(kMainColor1), true,
                              colour.has_value());
  } else {
    b->update();
  }
}

std::optional<Colour> LightingPanel::keyColour(KeyCode key) const {
  auto it = keyColours_.find(key);
  return it == keyColours_.end() ? std::nullopt : it->second;
}

void LightingPanel::BlankKeyColours() {
  for (auto& [key, button] : window_.keyButtons()) setKeyColour(key, std::nullopt);
}

void LightingPanel::RepaintKeysFromMirror() {
  if (!viewOn_ || lighting_.state.mode != kUserDefinedMode) return;
  const int profile = lighting_.state.profile;
  for (auto& [key, button] : window_.keyButtons()) {
    const int slot = LedSlotOfKey(core_.Model().ledSlots, key);
    setKeyColour(key, slot >= 0 ? std::optional(lighting_.mirror.Get(profile, slot)) : std::nullopt);
  }
}

void LightingPanel::paintKey(KeyCode key) {
  if (!viewOn_ || lighting_.state.mode != kUserDefinedMode) return;
  // Shown at once; the core's repaint follows with what it stored.
  const Colour colour = lighting_.tools.tool == 1 ? lighting_.tools.baseColour : lighting_.tools.brushColour;
  const int slot = LedSlotOfKey(core_.Model().ledSlots, key);
  if (slot >= 0 && ShowsOwnLight(core_.Model().ledSlots, key)) {
    lighting_.mirror.Set(lighting_.state.profile, slot, colour);
    RepaintKeysFromMirror();
  }
  send([this, key] { return core_.KeyColours().PaintKey(key); });
}

// ---- The preview ----------------------------------------------------------------

void LightingPanel::RestartPreview() { preview_.Restart(); }

bool LightingPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == effects_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    // The effect changes by choice, never by a stray arrow key.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right) return true;
  }
  if (watched == &window_ &&
      (event->type() == QEvent::Show || event->type() == QEvent::Hide || event->type() == QEvent::WindowStateChange))
    updatePreviewTimer();
  return QObject::eventFilter(watched, event);
}

void LightingPanel::updatePreviewTimer() {
  const bool run = viewOn_ && window_.isVisible() && !window_.isMinimized() && lighting_.state.mode != kUserDefinedMode;
  if (run && !previewTimer_.isActive()) previewTimer_.start();
  if (!run) previewTimer_.stop();
}

void LightingPanel::previewTick() {
  if (!viewOn_) return;
  const LightingState& s = lighting_.state;
  const PreviewInput input{s.mode, static_cast<uint8_t>(s.direction), s.multicolour, s.colour};
  switch (preview_.Tick(input)) {
    case PreviewFrame::kUntouched:
      return;
    case PreviewFrame::kCleared:
      BlankKeyColours();
      return;
    case PreviewFrame::kPainted:
      // Only the buttons whose colour changed are drawn again.
      for (auto& [key, button] : window_.keyButtons()) {
        const bool lit = ShowsOwnLight(core_.Model().ledSlots, key);
        setKeyColour(key, lit ? std::optional(preview_.ColourOf(key)) : std::nullopt);
      }
      return;
  }
}

}  // namespace keyloft::app

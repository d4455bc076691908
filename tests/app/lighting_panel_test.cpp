// The lighting panel clicked as a user clicks it, against a virtual keyboard
// process: what the keyboard ends up holding is read from its memory dump.
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include "app/key_dialog.h"
#include "app/lighting_panel.h"
#include "app_test_world.h"
#include "store/settings.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

using namespace keyloft;
using namespace keyloft::test;

namespace {

constexpr KeyCode kA = 0x01E, kRightWin = 0x15C, kPageUp = 0x149;

}  // namespace

class LightingPanelTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppWorld> world_;

  bool Connect() {
    world_ = std::make_unique<AppWorld>();
    return world_->StartKeyboard() && world_->StartProgram() && world_->WaitReady() && world_->WaitIdle();
  }
  app::MainWindow& Window() { return world_->Window(); }
  app::LightingPanel& Panel() { return *Window().ownLightingPanel(); }
  QWidget* Control(const char* key) { return Panel().control(key); }
  PictureButton* Picture(const char* key) { return static_cast<PictureButton*>(Control(key)); }
  bool Shows(const char* key, const char* file) { return Picture(key)->picture().cacheKey() == Panel().picture(file).cacheKey(); }
  void Click(const char* key) {
    static_cast<QAbstractButton*>(Control(key))->click();
    QVERIFY(world_->WaitIdle());
  }
  void SelectEffect(int mode) {
    auto* combo = static_cast<QComboBox*>(Control("CONTROL_XGcombox"));
    const int index = world_->Core().Lighting().Modes().IndexOf(mode);
    QVERIFY(index >= 0);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->ParamByte(0, 0), mode);
  }
  void Run(std::function<void()> work) {
    world_->App().runner().run(std::move(work));
    QVERIFY(world_->WaitIdle());
  }
  QPoint LayoutOrigin(const std::string& key) {
    return Window().skinLayout().Rect(kButtonSection, key).ToQRect().topLeft();
  }
  std::string KeyColourOnKeyboard(int slot) { return world_->Dump()["key_colours"].text.substr(static_cast<size_t>(slot) * 6, 6); }

 private slots:
  void cleanup() { EndWorld(world_); }

  void theViewShowsTheControlsOfTheEffectAndIsKept() {
    QVERIFY(Connect());
    QVERIFY(!Panel().viewShown());
    QVERIFY(Control("CONTROL_DengStaPic")->isVisible());
    QVERIFY(!Control("CONTROL_XGcombox")->isVisible());
    Click("CONTROL_DengStaPic");
    QTRY_VERIFY(Panel().viewShown());
    QVERIFY(Shows("CONTROL_DengStaPic", "LED_enabled_on.bmp"));
    QVERIFY(world_->Core().AppSettings().ReadLightingView());

    // Effect 12: up and down arrows at the third layout.
    SelectEffect(12);
    QTRY_VERIFY(Control("CONTROL_BLFXLStaPic")->isVisible());
    QCOMPARE(Control("CONTROL_BLFXLStaPic")->pos(), LayoutOrigin("CONTROL_BLFXLStaPic3"));
    const bool first = world_->ParamByte(0, 3) != 0;
    QVERIFY(Shows("CONTROL_BLFXLStaPic", first ? "updown.bmp" : "upup.bmp"));
    QVERIFY(!Control("CONTROL_HXysButton")->isVisible());
    // Effect 18: outward and inward at the plain layout.
    SelectEffect(18);
    QCOMPARE(Control("CONTROL_BLFXLStaPic")->pos(), LayoutOrigin("CONTROL_BLFXLStaPic"));
    Click("CONTROL_BLFXRStaPic");
    QCOMPARE(world_->ParamByte(0, 3), 0);
    QVERIFY(Shows("CONTROL_BLFXRStaPic", "julongdown.bmp"));
    QVERIFY(Shows("CONTROL_BLFXLStaPic", "kuosan.bmp"));
    QVERIFY(!Control("CONTROL_SpeedSlider")->isVisible());

    Click("CONTROL_DengDisable");
    QTRY_VERIFY(!Panel().viewShown());
    QVERIFY(!Control("CONTROL_XGcombox")->isVisible());
    QVERIFY(!world_->Core().AppSettings().ReadLightingView());
  }

  void aColourChosenInMulticolourTurnsItOffOnBothToggles() {
    QVERIFY(Connect());
    Click("CONTROL_DengStaPic");
    SelectEffect(5);
    if (world_->ParamByte(0, 4) == 0) Click("CONTROL_FYSJSStaPic");  // the reactive toggle moves both
    QVERIFY(world_->ParamByte(0, 4) != 0);
    QVERIFY(Shows("CONTROL_HXsjsStaPic", "sjsdown.bmp"));
    world_->Trace().Clear();
    auto* colour = static_cast<ColorButton*>(Control("CONTROL_HXysButton"));
    emit colour->colorChosen(QColor(10, 20, 30));
    QVERIFY(world_->WaitIdle());
    // One write from byte 4: multicolour off, then the colour.
    QCOMPARE(world_->ParamByte(0, 4), 0);
    QCOMPARE(world_->ParamByte(0, 5), 10);
    QCOMPARE(world_->ParamByte(0, 6), 20);
    QCOMPARE(world_->ParamByte(0, 7), 30);
    QVERIFY(Shows("CONTROL_FYSJSStaPic", "sjsup.bmp"));
    QCOMPARE(static_cast<ColorButton*>(Control("CONTROL_FYYSButton"))->color(), QColor(10, 20, 30));
  }

  void slidersShowWhatTheKeyboardHolds() {
    QVERIFY(Connect());
    const uint8_t brightness = 3, speed = 0;
    Run([&] {
      [[maybe_unused]] DevResult a = world_->Core().Lighting().WriteParam(kParamBrightness, std::span(&brightness, 1));
      [[maybe_unused]] DevResult b = world_->Core().Lighting().WriteParam(kParamSpeed, std::span(&speed, 1));
      world_->Core().Sync().OnLightingChanged();
    });
    auto* light = static_cast<PixmapSlider*>(Control("CONTROL_LightSlider"));
    auto* fast = static_cast<PixmapSlider*>(Control("CONTROL_SpeedSlider"));
    QTRY_COMPARE(light->value(), 3);
    QCOMPARE(light->channelPixmap().cacheKey(), Panel().picture("3.bmp").cacheKey());
    QCOMPARE(fast->value(), 3);
    QCOMPARE(fast->channelPixmap().cacheKey(), Panel().picture("8.bmp").cacheKey());
  }

  void turnedOnWithEffect11TheArrowsWaitForTheNextRefresh() {
    QVERIFY(Connect());
    Click("CONTROL_DengStaPic");
    SelectEffect(11);
    QVERIFY(Control("CONTROL_BLFXLStaPic")->isVisible());
    Click("CONTROL_DengStaPic");  // off
    QTRY_VERIFY(!Panel().viewShown());
    Click("CONTROL_DengStaPic");  // on again
    QTRY_VERIFY(Panel().viewShown());
    QVERIFY(!Control("CONTROL_BLFXLStaPic")->isVisible());
    QVERIFY(Control("CONTROL_SpeedSlider")->isVisible());
    Run([&] { world_->Core().Sync().OnLightingChanged(); });
    QTRY_VERIFY(Control("CONTROL_BLFXLStaPic")->isVisible());
  }

  void anOpenKeyDialogRefusesTheView() {
    QVERIFY(Connect());
    MessageBoxes boxes;
    world_->App().ports().setKeyDialogOpen(true);
    Click("CONTROL_DengStaPic");
    QTRY_COMPARE(boxes.texts().size(), 1);
    QVERIFY(!Panel().viewShown());
    QVERIFY(!world_->Core().AppSettings().ReadLightingView());
    QVERIFY(Shows("CONTROL_DengStaPic", "LED_enabled_off.bmp"));
  }

  void keysArePaintedOnTheKeyboardWithBothTools() {
    QVERIFY(Connect());
    Click("CONTROL_DengStaPic");
    SelectEffect(kUserDefinedMode);
    auto* brush = static_cast<ColorButton*>(Control("CONTROL_USERysButton"));
    emit brush->colorChosen(QColor(0, 255, 0));
    Click("CONTROL_USERgjStaPic1");
    Window().keyButton(kA)->click();
    QVERIFY(world_->WaitIdle());
    const int slotA = LedSlotOfKey(world_->Core().Model().ledSlots, kA);
    QCOMPARE(KeyColourOnKeyboard(slotA), std::string("00ff00"));
    QCOMPARE(Panel().keyColour(kA), std::optional<Colour>(MakeColour(0, 255, 0)));

    // Right Win and Page Up share a light.
    Window().keyButton(kRightWin)->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(Panel().keyColour(kPageUp), std::optional<Colour>(MakeColour(0, 255, 0)));

    // The base tool: the key follows the base colour again.
    auto* base = static_cast<ColorButton*>(Control("CONTROL_USERjsButton"));
    emit base->colorChosen(QColor(0, 0, 255));
    QVERIFY(world_->WaitIdle());
    QCOMPARE(KeyColourOnKeyboard(slotA), std::string("00ff00"));  // brushed: kept
    Click("CONTROL_USERgjStaPic2");
    QVERIFY(Shows("CONTROL_USERgjStaPic2", "user2down.bmp"));
    Window().keyButton(kA)->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(KeyColourOnKeyboard(slotA), std::string("0000ff"));

    // A G key still opens the key dialog, never paints.
    const std::string before = world_->Dump()["key_colours"].text;
    KeyCode opened = 0;
    QTimer::singleShot(0, this, [&] {  // the dialog is modal: closed from its own loop
      app::KeyDialog& dialog = *Window().ownKeyDialog();
      if (dialog.isOpen()) opened = dialog.session()->Key();
      dialog.cancel();
    });
    Window().keyButton(kFirstGKey)->click();
    QCOMPARE(opened, kFirstGKey);
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->Dump()["key_colours"].text, before);
  }

  // The brush colour as three numbers: they follow the colour chosen, and a
  // number typed changes the brush at once. Only Custom paints; every other
  // effect says so where Custom's tools would stand.
  void theBrushColourIsTypedAsNumbers() {
    QVERIFY(Connect());
    Click("CONTROL_DengStaPic");
    SelectEffect(1);
    QVERIFY(Control("PAINT_HINT")->isVisible());
    QVERIFY(!Control("COLOR_R")->isVisible());
    SelectEffect(kUserDefinedMode);
    QVERIFY(!Control("PAINT_HINT")->isVisible());
    auto* red = static_cast<QSpinBox*>(Control("COLOR_R"));
    auto* green = static_cast<QSpinBox*>(Control("COLOR_G"));
    QVERIFY(red->isVisible());
    auto* brush = static_cast<ColorButton*>(Control("CONTROL_USERysButton"));
    emit brush->colorChosen(QColor(10, 20, 30));
    QCOMPARE(red->value(), 10);
    QCOMPARE(green->value(), 20);
    green->selectAll();
    QTest::keyClicks(green, "300");  // kept within 0..255
    QVERIFY(green->value() <= 255);
    green->setValue(200);
    QCOMPARE(brush->color(), QColor(10, 200, 30));
    Click("CONTROL_USERgjStaPic1");
    Window().keyButton(kA)->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(KeyColourOnKeyboard(LedSlotOfKey(world_->Core().Model().ledSlots, kA)), std::string("0ac81e"));
  }

  void schemesAreChosenAndRenamedInTheList() {
    QVERIFY(Connect());
    Click("CONTROL_DengStaPic");
    SelectEffect(kUserDefinedMode);
    auto* schemes = static_cast<QComboBox*>(Control("CONTROL_umCombo"));
    QCOMPARE(schemes->count(), 10);
    schemes->setCurrentIndex(2);
    emit schemes->activated(2);
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->Core().UserFiles().ReadSchemeIndex(0), 2);
    QTest::keyClick(schemes->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(schemes->lineEdit(), "Night");
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->Core().UserFiles().ReadSchemeName(0, 2), std::string("Night"));
    QCOMPARE(schemes->itemText(2), QString("Night"));
  }

  void thePreviewRunsOnlyWhileTheViewIsShownAndTheWindowVisible() {
    QVERIFY(Connect());
    QTRY_VERIFY(Window().isVisible());
    QVERIFY(!Panel().previewRunning());
    Click("CONTROL_DengStaPic");
    SelectEffect(4);
    QTRY_VERIFY(Panel().previewRunning());
    // Effect 4 colours every key alike, and the colour moves on.
    QTRY_VERIFY(Panel().keyColour(kA).has_value());
    const std::optional<Colour> first = Panel().keyColour(kA);
    QTRY_VERIFY(Panel().keyColour(kA) != first);
    QCOMPARE(Panel().keyColour(kPageUp), Panel().keyColour(kA));
    Window().hide();
    QVERIFY(!Panel().previewRunning());
    Window().show();
    QVERIFY(Panel().previewRunning());
    Click("CONTROL_DengDisable");
    QTRY_VERIFY(!Panel().previewRunning());
    QCOMPARE(Panel().keyColour(kA), std::nullopt);
  }
};

QTEST_MAIN(LightingPanelTest)
#include "lighting_panel_test.moc"

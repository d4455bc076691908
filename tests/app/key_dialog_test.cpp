// The key dialog used as a user uses it, against a virtual keyboard process:
// keys arrive as key events carrying native scan codes (evdev + 8, as X11 and
// Wayland give them), clicks go to the skin's buttons, and what the keyboard
// ends up holding is read back from it.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/key_dialog.h"
#include "app_test_world.h"
#include "model/key_codes.h"

using namespace keyloft;
using namespace keyloft::test;

namespace {

constexpr KeyCode kA = 0x01E, kH = 0x023, kLeftWin = 0x15B, kG9 = kFirstGKey + 8;
// evdev codes
constexpr quint32 kEvA = 30, kEvH = 35, kEvLeftMeta = 125, kEvMute = 113, kEvEsc = 1, kEvSysRq = 99;

// Counts the key presses that reach the dialog itself, after the
// application's filters: one the dialog took never gets here.
class ReachedDialog : public QObject {
 public:
  explicit ReachedDialog(QWidget& dialog) { dialog.installEventFilter(this); }
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) ++presses;
    return false;
  }
};

}  // namespace

class KeyDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppWorld> world_;

  bool Connect(std::vector<std::string> serveArgs = {}) {
    world_ = std::make_unique<AppWorld>();
    return world_->StartKeyboard(std::move(serveArgs)) && world_->StartProgram() && world_->WaitReady() &&
           world_->WaitIdle();
  }
  app::MainWindow& Window() { return world_->Window(); }
  app::KeyDialog& Dialog() { return *Window().ownKeyDialog(); }
  KeyEditSession& Session() { return *Dialog().session(); }
  KeyAssignment Record(KeyCode key) { return world_->Core().Editor().Describe(0, key).record; }
  QString Lang(const char* key) { return QString::fromStdString(world_->Core().Lang().GetText(key)); }

  // Opens the dialog as a click does and runs body while it is shown (it is
  // modal); whatever body leaves open is cancelled.
  void WithDialog(KeyCode key, bool macroOnly, const std::function<void(app::KeyDialog&)>& body,
                  QRect button = QRect(100, 100, 40, 40)) {
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
      body(Dialog());
      ran = true;
      if (Dialog().isOpen()) Dialog().cancel();
    });
    Window().ownKeyDialog()->openForKey(key, button, macroOnly);
    QVERIFY(ran);
  }

  // One key event as the platform delivers it; true when the dialog took it.
  static bool Send(QWidget& to, QEvent::Type type, quint32 evdev, bool autoRepeat = false) {
    QKeyEvent event(type, 0, Qt::NoModifier, evdev + 8, 0, 0, QString(), autoRepeat);
    return QApplication::sendEvent(&to, &event);
  }
  static void Tap(QWidget& to, quint32 evdev) {
    Send(to, QEvent::KeyPress, evdev);
    Send(to, QEvent::KeyRelease, evdev);
  }
  static void Click(app::KeyDialog& d, const char* key) { d.button(key)->click(); }
  // A new macro of one recorded tap of H: a press and a release.
  static void RecordH(app::KeyDialog& d) {
    Click(d, "FUNC_MACRO_ADD");
    d.toggleRecording();
    Tap(d, kEvH);
    d.toggleRecording();
  }

  // The main window's Apply, and the keyboard's memory compared with the model.
  void ApplyAndVerify() {
    Window().button("CONTROL2_APPLY")->click();
    QVERIFY(world_->WaitIdle());
    VerifyOutcome keys, macros;
    world_->App().runner().run([&] {
      const int profiles[] = {0};
      keys = world_->Core().Editor().VerifyKeyMaps(profiles);
      macros = world_->Core().Editor().VerifyMacros();
    });
    QVERIFY(world_->WaitIdle());
    QVERIFY(keys.Same());
    QVERIFY(macros.Same());
  }

 private slots:
  void cleanup() { EndWorld(world_); }

  void CapturesByScanCodeAndLeavesMediaKeysAlone() {
    QVERIFY(Connect());
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      ReachedDialog reached(d);
      Send(d, QEvent::KeyPress, kEvH);
      QCOMPARE(d.captureBox().text(), QString("H"));
      // The Win key is taken, so neither the dialog nor the desktop acts on
      // it, and captured by what it is.
      Send(d, QEvent::KeyPress, kEvLeftMeta);
      Send(d, QEvent::KeyRelease, kEvLeftMeta);
      QCOMPARE(d.captureBox().text(), QString("Left Win"));
      QCOMPARE(reached.presses, 0);
      // Mute stays with the system.
      Send(d, QEvent::KeyPress, kEvMute);
      QCOMPARE(reached.presses, 1);
      QCOMPARE(d.captureBox().text(), QString("Left Win"));
      // Escape is captured, not a Cancel.
      Send(d, QEvent::KeyPress, kEvEsc);
      QVERIFY(d.isOpen());
      QCOMPARE(d.captureBox().text(), QString("Esc"));
      Send(d, QEvent::KeyPress, kEvLeftMeta);
      d.ok();
    });
    QCOMPARE(Record(kA).type, uint16_t{kAssignKey});
    QCOMPARE(Record(kA).value, uint32_t{kLeftWin});
    QVERIFY(Window().button("CONTROL2_APPLY")->isEnabled());
    ApplyAndVerify();
  }

  void CapturingTheKeyItselfGivesItsDefault() {
    QVERIFY(Connect());
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kH)), EditResult::Ok);
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      QCOMPARE(d.captureBox().text(), QString("H"));
      Tap(d, kEvA);
      d.ok();
    });
    QCOMPARE(Record(kA).type, uint16_t{kAssignDefault});
  }

  // A key that sends a mouse action shows it by name and keeps it through a
  // key press; only Clear takes it away.
  void AMouseActionIsShownAndKeptUntilClear() {
    QVERIFY(Connect());
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kMouseActions[1])), EditResult::Ok);
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      QCOMPARE(d.captureBox().text(), QString("Right Button"));
      Tap(d, kEvH);
      QCOMPARE(d.captureBox().text(), QString("Right Button"));
      Click(d, "CONTROL_CLEAR");
      QCOMPARE(d.captureBox().text(), QString());
    });
  }

  // The keyboard's mouse actions are offered on the key page and in a
  // step's key list; chosen, they reach the keyboard.
  void MouseActionsCanBeChosen() {
    QVERIFY(Connect());
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      QVERIFY(d.mouseBox().isVisible());
      QCOMPARE(d.mouseBox().count(), 1 + static_cast<int>(kMouseActions.size()));
      emit d.mouseBox().activated(4);  // Wheel Up
      QCOMPARE(d.captureBox().text(), QString("Wheel Up"));
      QVERIFY(Session().MouseSource());
      d.ok();
    });
    QCOMPARE(Record(kA).type, uint16_t{kAssignKey});
    QCOMPARE(Record(kA).value, uint32_t{kMouseActions[3]});
    ApplyAndVerify();

    WithDialog(kH, true, [&](app::KeyDialog& d) {
      QVERIFY(!d.mouseBox().isVisible());
      RecordH(d);
      ReportList& steps = d.steps();
      steps.setSelectedRow(0);
      QVERIFY(steps.startEdit(0, 0));
      auto* keys = qobject_cast<QComboBox*>(steps.editor());
      QVERIFY(keys);
      QCOMPARE(keys->count(), kKeyListLength + static_cast<int>(kMouseActions.size()));
      keys->setCurrentIndex(kKeyListLength + 1);  // Right Button
      steps.finishEdit();
      QTRY_COMPARE(Session().Steps().at(0).key, kMouseActions[1]);
      QCOMPARE(d.steps().reportModel().text(0, 0), QString("Right Button"));
      d.ok();
    });
    ApplyAndVerify();
  }

  void RecordsAMacroWithTheMacroButtonIntoG9() {
    QVERIFY(Connect());
    WithDialog(kA, true, [&](app::KeyDialog& d) {
      // Macro-only: the other pages cannot be reached.
      QVERIFY(!d.button("CONTROL_KEY")->isEnabled());
      QCOMPARE(Session().Key(), kG9);
      Click(d, "FUNC_MACRO_ADD");
      QCOMPARE(d.macroBox().currentText(), QString("Macro 1"));
      d.toggleRecording();
      QVERIFY(Session().Recording());
      // A held key is one press and one release, however often it repeats.
      Send(d, QEvent::KeyPress, kEvH);
      Send(d, QEvent::KeyRelease, kEvH, true);
      Send(d, QEvent::KeyPress, kEvH, true);
      Send(d, QEvent::KeyRelease, kEvH);
      Tap(d, kEvLeftMeta);
      d.toggleRecording();
      QCOMPARE(d.steps().reportModel().rowCount(), 4);
      QCOMPARE(d.steps().reportModel().text(0, 0), QString("H"));
      QCOMPARE(d.steps().reportModel().text(3, 0), QString("Left Win"));
      d.cyclesBox().selectAll();
      QTest::keyClicks(&d.cyclesBox(), "3");
      QCOMPARE(Session().Cycles(), 3);
      d.ok();
    });
    const KeyAssignment g9 = Record(kG9);
    QCOMPARE(g9.type, uint16_t{kAssignMacro});
    QCOMPARE(g9.aux, uint16_t{3});
    const MacroList macros = world_->Core().Editor().Macros();
    QCOMPARE(macros.size(), size_t{1});
    QCOMPARE(g9.value, uint32_t{macros[0].id});
    QCOMPARE(macros[0].steps.size(), size_t{4});
    ApplyAndVerify();
  }

  // A key's dialog names the key and the key stays drawn pressed while it is
  // open; the macro key G9 opens the macro page alone, as the Macros button
  // does; the Record button looks and reads otherwise while it records.
  void TheDialogSaysWhichKeyItEdits() {
    QVERIFY(Connect());
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
      QVERIFY(Window().keyButton(kA)->isDown());
      QVERIFY(Dialog().windowTitle().startsWith(QString::fromStdString(
          world_->Core().Lang().FormatTextOf("COMPOSITE_EDITS_KEY", std::string("A")))));
      QVERIFY(!Session().MacroOnly());
      QVERIFY(!Dialog().editedKeyLabel().text().contains(Lang("COMPOSITE_NOT_KEPT")));
      Dialog().cancel();
      ran = true;
    });
    Window().keyButton(kA)->click();
    QVERIFY(ran);
    QVERIFY(!Window().keyButton(kA)->isDown());

    ran = false;
    QTimer::singleShot(0, this, [&] {
      app::KeyDialog& d = Dialog();
      QVERIFY(Session().MacroOnly());
      QVERIFY(!d.button("CONTROL_KEY")->isEnabled());
      QVERIFY(d.windowTitle().contains("G9"));
      // This keyboard's key map has no place for the G keys: said where the key is named.
      QVERIFY(d.editedKeyLabel().text().contains(Lang("COMPOSITE_NOT_KEPT")));
      Click(d, "FUNC_MACRO_ADD");
      ImageButton& record = *d.button("FUNC_MACRO_RECORD");
      const QImage idle = record.grab().toImage();
      d.toggleRecording();
      QVERIFY(record.grab().toImage() != idle);
      d.toggleRecording();
      QCOMPARE(record.grab().toImage(), idle);
      d.cancel();
      ran = true;
    });
    Window().keyButton(kG9)->click();
    QVERIFY(ran);
  }

  void WholeWayFromAKeyToTheKeyboard() {
    QVERIFY(Connect());
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      Click(d, "CONTROL_MACRO");
      Click(d, "FUNC_MACRO_ADD");
      d.toggleRecording();
      Tap(d, kEvH);
      // Print Screen reports only its release: the recorder adds the press.
      Send(d, QEvent::KeyRelease, kEvSysRq);
      d.toggleRecording();
      QCOMPARE(d.steps().reportModel().rowCount(), 4);
      d.apply();  // Apply in the dialog: it stays open
      QVERIFY(d.isOpen());
      d.ok();
    });
    QCOMPARE(Record(kA).type, uint16_t{kAssignMacro});
    ApplyAndVerify();
    // The keyboard's key map gives A the macro, and its macro area holds one macro of four steps.
    const std::string macros = world_->Dump()["macros"].text;
    QCOMPARE(macros.substr(0, 4), std::string("aa55"));
    QCOMPARE(macros.substr(8, 4), std::string("0100"));  // one macro
  }

  void TypedDelaysAndCyclesAreKeptInRange() {
    QVERIFY(Connect());
    MessageBoxes boxes;
    WithDialog(kA, true, [&](app::KeyDialog& d) {
      RecordH(d);
      ReportList& steps = d.steps();
      steps.setSelectedRow(0);
      QVERIFY(steps.startEdit(0, 2));
      auto* box = qobject_cast<QLineEdit*>(steps.editor());
      QVERIFY(box);
      box->setText("12345");
      steps.finishEdit();
      QTRY_COMPARE(steps.reportModel().text(0, 2), QString("12340"));
      QVERIFY(steps.startEdit(0, 2));
      qobject_cast<QLineEdit*>(steps.editor())->setText("-5");
      steps.finishEdit();
      QTRY_COMPARE(boxes.texts().size(), 1);
      QVERIFY(boxes.texts().front().contains("40000"));
      QTRY_COMPARE(steps.reportModel().text(0, 2), QString("40000"));
      d.cyclesBox().selectAll();
      QTest::keyClicks(&d.cyclesBox(), "300");
      QCOMPARE(d.cyclesBox().text(), QString("255"));
      // A delay typed and left by OK is kept.
      QVERIFY(steps.startEdit(0, 2));
      qobject_cast<QLineEdit*>(steps.editor())->setText("70");
      d.ok();
    });
    QCOMPARE(world_->Core().Editor().Macros().at(0).steps.at(0).delay, uint32_t{70});
  }

  void DeletingAMacroThatKeysPlayAsksFirst() {
    QVERIFY(Connect());
    ProfileEditor& editor = world_->Core().Editor();
    uint16_t id = 0;
    QCOMPARE(editor.AddMacro("Greeting", {{10, kH, kStepPress}, {0, kH, kStepRelease}}, 1, &id), EditResult::Ok);
    QCOMPARE(editor.AssignKey(0, kA, KeyAction::Macro(id, 1)), EditResult::Ok);
    MessageBoxes boxes(QMessageBox::No);
    WithDialog(kH, true, [&](app::KeyDialog& d) {
      Click(d, "FUNC_MACRO_DELETE");
      QTRY_COMPARE(boxes.texts().size(), 1);
      QCOMPARE(d.macroBox().count(), 1);  // No: kept
      boxes.setAnswer(QMessageBox::Yes);
      Click(d, "FUNC_MACRO_DELETE");
      QTRY_COMPARE(d.macroBox().count(), 0);
      d.ok();
    });
    QCOMPARE(Record(kA).type, uint16_t{kAssignDefault});
    QVERIFY(world_->Core().Workspace().WriteAll());
  }

  // Typed into the name box with the focus there, as a person types: every
  // keystroke stays ("G" with "Greeting" present), the box always names the
  // macro it shows, and a finished name that is another's gives way.
  void TheNameBoxNamesTheMacroShownAndKeepsWhatIsTyped() {
    QVERIFY(Connect());
    uint16_t id = 0;
    QCOMPARE(world_->Core().Editor().AddMacro("Greeting", {{10, kH, kStepPress}}, 1, &id), EditResult::Ok);
    WithDialog(kH, true, [&](app::KeyDialog& d) {
      QLineEdit& name = *d.macroBox().lineEdit();
      QCOMPARE(name.text(), QString("Greeting"));
      Click(d, "FUNC_MACRO_ADD");
      QCOMPARE(name.text(), QString("Macro 1"));
      name.setFocus();
      name.selectAll();
      QTest::keyClicks(&name, "Gre");
      QCOMPARE(name.text(), QString("Gre"));
      QCOMPARE(d.macroBox().itemText(1), QString("Gre"));
      QTest::keyClicks(&name, "eting");
      QTest::keyClick(&name, Qt::Key_Return);  // the name is finished
      QCOMPARE(name.text(), QString("Macro 2"));
      name.setFocus();
      name.selectAll();
      QTest::keyClicks(&name, "Greet");
      Click(d, "FUNC_MACRO_DELETE");  // the new one, which no key plays
      QCOMPARE(d.macroBox().count(), 1);
      QCOMPARE(name.text(), QString("Greeting"));
      QCOMPARE(d.steps().reportModel().rowCount(), 1);
      d.ok();
    });
    QCOMPARE(world_->Core().Editor().Macros().size(), size_t{1});
  }

  // The play count is the macro's: its box says how many keys share it.
  void ThePlayCountSaysItIsTheMacros() {
    QVERIFY(Connect());
    uint16_t id = 0;
    ProfileEditor& editor = world_->Core().Editor();
    QCOMPARE(editor.AddMacro("Greeting", {{10, kH, kStepPress}}, 2, &id), EditResult::Ok);
    QCOMPARE(editor.AssignKey(0, kA, KeyAction::Macro(id, 2)), EditResult::Ok);
    QCOMPARE(editor.AssignKey(2, kA, KeyAction::Macro(id, 2)), EditResult::Ok);
    WithDialog(kH, true, [&](app::KeyDialog& d) {
      QCOMPARE(d.cyclesBox().toolTip(), QString::fromStdString(world_->Core().Lang().FormatTextOf(
                                            "MACRO_CYCLES_SHARED", static_cast<long long>(2))));
    });
  }

  void TheGaugeSaysWhenTheMacrosWouldNotFit() {
    QVERIFY(Connect({"--macro-blocks", "1"}));  // 128 bytes of macro memory
    WithDialog(kA, true, [&](app::KeyDialog& d) {
      Click(d, "FUNC_MACRO_ADD");
      QVERIFY(!d.memoryLabel().text().contains("Too big"));
      d.toggleRecording();
      for (int i = 0; i < 20; ++i) Tap(d, kEvH);
      d.toggleRecording();
      QVERIFY(d.memoryLabel().text().contains("Too big"));
    });
  }

  void PlacedBesideTheButtonOrCentredForTheMacroButton() {
    QVERIFY(Connect());
    // Right of the button and below it, where that fits on the screen.
    WithDialog(kA, false, [&](app::KeyDialog& d) { QCOMPARE(d.placedAt(), QPoint(140, 140)); });
    WithDialog(kA, true, [&](app::KeyDialog& d) {
      const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
      QCOMPARE(d.placedAt(), area.center() - QPoint(d.width() / 2, d.height() / 2));
    });
  }

  void TheKeyboardGoingAwayClosesTheDialog() {
    QVERIFY(Connect());
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      world_->Ctl("unplug");
      QTRY_VERIFY_WITH_TIMEOUT(!d.isOpen(), 10000);
    });
    QVERIFY(!world_->Core().Device().deviceConnected);
  }

  void RecordDelaysIsASettingAndKeepsTheRealPauses() {
    QVERIFY(Connect());
    WithDialog(kA, true, [&](app::KeyDialog& d) {
      QVERIFY(!d.recordDelayBox().isChecked());
      d.recordDelayBox().click();
      QVERIFY(d.recordDelayBox().isChecked());
      QCOMPARE(world_->Core().AppSettings().ReadRecordDelay(), 1);
      Click(d, "FUNC_MACRO_ADD");
      d.toggleRecording();
      Tap(d, kEvH);
      QTest::qWait(150);
      Tap(d, kEvA);
      d.toggleRecording();
      // Not the fixed 50 ms: the pause between the two keys as it was.
      QVERIFY(Session().Steps().at(1).delay >= 140);
      d.recordDelayBox().click();
      QCOMPARE(world_->Core().AppSettings().ReadRecordDelay(), 0);
    });
  }

  void TheKeyboardIsGrabbedOnlyWhileAKeyIsAwaited() {
    QVERIFY(Connect());
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      // Offscreen, a modal dialog is not made active by itself.
      QApplication::setActiveWindow(&d);
      if (!d.isActiveWindow()) QSKIP("this platform activates no window");
      QVERIFY(d.keyboardGrabbed());  // the single-key page waits for a key
      // Another window active: the keyboard is let go, and taken back on return.
      QApplication::setActiveWindow(&Window());
      QVERIFY(!d.keyboardGrabbed());
      QApplication::setActiveWindow(&d);
      QVERIFY(d.keyboardGrabbed());
      Click(d, "CONTROL_MEDIA");
      QVERIFY(!d.keyboardGrabbed());
      // Without capture, Enter and Escape still neither apply nor cancel.
      QTest::keyClick(&d, Qt::Key_Escape);
      QTest::keyClick(&d, Qt::Key_Return);
      QVERIFY(d.isOpen());
      Click(d, "CONTROL_MACRO");
      Click(d, "FUNC_MACRO_ADD");
      QVERIFY(!d.keyboardGrabbed());
      d.toggleRecording();
      QVERIFY(d.keyboardGrabbed());
      d.toggleRecording();
      QVERIFY(!d.keyboardGrabbed());
    });
  }

  void ClosedByTheWindowManagerItOpensAgain() {
    QVERIFY(Connect());
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      Send(d, QEvent::KeyPress, kEvH);
      d.close();  // the title bar's close, Alt+F4
      QVERIFY(!d.isOpen());
    });
    QCOMPARE(Record(kA).type, uint16_t{kAssignDefault});  // nothing applied
    WithDialog(kA, false, [&](app::KeyDialog& d) { QVERIFY(d.isOpen()); });
  }

  void WithoutAnOnScreenKeyboardItsButtonSaysSo() {
    QVERIFY(Connect());
    if (!app::FindOnScreenKeyboard().isEmpty()) QSKIP("this machine has an on-screen keyboard");
    WithDialog(kA, false, [&](app::KeyDialog& d) {
      QVERIFY(!d.button("CONTROL_OSK")->isEnabled());
      QVERIFY(d.button("CONTROL_OSK")->tooltipText().contains("No on-screen keyboard"));
    });
  }
};

QTEST_MAIN(KeyDialogTest)
#include "key_dialog_test.moc"

// The main window and the profile manager, clicked as a user clicks them,
// against a virtual keyboard process: what the keyboard ends up holding is
// read from its memory dump and its trace.
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

#include "app/about_box.h"
#include "app/profile_manager.h"
#include "app_test_world.h"
#include "device/keyboard_protocol.h"
#include "model/profile_data.h"
#include "store/profile_file.h"
#include "store/registry.h"
#include "store/settings.h"
#include "ui/controls/link_label.h"
#include "ui/skin/skin_entries.h"

using namespace keyloft;
using namespace keyloft::test;

namespace {

constexpr KeyCode kA = 0x01E, kB = 0x030;

int Count(const std::vector<uint8_t>& numbers, uint8_t number) {
  return static_cast<int>(std::count(numbers.begin(), numbers.end(), number));
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppWorld> world_;

  // A connected program, its window open, on a keyboard set up by setup.
  bool Connect(const std::vector<std::string>& serveArgs = {}, bool hidden = false) {
    world_ = std::make_unique<AppWorld>();
    return world_->StartKeyboard(serveArgs) && world_->StartProgram(hidden) && world_->WaitReady();
  }
  app::MainWindow& Window() { return world_->Window(); }
  ImageButton* Button(const std::string& key) { return Window().button(key); }
  QString Text(const char* key) { return QString::fromStdString(world_->Core().Lang().GetText(key)); }
  KeyAssignment Record(int profile, KeyCode key) { return world_->Core().Editor().Describe(profile, key).record; }
  // An edit and its Apply, through the window's own Apply button.
  void AssignAndApply(int profile, KeyCode key, KeyCode to) {
    QCOMPARE(world_->Core().Editor().AssignKey(profile, key, KeyAction::Key(to)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    Button("CONTROL2_APPLY")->click();
    QVERIFY(world_->WaitIdle());
    QVERIFY(!Button("CONTROL2_APPLY")->isEnabled());
  }
  // The safety backups in the user data folder, oldest first.
  std::vector<std::filesystem::path> Backups() {
    std::vector<std::filesystem::path> found;
    for (const auto& e : std::filesystem::directory_iterator(world_->Core().UserFiles().Folder())) {
      if (e.path().filename().string().starts_with("backup-")) found.push_back(e.path());
    }
    std::sort(found.begin(), found.end());
    return found;
  }
  bool KeyMapsOnKeyboardMatch() {
    VerifyOutcome verified;
    const int all[] = {0, 1, 2};
    world_->App().runner().run([&] { return world_->Core().Editor().VerifyKeyMaps(all); },
                               [&](const VerifyOutcome& outcome) { verified = outcome; });
    return world_->WaitIdle() && verified.Same();
  }

 private slots:
  void cleanup() { EndWorld(world_); }

  void opensOnConnectionShowingTheKeyboardsProfile() {
    world_ = std::make_unique<AppWorld>();
    QVERIFY(world_->StartKeyboard());
    QVERIFY(world_->Ctl("profile 2").starts_with("ok"));
    QVERIFY(world_->StartProgram());
    QVERIFY(world_->WaitReady());
    QTRY_VERIFY(Window().isVisible());
    QTRY_VERIFY(Button("FUNC_PROFILE2")->isTicked());
    QVERIFY(!Button("FUNC_PROFILE1")->isTicked());
    QVERIFY(!Button("FUNC_PROFILE3")->isTicked());
    // Every key shows what it does in that profile.
    QCOMPARE(Window().keyButton(kA)->tooltipText(), QString::fromStdString(world_->Core().Editor().Describe(1, kA).description));
  }

  void startedHiddenOpensOnlyWhenAsked() {
    QVERIFY(Connect({}, true));
    QTest::qWait(100);
    QVERIFY(!Window().isVisible());
    world_->App().openMainWindow();
    QVERIFY(Window().isVisible());
  }

  void openWithoutAKeyboardSaysSoInsteadOfOpening() {
    world_ = std::make_unique<AppWorld>();
    QVERIFY(world_->StartProgram());  // no keyboard serves
    MessageBoxes boxes;
    // Two more starts of keyloft while the box is up: it is raised, not stacked.
    QTimer::singleShot(0, [&] {
      world_->App().openMainWindow();
      world_->App().openMainWindow();
    });
    world_->App().openMainWindow();
    QTRY_COMPARE(boxes.texts(), QStringList{Text("MAIN_NO_DEVICE_PROMPT")});
    QTest::qWait(50);
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY(!Window().isVisible());
  }

  // A keyboard silent when it arrived shows the defaults; what was changed
  // over them is not written over its own profiles once it answers.
  void applyAfterASilentArrivalReadsTheKeyboardFirst() {
    world_ = std::make_unique<AppWorld>();
    QVERIFY(world_->StartKeyboard());
    QVERIFY(world_->Ctl("silent on").starts_with("ok"));
    MessageBoxes boxes;
    QVERIFY(world_->StartProgram());
    QVERIFY(world_->WaitReady());
    QVERIFY(!Button("FUNC_PROFILE1")->isTicked());
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QVERIFY(world_->Ctl("silent off").starts_with("ok"));
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    boxes.clear();
    Button("CONTROL2_APPLY")->click();
    QVERIFY(world_->WaitIdle());
    QTRY_COMPARE(boxes.texts(), QStringList{Text("MAIN_APPLY_READ_BACK")});
    QCOMPARE(Record(0, kA), KeyAssignment{});
    QVERIFY(Button("FUNC_PROFILE1")->isTicked());
    QVERIFY(!Button("CONTROL2_APPLY")->isEnabled());
  }

  void profileButtonsSwitchTheKeyboard() {
    QVERIFY(Connect());
    QTRY_VERIFY(Button("FUNC_PROFILE1")->isTicked());
    Button("FUNC_PROFILE2")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 1);
    QTRY_VERIFY(Button("FUNC_PROFILE2")->isTicked());
    QVERIFY(!Button("FUNC_PROFILE1")->isTicked());

    // The active profile once more: nothing is sent.
    world_->Trace().Clear();
    Button("FUNC_PROFILE2")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(Count(world_->Trace().CommandNumbers(), CMD_WRITE_INFO), 0);
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 1);

    // A keyboard that stopped answering: the click says so, and the mark stays where it was.
    QVERIFY(world_->Ctl("silent on").starts_with("ok"));
    MessageBoxes boxes;
    Button("FUNC_PROFILE3")->click();
    QTRY_COMPARE(boxes.texts(), QStringList{Text("MAIN_KEYBOARD_FAILED")});
    QVERIFY(!Button("FUNC_PROFILE3")->isTicked());
  }

  void followsAProfileChosenOnTheKeyboard() {
    QVERIFY(Connect());
    QCOMPARE(world_->Core().Editor().AssignKey(2, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    Button("CONTROL2_APPLY")->click();  // not the active profile: all three go
    QVERIFY(world_->WaitIdle());
    QVERIFY(world_->Ctl("profile 3").starts_with("ok"));
    QTRY_VERIFY(Button("FUNC_PROFILE3")->isTicked());
    QTRY_VERIFY(Window().keyButton(kA)->isTicked());  // A does something else there
    QVERIFY(!Window().keyButton(kB)->isTicked());
  }

  void reportRateAndFlip() {
    QVERIFY(Connect());
    Button("FUNC_REPORT3")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->ParamByte(0, 15), 2);
    QVERIFY(Button("FUNC_REPORT3")->isTicked());
    QVERIFY(!Button("FUNC_REPORT1")->isTicked());

    // Flip swaps which row of F1..F4 and D1..D6 can be clicked, and is kept.
    const auto f1 = Button(KeyButtonKey(0x03B));
    const auto d1 = Button(DKeyButtonKey(1));
    QVERIFY(f1->isEnabled());
    QVERIFY(!d1->isEnabled());
    Button("FLIP_1")->click();
    QCOMPARE(world_->Core().AppSettings().ReadFlip(), 1);
    QVERIFY(!f1->isEnabled());
    QVERIFY(d1->isEnabled());
    Button("FLIP_2")->click();
    QCOMPARE(world_->Core().AppSettings().ReadFlip(), 0);
    QVERIFY(f1->isEnabled());
  }

  void restoreDefaultsResetsTheActiveProfileAndWritesIt() {
    QVERIFY(Connect());
    AssignAndApply(0, kA, kB);
    AssignAndApply(1, kA, kB);
    QVERIFY(Window().keyButton(kA)->isTicked());

    MessageBoxes boxes(QMessageBox::No);
    Button("FUNC_DEFAULT")->click();  // asked, and answered No: nothing
    QCOMPARE(boxes.texts(), QStringList{Text("MAIN_PROMPT_DEFAULT")});
    QCOMPARE(Record(0, kA).type, kAssignKey);

    boxes.setAnswer(QMessageBox::Yes);
    Button("FUNC_DEFAULT")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(Record(0, kA), KeyAssignment{});
    // Done, and said so with where the keyboard's content was saved first.
    QTRY_COMPARE(boxes.texts().size(), 3);
    QCOMPARE(Backups().size(), size_t{1});
    QVERIFY(boxes.texts()[2].contains(QString::fromStdString(Backups().front().string())));
    QCOMPARE(Record(1, kA).type, kAssignKey);  // another profile stays
    QVERIFY(!Window().keyButton(kA)->isTicked());
    QVERIFY(!Button("CONTROL2_APPLY")->isEnabled());
    QVERIFY(KeyMapsOnKeyboardMatch());
  }

  void restoreDefaultsWithoutAKnownProfileResetsNothing() {
    QVERIFY(Connect());
    AssignAndApply(0, kA, kB);
    QVERIFY(world_->Ctl("unplug").starts_with("ok"));
    QTRY_VERIFY(world_->Core().Device().activeProfileCache < 0);
    MessageBoxes boxes(QMessageBox::Yes);
    Button("FUNC_DEFAULT")->click();
    QVERIFY(world_->WaitIdle());
    QTRY_COMPARE(boxes.texts(), (QStringList{Text("MAIN_PROMPT_DEFAULT"), Text("MAIN_DEFAULT_NO_PROFILE")}));
    QCOMPARE(Record(0, kA).type, kAssignKey);
  }

  void backupWritesAFileThatRestores() {
    QVERIFY(Connect());
    AssignAndApply(0, kA, kB);
    const QString file = QString::fromStdString((world_->Root() / "backup.fwc").string());
    QVERIFY(Window().backupTo(file));
    ProfileData loaded;
    QVERIFY(LoadProfileFile(file.toStdString(), loaded));
    QCOMPARE(loaded.block.arrays[0][0x1E].type, kAssignKey);

    AssignAndApply(0, kA, kA);
    QCOMPARE(Record(0, kA), KeyAssignment{});
    // Asked first: No changes nothing.
    MessageBoxes boxes(QMessageBox::No);
    world_->Trace().Clear();
    Window().restoreFrom(file);
    QVERIFY(world_->WaitIdle());
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY(world_->Trace().CommandNumbers().empty());

    // Yes: what the keyboard held is saved first, then the file's profiles go to it.
    boxes.clear();
    boxes.setAnswer(QMessageBox::Yes);
    const auto backupsBefore = Backups();
    Window().restoreFrom(file);
    QVERIFY(world_->WaitIdle());
    QCOMPARE(Record(0, kA).type, kAssignKey);
    QVERIFY(Window().keyButton(kA)->isTicked());
    QVERIFY(!Button("CONTROL2_APPLY")->isEnabled());
    QVERIFY(KeyMapsOnKeyboardMatch());
    const auto backups = Backups();
    QCOMPARE(backups.size(), backupsBefore.size() + 1);
    ProfileData before;
    QVERIFY(LoadProfileFile(backups.back(), before));
    QCOMPARE(before.block.arrays[0][0x1E], KeyAssignment{});
    QTRY_COMPARE(boxes.texts().size(), 2);
    QVERIFY(boxes.texts()[1].contains(QString::fromStdString(backups.back().string())));
  }

  void aBackupThatCannotBeWrittenSaysSo() {
    QVERIFY(Connect());
    MessageBoxes boxes;
    QVERIFY(!Window().backupTo(QString::fromStdString((world_->Root() / "no-such-folder" / "b.fwc").string())));
    QCOMPARE(boxes.texts(), QStringList{Text("MAIN_BACKUP_FAILED")});
  }

  void aDamagedFileIsRefusedAndChangesNothing() {
    QVERIFY(Connect());
    AssignAndApply(0, kA, kB);
    const QString good = QString::fromStdString((world_->Root() / "good.fwc").string());
    QVERIFY(Window().backupTo(good));
    // One byte of the header changed, its check byte left as it was.
    const std::filesystem::path damaged = world_->Root() / "damaged.fwc";
    std::string bytes = TempDir::ReadFile(good.toStdString());
    bytes[5] = static_cast<char>(bytes[5] ^ 0x5A);
    world_->Root().Write("damaged.fwc", bytes);

    AssignAndApply(0, kA, kA);
    MessageBoxes boxes;
    world_->Trace().Clear();
    Window().restoreFrom(QString::fromStdString(damaged.string()));
    QVERIFY(world_->WaitIdle());
    QCOMPARE(boxes.texts(), QStringList{Text("MAIN_PROMPT_INPORT")});  // before any question
    QCOMPARE(Record(0, kA), KeyAssignment{});
    for (uint8_t number : world_->Trace().CommandNumbers()) {
      QVERIFY(number != CMD_WRITE_KEYMAP && number != CMD_WRITE_MACROS);
    }
  }

  // The window's close and the tray's Exit with a change not applied: asked
  // first. Cancel keeps the program and the change; Discard ends without
  // writing; Apply writes and ends, unless the keyboard does not take it.
  void exitWithUnappliedChangesAsksFirst_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("fromTray");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("written");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false << false << false;
    QTest::newRow("discard") << int(QMessageBox::Discard) << true << false << true << false;
    QTest::newRow("apply") << int(QMessageBox::Apply) << false << false << true << true;
    QTest::newRow("apply, keyboard silent") << int(QMessageBox::Apply) << true << true << false << false;
  }
  void exitWithUnappliedChangesAsksFirst() {
    QFETCH(int, answer);
    QFETCH(bool, fromTray);
    QFETCH(bool, silent);
    QFETCH(bool, ends);
    QFETCH(bool, written);
    QVERIFY(Connect());
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    if (silent) QVERIFY(world_->Ctl("silent on").starts_with("ok"));
    MessageBoxes boxes(static_cast<QMessageBox::StandardButton>(answer));
    if (fromTray) {
      emit world_->App().tray().exitRequested();
    } else {
      Button("CONTROL_CLOSE")->click();
    }
    QVERIFY(world_->WaitIdle());
    QTRY_COMPARE(world_->App().stopped(), ends);
    QStringList said{Text("MAIN_EXIT_PROMPT")};
    if (silent) said << Text("MAIN_APPLY_FAILED");
    QTRY_COMPARE(boxes.texts(), said);
    if (!ends) {
      QVERIFY(Button("CONTROL2_APPLY")->isEnabled());
      QCOMPARE(Record(0, kA).type, kAssignKey);
      return;
    }
    const std::string keys = world_->Keyloftctl({"keys", "--profile", "1"}).out;
    QVERIFY2(keys.find("\nA\t") != std::string::npos, keys.c_str());
    QCOMPARE(keys.find("\nA\tdefault\n") == std::string::npos, written);
  }

  // The About box's link to the manual takes the window's link colour, not
  // a fixed blue lost on the dark background.
  void theAboutBoxLinkIsReadable() {
    QVERIFY(Connect());
    emit world_->App().tray().aboutRequested();
    QVERIFY(world_->App().aboutBox());
    auto* link = world_->App().aboutBox()->findChild<LinkLabel*>();
    QVERIFY(link);
    const QColor shown = link->palette().color(QPalette::WindowText);
    QCOMPARE(shown, world_->App().aboutBox()->palette().color(QPalette::Link));
    const QColor background = world_->App().aboutBox()->palette().color(QPalette::Window);
    QVERIFY(std::abs(qGray(shown.rgb()) - qGray(background.rgb())) > 80);
    world_->App().aboutBox()->close();
  }

  // The tray's tooltip says whether a keyboard is connected; a removal while
  // the window is shown is said once, by a notice that waits for nobody.
  void aRemovalWhileShownIsSaidOnce() {
    QVERIFY(Connect());
    QTRY_VERIFY(world_->App().tray().toolTip().contains(Text("TRAY_CONNECTED")));
    QVERIFY(Window().isVisible());
    QVERIFY(world_->Ctl("unplug").starts_with("ok"));
    QTRY_VERIFY(world_->App().removedNotice());
    QCOMPARE(world_->App().removedNotice()->text(), Text("MAIN_KEYBOARD_REMOVED"));
    QVERIFY(!world_->App().removedNotice()->isModal());
    QTRY_VERIFY(world_->App().tray().toolTip().contains(Text("TRAY_NO_KEYBOARD")));
    world_->App().removedNotice()->close();
    QTRY_VERIFY(!world_->App().removedNotice());
    // Back, and gone again while the window is hidden: nothing to say.
    QVERIFY(world_->Ctl("plug").starts_with("ok"));
    QVERIFY(world_->WaitReady(2));
    Button("CONTROL_CANCEL")->click();  // out of sight: to the tray, or the task bar without one
    QVERIFY(!Window().isVisible() || Window().isMinimized());
    QVERIFY(world_->Ctl("unplug").starts_with("ok"));
    QTRY_VERIFY(world_->App().tray().toolTip().contains(Text("TRAY_NO_KEYBOARD")));
    QVERIFY(!world_->App().removedNotice());
  }

  // The report button runs the doctor through this copy and gives a text
  // to paste, already on the clipboard; the folder button has a purpose of
  // its own, and the third round button is gone.
  void theReportButtonGivesADiagnosticsReport() {
    QVERIFY(Connect());
    QVERIFY(!Button("KEY_INSTARGRAM")->isVisible());
    Button("KEY_FACEBOOK")->click();
    QVERIFY(world_->App().report());
    QTRY_VERIFY_WITH_TIMEOUT(world_->App().report()->done(), 30000);
    const QString report = world_->App().report()->text();
    QVERIFY2(report.startsWith("Keyloft " KEYLOFT_VERSION), qPrintable(report));
    QVERIFY2(report.contains("$ keyloftctl doctor\n"), qPrintable(report));
    QVERIFY2(!report.contains("was not found"), qPrintable(report));
    QCOMPARE(QGuiApplication::clipboard()->text(), report);
    world_->App().report()->close();
  }

  // A key the keyboard keeps no assignment for (the G keys here: its key
  // map has no place for them) says so in its tooltip, and so does Macros.
  void keysTheKeyboardDoesNotKeepSaySo() {
    QVERIFY(Connect());
    const QString notKept = QString::fromStdString(world_->Core().Lang().FormatTextOf("KEY_NOT_KEPT", std::string("G1")));
    QTRY_VERIFY(Window().keyButton(kFirstGKey)->tooltipText().contains(notKept));
    QVERIFY(!Window().keyButton(kA)->tooltipText().contains(Text("COMPOSITE_NOT_KEPT")));
    QVERIFY(!world_->Core().Editor().KeyboardKeepsAssignment(kFirstGKey));
    QVERIFY(Button("FUNC_MACRO")->tooltipText().contains(
        QString::fromStdString(world_->Core().Lang().FormatTextOf("KEY_NOT_KEPT", std::string("G9")))));
  }

  // --kill and SIGTERM end the program without a question (they reach
  // shutdown directly): what they discard is said on stderr.
  void anEndNobodyIsAskedAboutSaysWhatItDiscards() {
    QVERIFY(Connect());
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    const std::filesystem::path said = world_->Root() / "stderr.txt";
    fflush(stderr);
    const int saved = ::dup(2);
    const int file = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 2);
    world_->App().shutdown();
    fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(file);
    QVERIFY(world_->App().stopped());
    QVERIFY(TempDir::ReadFile(said).find("keyloft: changes that were not applied to the keyboard are discarded") !=
            std::string::npos);
  }

  // Without changes the close ends the program at once.
  void exitWithoutChangesAsksNothing() {
    QVERIFY(Connect());
    MessageBoxes boxes;
    Button("CONTROL_CLOSE")->click();
    QVERIFY(world_->App().stopped());
    QVERIFY(boxes.texts().isEmpty());
  }

  void unplugClosesTheDialogsAndAReplugKeepsWhatIsPending() {
    QVERIFY(Connect());
    QTRY_VERIFY(Window().isVisible());
    bool managerWasOpen = false;
    QTimer::singleShot(0, [&] {
      managerWasOpen = Window().profileManager() && Window().profileManager()->isVisible();
      world_->Ctl("unplug");
    });
    Button("FUNC_PROFILES")->click();  // returns when the manager closes
    QVERIFY(managerWasOpen);
    QVERIFY(!Window().profileManager()->isVisible());
    // Out of sight; without a tray to bring it back, in the task bar.
    QTRY_VERIFY(!Window().isVisible() || Window().isMinimized());

    // A change made meanwhile is the user's still: the return keeps it, and Apply stays open for it.
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QVERIFY(world_->Ctl("plug").starts_with("ok"));
    QVERIFY(world_->WaitReady(2));
    QCOMPARE(Record(0, kA).value, uint32_t(kB));
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
  }

  void enterAndEscapeLeaveTheWindowAsItIs() {
    QVERIFY(Connect());
    QTRY_VERIFY(Window().isVisible());
    Window().activateWindow();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(&Window(), key);
      QVERIFY(Window().isVisible());
      QVERIFY(!Window().isMinimized());
    }
  }

  void theProfileManagerTicksAppliesAndCancels() {
    QVERIFY(Connect());
    const Paths& paths = world_->AppPaths();
    RegistryKey registry(SettingsFolder(paths) / "registry.ini");
    // The rows of the onboard profiles name the working copy, with the extension of a profile file.
  const std::string working = WorkingProfileFile(UserDataFolder(paths)).string() + ".fwc";

    // Cancel after a change: nothing written, the keyboard as it was.
    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      ReportModel& rows = manager.list().reportModel();
      QCOMPARE(rows.rowCount(), 3);
      QCOMPARE(rows.headerData(1, Qt::Horizontal).toString(), Text("PROFILE_COLUMN_NAME"));
      QCOMPARE(rows.firstCheckedRow(), 0);
      QVERIFY(!manager.button("CONTROL2_APPLY")->isEnabled());
      QVERIFY(rows.setData(rows.index(2, 0), Qt::Checked, Qt::CheckStateRole));
      QVERIFY(manager.button("CONTROL2_APPLY")->isEnabled());
      manager.button("CONTROL_CANCEL")->click();
    });
    Button("FUNC_PROFILES")->click();
    QVERIFY(world_->WaitIdle());
    QVERIFY(!registry.ReadString(kProfilesSubKey, "PROFILE01"));
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 0);

    // A fourth row, loaded from a file, cannot be ticked; ticking row 2 and
    // Apply makes profile 3 the keyboard's and records the list.
    const std::filesystem::path extra = world_->Root() / "extra.fwc";
    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      ReportModel& rows = manager.list().reportModel();
      QCOMPARE(rows.firstCheckedRow(), 0);  // filled afresh
      manager.loadFile(extra);
      QCOMPARE(rows.rowCount(), 4);
      QVERIFY(!rows.setData(rows.index(3, 0), Qt::Checked, Qt::CheckStateRole));
      QVERIFY(!rows.isChecked(3));
      QVERIFY(rows.setData(rows.index(2, 0), Qt::Checked, Qt::CheckStateRole));
      QVERIFY(!rows.isChecked(0));
      manager.button("CONTROL2_APPLY")->click();
      QVERIFY(!manager.button("CONTROL2_APPLY")->isEnabled());
      QVERIFY(world_->WaitIdle());
      manager.button("CONTROL_OK")->click();
    });
    Button("FUNC_PROFILES")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 2);
    QTRY_VERIFY(Button("FUNC_PROFILE3")->isTicked());
    QCOMPARE(registry.ReadString(kProfilesSubKey, "PROFILE00").value_or("?"), "4");
    for (const char* name : {"PROFILE01", "PROFILE02", "PROFILE03"}) {
      QCOMPARE(registry.ReadString(kProfilesSubKey, name).value_or("?"), working);
    }
    QCOMPARE(registry.ReadString(kProfilesSubKey, "PROFILE04").value_or("?"), extra.string());

    // The next opening lists the kept file again, by its name and with its
    // whole path as tooltip; the keyboard's rows say what they are and cannot
    // be deleted; Space ticks the selected row and Enter is OK.
    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      ReportModel& rows = manager.list().reportModel();
      QCOMPARE(rows.rowCount(), 4);
      QCOMPARE(rows.text(0, 1), Text("FUNC_KEY_DESC1"));
      QCOMPARE(rows.text(3, 1), QString("extra.fwc"));
      QCOMPARE(rows.data(rows.index(3, 2), Qt::ToolTipRole).toString(), QString::fromStdString(extra.string()));
      QCOMPARE(rows.data(rows.index(3, 0), Qt::ToolTipRole).toString(), Text("PROFILE_ROW_NOT_ONBOARD"));
      manager.list().setSelectedRow(1);
      QVERIFY(!manager.button("FUNC_DELETE")->isEnabled());
      manager.button("FUNC_DELETE")->click();
      QCOMPARE(rows.rowCount(), 4);
      manager.list().setSelectedRow(3);
      QVERIFY(manager.button("FUNC_DELETE")->isEnabled());
      manager.list().setSelectedRow(1);
      QTest::keyClick(&manager, Qt::Key_Space);
      QVERIFY(rows.isChecked(1));
      QVERIFY(manager.pending());
      QTest::keyClick(&manager, Qt::Key_Return);
    });
    Button("FUNC_PROFILES")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 1);
    QCOMPARE(registry.ReadString(kProfilesSubKey, "PROFILE04").value_or("?"), extra.string());
  }

  // Escape after a tick finishes the dialog: a later profile click asks no
  // question. OK with nothing changed touches nothing; with key edits pending
  // the dialog never reads the keyboard over them: the same profile keeps them,
  // another asks first, as a profile button does.
  void theProfileManagerLeavesUnappliedEditsAlone() {
    QVERIFY(Connect());
    MessageBoxes boxes(QMessageBox::No);
    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      ReportModel& rows = manager.list().reportModel();
      QVERIFY(rows.setData(rows.index(2, 0), Qt::Checked, Qt::CheckStateRole));
      QTest::keyClick(&manager, Qt::Key_Escape);
    });
    Button("FUNC_PROFILES")->click();
    QVERIFY(!Window().profileManager()->pending());
    Button("FUNC_PROFILE2")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 1);
    QVERIFY(boxes.texts().isEmpty());

    QCOMPARE(world_->Core().Editor().AssignKey(1, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    world_->Trace().Clear();
    QTimer::singleShot(0, [&] { Window().profileManager()->button("CONTROL_OK")->click(); });
    Button("FUNC_PROFILES")->click();
    QVERIFY(world_->WaitIdle());
    QVERIFY(world_->Trace().CommandNumbers().empty());

    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      manager.loadFile(world_->Root() / "kept.fwc");
      manager.button("CONTROL_OK")->click();
    });
    Button("FUNC_PROFILES")->click();
    QVERIFY(world_->WaitIdle());
    QCOMPARE(Count(world_->Trace().CommandNumbers(), CMD_READ_KEYMAP), 0);
    QVERIFY(Button("CONTROL2_APPLY")->isEnabled());
    QCOMPARE(Record(1, kA).type, kAssignKey);
    QVERIFY(boxes.texts().isEmpty());

    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      ReportModel& rows = manager.list().reportModel();
      QVERIFY(rows.setData(rows.index(0, 0), Qt::Checked, Qt::CheckStateRole));
      manager.button("CONTROL_OK")->click();
    });
    Button("FUNC_PROFILES")->click();
    QVERIFY(world_->WaitIdle());
    QTRY_COMPARE(boxes.texts(), QStringList{Text("PROFILE_SELECT_PROMPT")});
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 0);  // answered No: discarded, then switched
    QVERIFY(!Button("CONTROL2_APPLY")->isEnabled());
    QCOMPARE(Record(1, kA), KeyAssignment{});
  }

  void addMakesADefaultProfileFile() {
    QVERIFY(Connect());
    const std::filesystem::path made = world_->Root() / "new.fwc";
    const std::filesystem::path unmakeable = world_->Root() / "no-such-folder" / "new.fwc";
    MessageBoxes boxes;
    QTimer::singleShot(0, [&] {
      app::ProfileManagerDialog& manager = *Window().profileManager();
      QVERIFY(manager.addFile(made));
      QVERIFY(!manager.addFile(unmakeable));  // said, not listed
      QCOMPARE(manager.list().reportModel().rowCount(), 4);
      QCOMPARE(manager.list().reportModel().text(3, 1), QString("new.fwc"));
      manager.button("CONTROL_CANCEL")->click();
    });
    Button("FUNC_PROFILES")->click();
    ProfileData loaded;
    QVERIFY(LoadProfileFile(made, loaded));
    QCOMPARE(boxes.texts(), QStringList{Text("MAIN_BACKUP_FAILED")});
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

// keyloftctl beside the running program: its keyboard commands run in the
// program, whose window shows what they change and whose unapplied changes
// they never overwrite or sweep along. The program runs in-process against a
// keyboard process; keyloftctl is the real program, run as the same user.
#include <QTest>

#include "app/key_dialog.h"
#include "app_test_world.h"

using namespace keyloft;
using namespace keyloft::test;

namespace {

constexpr KeyCode kA = 0x01E, kB = 0x030, kCapsLock = 0x03A, kEsc = 0x001;

}  // namespace

class OneOwnerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppWorld> world_;

  bool Connect() {
    world_ = std::make_unique<AppWorld>();
    return world_->StartKeyboard() && world_->StartProgram() && world_->WaitReady();
  }
  app::MainWindow& Window() { return world_->Window(); }
  ImageButton* Button(const std::string& key) { return Window().button(key); }
  KeyAssignment Record(int profile, KeyCode key) { return world_->Core().Editor().Describe(profile, key).record; }
  // The key map of a profile as the keyboard holds it.
  std::string KeyMapOnKeyboard(int profile) {
    const std::string maps = world_->Dump()["keymaps"].text;
    const size_t size = maps.size() / 3;
    return maps.substr(static_cast<size_t>(profile) * size, size);
  }

 private slots:
  void cleanup() { EndWorld(world_); }

  // The reported fault: a change from keyloftctl was overwritten by the
  // window's next Apply of its stale copy, and never shown.
  void aCtlChangeShowsAtOnceAndSurvivesTheWindowsApply() {
    QVERIFY(Connect());
    const RunResult assigned = world_->Keyloftctl({"--verbose", "assign", "Caps Lock", "key:Esc"});
    QCOMPARE(assigned.exitCode, 0);
    QCOMPARE(QString::fromStdString(assigned.out), QString("Caps Lock\tReassigned to key (Esc)\n"));
    QVERIFY(assigned.err.find("sent to the running keyloft") != std::string::npos);
    QTRY_VERIFY(Window().keyButton(kCapsLock)->isTicked());
    QCOMPARE(Window().keyButton(kCapsLock)->tooltipText(),
             QString::fromStdString(world_->Core().Editor().Describe(0, kCapsLock).description));
    // The edit's and the apply's news were queued while keyloftctl ran: all of them, not the first few.
    QCoreApplication::sendPostedEvents();
    QVERIFY(!Button("CONTROL2_APPLY")->isEnabled());  // nothing left pending by it

    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    Button("CONTROL2_APPLY")->click();
    QVERIFY(world_->WaitIdle());

    const RunResult keys = world_->Keyloftctl({"keys"});
    QCOMPARE(keys.exitCode, 0);
    QVERIFY2(keys.out.find("Caps Lock\tReassigned to key (Esc)\n") != std::string::npos, keys.out.c_str());
    QVERIFY(keys.out.find("\nA\tReassigned to key (B)\n") != std::string::npos);
    QCOMPARE(Record(0, kCapsLock).type, uint16_t(kAssignKey));
    QCOMPARE(Record(0, kCapsLock).value, uint32_t(kEsc));
  }

  void theWindowFollowsProfileSwitchesAndRestores() {
    QVERIFY(Connect());
    QTRY_VERIFY(Button("FUNC_PROFILE1")->isTicked());
    QCOMPARE(world_->Keyloftctl({"profile", "2"}).exitCode, 0);
    QTRY_VERIFY(Button("FUNC_PROFILE2")->isTicked());
    QVERIFY(!Button("FUNC_PROFILE1")->isTicked());
    QCOMPARE(world_->ActiveProfileOnKeyboard(), 1);

    // A backup taken, a change made, the backup restored: the window shows the restored keys.
    const RunResult backup = world_->Keyloftctl({"backup", (world_->Root() / "scratch" / "before").string()});
    QCOMPARE(backup.exitCode, 0);
    QCOMPARE(world_->Keyloftctl({"assign", "A", "key:B"}).exitCode, 0);
    QTRY_VERIFY(Window().keyButton(kA)->isTicked());
    const RunResult restored =
        world_->Keyloftctl({"--json", "restore", (world_->Root() / "scratch" / "before.fwc").string()});
    QCOMPARE(restored.exitCode, 0);
    QVERIFY(restored.out.find("\"verified\":true") != std::string::npos);
    QTRY_VERIFY(!Window().keyButton(kA)->isTicked());
    QCOMPARE(Record(1, kA), KeyAssignment{});
  }

  // While the window holds changes, a write of keys or macros from keyloftctl
  // is refused with 5 and writes nothing; lighting and profiles go through.
  void writesOfKeysAndMacrosWaitForTheWindowsChanges() {
    QVERIFY(Connect());
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    const std::string before = KeyMapOnKeyboard(0);
    const std::string macrosBefore = world_->Dump()["macros"].text;

    const std::vector<std::vector<std::string>> refused = {
        {"assign", "Caps Lock", "key:Esc"},
        {"macro", "add", "M", "A+", "A-"},
        {"--yes", "reset"},
    };
    for (const auto& args : refused) {
      const RunResult r = world_->Keyloftctl(args);
      QCOMPARE(r.exitCode, 5);
      QVERIFY2(r.err.find("Apply or cancel them in the window") != std::string::npos, r.err.c_str());
      QVERIFY(r.out.empty());
    }
    QCOMPARE(KeyMapOnKeyboard(0), before);
    QCOMPARE(world_->Dump()["macros"].text, macrosBefore);
    QCOMPARE(Record(0, kA).value, uint32_t(kB));  // the window's change is still there, still pending
    QVERIFY(Button("CONTROL2_APPLY")->isEnabled());
    QCOMPARE(Record(0, kCapsLock), KeyAssignment{});

    // Immediate in the window too: these go through.
    QCOMPARE(world_->Keyloftctl({"lighting", "set", "--brightness", "2"}).exitCode, 0);
    QVERIFY(world_->Keyloftctl({"lighting"}).out.find("brightness: 2\n") != std::string::npos);
    QCOMPARE(world_->Keyloftctl({"profile", "3"}).exitCode, 0);
    QTRY_VERIFY(Button("FUNC_PROFILE3")->isTicked());
    QCOMPARE(world_->Keyloftctl({"keys"}).exitCode, 0);
  }

  void anOpenKeyDialogAlsoHoldsTheKeys() {
    QVERIFY(Connect());
    int whileOpen = -1;
    // The dialog is modal: the check runs inside its loop, then Cancel.
    QTimer::singleShot(0, this, [&] {
      QVERIFY(Window().ownKeyDialog()->isOpen());
      whileOpen = world_->Keyloftctl({"assign", "B", "key:A"}).exitCode;
      Window().ownKeyDialog()->cancel();
    });
    Window().keyButton(kA)->click();
    QCOMPARE(whileOpen, 5);
    QVERIFY(!Window().ownKeyDialog()->isOpen());
    QCOMPARE(world_->Keyloftctl({"assign", "B", "key:A"}).exitCode, 0);
  }

  void watchHearsTheWindowAndTheKeyboard() {
    QVERIFY(Connect());
    auto watch = world_->StartKeyloftctl({"watch"});
    // The program answers watch at once; it is subscribed when it says nothing more.
    QTest::qWait(300);
    QCOMPARE(world_->Core().Editor().AssignKey(0, kA, KeyAction::Key(kB)), EditResult::Ok);
    QTRY_VERIFY(Button("CONTROL2_APPLY")->isEnabled());
    Button("CONTROL2_APPLY")->click();
    QVERIFY(world_->WaitIdle());
    QTRY_VERIFY_WITH_TIMEOUT(watch->Out().find("applied 1\n") != std::string::npos, 5000);
    QVERIFY(world_->Ctl("profile 2").starts_with("ok"));
    QTRY_VERIFY_WITH_TIMEOUT(watch->Out().find("profile 2\n") != std::string::npos, 5000);
    QCOMPARE(watch->Stop(), 0);  // interrupted, it ends as it does alone
  }

  void withoutTheProgramKeyloftctlServesItself() {
    world_ = std::make_unique<AppWorld>();
    QVERIFY(world_->StartKeyboard());
    const RunResult r = world_->Keyloftctl({"--verbose", "assign", "A", "key:B"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.find("opening the keyboard directly") != std::string::npos);
    const RunResult doctor = world_->Keyloftctl({"doctor"});
    QVERIFY(doctor.out.find("keyboard commands: keyloftctl opens the keyboard itself") != std::string::npos);
    QVERIFY(world_->StartProgram() && world_->WaitReady());
    QTRY_VERIFY(Window().keyButton(kA)->isTicked());  // read back what keyloftctl wrote
    const RunResult doctorNow = world_->Keyloftctl({"doctor"});
    QVERIFY2(doctorNow.out.find("keyboard commands: through the running keyloft") != std::string::npos,
             doctorNow.out.c_str());
  }
};

QTEST_MAIN(OneOwnerTest)
#include "one_owner_test.moc"

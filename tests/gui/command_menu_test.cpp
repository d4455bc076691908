// Language-titled pop-up menus: texts taken at each showing, and the command
// the user picks.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <array>
#include <map>

#include "ui/controls/command_menu.h"

using keyloft::CommandMenu;
using keyloft::MenuEntry;

namespace {

constexpr std::array<MenuEntry, 3> kButtonMenu = {{
    {32776, "MENU_1", "还原"},
    {0, {}, {}},
    {32777, "MENU_2", "备份"},
}};

// Once the menu is up, presses the keys in order in it.
void PressInMenuWhenShown(std::vector<Qt::Key> keys) {
  QTimer::singleShot(0, [keys] {
    QWidget* popup = QApplication::activePopupWidget();
    QVERIFY(popup);
    for (Qt::Key key : keys) QTest::keyClick(popup, key);
  });
}

}  // namespace

class CommandMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void itemsAreRetitledAtEachShowing() {
    CommandMenu menu(kButtonMenu);
    std::map<std::string, std::string> language = {{"MENU_1", "Restore"}, {"MENU_2", "Back up"}};
    menu.setTextLookup([&](std::string_view key) { return language.at(std::string(key)); });
    QCOMPARE(menu.commandAction(32776)->text(), QString("还原"));

    PressInMenuWhenShown({Qt::Key_Escape});
    menu.exec({0, 0});
    QCOMPARE(menu.commandAction(32776)->text(), QString("Restore"));
    QCOMPARE(menu.commandAction(32777)->text(), QString("Back up"));

    language["MENU_1"] = "Restaurer";
    PressInMenuWhenShown({Qt::Key_Escape});
    menu.exec({0, 0});
    QCOMPARE(menu.commandAction(32776)->text(), QString("Restaurer"));
  }

  void theChosenCommandIsReturnedAndTriggered() {
    CommandMenu menu(kButtonMenu);
    QAction* backUp = menu.commandAction(32777);
    QSignalSpy triggered(backUp, &QAction::triggered);
    QSignalSpy other(menu.commandAction(32776), &QAction::triggered);
    // The separator is skipped on the way down.
    PressInMenuWhenShown({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    QCOMPARE(menu.exec({0, 0}), backUp);
    QCOMPARE(backUp->data().toInt(), 32777);
    QCOMPARE(triggered.count(), 1);
    QCOMPARE(other.count(), 0);
  }

  void aDismissedMenuChoosesNothing() {
    CommandMenu menu(kButtonMenu);
    QSignalSpy triggered(&menu, &QMenu::triggered);
    PressInMenuWhenShown({Qt::Key_Escape});
    QCOMPARE(menu.exec({0, 0}), nullptr);
    QCOMPARE(triggered.count(), 0);
  }

  void theDefaultItemIsBoldAndOnlyIt() {
    CommandMenu menu(kButtonMenu);
    menu.setDefaultCommand(32777);
    QVERIFY(menu.commandAction(32777)->font().bold());
    QVERIFY(!menu.commandAction(32776)->font().bold());
    QCOMPARE(menu.defaultAction(), menu.commandAction(32777));
    QVERIFY(!menu.commandAction(32773));  // listed in the table, not in this menu
  }
};

QTEST_MAIN(CommandMenuTest)
#include "command_menu_test.moc"

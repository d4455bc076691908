// Language-titled pop-up menus: texts taken at each showing, and the command
// the user picks.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <array>
#include <map>

#include "ui/controls/skin_menu.h"

using keyloft::CSkinMenu;
using keyloft::SkinMenuItem;

namespace {

constexpr std::array<SkinMenuItem, 3> kButtonMenu = {{
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

class SkinMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void itemsAreRetitledAtEachShowing() {
    CSkinMenu menu(kButtonMenu);
    std::map<std::string, std::string> language = {{"MENU_1", "Restore"}, {"MENU_2", "Back up"}};
    menu.SetTextLookup([&](std::string_view key) { return language.at(std::string(key)); });
    QCOMPARE(menu.ItemAction(32776)->text(), QString("还原"));

    PressInMenuWhenShown({Qt::Key_Escape});
    menu.Exec({0, 0});
    QCOMPARE(menu.ItemAction(32776)->text(), QString("Restore"));
    QCOMPARE(menu.ItemAction(32777)->text(), QString("Back up"));

    language["MENU_1"] = "Restaurer";
    PressInMenuWhenShown({Qt::Key_Escape});
    menu.Exec({0, 0});
    QCOMPARE(menu.ItemAction(32776)->text(), QString("Restaurer"));
  }

  void theChosenCommandIsReturnedAndSignalled() {
    CSkinMenu menu(kButtonMenu);
    QSignalSpy chosen(&menu, &CSkinMenu::commandChosen);
    // The separator is skipped on the way down.
    PressInMenuWhenShown({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    QCOMPARE(menu.Exec({0, 0}), 32777);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), 32777);
  }

  void aDismissedMenuChoosesNothing() {
    CSkinMenu menu(kButtonMenu);
    QSignalSpy chosen(&menu, &CSkinMenu::commandChosen);
    PressInMenuWhenShown({Qt::Key_Escape});
    QCOMPARE(menu.Exec({0, 0}), 0);
    QCOMPARE(chosen.count(), 0);
  }

  void theDefaultItemIsBoldAndOnlyIt() {
    CSkinMenu menu(kButtonMenu);
    menu.SetDefaultItem(32777);
    QVERIFY(menu.ItemAction(32777)->font().bold());
    QVERIFY(!menu.ItemAction(32776)->font().bold());
    QCOMPARE(menu.defaultAction(), menu.ItemAction(32777));
    QVERIFY(!menu.ItemAction(32773));  // listed in the table, not in this menu
  }
};

QTEST_MAIN(SkinMenuTest)
#include "skin_menu_test.moc"

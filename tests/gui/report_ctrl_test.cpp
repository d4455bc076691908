// The report list: single-check ticks, in-place editors and rows that keep
// their data, driven through the mouse and keyboard where a user would.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "ui/controls/report_ctrl.h"

using keyloft::CReportCtrl;

namespace {

// A list shaped like the profile list: check column, name, folder.
std::unique_ptr<CReportCtrl> ProfileList(int rows) {
  auto list = std::make_unique<CReportCtrl>();
  list->InsertColumn(0, "Active", 60);
  list->InsertColumn(1, "Name", 120);
  list->InsertColumn(2, "Folder", 230);
  list->SetCheckboxes(true);
  list->SetSingleCheck(true);
  for (int r = 0; r < rows; ++r) list->AppendRow({"", QString("P%1").arg(r), "/home/u/"}, r);
  list->resize(430, 200);
  list->show();
  return list;
}

// A list shaped like the macro step list: key, state, delay.
std::unique_ptr<CReportCtrl> StepList() {
  auto list = std::make_unique<CReportCtrl>();
  list->InsertColumn(0, "Key", 100);
  list->InsertColumn(1, "State", 60);
  list->InsertColumn(2, "Delay", 60);
  list->InsertColumn(3, "Note", 60);
  list->AppendRow({"A", "↓", "10"}, 0x1E);
  list->AppendRow({"B", "  ↑", "20"}, 0x30);
  list->AppendRow({"C", "↓", "30"}, 0x2E);
  list->SetInPlaceEditing(true);
  list->SetColumnDropDown(0, {"A", "B", "C", "D"}, [list = list.get()](int row) {
    // The owner knows the key's position; here the row data stands for it.
    return list->GetItemData(row).toInt() == 0x30 ? 1 : 0;
  });
  list->SetColumnDropDown(1, {"↓", "  ↑"});
  list->SetColumnEditBox(2);
  list->resize(300, 200);
  list->show();
  return list;
}

QPoint CellCentre(CReportCtrl& list, int row, int column) {
  return list.visualRect(list.model()->index(row, column)).center();
}

void Click(CReportCtrl& list, int row, int column) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(list, row, column));
}

// Clicks where the list's style puts the check box of the row.
void ClickCheckBox(CReportCtrl& list, int row) {
  QStyleOptionViewItem option;
  option.initFrom(list.viewport());
  option.rect = list.visualRect(list.model()->index(row, 0));
  option.features = QStyleOptionViewItem::HasCheckIndicator;
  const QRect box = list.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &list);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, box.center());
}

}  // namespace

class ReportCtrlTest : public QObject {
  Q_OBJECT

 private slots:
  void tickingARowUnticksTheOthersWithOneSignal() {
    auto list = ProfileList(3);
    list->SetCheck(0, true);
    QSignalSpy spy(list.get(), &CReportCtrl::checkChanged);

    ClickCheckBox(*list, 2);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QCOMPARE(spy.at(0).at(1).toBool(), true);
    QVERIFY(!list->GetCheck(0));
    QVERIFY(!list->GetCheck(1));
    QVERIFY(list->GetCheck(2));
    QCOMPARE(list->GetFirstCheckedRow(), 2);

    ClickCheckBox(*list, 2);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(1).toBool(), false);
    QCOMPARE(list->GetFirstCheckedRow(), -1);
  }

  void programmaticTicksAreQuietAndStillSingle() {
    auto list = ProfileList(3);
    QSignalSpy spy(list.get(), &CReportCtrl::checkChanged);
    list->SetCheck(1, true);
    list->SetCheck(2, true);
    // Changing the text of the check column is no tick either.
    list->SetItemText(2, 0, "x");
    list->SetItemTextColor(2, 0, Qt::red);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!list->GetCheck(1));
    QVERIFY(list->GetCheck(2));
  }

  void withoutSingleCheckTicksAddUp() {
    auto list = ProfileList(3);
    list->SetSingleCheck(false);
    list->SetCheck(0, true);
    QSignalSpy spy(list.get(), &CReportCtrl::checkChanged);
    ClickCheckBox(*list, 1);
    QVERIFY(list->GetCheck(0));
    QVERIFY(list->GetCheck(1));
    QCOMPARE(spy.count(), 1);
  }

  void headerClicksCanBeSwitchedOff() {
    auto list = ProfileList(2);
    QSignalSpy spy(list->horizontalHeader(), &QHeaderView::sectionClicked);
    const QPoint onName(list->horizontalHeader()->sectionViewportPosition(1) + 10, 5);

    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, onName);
    QCOMPARE(spy.count(), 1);

    list->SetHeaderClickable(false);
    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, onName);
    QCOMPARE(spy.count(), 1);
  }

  void aClickSelectsTheWholeRowAndASecondClickEdits() {
    auto list = StepList();
    QSignalSpy started(list.get(), &CReportCtrl::editStarted);

    Click(*list, 1, 2);
    QCOMPARE(list->GetSelectedRow(), 1);
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), list->columnCount());
    QVERIFY(!list->IsEditing());

    Click(*list, 1, 2);
    QVERIFY(list->IsEditing());
    QCOMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(0).toInt(), 1);
    QCOMPARE(started.at(0).at(1).toInt(), 2);
  }

  void editingIsOffUntilEnabled() {
    auto list = ProfileList(2);
    QSignalSpy refused(list.get(), &CReportCtrl::editRefused);
    Click(*list, 0, 1);
    Click(*list, 0, 1);
    QVERIFY(!list->IsEditing());
    QCOMPARE(refused.count(), 0);
  }

  void tickingTheSelectedRowOpensNoEditor() {
    auto list = ProfileList(2);
    list->SetInPlaceEditing(true);
    QSignalSpy refused(list.get(), &CReportCtrl::editRefused);
    Click(*list, 0, 1);
    ClickCheckBox(*list, 0);
    QVERIFY(list->GetCheck(0));
    QCOMPARE(refused.count(), 0);
    // The cell of the selected row beside the box asks for an editor.
    Click(*list, 0, 1);
    QCOMPARE(refused.count(), 1);
  }

  void aColumnWithoutEditorIsRefused() {
    auto list = StepList();
    QSignalSpy refused(list.get(), &CReportCtrl::editRefused);
    Click(*list, 0, 3);
    Click(*list, 0, 3);
    QVERIFY(!list->IsEditing());
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toInt(), 0);
    QCOMPARE(refused.at(0).at(1).toInt(), 3);
  }

  void dropDownPreselectsAndReportsAChangedChoice() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &CReportCtrl::dropDownFinished);
    list->SelectRow(1);
    Click(*list, 1, 0);
    auto* combo = qobject_cast<QComboBox*>(list->Editor());
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(combo->count(), 4);

    combo->setCurrentIndex(3);
    list->FinishEdit();

    QVERIFY(!list->IsEditing());
    QCOMPARE(list->GetItemText(1, 0), QString("D"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0), (QVariantList{1, 0, 3}));
  }

  void dropDownClosedUnchangedReportsNothing() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &CReportCtrl::dropDownFinished);
    // Without a preselect function the cell's text picks the item.
    QVERIFY(list->StartEdit(1, 1));
    auto* combo = qobject_cast<QComboBox*>(list->Editor());
    QCOMPARE(combo->currentIndex(), 1);
    list->FinishEdit();
    QCOMPARE(finished.count(), 0);
    QCOMPARE(list->GetItemText(1, 1), QString("  ↑"));
  }

  void choosingFromTheOpenListCommitsAtOnce() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &CReportCtrl::dropDownFinished);
    QVERIFY(list->StartEdit(0, 1));
    auto* combo = qobject_cast<QComboBox*>(list->Editor());
    // The list drops open by itself; the user picks the next item in it.
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QTRY_VERIFY(!list->IsEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list->GetItemText(0, 1), QString("  ↑"));
  }

  void editBoxCommitsOnReturnAndCancelsOnEscape() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &CReportCtrl::editBoxFinished);

    QVERIFY(list->StartEdit(2, 2));
    auto* edit = qobject_cast<QLineEdit*>(list->Editor());
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString("30"));
    QTest::keyClicks(edit, "12345");  // replaces the selected text
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(!list->IsEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0), (QVariantList{2, 2, "12345"}));
    QCOMPARE(list->GetItemText(2, 2), QString("12345"));

    QVERIFY(list->StartEdit(2, 2));
    QTest::keyClicks(list->Editor(), "7");
    QTest::keyClick(list->Editor(), Qt::Key_Escape);
    QVERIFY(!list->IsEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list->GetItemText(2, 2), QString("12345"));
  }

  void clickingElsewhereCommitsTheOpenEdit() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &CReportCtrl::editBoxFinished);
    QVERIFY(list->StartEdit(0, 2));
    QTest::keyClicks(list->Editor(), "40");
    Click(*list, 2, 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list->GetItemText(0, 2), QString("40"));
    QCOMPARE(list->GetSelectedRow(), 2);
  }

  void rowChangesCommitTheOpenEditFirst() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &CReportCtrl::editBoxFinished);
    QVERIFY(list->StartEdit(1, 2));
    QTest::keyClicks(list->Editor(), "50");
    list->MoveRow(1, 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list->GetItemText(0, 2), QString("50"));
  }

  void movedRowsKeepTheirCellsDataAndTicks_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QList<int>>("order");  // row data top to bottom
    QTest::newRow("last to top") << 3 << 0 << QList<int>{3, 0, 1, 2};
    QTest::newRow("first to bottom") << 0 << 3 << QList<int>{1, 2, 3, 0};
    QTest::newRow("one up") << 2 << 1 << QList<int>{0, 2, 1, 3};
    QTest::newRow("one down") << 1 << 2 << QList<int>{0, 2, 1, 3};
    QTest::newRow("out of range") << 1 << 4 << QList<int>{0, 1, 2, 3};
  }
  void movedRowsKeepTheirCellsDataAndTicks() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QList<int>, order);
    auto list = ProfileList(4);
    list->SetItemTextColor(from, 1, Qt::gray);
    list->SetCheck(from, true);
    list->SelectRow(from);

    list->MoveRow(from, to);

    for (int r = 0; r < 4; ++r) {
      const int data = list->GetItemData(r).toInt();
      QCOMPARE(data, order[r]);
      QCOMPARE(list->GetItemText(r, 1), QString("P%1").arg(data));
      QCOMPARE(list->GetCheck(r), data == from);
      QCOMPARE(list->GetItemTextColor(r, 1), data == from ? QColor(Qt::gray) : QColor());
    }
    QCOMPARE(list->GetItemData(list->GetSelectedRow()).toInt(), from);
  }

  void insertedAndRemovedRowsLeaveTheOthersAlone() {
    auto list = ProfileList(3);
    list->InsertRow(1, {"", "new"}, QVariant::fromValue(QString("opaque")));
    QCOMPARE(list->rowCount(), 4);
    QCOMPARE(list->GetItemData(1).toString(), QString("opaque"));
    QCOMPARE(list->GetItemText(1, 2), QString());
    QCOMPARE(list->GetItemData(2).toInt(), 1);

    list->RemoveRow(0);
    QCOMPARE(list->GetItemText(0, 1), QString("new"));
    QCOMPARE(list->GetItemData(2).toInt(), 2);
    // A new row can be ticked like any other.
    list->SetCheck(0, true);
    QCOMPARE(list->GetFirstCheckedRow(), 0);
  }

  void aCellIsDrawnInItsOwnTextColour() {
    auto list = ProfileList(1);
    list->SetItemText(0, 1, "MMMMMMMM");
    list->SetItemText(0, 2, "MMMMMMMM");
    list->SetItemTextColor(0, 1, QColor(255, 0, 0));
    list->clearSelection();
    QVERIFY(QTest::qWaitForWindowExposed(list.get()));
    const QImage image = list->viewport()->grab().toImage();

    const auto redPixels = [&](int column) {
      const QRect cell = list->visualRect(list->model()->index(0, column));
      int count = 0;
      for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
          const QColor c = image.pixelColor(x, y);
          count += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
      return count;
    };
    QVERIFY(redPixels(1) > 10);
    QCOMPARE(redPixels(2), 0);
  }
};

QTEST_MAIN(ReportCtrlTest)
#include "report_ctrl_test.moc"

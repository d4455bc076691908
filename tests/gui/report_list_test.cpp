// The report list: single-check ticks, in-place editors and rows that keep
// their data, driven through the mouse and keyboard where a user would.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "ui/controls/report_list.h"

using keyloft::ReportList;
using keyloft::ReportModel;

namespace {

// A list shaped like the profile list: check column, name, folder.
std::unique_ptr<ReportList> ProfileList(int rows) {
  auto list = std::make_unique<ReportList>();
  list->addColumn("Active", 60);
  list->addColumn("Name", 120);
  list->addColumn("Folder", 230);
  ReportModel& model = list->reportModel();
  model.setCheckable(true);
  model.setSingleCheck(true);
  for (int r = 0; r < rows; ++r) model.appendRow({"", QString("P%1").arg(r), "/home/u/"}, r);
  list->resize(430, 200);
  list->show();
  return list;
}

// A list shaped like the macro step list: key, state, delay.
std::unique_ptr<ReportList> StepList() {
  auto list = std::make_unique<ReportList>();
  list->addColumn("Key", 100);
  list->addColumn("State", 60);
  list->addColumn("Delay", 60);
  list->addColumn("Note", 60);
  ReportModel& model = list->reportModel();
  model.appendRow({"A", "↓", "10"}, 0x1E);
  model.appendRow({"B", "  ↑", "20"}, 0x30);
  model.appendRow({"C", "↓", "30"}, 0x2E);
  list->setInPlaceEditing(true);
  list->setColumnDropDown(0, {"A", "B", "C", "D"}, [&model](int row) {
    // The owner knows the key's position; here the row data stands for it.
    return model.rowData(row).toInt() == 0x30 ? 1 : 0;
  });
  list->setColumnDropDown(1, {"↓", "  ↑"});
  list->setColumnEditBox(2);
  list->resize(300, 200);
  list->show();
  return list;
}

QPoint CellCentre(ReportList& list, int row, int column) {
  return list.visualRect(list.model()->index(row, column)).center();
}

void Click(ReportList& list, int row, int column) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(list, row, column));
}

// Clicks where the list's style puts the check box of the row.
void ClickCheckBox(ReportList& list, int row) {
  QStyleOptionViewItem option;
  option.initFrom(list.viewport());
  option.rect = list.visualRect(list.model()->index(row, 0));
  option.features = QStyleOptionViewItem::HasCheckIndicator;
  const QRect box = list.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &list);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, box.center());
}

}  // namespace

class ReportListTest : public QObject {
  Q_OBJECT

 private slots:
  void tickingARowUnticksTheOthersWithOneSignal() {
    auto list = ProfileList(3);
    ReportModel& rows = list->reportModel();
    rows.setChecked(0, true);
    QSignalSpy spy(&rows, &ReportModel::checkChanged);

    ClickCheckBox(*list, 2);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QCOMPARE(spy.at(0).at(1).toBool(), true);
    QVERIFY(!rows.isChecked(0));
    QVERIFY(!rows.isChecked(1));
    QVERIFY(rows.isChecked(2));
    QCOMPARE(rows.firstCheckedRow(), 2);

    ClickCheckBox(*list, 2);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(1).toBool(), false);
    QCOMPARE(rows.firstCheckedRow(), -1);
  }

  void programmaticTicksAreQuietAndStillSingle() {
    auto list = ProfileList(3);
    ReportModel& rows = list->reportModel();
    QSignalSpy spy(&rows, &ReportModel::checkChanged);
    rows.setChecked(1, true);
    rows.setChecked(2, true);
    // Changing the text of the check column is no tick either.
    rows.setText(2, 0, "x");
    rows.setTextColor(2, 0, Qt::red);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!rows.isChecked(1));
    QVERIFY(rows.isChecked(2));
  }

  void anUntickableRowRefusesTheTickAndSaysWhy() {
    auto list = ProfileList(4);
    ReportModel& rows = list->reportModel();
    rows.setChecked(1, true);
    rows.setRowTickable(3, false, "no onboard profile");
    QSignalSpy spy(&rows, &ReportModel::checkChanged);
    ClickCheckBox(*list, 3);
    rows.setChecked(3, true);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!rows.isChecked(3));
    QVERIFY(rows.isChecked(1));  // the tick stays where it was
    QCOMPARE(rows.data(rows.index(3, 1), Qt::ToolTipRole).toString(), QString("no onboard profile"));
    QVERIFY(!(rows.flags(rows.index(3, 0)) & Qt::ItemIsUserCheckable));
    // The row keeps what it is when rows move.
    QVERIFY(rows.moveRowTo(3, 0));
    QVERIFY(!rows.isRowTickable(0));
    QVERIFY(rows.isRowTickable(1));
  }

  void withoutSingleCheckTicksAddUp() {
    auto list = ProfileList(3);
    ReportModel& rows = list->reportModel();
    rows.setSingleCheck(false);
    rows.setChecked(0, true);
    QSignalSpy spy(&rows, &ReportModel::checkChanged);
    ClickCheckBox(*list, 1);
    QVERIFY(rows.isChecked(0));
    QVERIFY(rows.isChecked(1));
    QCOMPARE(spy.count(), 1);
  }

  void headerClicksCanBeSwitchedOff() {
    auto list = ProfileList(2);
    QSignalSpy spy(list->horizontalHeader(), &QHeaderView::sectionClicked);
    const QPoint onName(list->horizontalHeader()->sectionViewportPosition(1) + 10, 5);

    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, onName);
    QCOMPARE(spy.count(), 1);

    list->horizontalHeader()->setSectionsClickable(false);
    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {}, onName);
    QCOMPARE(spy.count(), 1);
  }

  void aClickSelectsTheWholeRowAndASecondClickEdits() {
    auto list = StepList();
    QSignalSpy started(list.get(), &ReportList::editStarted);

    Click(*list, 1, 2);
    QCOMPARE(list->selectedRow(), 1);
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), list->model()->columnCount());
    QVERIFY(!list->isEditing());

    Click(*list, 1, 2);
    QVERIFY(list->isEditing());
    QCOMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(0).toInt(), 1);
    QCOMPARE(started.at(0).at(1).toInt(), 2);
  }

  void editingIsOffUntilEnabled() {
    auto list = ProfileList(2);
    QSignalSpy refused(list.get(), &ReportList::editRefused);
    Click(*list, 0, 1);
    Click(*list, 0, 1);
    QVERIFY(!list->isEditing());
    QCOMPARE(refused.count(), 0);
  }

  void tickingTheSelectedRowOpensNoEditor() {
    auto list = ProfileList(2);
    list->setInPlaceEditing(true);
    QSignalSpy refused(list.get(), &ReportList::editRefused);
    Click(*list, 0, 1);
    ClickCheckBox(*list, 0);
    QVERIFY(list->reportModel().isChecked(0));
    QCOMPARE(refused.count(), 0);
    // The cell of the selected row beside the box asks for an editor.
    Click(*list, 0, 1);
    QCOMPARE(refused.count(), 1);
  }

  void aColumnWithoutEditorIsRefused() {
    auto list = StepList();
    QSignalSpy refused(list.get(), &ReportList::editRefused);
    Click(*list, 0, 3);
    Click(*list, 0, 3);
    QVERIFY(!list->isEditing());
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toInt(), 0);
    QCOMPARE(refused.at(0).at(1).toInt(), 3);
  }

  void dropDownPreselectsAndReportsAChangedChoice() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &ReportList::dropDownFinished);
    list->setSelectedRow(1);
    Click(*list, 1, 0);
    auto* combo = qobject_cast<QComboBox*>(list->editor());
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(combo->count(), 4);

    combo->setCurrentIndex(3);
    list->finishEdit();

    QVERIFY(!list->isEditing());
    QCOMPARE(list->reportModel().text(1, 0), QString("D"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0), (QVariantList{1, 0, 3}));
  }

  void dropDownClosedUnchangedReportsNothing() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &ReportList::dropDownFinished);
    // Without a preselect function the cell's text picks the item.
    QVERIFY(list->startEdit(1, 1));
    auto* combo = qobject_cast<QComboBox*>(list->editor());
    QCOMPARE(combo->currentIndex(), 1);
    list->finishEdit();
    QCOMPARE(finished.count(), 0);
    QCOMPARE(list->reportModel().text(1, 1), QString("  ↑"));
  }

  void choosingFromTheOpenListCommitsAtOnce() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &ReportList::dropDownFinished);
    QVERIFY(list->startEdit(0, 1));
    auto* combo = qobject_cast<QComboBox*>(list->editor());
    // The list drops open by itself; the user picks the next item in it.
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QTRY_VERIFY(!list->isEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list->reportModel().text(0, 1), QString("  ↑"));
  }

  void editBoxCommitsOnReturnAndCancelsOnEscape() {
    auto list = StepList();
    ReportModel& rows = list->reportModel();
    QSignalSpy finished(list.get(), &ReportList::editBoxFinished);

    QVERIFY(list->startEdit(2, 2));
    auto* edit = qobject_cast<QLineEdit*>(list->editor());
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString("30"));
    QTest::keyClicks(edit, "12345");  // replaces the selected text
    QTest::keyClick(edit, Qt::Key_Return);  // the edit box sees the key before the commit
    QTRY_VERIFY(!list->isEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0), (QVariantList{2, 2, "12345"}));
    QCOMPARE(rows.text(2, 2), QString("12345"));

    QVERIFY(list->startEdit(2, 2));
    QTest::keyClicks(list->editor(), "7");
    QTest::keyClick(list->editor(), Qt::Key_Escape);
    QVERIFY(!list->isEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(rows.text(2, 2), QString("12345"));
  }

  void clickingElsewhereCommitsTheOpenEdit() {
    auto list = StepList();
    QSignalSpy finished(list.get(), &ReportList::editBoxFinished);
    QVERIFY(list->startEdit(0, 2));
    QTest::keyClicks(list->editor(), "40");
    Click(*list, 2, 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list->reportModel().text(0, 2), QString("40"));
    QCOMPARE(list->selectedRow(), 2);
  }

  void rowChangesCommitTheOpenEditFirst() {
    auto list = StepList();
    ReportModel& rows = list->reportModel();
    QSignalSpy finished(list.get(), &ReportList::editBoxFinished);
    QVERIFY(list->startEdit(1, 2));
    QTest::keyClicks(list->editor(), "50");
    rows.moveRowTo(1, 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(rows.text(0, 2), QString("50"));
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
    ReportModel& rows = list->reportModel();
    rows.setTextColor(from, 1, Qt::gray);
    rows.setChecked(from, true);
    list->setSelectedRow(from);

    rows.moveRowTo(from, to);

    for (int r = 0; r < 4; ++r) {
      const int data = rows.rowData(r).toInt();
      QCOMPARE(data, order[r]);
      QCOMPARE(rows.text(r, 1), QString("P%1").arg(data));
      QCOMPARE(rows.isChecked(r), data == from);
      QCOMPARE(rows.textColor(r, 1), data == from ? QColor(Qt::gray) : QColor());
    }
    QCOMPARE(rows.rowData(list->selectedRow()).toInt(), from);
  }

  void insertedAndRemovedRowsLeaveTheOthersAlone() {
    auto list = ProfileList(3);
    ReportModel& rows = list->reportModel();
    rows.insertRow(1, {"", "new"}, QVariant::fromValue(QString("opaque")));
    QCOMPARE(list->model()->rowCount(), 4);
    QCOMPARE(rows.rowData(1).toString(), QString("opaque"));
    QCOMPARE(rows.text(1, 2), QString());
    QCOMPARE(rows.rowData(2).toInt(), 1);

    rows.removeRow(0);
    QCOMPARE(rows.text(0, 1), QString("new"));
    QCOMPARE(rows.rowData(2).toInt(), 2);
    // A new row can be ticked like any other.
    rows.setChecked(0, true);
    QCOMPARE(rows.firstCheckedRow(), 0);
  }

  void aCellIsDrawnInItsOwnTextColor() {
    auto list = ProfileList(1);
    ReportModel& rows = list->reportModel();
    rows.setText(0, 1, "MMMMMMMM");
    rows.setText(0, 2, "MMMMMMMM");
    rows.setTextColor(0, 1, QColor(255, 0, 0));
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

QTEST_MAIN(ReportListTest)
#include "report_list_test.moc"

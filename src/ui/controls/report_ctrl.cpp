#include "ui/controls/report_ctrl.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace keyloft {

namespace {

constexpr int kRowDataRole = Qt::UserRole;
// The tick last seen for a row, so that a text or colour change of column 0
// is not taken for a tick.
constexpr int kLastCheckRole = Qt::UserRole + 1;

class QuietScope {
 public:
  explicit QuietScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~QuietScope() { flag_ = old_; }
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

CReportCtrl::CReportCtrl(QWidget* parent) : QTableWidget(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setShowGrid(true);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  connect(this, &QTableWidget::itemChanged, this, &CReportCtrl::OnItemChanged);
  // An editor sits on a fixed spot of the viewport; scrolling ends it.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { FinishEdit(); });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { FinishEdit(); });
}

int CReportCtrl::InsertColumn(int column, const QString& caption, int width, Qt::Alignment alignment) {
  FinishEdit();
  column = std::clamp(column, 0, columnCount());
  insertColumn(column);
  auto* header = new QTableWidgetItem(caption);
  header->setTextAlignment(alignment);
  setHorizontalHeaderItem(column, header);
  setColumnWidth(column, width);
  editors_.insert(editors_.begin() + column, ColumnEditor{});
  for (int row = 0; row < rowCount(); ++row) CellItem(row, column);
  return column;
}

void CReportCtrl::SetHeaderClickable(bool clickable) { horizontalHeader()->setSectionsClickable(clickable); }

void CReportCtrl::SetGridLines(bool on) { setShowGrid(on); }

void CReportCtrl::SetCheckboxes(bool on) {
  QuietScope quiet(quietChecks_);
  checkboxes_ = on;
  for (int row = 0; row < rowCount(); ++row) {
    QTableWidgetItem* item = CellItem(row, 0);
    if (!item) continue;
    if (on) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
      item->setData(kLastCheckRole, false);
    } else {
      item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
      item->setData(Qt::CheckStateRole, QVariant());
    }
  }
}

void CReportCtrl::SetSingleCheck(bool on) {
  singleCheck_ = on;
  if (on) {
    const int first = GetFirstCheckedRow();
    if (first >= 0) SetCheck(first, true);
  }
}

bool CReportCtrl::GetCheck(int row) const {
  const QTableWidgetItem* it = item(row, 0);
  return checkboxes_ && it && it->checkState() == Qt::Checked;
}

void CReportCtrl::SetCheck(int row, bool checked) {
  if (!checkboxes_ || row < 0 || row >= rowCount()) return;
  QuietScope quiet(quietChecks_);
  for (int r = 0; r < rowCount(); ++r) {
    const bool want = r == row ? checked : (singleCheck_ && checked ? false : GetCheck(r));
    QTableWidgetItem* it = CellItem(r, 0);
    it->setCheckState(want ? Qt::Checked : Qt::Unchecked);
    it->setData(kLastCheckRole, want);
  }
}

int CReportCtrl::GetFirstCheckedRow() const {
  for (int row = 0; row < rowCount(); ++row)
    if (GetCheck(row)) return row;
  return -1;
}

void CReportCtrl::OnItemChanged(QTableWidgetItem* changed) {
  if (quietChecks_ || !checkboxes_ || changed->column() != 0) return;
  const bool checked = changed->checkState() == Qt::Checked;
  if (changed->data(kLastCheckRole).toBool() == checked) return;
  const int row = changed->row();
  SetCheck(row, checked);
  emit checkChanged(row, checked);
}

QTableWidgetItem* CReportCtrl::CellItem(int row, int column) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
  if (QTableWidgetItem* existing = item(row, column)) return existing;
  QuietScope quiet(quietChecks_);
  auto* created = new QTableWidgetItem;
  created->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (const QTableWidgetItem* header = horizontalHeaderItem(column))
    created->setTextAlignment(Qt::Alignment(header->textAlignment()));
  if (column == 0 && checkboxes_) {
    created->setFlags(created->flags() | Qt::ItemIsUserCheckable);
    created->setCheckState(Qt::Unchecked);
    created->setData(kLastCheckRole, false);
  }
  setItem(row, column, created);
  return created;
}

int CReportCtrl::InsertRow(int row, const QStringList& texts, const QVariant& data) {
  FinishEdit();
  row = std::clamp(row, 0, rowCount());
  insertRow(row);
  for (int column = 0; column < columnCount(); ++column) {
    QTableWidgetItem* cell = CellItem(row, column);
    if (column < texts.size()) cell->setText(texts[column]);
  }
  SetItemData(row, data);
  return row;
}

void CReportCtrl::RemoveRow(int row) {
  FinishEdit();
  if (row >= 0 && row < rowCount()) removeRow(row);
}

void CReportCtrl::RemoveAllRows() {
  FinishEdit();
  setRowCount(0);
}

void CReportCtrl::MoveRow(int from, int to) {
  FinishEdit();
  const int rows = rowCount();
  if (from < 0 || from >= rows || to < 0 || to >= rows || from == to) return;
  const bool wasSelected = GetSelectedRow() == from;
  QuietScope quiet(quietChecks_);
  std::vector<QTableWidgetItem*> cells;
  for (int column = 0; column < columnCount(); ++column) cells.push_back(takeItem(from, column));
  removeRow(from);
  insertRow(to);
  for (int column = 0; column < columnCount(); ++column) setItem(to, column, cells[column]);
  if (wasSelected) SelectRow(to);
}

QString CReportCtrl::GetItemText(int row, int column) const {
  const QTableWidgetItem* it = item(row, column);
  return it ? it->text() : QString();
}

void CReportCtrl::SetItemText(int row, int column, const QString& text) {
  if (QTableWidgetItem* it = CellItem(row, column)) it->setText(text);
}

QVariant CReportCtrl::GetItemData(int row) const {
  const QTableWidgetItem* it = item(row, 0);
  return it ? it->data(kRowDataRole) : QVariant();
}

void CReportCtrl::SetItemData(int row, const QVariant& data) {
  if (QTableWidgetItem* it = CellItem(row, 0)) it->setData(kRowDataRole, data);
}

void CReportCtrl::SetItemTextColor(int row, int column, const QColor& colour) {
  if (QTableWidgetItem* it = CellItem(row, column)) it->setForeground(colour.isValid() ? QBrush(colour) : QBrush());
}

QColor CReportCtrl::GetItemTextColor(int row, int column) const {
  const QTableWidgetItem* it = item(row, column);
  if (!it || !it->data(Qt::ForegroundRole).isValid()) return {};
  return it->foreground().color();
}

void CReportCtrl::SetItemBkColor(int row, int column, const QColor& colour) {
  if (QTableWidgetItem* it = CellItem(row, column)) it->setBackground(colour.isValid() ? QBrush(colour) : QBrush());
}

int CReportCtrl::GetSelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CReportCtrl::SelectRow(int row) {
  if (row < 0 || row >= rowCount()) {
    clearSelection();
    return;
  }
  setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(model()->index(row, 0));
}

void CReportCtrl::SetInPlaceEditing(bool on) {
  if (!on) FinishEdit();
  inPlaceEditing_ = on;
}

void CReportCtrl::SetColumnDropDown(int column, const QStringList& items, Preselect preselect) {
  if (column < 0 || column >= static_cast<int>(editors_.size())) return;
  editors_[column] = ColumnEditor{EditorKind::DropDown, items, std::move(preselect)};
}

void CReportCtrl::SetColumnEditBox(int column) {
  if (column < 0 || column >= static_cast<int>(editors_.size())) return;
  editors_[column] = ColumnEditor{EditorKind::EditBox, {}, {}};
}

void CReportCtrl::SetColumnNoEditor(int column) {
  if (column < 0 || column >= static_cast<int>(editors_.size())) return;
  editors_[column] = ColumnEditor{};
}

const CReportCtrl::ColumnEditor& CReportCtrl::EditorOf(int column) const {
  static const ColumnEditor none;
  return column >= 0 && column < static_cast<int>(editors_.size()) ? editors_[column] : none;
}

bool CReportCtrl::StartEdit(int row, int column) {
  FinishEdit();
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return false;
  const ColumnEditor& kind = EditorOf(column);
  if (kind.kind == EditorKind::None) {
    emit editRefused(row, column);
    return false;
  }
  emit editStarted(row, column);
  // The owner may have changed the list while reacting.
  if (row >= rowCount() || column >= columnCount()) return false;

  scrollTo(model()->index(row, column));
  const QRect cell = visualRect(model()->index(row, column));
  QWidget* editor = nullptr;
  if (kind.kind == EditorKind::DropDown) {
    auto* combo = new QComboBox(viewport());
    combo->addItems(kind.items);
    const int preselected = kind.preselect ? kind.preselect(row) : kind.items.indexOf(GetItemText(row, column));
    combo->setCurrentIndex(preselected >= 0 && preselected < kind.items.size() ? preselected : -1);
    editStartIndex_ = combo->currentIndex();
    connect(combo, &QComboBox::activated, this, [this, combo] {
      if (editor_ == combo) CloseEditor(true);
    });
    // Drop the list open once the combo is on screen, as a drop-down list does.
    QTimer::singleShot(0, combo, [this, combo] {
      if (editor_ == combo && combo->isVisible()) combo->showPopup();
    });
    editor = combo;
  } else {
    auto* edit = new QLineEdit(GetItemText(row, column), viewport());
    edit->selectAll();
    editor = edit;
  }
  editor->setGeometry(cell.x(), cell.y(), cell.width(), std::max(cell.height(), editor->sizeHint().height()));
  editor->installEventFilter(this);
  editor_ = editor;
  editRow_ = row;
  editColumn_ = column;
  editor->show();
  editor->setFocus(Qt::OtherFocusReason);
  return true;
}

void CReportCtrl::FinishEdit() { CloseEditor(true); }

void CReportCtrl::CancelEdit() { CloseEditor(false); }

void CReportCtrl::CloseEditor(bool commit) {
  QWidget* editor = editor_;
  if (!editor) return;
  // Cleared first: hiding the editor moves the focus, which must not close it twice.
  editor_ = nullptr;
  editor->removeEventFilter(this);
  const bool hadFocus = editor->hasFocus() || editor->isAncestorOf(QApplication::focusWidget());
  editor->hide();
  editor->deleteLater();
  if (hadFocus) setFocus(Qt::OtherFocusReason);
  if (!commit || editRow_ >= rowCount() || editColumn_ >= columnCount()) return;

  const int row = editRow_;
  const int column = editColumn_;
  if (auto* combo = qobject_cast<QComboBox*>(editor)) {
    const int index = combo->currentIndex();
    if (index < 0 || index == editStartIndex_) return;
    SetItemText(row, column, combo->itemText(index));
    emit dropDownFinished(row, column, index);
  } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
    SetItemText(row, column, edit->text());
    emit editBoxFinished(row, column, edit->text());
  }
}

bool CReportCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) {
        CancelEdit();
        return true;
      }
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        FinishEdit();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      // The combo's own list takes the focus while it is open; that is no leaving.
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) FinishEdit();
    }
  }
  return QTableWidget::eventFilter(watched, event);
}

void CReportCtrl::mousePressEvent(QMouseEvent* event) {
  FinishEdit();
  const QModelIndex index = indexAt(event->position().toPoint());
  pressRow_ = index.isValid() ? index.row() : -1;
  pressColumn_ = index.isValid() ? index.column() : -1;
  pressOnSelectedRow_ = pressRow_ >= 0 && pressRow_ == GetSelectedRow();
  pressCheck_ = pressRow_ >= 0 && GetCheck(pressRow_);
  QTableWidget::mousePressEvent(event);
}

void CReportCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QTableWidget::mouseReleaseEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool sameCell = index.isValid() && index.row() == pressRow_ && index.column() == pressColumn_;
  const bool wasOnSelectedRow = pressOnSelectedRow_;
  pressOnSelectedRow_ = false;
  if (!inPlaceEditing_ || event->button() != Qt::LeftButton || !sameCell || !wasOnSelectedRow) return;
  // A click on a check box ticks; it opens no editor.
  if (index.column() == 0 && GetCheck(index.row()) != pressCheck_) return;
  StartEdit(index.row(), index.column());
}

}  // namespace keyloft

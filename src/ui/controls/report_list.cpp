#include "ui/controls/report_list.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

namespace keyloft {

namespace {
// The item a drop-down showed when it opened, to tell a changed choice.
constexpr const char* kStartIndexProperty = "startIndex";
}  // namespace

// The in-place editors of each column: what they are, what they show when
// they open and what they write back.
class ReportEditorDelegate : public QStyledItemDelegate {
 public:
  enum class Kind { None, DropDown, EditBox };
  struct ColumnEditor {
    Kind kind = Kind::None;
    QStringList items;
    ReportList::Preselect preselect;
  };

  using QStyledItemDelegate::QStyledItemDelegate;

  void setEditor(int column, ColumnEditor editor) {
    if (column >= static_cast<int>(columns_.size())) columns_.resize(column + 1);
    columns_[column] = std::move(editor);
  }
  const ColumnEditor& editorOf(int column) const {
    static const ColumnEditor none;
    return column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[column] : none;
  }
  // The editor the last opening made, taken once.
  QWidget* takeCreated() { return std::exchange(created_, nullptr); }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    const ColumnEditor& column = editorOf(index.column());
    QWidget* editor = nullptr;
    if (column.kind == Kind::DropDown) {
      auto* combo = new QComboBox(parent);
      combo->addItems(column.items);
      // Choosing from the open list ends the edit at once.
      connect(combo, &QComboBox::activated, this, &ReportEditorDelegate::commitAndCloseEditor);
      // Drop the list open once the combo is on screen, as a drop-down list does.
      QTimer::singleShot(0, combo, [combo] {
        if (combo->isVisible()) combo->showPopup();
      });
      editor = combo;
    } else if (column.kind == Kind::EditBox) {
      editor = new QLineEdit(parent);
    }
    created_ = editor;
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      const ColumnEditor& column = editorOf(index.column());
      const int preselected = column.preselect ? column.preselect(index.row()) : column.items.indexOf(text);
      combo->setCurrentIndex(preselected >= 0 && preselected < combo->count() ? preselected : -1);
      combo->setProperty(kStartIndexProperty, combo->currentIndex());
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
      edit->setText(text);
      edit->selectAll();
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) model->setData(index, combo->currentText());
    else if (auto* edit = qobject_cast<QLineEdit*>(editor)) model->setData(index, edit->text());
  }

  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override {
    // Over the cell, as tall as the editor needs.
    const QRect cell = option.rect;
    editor->setGeometry(cell.x(), cell.y(), cell.width(), std::max(cell.height(), editor->sizeHint().height()));
  }

 private:
  void commitAndCloseEditor() {
    auto* editor = qobject_cast<QWidget*>(sender());
    emit commitData(editor);
    emit closeEditor(editor);
  }

  std::vector<ColumnEditor> columns_;
  mutable QWidget* created_ = nullptr;
};

ReportList::ReportList(QWidget* parent)
    : QTableView(parent), model_(new ReportModel(this)), delegate_(new ReportEditorDelegate(this)) {
  // Connected before the view's own handlers: the open edit is committed
  // while the row it belongs to is still where it was.
  connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this, &ReportList::finishEdit);
  connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ReportList::finishEdit);
  connect(model_, &QAbstractItemModel::rowsAboutToBeMoved, this, &ReportList::finishEdit);
  connect(model_, &QAbstractItemModel::columnsAboutToBeInserted, this, &ReportList::finishEdit);
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &ReportList::finishEdit);
  setModel(model_);
  setItemDelegate(delegate_);

  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Editors open only as this list decides: a click on the selected row.
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setShowGrid(true);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
}

int ReportList::addColumn(const QString& caption, int width, Qt::Alignment alignment) {
  const int column = model_->addColumn(caption, alignment);
  setColumnWidth(column, width);
  return column;
}

int ReportList::selectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void ReportList::setSelectedRow(int row) {
  if (row < 0 || row >= model_->rowCount()) {
    clearSelection();
    return;
  }
  const QModelIndex index = model_->index(row, 0);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

void ReportList::setInPlaceEditing(bool on) {
  if (!on) finishEdit();
  inPlaceEditing_ = on;
}

void ReportList::setColumnDropDown(int column, const QStringList& items, Preselect preselect) {
  if (column >= 0 && column < model_->columnCount())
    delegate_->setEditor(column, {ReportEditorDelegate::Kind::DropDown, items, std::move(preselect)});
}

void ReportList::setColumnEditBox(int column) {
  if (column >= 0 && column < model_->columnCount()) delegate_->setEditor(column, {ReportEditorDelegate::Kind::EditBox, {}, {}});
}

void ReportList::clearColumnEditor(int column) {
  if (column >= 0 && column < model_->columnCount()) delegate_->setEditor(column, {});
}

bool ReportList::startEdit(int row, int column) {
  finishEdit();
  if (!model_->index(row, column).isValid()) return false;
  if (delegate_->editorOf(column).kind == ReportEditorDelegate::Kind::None) {
    emit editRefused(row, column);
    return false;
  }
  emit editStarted(row, column);
  // The owner may have changed the list while reacting.
  const QModelIndex index = model_->index(row, column);
  if (!index.isValid()) return false;
  scrollTo(index);
  if (!edit(index, AllEditTriggers, nullptr)) return false;
  editor_ = delegate_->takeCreated();
  editIndex_ = index;
  return editor_ != nullptr;
}

void ReportList::finishEdit() {
  if (QWidget* open = editor_) {
    commitData(open);
    closeEditor(open, QAbstractItemDelegate::NoHint);
  }
}

void ReportList::cancelEdit() {
  if (QWidget* open = editor_) closeEditor(open, QAbstractItemDelegate::NoHint);
}

void ReportList::commitData(QWidget* editor) {
  // Every editor here is opened by startEdit and committed once: the owner
  // may change the list while it hears of the edit, which finishes edits again.
  if (editor != editor_) return;
  editor_ = nullptr;
  const int row = editIndex_.row();
  const int column = editIndex_.column();
  if (auto* combo = qobject_cast<QComboBox*>(editor)) {
    const int chosen = combo->currentIndex();
    if (chosen < 0 || chosen == combo->property(kStartIndexProperty).toInt()) return;
    QTableView::commitData(editor);
    emit dropDownFinished(row, column, chosen);
  } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
    const QString text = edit->text();
    QTableView::commitData(editor);
    emit editBoxFinished(row, column, text);
  }
}

void ReportList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint) {
  if (editor == editor_) editor_ = nullptr;
  // The next cell's editor opens only by a click, never by Tab from this one.
  QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ReportList::mousePressEvent(QMouseEvent* event) {
  finishEdit();
  const QModelIndex index = indexAt(event->position().toPoint());
  pressRow_ = index.isValid() ? index.row() : -1;
  pressColumn_ = index.isValid() ? index.column() : -1;
  pressOnSelectedRow_ = pressRow_ >= 0 && pressRow_ == selectedRow();
  pressCheck_ = pressRow_ >= 0 && model_->isChecked(pressRow_);
  QTableView::mousePressEvent(event);
}

void ReportList::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool sameCell = index.isValid() && index.row() == pressRow_ && index.column() == pressColumn_;
  const bool wasOnSelectedRow = std::exchange(pressOnSelectedRow_, false);
  if (!inPlaceEditing_ || event->button() != Qt::LeftButton || !sameCell || !wasOnSelectedRow) return;
  // A click on a check box ticks; it opens no editor.
  if (index.column() == 0 && model_->isChecked(index.row()) != pressCheck_) return;
  startEdit(index.row(), index.column());
}

}  // namespace keyloft

// A report list: fixed columns, check boxes in column 0 (optionally only one
// ticked at a time), per-cell text colours, and in-place editors opened by a
// click on a cell of the row that is already selected. Every row may carry a
// value of its own that travels with it when rows are inserted or moved.
#pragma once

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QTableWidget>
#include <QVariant>

#include <functional>
#include <vector>

namespace keyloft {

class CReportCtrl : public QTableWidget {
  Q_OBJECT

 public:
  // Gives the item a drop-down editor preselects for a row; -1 for none.
  using Preselect = std::function<int(int row)>;

  explicit CReportCtrl(QWidget* parent = nullptr);

  // Columns. Captions and widths are fixed once set; alignment is per column.
  int InsertColumn(int column, const QString& caption, int width,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
  void SetHeaderClickable(bool clickable);
  void SetGridLines(bool on);

  // Check boxes live in column 0. In single-check mode ticking a row unticks
  // every other row.
  void SetCheckboxes(bool on);
  void SetSingleCheck(bool on);
  bool GetCheck(int row) const;
  // Programmatic ticks do not emit checkChanged; single-check mode still holds.
  void SetCheck(int row, bool checked);
  int GetFirstCheckedRow() const;  // -1 when none

  // Rows. Texts are given per column from 0; missing columns stay empty.
  int InsertRow(int row, const QStringList& texts, const QVariant& data = {});
  int AppendRow(const QStringList& texts, const QVariant& data = {}) { return InsertRow(rowCount(), texts, data); }
  void RemoveRow(int row);
  void RemoveAllRows();
  // Moves a row with its texts, colours, tick and data; a selected row stays selected.
  void MoveRow(int from, int to);
  QString GetItemText(int row, int column) const;
  void SetItemText(int row, int column, const QString& text);
  QVariant GetItemData(int row) const;
  void SetItemData(int row, const QVariant& data);
  void SetItemTextColor(int row, int column, const QColor& colour);
  QColor GetItemTextColor(int row, int column) const;
  void SetItemBkColor(int row, int column, const QColor& colour);

  int GetSelectedRow() const;  // -1 when none
  void SelectRow(int row);     // also makes it current and visible; -1 clears

  // In-place editing is off until enabled. With it on, a click on a cell of
  // the selected row opens that column's editor; a column without one emits
  // editRefused so the owner can tell the user why.
  void SetInPlaceEditing(bool on);
  void SetColumnDropDown(int column, const QStringList& items, Preselect preselect = {});
  void SetColumnEditBox(int column);
  void SetColumnNoEditor(int column);
  // Opens the column's editor on a cell as a click would; false if none opened.
  bool StartEdit(int row, int column);
  // Commits the open editor, if any, as if the user had left it.
  void FinishEdit();
  // Closes the open editor, if any, without reporting.
  void CancelEdit();
  bool IsEditing() const { return editor_ != nullptr; }
  QWidget* Editor() const { return editor_; }

 signals:
  // A user tick or untick; in single-check mode one signal for the row ticked.
  void checkChanged(int row, bool checked);
  // An editor is about to open on the cell (before it takes the focus).
  void editStarted(int row, int column);
  // A drop-down closed with another item chosen; the cell already shows it.
  void dropDownFinished(int row, int column, int index);
  // An edit box closed by commit; the cell already shows the text.
  void editBoxFinished(int row, int column, const QString& text);
  // A click asked to edit a column that has no editor.
  void editRefused(int row, int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class EditorKind { None, DropDown, EditBox };
  struct ColumnEditor {
    EditorKind kind = EditorKind::None;
    QStringList items;
    Preselect preselect;
  };

  QTableWidgetItem* CellItem(int row, int column);
  const ColumnEditor& EditorOf(int column) const;
  void OnItemChanged(QTableWidgetItem* item);
  void CloseEditor(bool commit);

  std::vector<ColumnEditor> editors_;
  bool checkboxes_ = false;
  bool singleCheck_ = false;
  bool inPlaceEditing_ = false;
  bool quietChecks_ = false;  // set while the control changes ticks itself

  // The press that may open an editor: the cell and whether its row was
  // already selected and how its box was ticked before the press.
  int pressRow_ = -1;
  int pressColumn_ = -1;
  bool pressOnSelectedRow_ = false;
  bool pressCheck_ = false;

  QPointer<QWidget> editor_;
  int editRow_ = -1;
  int editColumn_ = -1;
  int editStartIndex_ = -1;
};

}  // namespace keyloft

// A report list: a table of fixed columns over a ReportModel of its own,
// whole rows selected one at a time, and in-place editors (a drop-down list
// or an edit box, by column) opened by a click on a cell of the row that is
// already selected. An open editor is committed before the rows change.
#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <functional>

#include "ui/controls/report_model.h"

namespace keyloft {

class ReportEditorDelegate;

class ReportList : public QTableView {
  Q_OBJECT
  Q_PROPERTY(int selectedRow READ selectedRow WRITE setSelectedRow)

 public:
  // Gives the item a drop-down editor preselects for a row; -1 for none.
  using Preselect = std::function<int(int row)>;

  explicit ReportList(QWidget* parent = nullptr);

  // Rows, texts, colours, ticks and row data.
  ReportModel& reportModel() const { return *model_; }
  // A column at the right end, of fixed width.
  int addColumn(const QString& caption, int width, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

  int selectedRow() const;  // -1 when none
  // Also makes it current and visible; -1 clears the selection.
  void setSelectedRow(int row);

  // In-place editing is off until enabled. With it on, a click on a cell of
  // the selected row opens that column's editor; a column without one emits
  // editRefused so the owner can tell the user why.
  void setInPlaceEditing(bool on);
  void setColumnDropDown(int column, const QStringList& items, Preselect preselect = {});
  void setColumnEditBox(int column);
  void clearColumnEditor(int column);
  // Opens the column's editor on a cell as a click would; false if none opened.
  bool startEdit(int row, int column);
  // Commits the open editor, if any, as if the user had left it.
  void finishEdit();
  // Closes the open editor, if any, without reporting.
  void cancelEdit();
  bool isEditing() const { return editor_ != nullptr; }
  QWidget* editor() const { return editor_; }

 signals:
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
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  ReportModel* model_;
  ReportEditorDelegate* delegate_;
  bool inPlaceEditing_ = false;

  // The press that may open an editor: the cell, whether its row was
  // already selected, and how its box was ticked before the press.
  int pressRow_ = -1;
  int pressColumn_ = -1;
  bool pressOnSelectedRow_ = false;
  bool pressCheck_ = false;

  // The editor opened here, until it is committed or closed.
  QPointer<QWidget> editor_;
  QPersistentModelIndex editIndex_;
};

}  // namespace keyloft

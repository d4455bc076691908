// The rows of a report list: fixed columns of text, a text and background
// colour per cell, a value per row that travels with it when rows are
// inserted or moved, and check boxes in column 0, ticked on any number of
// rows or, in single-check mode, on one at most.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace keyloft {

class ReportModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The value a row carries; every cell of the row answers it.
  static constexpr int RowDataRole = Qt::UserRole;

  explicit ReportModel(QObject* parent = nullptr);

  // A column at the right end; its alignment holds for every cell below it.
  int addColumn(const QString& caption, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

  // Check boxes in column 0; turning them on or off unticks every row.
  void setCheckable(bool on);
  bool isCheckable() const { return checkable_; }
  // Turning it on keeps only the first ticked row.
  void setSingleCheck(bool on);
  bool isChecked(int row) const;
  // A row whose box cannot be ticked, by the user or the program; why shows
  // as the row's tooltip, so the user learns the reason.
  void setRowTickable(int row, bool tickable, const QString& why = {});
  bool isRowTickable(int row) const;
  // Ticks without checkChanged: the program knows what it set.
  void setChecked(int row, bool checked);
  int firstCheckedRow() const;  // -1 when none

  // Texts per column from 0; missing columns stay empty. Returns the row.
  int insertRow(int row, const QStringList& texts, const QVariant& data = {});
  int appendRow(const QStringList& texts, const QVariant& data = {}) { return insertRow(rowCount(), texts, data); }
  // Moves a row with its texts, colours, tick and data so that it ends up at
  // row `to`; false when either row is out of range or they are the same.
  bool moveRowTo(int from, int to);

  QString text(int row, int column) const;
  void setText(int row, int column, const QString& text);
  QVariant rowData(int row) const;
  void setRowData(int row, const QVariant& data);
  // Invalid: the view's colour.
  QColor textColor(int row, int column) const;
  void setTextColor(int row, int column, const QColor& color);
  void setBackgroundColor(int row, int column, const QColor& color);
  // A cell's own tooltip; an untickable row's reason shows on its tick column.
  void setToolTip(int row, int column, const QString& text);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Text by the edit role; a tick by the check-state role, as a view sets it
  // for the user: it emits checkChanged.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

 signals:
  // A tick or untick by the user; in single-check mode one signal for the row ticked.
  void checkChanged(int row, bool checked);

 private:
  struct Cell {
    QString text;
    QColor textColor;
    QColor backgroundColor;
    QString toolTip;
  };
  struct Row {
    std::vector<Cell> cells;
    QVariant data;
    bool checked = false;
    bool tickable = true;
    QString untickableWhy;
  };
  struct Column {
    QString caption;
    Qt::Alignment alignment;
  };

  bool hasRow(int row) const;
  bool contains(int row, int column) const;
  Cell* cell(int row, int column);
  const Cell* cell(int row, int column) const;
  void changeCell(int row, int column, const QList<int>& roles);
  void tick(int row, bool checked);

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  bool checkable_ = false;
  bool singleCheck_ = false;
};

}  // namespace keyloft

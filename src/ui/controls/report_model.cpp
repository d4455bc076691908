#include "ui/controls/report_model.h"

#include <QBrush>

#include <algorithm>

namespace keyloft {

ReportModel::ReportModel(QObject* parent) : QAbstractTableModel(parent) {}

int ReportModel::addColumn(const QString& caption, Qt::Alignment alignment) {
  const int column = columnCount();
  beginInsertColumns({}, column, column);
  columns_.push_back({caption, alignment});
  for (Row& row : rows_) row.cells.emplace_back();
  endInsertColumns();
  return column;
}

void ReportModel::setCheckable(bool on) {
  checkable_ = on;
  for (Row& row : rows_) row.checked = false;
  if (rowCount() > 0 && columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

void ReportModel::setSingleCheck(bool on) {
  singleCheck_ = on;
  if (const int first = firstCheckedRow(); on && first >= 0) tick(first, true);
}

bool ReportModel::isChecked(int row) const { return checkable_ && hasRow(row) && rows_[row].checked; }

void ReportModel::setChecked(int row, bool checked) {
  if (checkable_ && hasRow(row) && (!checked || rows_[row].tickable)) tick(row, checked);
}

int ReportModel::firstCheckedRow() const {
  for (int row = 0; row < rowCount(); ++row)
    if (isChecked(row)) return row;
  return -1;
}

void ReportModel::tick(int row, bool checked) {
  for (int r = 0; r < rowCount(); ++r) {
    if (r == row) rows_[r].checked = checked;
    else if (singleCheck_ && checked) rows_[r].checked = false;
  }
  if (columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

int ReportModel::insertRow(int row, const QStringList& texts, const QVariant& data) {
  row = std::clamp(row, 0, rowCount());
  Row added{std::vector<Cell>(columns_.size()), data};
  for (int column = 0; column < std::min(columnCount(), int(texts.size())); ++column) added.cells[column].text = texts[column];
  beginInsertRows({}, row, row);
  rows_.insert(rows_.begin() + row, std::move(added));
  endInsertRows();
  return row;
}

bool ReportModel::moveRowTo(int from, int to) {
  if (from == to || !hasRow(from) || !hasRow(to)) return false;
  // Qt names the row the moved one goes before, counted before the move.
  if (!beginMoveRows({}, from, from, {}, to > from ? to + 1 : to)) return false;
  if (to > from) std::rotate(rows_.begin() + from, rows_.begin() + from + 1, rows_.begin() + to + 1);
  else std::rotate(rows_.begin() + to, rows_.begin() + from, rows_.begin() + from + 1);
  endMoveRows();
  return true;
}

QString ReportModel::text(int row, int column) const {
  const Cell* c = cell(row, column);
  return c ? c->text : QString();
}

void ReportModel::setText(int row, int column, const QString& text) {
  if (Cell* c = cell(row, column)) {
    c->text = text;
    changeCell(row, column, {Qt::DisplayRole, Qt::EditRole});
  }
}

QVariant ReportModel::rowData(int row) const { return hasRow(row) ? rows_[row].data : QVariant(); }

void ReportModel::setRowData(int row, const QVariant& data) {
  if (!hasRow(row)) return;
  rows_[row].data = data;
  if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1), {RowDataRole});
}

QColor ReportModel::textColor(int row, int column) const {
  const Cell* c = cell(row, column);
  return c ? c->textColor : QColor();
}

void ReportModel::setTextColor(int row, int column, const QColor& color) {
  if (Cell* c = cell(row, column)) {
    c->textColor = color;
    changeCell(row, column, {Qt::ForegroundRole});
  }
}

void ReportModel::setBackgroundColor(int row, int column, const QColor& color) {
  if (Cell* c = cell(row, column)) {
    c->backgroundColor = color;
    changeCell(row, column, {Qt::BackgroundRole});
  }
}

void ReportModel::setToolTip(int row, int column, const QString& text) {
  if (Cell* c = cell(row, column)) {
    c->toolTip = text;
    changeCell(row, column, {Qt::ToolTipRole});
  }
}

void ReportModel::setRowTickable(int row, bool tickable, const QString& why) {
  if (!hasRow(row)) return;
  rows_[row].tickable = tickable;
  rows_[row].untickableWhy = why;
  if (!tickable && rows_[row].checked) tick(row, false);
  emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::ToolTipRole, Qt::CheckStateRole});
}

bool ReportModel::isRowTickable(int row) const { return hasRow(row) && rows_[row].tickable; }

int ReportModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int ReportModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

QVariant ReportModel::data(const QModelIndex& index, int role) const {
  const Cell* c = cell(index.row(), index.column());
  if (!c || index.parent().isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return c->text;
    case Qt::TextAlignmentRole: return int(columns_[index.column()].alignment);
    case Qt::ForegroundRole: return c->textColor.isValid() ? QBrush(c->textColor) : QVariant();
    case Qt::BackgroundRole: return c->backgroundColor.isValid() ? QBrush(c->backgroundColor) : QVariant();
    case Qt::CheckStateRole:
      if (checkable_ && index.column() == 0) return rows_[index.row()].checked ? Qt::Checked : Qt::Unchecked;
      return {};
    case RowDataRole: return rows_[index.row()].data;
    case Qt::ToolTipRole: {
      const Row& r = rows_[index.row()];
      if (!r.tickable && (index.column() == 0 || c->toolTip.isEmpty())) return r.untickableWhy;
      return c->toolTip.isEmpty() ? QVariant() : QVariant(c->toolTip);
    }
    default: return {};
  }
}

bool ReportModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!cell(index.row(), index.column()) || index.parent().isValid()) return false;
  const int row = index.row();
  switch (role) {
    case Qt::EditRole: setText(row, index.column(), value.toString()); return true;
    case RowDataRole: setRowData(row, value); return true;
    case Qt::CheckStateRole: {
      if (!checkable_ || index.column() != 0) return false;
      const bool checked = value.toInt() == Qt::Checked;
      if (checked && !rows_[row].tickable) return false;
      if (checked != rows_[row].checked) {
        tick(row, checked);
        emit checkChanged(row, checked);
      }
      return true;
    }
    default: return false;
  }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return columns_[section].caption;
  if (role == Qt::TextAlignmentRole) return int(columns_[section].alignment);
  return {};
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
  if (checkable_ && index.column() == 0 && hasRow(index.row()) && rows_[index.row()].tickable) {
    flags |= Qt::ItemIsUserCheckable;
  }
  return flags;
}

bool ReportModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || count <= 0 || row < 0 || row + count > rowCount()) return false;
  beginRemoveRows({}, row, row + count - 1);
  rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
  endRemoveRows();
  return true;
}

bool ReportModel::hasRow(int row) const { return row >= 0 && row < rowCount(); }

bool ReportModel::contains(int row, int column) const { return hasRow(row) && column >= 0 && column < columnCount(); }

ReportModel::Cell* ReportModel::cell(int row, int column) {
  return contains(row, column) ? &rows_[row].cells[column] : nullptr;
}

const ReportModel::Cell* ReportModel::cell(int row, int column) const {
  return contains(row, column) ? &rows_[row].cells[column] : nullptr;
}

void ReportModel::changeCell(int row, int column, const QList<int>& roles) {
  emit dataChanged(index(row, column), index(row, column), roles);
}

}  // namespace keyloft

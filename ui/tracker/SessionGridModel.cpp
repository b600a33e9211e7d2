// SPDX-License-Identifier: MIT
#include "ui/tracker/SessionGridModel.h"

namespace hmr {
namespace {

bool isTimeColumn(GridCells::Column column) {
  return column == GridCells::Column::Total || column == GridCells::Column::Idle ||
         column == GridCells::Column::Work;
}

}  // namespace

void SessionGridModel::beginChange() {
  if (changing_) return;
  changing_ = true;
  beginResetModel();
  cells_.reset();
}

void SessionGridModel::setCells(std::unique_ptr<GridCells> cells) {
  beginChange();
  cells_ = std::move(cells);
  changing_ = false;
  endResetModel();
}

int SessionGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !cells_) return 0;
  return cells_->rowCount() - 1;  // the title row is the header
}

int SessionGridModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !cells_) return 0;
  return cells_->colCount();
}

QVariant SessionGridModel::data(const QModelIndex& index, int role) const {
  if (!cells_ || !index.isValid() || index.row() < 0 || index.row() >= rowCount() ||
      index.column() < 0 || index.column() >= columnCount())
    return {};
  if (role == Qt::DisplayRole) {
    return QString::fromStdString(cells_->cell(index.row() + 1, index.column()));
  }
  if (role == Qt::TextAlignmentRole) {
    const auto column = cells_->columns()[static_cast<std::size_t>(index.column())];
    return QVariant::fromValue(Qt::Alignment(
        (isTimeColumn(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
  }
  return {};
}

QVariant SessionGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!cells_ || orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= columnCount())
    return QAbstractTableModel::headerData(section, orientation, role);
  return QString::fromStdString(cells_->cell(0, section));
}

}  // namespace hmr

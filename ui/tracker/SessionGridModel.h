// SPDX-License-Identifier: MIT
// The session grid's table model: a thin view over the core's grid cells. The cells' title
// row becomes the horizontal header; the model's row r is the cells' row r + 1. A cell is
// formatted only when the view asks for it, so a result of a million lines costs the rows on
// screen.
#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "core/GridCells.h"

namespace hmr {

class SessionGridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  // Starts a change of the cells: the view lets go of the old ones until setCells. Call it
  // before the result the cells read changes.
  void beginChange();
  // Ends the change begun by beginChange with the new cells (null for an empty grid).
  void setCells(std::unique_ptr<GridCells> cells);

  // The cells shown, or null; what the exports read.
  const GridCells* cells() const { return cells_.get(); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  bool changing_ = false;
  std::unique_ptr<GridCells> cells_;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
// The tracker dialog's two views: the project tree and the session grid.
#include <QComboBox>
#include <QHeaderView>
#include <QTableView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <vector>

#include "core/GridCells.h"
#include "core/uHMRProjectGroup.h"
#include "ui/SessionGridModel.h"
#include "ui/uHMRDialog.h"

namespace hmr {
namespace {

// Resumes a widget's painting when it goes, even on failure.
class PaintingSuspended {
 public:
  explicit PaintingSuspended(QWidget* widget) : widget_(widget) {
    widget_->setUpdatesEnabled(false);
  }
  ~PaintingSuspended() { widget_->setUpdatesEnabled(true); }
  PaintingSuspended(const PaintingSuspended&) = delete;
  PaintingSuspended& operator=(const PaintingSuspended&) = delete;

 private:
  QWidget* widget_;
};

constexpr int kWideColumn = 110;   // text, open and close columns
constexpr int kNarrowColumn = 90;  // user and time columns

THMRProject* projectOf(const QTreeWidgetItem* node) {
  return static_cast<THMRProject*>(node->data(0, Qt::UserRole).value<void*>());
}

}  // namespace

// ---- the tree -----------------------------------------------------------------------------

void TdlgPrjRevedazl::RefreshTreeView() {
  PaintingSuspended suspended(TreeView);
  TreeView->clear();
  if (!FProjectGroup) return;
  QTreeWidgetItem* groupNode = nullptr;
  for (std::int32_t i = 0; i < FProjectGroup->getProjectCount(); ++i) {
    THMRProject* project = FProjectGroup->getProject(i);
    if (!groupNode) {
      groupNode = new QTreeWidgetItem(TreeView, QStringList{"Group"});
      groupNode->setIcon(0, treePicture(0));
    }
    // A running session is brought up to the present before anything of it is shown.
    if (project->State != hmClosed) project->UpdateProject(false);
    auto* node =
        new QTreeWidgetItem(groupNode, QStringList{QString::fromStdString(project->GetHMRName())});
    node->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(project)));
    node->setIcon(0, treePicture(statePictureIndex(project->State)));
    TreeView->expandAll();
  }
}

QTreeWidgetItem* TdlgPrjRevedazl::nodeAt(int flatIndex) const {
  int position = 0;
  for (QTreeWidgetItemIterator it(TreeView); *it; ++it, ++position)
    if (position == flatIndex) return *it;
  return nullptr;
}

QTreeWidgetItem* TdlgPrjRevedazl::boldNode() const {
  for (QTreeWidgetItemIterator it(TreeView); *it; ++it)
    if ((*it)->font(0).bold()) return *it;
  return nullptr;
}

void TdlgPrjRevedazl::UnBoldAll() {
  for (QTreeWidgetItemIterator it(TreeView); *it; ++it) SetNodeBoldState(*it, false);
}

void TdlgPrjRevedazl::SetNodeBoldState(QTreeWidgetItem* Node, bool Bold) {
  if (!Node) return;
  QFont font = Node->font(0);
  font.setBold(Bold);
  Node->setFont(0, font);
}

void TdlgPrjRevedazl::SetBoldHMRProject(THMRProject* Project) {
  QTreeWidgetItem* node = TreeView->topLevelItem(0);
  if (!node) return;
  if (Project) {
    for (QTreeWidgetItemIterator it(TreeView); *it; ++it) {
      if (projectOf(*it) == Project && (*it)->parent()) {
        node = *it;
        break;
      }
    }
  }
  // The selection handler runs unless the dialog is changing the tree itself.
  TreeView->setCurrentItem(node);
}

// ---- the grid -----------------------------------------------------------------------------

void TdlgPrjRevedazl::FormatHeader(bool KeepLayout) {
  QHeaderView* header = grdSessions->horizontalHeader();
  const int columns = gridModel_->columnCount();
  if (KeepLayout && static_cast<int>(keptWidths_.size()) == columns) {
    for (int c = 0; c < columns; ++c) header->resizeSection(c, keptWidths_[static_cast<std::size_t>(c)]);
    return;
  }
  const GridCells* cells = gridModel_->cells();
  if (!cells) return;
  for (int c = 0; c < columns; ++c) {
    const GridCells::Column column = cells->columns()[static_cast<std::size_t>(c)];
    const bool wide = column == GridCells::Column::Text || column == GridCells::Column::Open ||
                      column == GridCells::Column::Close;
    header->resizeSection(c, wide ? kWideColumn : kNarrowColumn);
  }
}

void TdlgPrjRevedazl::RefreshGrid(bool KeepLayout) {
  keptWidths_.clear();
  if (KeepLayout) {
    const QHeaderView* header = grdSessions->horizontalHeader();
    for (int c = 0; c < gridModel_->columnCount(); ++c)
      keptWidths_.push_back(header->sectionSize(c));
  }
  std::unique_ptr<GridCells> cells;
  try {
    ExecuteQuery();
    const int groupBy = cmbGroupBy->currentIndex();
    const std::string groupByText =
        groupBy >= 0 ? cmbGroupBy->itemText(groupBy).toStdString() : std::string();
    cells = std::make_unique<GridCells>(FQueryResult, groupByText, FTimeUnit, FShowUserName);
  } catch (...) {
    gridModel_->setCells(nullptr);  // the model never reads a result that failed half-way
    throw;
  }
  gridModel_->setCells(std::move(cells));
  FormatHeader(KeepLayout);
}

}  // namespace hmr

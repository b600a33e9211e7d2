// SPDX-License-Identifier: MIT
#include "ui/tracker/HistoryPage.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

#include "core/GridCells.h"
#include "core/TrackerDialogModel.h"
#include "ui/tracker/SessionGridModel.h"

namespace hmr {
namespace {

constexpr int kWideColumn = 110;   // text, open and close columns
constexpr int kNarrowColumn = 90;  // user and time columns

}  // namespace

HistoryPage::HistoryPage(const TrackerDialogModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName("TabHistory");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  grdSessions = new QTableView(this);
  grdSessions->setObjectName("grdSessions");
  gridModel_ = new SessionGridModel(this);
  grdSessions->setModel(gridModel_);
  grdSessions->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdSessions->setSelectionMode(QAbstractItemView::SingleSelection);
  grdSessions->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdSessions->setShowGrid(true);
  grdSessions->setWordWrap(false);
  // The columns have fixed pixel widths: a slightly smaller face keeps a date and time of day
  // inside its 110 pixels with common desktop fonts.
  QFont gridFont = grdSessions->font();
  gridFont.setPointSizeF(gridFont.pointSizeF() * 0.9);
  grdSessions->setFont(gridFont);
  grdSessions->verticalHeader()->hide();  // no fixed column
  grdSessions->verticalHeader()->setMinimumSectionSize(18);
  grdSessions->verticalHeader()->setDefaultSectionSize(18);
  grdSessions->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdSessions->horizontalHeader()->setDefaultSectionSize(94);
  grdSessions->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grdSessions->horizontalHeader()->setHighlightSections(false);
  grdSessions->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grdSessions->installEventFilter(this);
  layout->addWidget(grdSessions);
}

void HistoryPage::releaseResult(bool keepLayout) {
  keptWidths_.clear();
  if (keepLayout) {
    const QHeaderView* header = grdSessions->horizontalHeader();
    for (int c = 0; c < gridModel_->columnCount(); ++c)
      keptWidths_.push_back(header->sectionSize(c));
  }
  gridModel_->beginChange();
}

void HistoryPage::showResult(bool keepLayout) {
  std::unique_ptr<GridCells> cells;
  try {
    cells = std::make_unique<GridCells>(model_.queryResult(), model_.groupByText(),
                                        model_.timeUnit(), model_.showUserName());
  } catch (...) {
    showNoResult();  // the model never reads a result that failed half-way
    throw;
  }
  gridModel_->setCells(std::move(cells));
  FormatHeader(keepLayout);
}

void HistoryPage::showNoResult() { gridModel_->setCells(nullptr); }

void HistoryPage::FormatHeader(bool KeepLayout) {
  QHeaderView* header = grdSessions->horizontalHeader();
  const int columns = gridModel_->columnCount();
  if (KeepLayout && static_cast<int>(keptWidths_.size()) == columns) {
    for (int c = 0; c < columns; ++c)
      header->resizeSection(c, keptWidths_[static_cast<std::size_t>(c)]);
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

HistoryPage::Position HistoryPage::position() const {
  const QModelIndex current = grdSessions->currentIndex();
  return {current.isValid() ? current.row() : -1, current.isValid() ? current.column() : -1,
          grdSessions->verticalScrollBar()->value()};
}

void HistoryPage::restorePosition(const Position& position) {
  if (position.row >= 0 && position.row < gridModel_->rowCount())
    grdSessions->setCurrentIndex(gridModel_->index(position.row, position.column));
  grdSessions->verticalScrollBar()->setValue(position.topRow);
}

bool HistoryPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grdSessions && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier && grdSessionsKeyDown(key->key())) return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool HistoryPage::grdSessionsKeyDown(int key) {
  // Left and Right page the grid sideways, as the scroll bar's page areas do; the selected
  // row stays.
  QScrollBar* bar = grdSessions->horizontalScrollBar();
  if (key == Qt::Key_Left) {
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    return true;
  }
  if (key == Qt::Key_Right) {
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    return true;
  }
  return false;
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "ui/tracker/HistoryPage.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "core/GridCells.h"
#include "core/TrackerDialogModel.h"
#include "ui/tracker/SessionGridModel.h"

namespace hmr {
namespace {

// Rows that Qt's header sizing reads per column besides those on screen: enough to meet the
// cells of every kind, few enough that a refresh of a million rows stays quick.
constexpr int kSampledRows = 200;

void configureGrid(QTableView* grid) {
  grid->setObjectName("grdSessions");
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setShowGrid(true);
  grid->setWordWrap(false);
  grid->verticalHeader()->hide();  // no fixed column
  grid->verticalHeader()->setMinimumSectionSize(18);
  grid->verticalHeader()->setDefaultSectionSize(18);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->horizontalHeader()->setDefaultSectionSize(94);
  grid->horizontalHeader()->setResizeContentsPrecision(kSampledRows);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid->horizontalHeader()->setHighlightSections(false);
  grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

// The width column `c` needs: its header, the rows Qt's sizing reads, and the totals row
// (the last row, whose sums are the widest figures and which the sample may miss).
int contentsWidth(const QTableView* grid, int c) {
  const QAbstractItemView* view = grid;  // sizeHintForColumn is public there
  int width = std::max(view->sizeHintForColumn(c), grid->horizontalHeader()->sectionSizeHint(c));
  const int rows = grid->model()->rowCount();
  if (rows > 0) {
    const int gridLine = grid->showGrid() ? 1 : 0;
    width = std::max(width, view->sizeHintForIndex(grid->model()->index(rows - 1, c)).width() +
                                gridLine);
  }
  return width;
}

}  // namespace

HistoryPage::HistoryPage(const TrackerDialogModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName("TabHistory");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  grdSessions = new QTableView(this);
  configureGrid(grdSessions);
  gridModel_ = new SessionGridModel(this);
  grdSessions->setModel(gridModel_);
  grdSessions->installEventFilter(this);
  layout->addWidget(grdSessions);
}

void HistoryPage::releaseResult(bool keepLayout) {
  keptWidths_.clear();
  keptFitted_.clear();
  if (keepLayout) {
    const QHeaderView* header = grdSessions->horizontalHeader();
    for (int c = 0; c < gridModel_->columnCount(); ++c)
      keptWidths_.push_back(header->sectionSize(c));
    keptFitted_ = fitted_;
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
  fitted_.assign(static_cast<std::size_t>(columns), 0);
  for (int c = 0; c < columns; ++c)
    fitted_[static_cast<std::size_t>(c)] = contentsWidth(grdSessions, c);
  const bool keep = KeepLayout && static_cast<int>(keptWidths_.size()) == columns &&
                    keptFitted_.size() == fitted_.size();
  for (int c = 0; c < columns; ++c) {
    const auto i = static_cast<std::size_t>(c);
    // A kept width stays as the user left it, unless the contents now need more than before.
    const int width = !keep                          ? fitted_[i]
                      : fitted_[i] > keptFitted_[i] ? std::max(keptWidths_[i], fitted_[i])
                                                    : keptWidths_[i];
    header->resizeSection(c, width);
  }
}

int HistoryPage::widthToShow(const TQueryResult& sample, TDispTimeUnit unit,
                             bool showUserName) const {
  QTableView probe;
  configureGrid(&probe);
  probe.setFont(grdSessions->font());
  SessionGridModel cells;
  cells.setCells(std::make_unique<GridCells>(sample, "Session", unit, showUserName));
  probe.setModel(&cells);
  int width = 2 * probe.frameWidth() +
              probe.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &probe);
  for (int c = 0; c < cells.columnCount(); ++c) width += contentsWidth(&probe, c);
  return width;
}

int HistoryPage::gridWidth() const { return grdSessions->width(); }

HistoryPage::Position HistoryPage::position() const {
  const QModelIndex current = grdSessions->currentIndex();
  return {current.isValid() ? current.row() : -1, current.isValid() ? current.column() : -1,
          grdSessions->verticalScrollBar()->value(),
          grdSessions->horizontalScrollBar()->value()};
}

void HistoryPage::restorePosition(const Position& position, int row) {
  // The scroll bars take the new rows' and columns' ranges first.
  grdSessions->doItemsLayout();
  grdSessions->verticalScrollBar()->setValue(position.topRow);
  if (row >= 0 && row < gridModel_->rowCount()) {
    const QModelIndex index = gridModel_->index(row, std::max(position.column, 0));
    grdSessions->setCurrentIndex(index);
    if (row != position.row) grdSessions->scrollTo(index, QAbstractItemView::EnsureVisible);
  }
  grdSessions->horizontalScrollBar()->setValue(position.left);
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

// SPDX-License-Identifier: MIT
// The tracker dialog's History page ("TabHistory"): the session grid over the query result of
// the dialog's model, through a thin table model over the core's grid cells. When the layout
// is rebuilt, each column takes the width its header and its cells need (Qt's header sizing
// over the rows on screen and a sample of the others, and the totals row); the user may
// resize them, and they keep those widths while only the contents change, growing only where
// the contents grew (a time unit whose header is longer). Left and Right page the grid
// sideways.
#pragma once

#include <QWidget>
#include <vector>

#include "core/uHMRGlobal.h"

class QTableView;

namespace hmr {

class GridCells;
class SessionGridModel;
class TrackerDialogModel;

class HistoryPage final : public QWidget {
  Q_OBJECT

 public:
  // `model` (not owned) outlives the page.
  explicit HistoryPage(const TrackerDialogModel& model, QWidget* parent = nullptr);

  // The grid lets go of the result before the model's query replaces it; with `keepLayout`
  // it remembers the column widths to keep.
  void releaseResult(bool keepLayout);
  // Shows the model's result (FormatHeader and the rows); the layout is rebuilt unless kept.
  // A failure leaves the grid empty and passes on.
  void showResult(bool keepLayout);
  // The grid shows nothing (the query failed half-way).
  void showNoResult();

  // The selected row and the scroll position, to keep across a refresh.
  struct Position {
    int row = -1;
    int column = -1;
    int topRow = 0;
    int left = 0;  // the horizontal scroll bar's value
  };
  Position position() const;
  // Selects `row` (none when -1 or gone); the scroll position is put back, and the selected
  // row then scrolled into view when `row` is not the position's own row.
  void restorePosition(const Position& position, int row);

  // The width the grid needs to show every column of `sample` in `unit` without scrolling
  // sideways, beside a vertical scroll bar: measured on a grid of this page's kind.
  int widthToShow(const TQueryResult& sample, TDispTimeUnit unit, bool showUserName) const;
  // The width the grid has now.
  int gridWidth() const;

  // The grid's model; its cells are what the exports copy.
  const SessionGridModel& gridModel() const { return *gridModel_; }
  SessionGridModel& gridModel() { return *gridModel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormatHeader(bool KeepLayout);
  bool grdSessionsKeyDown(int key);

  const TrackerDialogModel& model_;
  QTableView* grdSessions = nullptr;
  SessionGridModel* gridModel_ = nullptr;
  std::vector<int> keptWidths_;
  std::vector<int> fitted_;      // the widths the contents needed at the last refresh
  std::vector<int> keptFitted_;  // the same, remembered across a refresh that keeps the layout
};

}  // namespace hmr

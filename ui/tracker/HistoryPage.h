// SPDX-License-Identifier: MIT
// The tracker dialog's History page ("TabHistory"): the session grid over the query result of
// the dialog's model, through a thin table model over the core's grid cells. Its columns have
// the widths of their kind whenever the layout is rebuilt; the user may resize them, and they
// keep those widths while only the contents change. Left and Right page the grid sideways.
#pragma once

#include <QWidget>
#include <vector>

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

  // The selected row and the scroll position, to keep across a change of the time unit.
  struct Position {
    int row = -1;
    int column = -1;
    int topRow = 0;
  };
  Position position() const;
  void restorePosition(const Position& position);

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
};

}  // namespace hmr

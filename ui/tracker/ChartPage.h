// SPDX-License-Identifier: MIT
// The tracker dialog's Chart page ("TabChart"): the History grid's rows as a bar chart (Qt
// Charts): one bar per row, work time with idle time stacked on it, in the grid's unit, with
// the grid's texts under the bars, the exact figures in a tooltip, and a notice instead of the
// chart when there is nothing to show. The page reads the grid's own cells (ChartBars), so it
// shows the same query result with the same grouping, order, unit and user filter.
//
// The bars are one item of the chart's scene that paints them all: Qt Charts' bar series
// makes an object per bar, which takes seconds for ten thousand rows; the item takes
// milliseconds. The chart's frame (axes, legend, title, theme) is Qt Charts'.
//
// A hidden page draws nothing: it draws when it is shown again.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QStackedWidget;

namespace hmr {

class ChartBars;
class GridCells;
class TimeChartView;

class ChartPage final : public QWidget {
  Q_OBJECT

 public:
  enum class FileFormat { Png, Svg };

  explicit ChartPage(QWidget* parent = nullptr);
  ~ChartPage() override;

  // Shows the bars of `cells` (not owned; null: nothing), which must stay valid until the next
  // call of this or releaseCells(): the grid's cells.
  void showCells(const GridCells* cells);
  // Lets go of the cells, which are about to go, and leaves the frame as it is: the page
  // draws again at the next showCells(), once.
  void releaseCells();

  // What the chart shows: the bars (null when it shows none), and whether the notice that there
  // is nothing to show stands in its place.
  const ChartBars* bars() const { return bars_.get(); }
  bool showsNothing() const;
  // The bars as drawn: work and idle of each, in the unit, read back from the plotted item.
  struct Plotted {
    double work = 0;
    double idle = 0;
  };
  std::vector<Plotted> plotted() const;
  // The labels under the bars, and the value axis' title and end.
  std::vector<std::string> axisLabels() const;
  std::string valueAxisTitle() const;
  double valueAxisTop() const;

  // Writes the chart to `path` as a PNG or SVG picture, at the size it shows (800 by 450 when
  // the page was never shown). A failure throws HmrError naming the file and the reason.
  void saveAs(const std::string& path, FileFormat format) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void draw();

  std::unique_ptr<ChartBars> bars_;
  bool stale_ = false;
  QStackedWidget* stack_ = nullptr;
  TimeChartView* chtTime = nullptr;
  QLabel* lblNothingToShow = nullptr;
};

}  // namespace hmr

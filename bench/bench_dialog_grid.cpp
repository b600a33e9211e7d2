// SPDX-License-Identifier: MIT
// The tracker dialog's grid over a result of 1,000,000 lines, on the offscreen platform:
// showing it (the query, the cells and the painting of the rows on screen) against the query
// alone, and scrolling it one page. The grid formats only the cells the view asks for, so
// showing should cost little more than the query, and a page scroll only the rows it paints.
// The Chart page over 10,000 rows: the dialog's refresh, with History or the chart showing,
// against the grid's refresh alone, and the chart's own drawing; and the million sessions by
// day, charted, against the query alone.
#include <benchmark/benchmark.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "bench/RandomSessions.h"
#include "core/GridCells.h"
#include "core/TrackerDialogModel.h"
#include "core/WindowlessTrackerUi.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/Locale.h"
#include "platform/MemorySettingsStore.h"
#include "platform/PeriodicTimer.h"
#include "ui/tracker/ChartPage.h"
#include "ui/tracker/HistoryPage.h"
#include "ui/tracker/SessionGridModel.h"
#include "ui/tracker/uHMRDialog.h"

namespace {

using namespace hmr;

constexpr int kSessions = 1000000;

// One project of `sessions` sessions, active in its group, shown in the dialog.
struct BigDialog {
  explicit BigDialog(int sessions = kSessions)
      : timer(std::make_unique<ManualTimer>()), use(locale), group(&ui, &store) {
    std::mt19937_64 random(20261208);
    auto project = std::make_unique<THMRProject>();
    project->FileName = "/work/Big.HMR";
    bench::addRandomSessions(*project, sessions, encodeDateTime(2000, 1, 1, 8, 0, 0), random);
    group.Projects.emplace_back(project->FileName, std::move(project));
    group.ActiveIndex = 0;
    dialog = std::make_unique<TdlgPrjRevedazl>(&group);
    dialog->show();
    grid = dialog->findChild<QTableView*>("grdSessions");
    groupBy = dialog->findChild<QComboBox*>("cmbGroupBy");
    pages = dialog->findChild<QTabWidget*>("PageControl");
    chart = dialog->findChild<ChartPage*>("TabChart");
    chartView = dialog->findChild<QAbstractScrollArea*>("chtTime");
    QApplication::processEvents();
  }
  void paint() { grid->viewport()->repaint(); }
  // The chart lays out what changed in its frame (posted to it) and its view paints all of
  // it once, as the grid's view paints all its rows.
  void paintChart() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    chartView->viewport()->repaint();
  }
  void showPage(QWidget* page) {
    pages->setCurrentWidget(page);
    QApplication::processEvents();
  }

  ScopedTimerGlobal timer;
  FixedLocale locale;
  ScopedLocale use;
  MemorySettingsStore store;
  WindowlessTrackerUi ui;
  THMRProjectGroup group;
  std::unique_ptr<TdlgPrjRevedazl> dialog;
  QTableView* grid = nullptr;
  QComboBox* groupBy = nullptr;
  QTabWidget* pages = nullptr;
  ChartPage* chart = nullptr;
  QAbstractScrollArea* chartView = nullptr;
};

BigDialog& big() {
  static BigDialog* instance = new BigDialog();  // built once, kept for the program's life
  return *instance;
}

// 10,000 sessions: a grid of 10,000 rows, and as many bars.
BigDialog& tenThousand() {
  static BigDialog* instance = new BigDialog(10000);
  return *instance;
}

// The query the grid runs: one line per session, by open date ascending.
void BM_QueryAlone(benchmark::State& state) {
  const THMRProject& project = *big().group.getProject(0);
  for (auto _ : state) {
    TQueryResult result = project.ExecuteQuery(pgSession, sbVariant, soAsc);
    benchmark::DoNotOptimize(result.Count);
  }
  state.counters["lines"] = kSessions;
}
BENCHMARK(BM_QueryAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Showing the grid: the same query, the cells, the layout, and painting the rows on screen,
// as the user's choice of the grouping (here the one shown, "Session") runs them.
void BM_ShowGrid(benchmark::State& state) {
  BigDialog& dialog = big();
  for (auto _ : state) {
    emit dialog.groupBy->activated(0);
    dialog.paint();
  }
  state.counters["rows"] = dialog.dialog->model().queryResult().Count;
}
BENCHMARK(BM_ShowGrid)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What showing adds to the query: the cells over the result, the model's reset (the view
// and its headers take the new row count) and painting the rows on screen.
void BM_GridOverAResult(benchmark::State& state) {
  BigDialog& dialog = big();
  const TQueryResult& result = dialog.dialog->model().queryResult();
  SessionGridModel& model = dialog.dialog->historyPage().gridModel();
  for (auto _ : state) {
    model.setCells(std::make_unique<GridCells>(result, "Session", dtuHour, true));
    dialog.paint();
  }
}
BENCHMARK(BM_GridOverAResult)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Scrolling one page down and painting it; from the top again at the end.
void BM_ScrollOnePage(benchmark::State& state) {
  BigDialog& dialog = big();
  QScrollBar* bar = dialog.grid->verticalScrollBar();
  bar->setValue(bar->maximum() / 2);
  for (auto _ : state) {
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    if (bar->value() == bar->maximum()) bar->setValue(0);
    dialog.paint();
  }
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMicrosecond);

// The grid alone over the same 10,000 rows, without the dialog and without a chart: a History
// page over a model of its own, as large as the dialog's, refreshed as the dialog refreshes it
// (the query, the cells, the column sizing, the selection found again, the rows painted).
struct GridAlone {
  explicit GridAlone(BigDialog& dialog) : model(&dialog.group), page(model) {
    model.select(dialog.group.getProject(0));
    page.resize(dialog.dialog->historyPage().size());
    page.show();
    grid = page.findChild<QTableView*>("grdSessions");
    refresh();
    QApplication::processEvents();
  }
  void refresh() {
    const HistoryPage::Position position = page.position();
    const std::optional<TrackerDialogModel::LineKey> selected = model.lineKey(position.row);
    model.setGroupBy(0);
    page.releaseResult(false);
    model.ExecuteQuery();
    page.showResult(false);
    page.restorePosition(position, selected ? model.findLine(*selected) : -1);
    grid->viewport()->repaint();
  }

  TrackerDialogModel model;
  HistoryPage page;
  QTableView* grid = nullptr;
};

void BM_RefreshGridAlone10k(benchmark::State& state) {
  GridAlone alone(tenThousand());
  for (auto _ : state) alone.refresh();
  state.counters["rows"] = alone.model.queryResult().Count;
}
BENCHMARK(BM_RefreshGridAlone10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The dialog's refresh of the same rows (the user's choice of the grouping), History showing:
// the grid as above, and the Chart page, hidden, taking the new cells to draw when shown.
void BM_RefreshGrid10k(benchmark::State& state) {
  BigDialog& dialog = tenThousand();
  dialog.showPage(&dialog.dialog->historyPage());
  for (auto _ : state) {
    emit dialog.groupBy->activated(0);
    dialog.paint();
  }
  state.counters["rows"] = dialog.dialog->model().queryResult().Count;
}
BENCHMARK(BM_RefreshGrid10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same refresh with the Chart page showing: the grid's query, cells and column sizing,
// and the chart's 10,000 bars drawn and painted instead of the grid's rows.
void BM_RefreshChart10k(benchmark::State& state) {
  BigDialog& dialog = tenThousand();
  dialog.showPage(dialog.chart);
  for (auto _ : state) {
    emit dialog.groupBy->activated(0);
    dialog.paintChart();
  }
  state.counters["bars"] = static_cast<double>(dialog.chart->plotted().size());
  dialog.showPage(&dialog.dialog->historyPage());
}
BENCHMARK(BM_RefreshChart10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The chart's own part: its 10,000 bars taken from the grid's cells, laid out and painted.
void BM_ChartDraw10k(benchmark::State& state) {
  BigDialog& dialog = tenThousand();
  dialog.showPage(dialog.chart);
  const GridCells* cells = dialog.dialog->historyPage().gridModel().cells();
  for (auto _ : state) {
    dialog.chart->showCells(cells);
    dialog.paintChart();
  }
  state.counters["bars"] = static_cast<double>(dialog.chart->plotted().size());
  dialog.showPage(&dialog.dialog->historyPage());
}
BENCHMARK(BM_ChartDraw10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The million sessions by day: the query alone, and the refresh with the Chart page showing
// (the query, the cells, the grid's column sizing, the bars, the chart painted).
void BM_QueryByDay(benchmark::State& state) {
  const THMRProject& project = *big().group.getProject(0);
  for (auto _ : state) {
    TQueryResult result = project.ExecuteQuery(pgDay, sbVariant, soAsc);
    benchmark::DoNotOptimize(result.Count);
  }
}
BENCHMARK(BM_QueryByDay)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ChartByDay(benchmark::State& state) {
  BigDialog& dialog = big();
  dialog.showPage(dialog.chart);
  const int day = dialog.groupBy->findText("Day");
  for (auto _ : state) {
    emit dialog.groupBy->activated(day);
    dialog.paintChart();
  }
  state.counters["bars"] = static_cast<double>(dialog.chart->plotted().size());
  dialog.showPage(&dialog.dialog->historyPage());
  emit dialog.groupBy->activated(0);
}
BENCHMARK(BM_ChartByDay)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

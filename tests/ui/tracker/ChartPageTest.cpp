// SPDX-License-Identifier: MIT
// The tracker dialog's Chart page, driven offscreen: its bars, read back from the chart,
// equal the grid's figures for every grouping; it follows a change of the filters and the
// running session's tick; it says when there is nothing to show; the Tools page exports it
// as PNG and SVG pictures.
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QXmlStreamReader>

#include "core/ChartBars.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/tracker/DialogTestSupport.h"
#include "ui/tracker/ChartPage.h"
#include "ui/tracker/TreePane.h"

using namespace hmr;
using namespace hmr::ui_test;

namespace {

ChartPage* chartOf(TdlgPrjRevedazl& dialog) {
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  showPage(pages, "TabChart");
  return child<ChartPage>(dialog, "TabChart");
}

// A time cell of the grid as a number ("  1,500" and "  1.500" alike).
double figure(QString text) { return text.trimmed().replace(',', '.').toDouble(); }

// Every bar equals its row of the grid: work in the last column, idle in the one before.
void checkBarsEqualTheGrid(TdlgPrjRevedazl& dialog, const ChartPage& chart) {
  const int rows = dialog.historyPage().gridModel().rowCount();
  const int columns = dialog.historyPage().gridModel().columnCount();
  const std::vector<ChartPage::Plotted> bars = chart.plotted();
  QCOMPARE(static_cast<int>(bars.size()), rows - 1);  // the totals row has no bar
  for (int k = 0; k < rows - 1; ++k) {
    const auto at = static_cast<std::size_t>(k);
    QVERIFY2(std::abs(bars[at].work - figure(cell(dialog, k, columns - 1))) <= 0.0005,
             qPrintable(QString("bar %1 work %2").arg(k).arg(bars[at].work)));
    QVERIFY2(std::abs(bars[at].idle - figure(cell(dialog, k, columns - 2))) <= 0.0005,
             qPrintable(QString("bar %1 idle %2").arg(k).arg(bars[at].idle)));
  }
}

// The bars as painted: for each run of pixel columns standing on the plot's bottom line, the
// height of the work colour there and of the idle colour stacked on it, in pixels.
struct PaintedBar {
  int work = 0;
  int idle = 0;
};
std::vector<PaintedBar> paintedBars(QWidget* view) {
  const QImage image = view->grab().toImage();
  const QRgb work = QColor(QString::fromLatin1(ChartBars::WorkColour.data())).rgb();
  const QRgb idle = QColor(QString::fromLatin1(ChartBars::IdleColour.data())).rgb();
  const auto is = [&](int x, int y, QRgb colour) {
    return y >= 0 && (image.pixel(x, y) | 0xff000000) == (colour | 0xff000000);
  };
  // Each column's lowest work pixel, and the lowest of them all: the plot's bottom line.
  std::vector<int> lowest(static_cast<std::size_t>(image.width()), -1);
  int bottom = -1;
  for (int x = 0; x < image.width(); ++x)
    for (int y = image.height() - 1; y >= 0 && lowest[static_cast<std::size_t>(x)] < 0; --y)
      if (is(x, y, work)) lowest[static_cast<std::size_t>(x)] = y;
  for (const int y : lowest) bottom = std::max(bottom, y);
  std::vector<PaintedBar> bars;
  bool inBar = false;
  for (int x = 0; x < image.width(); ++x) {
    const bool standing = bottom >= 0 && lowest[static_cast<std::size_t>(x)] == bottom;
    if (standing && !inBar) {
      PaintedBar bar;
      int y = bottom;
      for (; is(x, y, work); --y) ++bar.work;
      for (; is(x, y, idle); --y) ++bar.idle;
      bars.push_back(bar);
    }
    inBar = standing;
  }
  return bars;
}

}  // namespace

class ChartPageTest : public QObject {
  Q_OBJECT

 private slots:
  void barsEqualTheGridForEveryGrouping();
  void chartFollowsTheFilters();
  void chartFollowsTheTick();
  void aHiddenChartDrawsWhenShown();
  void paintedBarsStandAtTheirFigures();
  void nothingToShowIsSaid();
  void toolsPageExportsTheChartAsPngAndSvg();
};

void ChartPageTest::barsEqualTheGridForEveryGrouping() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  ChartPage* chart = chartOf(dialog);
  auto* groupBy = child<QComboBox>(dialog, "cmbGroupBy");
  // The group level: project, session, user name, day, week, month.
  for (int g = 0; g < groupBy->count(); ++g) {
    choose(groupBy, g);
    QVERIFY(!chart->showsNothing());
    checkBarsEqualTheGrid(dialog, *chart);
    QCOMPARE(chart->valueAxisTitle(), std::string("Time (hs)"));
    QVERIFY(chart->valueAxisTop() >= chart->bars()->highest());
  }
  choose(groupBy, 0);
  QCOMPARE(chart->axisLabels(), (std::vector<std::string>{"Demo", "Other"}));
  // A project's sessions, labelled by their open date and time.
  clickNode(child<QTreeWidget>(dialog, "TreeView"), dialog.treePane().nodeAt(1));
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabChart");
  checkBarsEqualTheGrid(dialog, *chart);
  QCOMPARE(chart->axisLabels().front(), cell(dialog, 0, 0).toStdString());
}

void ChartPageTest::chartFollowsTheFilters() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  ChartPage* chart = chartOf(dialog);
  const std::vector<ChartPage::Plotted> hours = chart->plotted();
  QTest::mouseClick(child<QRadioButton>(dialog, "grpTimeUnitMinutes"), Qt::LeftButton);
  QCOMPARE(chart->valueAxisTitle(), std::string("Time (min)"));
  const std::vector<ChartPage::Plotted> minutes = chart->plotted();
  QCOMPARE(minutes.size(), hours.size());
  for (std::size_t k = 0; k < hours.size(); ++k) QCOMPARE(minutes[k].work, hours[k].work * 60);
  checkBarsEqualTheGrid(dialog, *chart);
  // Sorted the other way: the bars follow the grid's order.
  choose(child<QComboBox>(dialog, "cmpSortOrder"), 1);
  QCOMPARE(chart->axisLabels(), (std::vector<std::string>{"Other", "Demo"}));
  checkBarsEqualTheGrid(dialog, *chart);
}

void ChartPageTest::chartFollowsTheTick() {
  Fixture f;
  f.addRunningProject();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  ChartPage* chart = chartOf(dialog);
  QCOMPARE(chart->plotted().size(), std::size_t{2});
  // Without input the running session's new minutes count as idle: the bar grows in all.
  const auto height = [&] { return chart->plotted()[1].work + chart->plotted()[1].idle; };
  const double before = height();
  f.world.advance(360);
  QVERIFY2(height() > before + 0.09, qPrintable(QString::number(height())));
  checkBarsEqualTheGrid(dialog, *chart);
}

void ChartPageTest::aHiddenChartDrawsWhenShown() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  ChartPage* chart = chartOf(dialog);
  QCOMPARE(chart->axisLabels(), (std::vector<std::string>{"Demo", "Other"}));
  // Sorted the other way while History shows: the chart takes the new rows, draws when its
  // page shows, and then shows them in the grid's new order.
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  showPage(pages, "TabHistory");
  choose(child<QComboBox>(dialog, "cmpSortOrder"), 1);
  QVERIFY(!chart->isVisible());
  showPage(pages, "TabChart");
  QCOMPARE(chart->axisLabels(), (std::vector<std::string>{"Other", "Demo"}));
  checkBarsEqualTheGrid(dialog, *chart);
  // In minutes while Tools shows: the axis follows once the chart shows again.
  showPage(pages, "TabTools");
  QTest::mouseClick(child<QRadioButton>(dialog, "grpTimeUnitMinutes"), Qt::LeftButton);
  showPage(pages, "TabChart");
  QCOMPARE(chart->valueAxisTitle(), std::string("Time (min)"));
  checkBarsEqualTheGrid(dialog, *chart);
}

void ChartPageTest::paintedBarsStandAtTheirFigures() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  ChartPage* chart = chartOf(dialog);
  auto* view = child<QWidget>(dialog, "chtTime");
  QCoreApplication::sendPostedEvents();
  const std::vector<PaintedBar> painted = paintedBars(view);
  const std::vector<ChartPage::Plotted> bars = chart->plotted();
  QCOMPARE(painted.size(), bars.size());
  // Demo holds idle time, Other none: both parts show, each as high as its figure, in the
  // same pixels per hour (a pixel either way for rounding).
  QVERIFY(bars[0].idle > 0 && painted[0].idle > 0);
  QCOMPARE(painted[1].idle, 0);
  const double perHour = painted[1].work / bars[1].work;
  QVERIFY2(perHour > 10, qPrintable(QString::number(perHour)));
  for (std::size_t k = 0; k < bars.size(); ++k) {
    QVERIFY2(std::abs(painted[k].work - bars[k].work * perHour) <= 1.5,
             qPrintable(QString("bar %1 work %2 px").arg(k).arg(painted[k].work)));
    QVERIFY2(std::abs(painted[k].idle - bars[k].idle * perHour) <= 1.5,
             qPrintable(QString("bar %1 idle %2 px").arg(k).arg(painted[k].idle)));
  }
  // Highest bar against the axis' end: the plot is as high as the value axis.
  QVERIFY(chart->valueAxisTop() >= bars[1].work);
}

void ChartPageTest::nothingToShowIsSaid() {
  Fixture f;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  ChartPage* chart = chartOf(dialog);
  QVERIFY(chart->showsNothing());
  QVERIFY(chart->plotted().empty());
  auto* notice = child<QLabel>(dialog, "lblNothingToShow");
  QVERIFY(notice->isVisible());
  QCOMPARE(notice->text(), QString::fromUtf8(ChartBars::NothingToShow.data(),
                                             ChartBars::NothingToShow.size()));
  QVERIFY(!child<QWidget>(dialog, "chtTime")->isVisible());
  // A project with sessions: the chart takes the notice's place.
  dialog.SetStandAlone(true);
  dialog.OpenProject(f.world.writeDataFile("Demo.HMR", {{0, 600}}));
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabChart");
  QVERIFY(!chart->showsNothing());
  QVERIFY(child<QWidget>(dialog, "chtTime")->isVisible());
  QVERIFY(!notice->isVisible());
}

void ChartPageTest::toolsPageExportsTheChartAsPngAndSvg() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  chartOf(dialog);
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabTools");
  auto* format = child<QComboBox>(dialog, "cbxExportFormat");
  const auto exportAs = [&](int choice, const std::string& path) {
    QString filter;
    format->setCurrentIndex(choice);
    whenModal<QFileDialog>([&](QFileDialog* save) {
      filter = save->selectedNameFilter();
      answerFileDialog(save, path);
    });
    child<QPushButton>(dialog, "cmdExport")->click();
    return filter;
  };
  const std::string png = f.world.file("chart.png");
  QCOMPARE(exportAs(3, png), QString("PNG picture (*.png)"));
  const QImage image(QString::fromStdString(png));
  QVERIFY(!image.isNull());
  QVERIFY(image.width() > 200 && image.height() > 100);
  // Both colours of the bars are in the picture.
  bool work = false, idle = false;
  const QColor workColour(QString::fromLatin1(ChartBars::WorkColour.data()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y) & 0xffffff;
      work |= pixel == (workColour.rgb() & 0xffffff);
      idle |= pixel == (QColor(QString::fromLatin1(ChartBars::IdleColour.data())).rgb() &
                        0xffffff);
    }
  QVERIFY(work);
  QVERIFY(idle);

  const std::string svg = f.world.file("chart.svg");
  QCOMPARE(exportAs(4, svg), QString("SVG picture (*.svg)"));
  QXmlStreamReader xml(QByteArray::fromStdString(hmr::testing::readBytes(svg)));
  bool root = false, title = false;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("svg"))
      root = true;
    if (xml.isCharacters() && xml.text().contains(QLatin1String("Work and idle time by")))
      title = true;
  }
  QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
  QVERIFY(root);
  QVERIFY(title);
}

QTEST_MAIN(ChartPageTest)
#include "ChartPageTest.moc"

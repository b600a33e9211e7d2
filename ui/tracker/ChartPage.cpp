// SPDX-License-Identifier: MIT
#include "ui/tracker/ChartPage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGraphicsSceneHoverEvent>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/ChartBars.h"
#include "core/uHMRExport.h"
#include "ui/tracker/DialogWidgets.h"

namespace hmr {
namespace {

QColor colour(std::string_view hex) { return QColor(tracker_ui::qtText(hex)); }

// Every bar of the chart, painted in one go over the chart's plot area. Bar k stands at
// position k of the category axis, which runs from -0.5 to count - 0.5; a bar is 80% of its
// slot, 48 pixels at most. With more bars than pixels each pixel column shows the highest bar
// of those that fall in it, so a million bars cost one pass over their figures. The rectangles
// are laid out when the bars or the plot area change; a paint only fills them.
class BarsItem final : public QGraphicsItem {
 public:
  explicit BarsItem(QChart* chart) : QGraphicsItem(chart), chart_(chart) {
    setAcceptHoverEvents(true);
    setZValue(10);
  }

  void show(const ChartBars* bars, double top) {
    bars_ = bars;
    top_ = top > 0 ? top : 1;
    layOut();
    update();
  }
  void plotAreaChanged() {
    prepareGeometryChange();
    layOut();
    update();
  }

  QRectF boundingRect() const override { return chart_->plotArea(); }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour(ChartBars::IdleColour));
    painter->drawRects(totals_.data(), static_cast<int>(totals_.size()));
    painter->setBrush(colour(ChartBars::WorkColour));
    painter->drawRects(work_.data(), static_cast<int>(work_.size()));
  }

 protected:
  void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override {
    const int bar = barAt(event->pos());
    if (bar < 0) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(event->screenPos(), QString::fromStdString(bars_->tooltip(bar)));
    }
  }
  void hoverLeaveEvent(QGraphicsSceneHoverEvent*) override { QToolTip::hideText(); }

 private:
  // The rectangles to fill, in whole pixels (which the painter fills fastest): the bars'
  // totals in the idle time's colour, and their work over them.
  void layOut() {
    totals_.clear();
    work_.clear();
    if (!bars_ || bars_->count() == 0) return;
    const QRect plot = chart_->plotArea().toRect();
    const int n = bars_->count();
    const double slot = static_cast<double>(plot.width()) / n;
    const int bottom = plot.top() + plot.height();
    const auto add = [&](double left, double width, double work, double total) {
      const int x = static_cast<int>(std::lround(left));
      const int right = std::max(x + 1, static_cast<int>(std::lround(left + width)));
      const auto rise = [&](std::vector<QRect>& bars, double value) {
        const int height = static_cast<int>(std::lround(value / top_ * plot.height()));
        if (height > 0) bars.emplace_back(x, bottom - height, right - x, height);
      };
      rise(totals_, total);
      rise(work_, work);
    };
    if (slot >= 2) {
      const double width = ChartBars::barWidth(slot, 1.0);
      for (int k = 0; k < n; ++k) {
        const double work = bars_->work(k);
        add(plot.left() + k * slot + (slot - width) / 2, width, work, work + bars_->idle(k));
      }
      return;
    }
    // More bars than pixels: the highest work and the highest total of each pixel column.
    const int columns = std::max(1, plot.width());
    std::vector<double> mostWork(static_cast<std::size_t>(columns), 0);
    std::vector<double> mostTotal(static_cast<std::size_t>(columns), 0);
    for (int k = 0; k < n; ++k) {
      const auto c = static_cast<std::size_t>(std::min(columns - 1, static_cast<int>(k * slot)));
      const double w = bars_->work(k);
      mostWork[c] = std::max(mostWork[c], w);
      mostTotal[c] = std::max(mostTotal[c], w + bars_->idle(k));
    }
    for (int c = 0; c < columns; ++c) {
      const auto i = static_cast<std::size_t>(c);
      add(plot.left() + c, 1, mostWork[i], mostTotal[i]);
    }
  }

  int barAt(QPointF point) const {
    const QRectF plot = chart_->plotArea();
    if (!bars_ || bars_->count() == 0 || !plot.contains(point)) return -1;
    const int bar = static_cast<int>((point.x() - plot.left()) / plot.width() * bars_->count());
    return std::clamp(bar, 0, bars_->count() - 1);
  }

  QChart* chart_;
  const ChartBars* bars_ = nullptr;
  double top_ = 1;
  std::vector<QRect> totals_, work_;
};

}  // namespace

// The chart itself: Qt Charts' frame (title, value axis in the unit, category axis with the
// labels that fit, a legend of the two colours) around the bars item.
class TimeChartView final : public QChartView {
 public:
  explicit TimeChartView(QWidget* parent = nullptr) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing, false);
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    // The legend: a series of two sets without values, in the bars' colours.
    auto* legend = new QStackedBarSeries;
    for (const auto& [name, hex] : {std::pair{ChartBars::WorkName, ChartBars::WorkColour},
                                    std::pair{ChartBars::IdleName, ChartBars::IdleColour}}) {
      auto* set = new QBarSet(tracker_ui::qtText(name));
      set->setColor(colour(hex));
      set->setBorderColor(colour(hex));
      legend->append(set);
    }
    chart->addSeries(legend);
    chart->legend()->setAlignment(Qt::AlignTop);
    categories_ = new QCategoryAxis;
    categories_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    categories_->setGridLineVisible(false);
    // A date cut short reads as another date: the labels show whole.
    categories_->setTruncateLabels(false);
    values_ = new QValueAxis;
    values_->setLabelFormat("%g");
    chart->addAxis(categories_, Qt::AlignBottom);
    chart->addAxis(values_, Qt::AlignLeft);
    // A chart view starts with a chart of its own, which setChart releases without deleting.
    std::unique_ptr<QChart> first(this->chart());
    setChart(chart);
    item_ = new BarsItem(chart);
    connect(chart, &QChart::plotAreaChanged, this, [this] {
      relabel();
      item_->plotAreaChanged();
    });
  }

  // Shows `bars` (null: none). What stays the same in the frame (title, axes, labels) is left
  // as it is: Qt Charts lays its texts out anew on every change, which costs more than all
  // the bars.
  void showBars(const ChartBars* bars) {
    bars_ = bars;
    const bool any = bars && bars->count() > 0;
    const QString title = any ? QString::fromStdString(bars->title()) : QString();
    if (chart()->title() != title) chart()->setTitle(title);
    const QString axisTitle = bars ? QString::fromStdString(bars->axisTitle()) : QString();
    if (values_->titleText() != axisTitle) values_->setTitleText(axisTitle);
    double top = 1;
    const double step = niceAxisStep(any ? bars->highest() : 0, 5, top);
    values_->setRange(0, top);
    const int ticks = static_cast<int>(std::lround(top / step)) + 1;
    if (values_->tickCount() != ticks) values_->setTickCount(ticks);
    categories_->setRange(-0.5, any ? bars->count() - 0.5 : 0.5);
    labelRoom_ = labelRoom();
    labelled_ = -1;
    relabel();
    item_->show(bars, top);
  }

  // Lets go of the bars, whose cells are about to go, and leaves the frame as it is.
  void detach() {
    bars_ = nullptr;
    item_->show(nullptr, 1);
  }

  const ChartBars* bars() const { return bars_; }
  QCategoryAxis* categories() const { return categories_; }
  QValueAxis* values() const { return values_; }

 private:
  // The room a label takes across the plot: the widest of the labels (of a sample of 50 of
  // them spread over the bars, and the last), and two characters between two labels.
  int labelRoom() const {
    const QFontMetrics metrics(categories_->labelsFont());
    int widest = 0;
    const std::int32_t count = bars_ ? bars_->count() : 0;
    const std::int32_t step = std::max(1, count / 50);
    const auto measure = [&](std::int32_t k) {
      const QString label = QString::fromStdString(bars_->label(k));
      widest = std::max(widest, metrics.horizontalAdvance(label));
    };
    for (std::int32_t k = 0; k < count; k += step) measure(k);
    if (count > 0) measure(count - 1);
    return std::max(1, widest + 2 * metrics.averageCharWidth());
  }

  // As many labels as fit across the plot, written across, whole: the axis hides a label
  // that would reach past either of its ends, so none is put there. The axis keeps one label
  // per text: a repeated text is left out.
  void relabel() {
    const int width = bars_ ? static_cast<int>(chart()->plotArea().width()) : 0;
    if (width == labelled_) return;
    labelled_ = width;
    QStringList texts;
    std::vector<std::int32_t> at;
    if (bars_) {
      const double slot = static_cast<double>(width) / bars_->count();
      for (const std::int32_t k : bars_->labelledBars(slot, labelRoom_)) {
        const QString label = QString::fromStdString(bars_->label(k));
        if (texts.contains(label)) continue;
        texts << label;
        at.push_back(k);
      }
    }
    bool same = texts == categories_->categoriesLabels();
    for (std::size_t i = 0; same && i < at.size(); ++i)
      same = categories_->endValue(texts[static_cast<qsizetype>(i)]) == at[i];
    if (same) return;
    for (const QString& label : categories_->categoriesLabels()) categories_->remove(label);
    for (std::size_t i = 0; i < at.size(); ++i)
      categories_->append(texts[static_cast<qsizetype>(i)], at[i]);
  }

  const ChartBars* bars_ = nullptr;
  QCategoryAxis* categories_ = nullptr;
  QValueAxis* values_ = nullptr;
  BarsItem* item_ = nullptr;
  int labelled_ = -1;
  int labelRoom_ = 1;
};

ChartPage::ChartPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabChart");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget(this);
  chtTime = tracker_ui::named(new TimeChartView(stack_), "chtTime");
  lblNothingToShow = tracker_ui::named(
      new QLabel(tracker_ui::qtText(ChartBars::NothingToShow), stack_), "lblNothingToShow");
  lblNothingToShow->setAlignment(Qt::AlignCenter);
  lblNothingToShow->setWordWrap(true);
  stack_->addWidget(chtTime);
  stack_->addWidget(lblNothingToShow);
  stack_->setCurrentWidget(lblNothingToShow);
  layout->addWidget(stack_);
}

ChartPage::~ChartPage() = default;

void ChartPage::showCells(const GridCells* cells) {
  releaseCells();
  if (cells) bars_ = std::make_unique<ChartBars>(*cells);
  if (isVisible()) draw();
}

void ChartPage::releaseCells() {
  // The chart lets go of the old bars at once: the cells they read may be gone.
  chtTime->detach();
  bars_.reset();
  stale_ = true;
}

void ChartPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) draw();
}

void ChartPage::draw() {
  stale_ = false;
  const bool any = bars_ && bars_->count() > 0;
  chtTime->showBars(any ? bars_.get() : nullptr);
  stack_->setCurrentWidget(any ? static_cast<QWidget*>(chtTime) : lblNothingToShow);
}

bool ChartPage::showsNothing() const { return !bars_ || bars_->count() == 0; }

std::vector<ChartPage::Plotted> ChartPage::plotted() const {
  std::vector<Plotted> bars;
  const ChartBars* shown = chtTime->bars();
  if (!shown) return bars;
  for (std::int32_t k = 0; k < shown->count(); ++k)
    bars.push_back({shown->work(k), shown->idle(k)});
  return bars;
}

std::vector<std::string> ChartPage::axisLabels() const {
  std::vector<std::string> labels;
  for (const QString& label : chtTime->categories()->categoriesLabels())
    labels.push_back(label.toStdString());
  return labels;
}

std::string ChartPage::valueAxisTitle() const {
  return chtTime->values()->titleText().toStdString();
}

double ChartPage::valueAxisTop() const { return chtTime->values()->max(); }

void ChartPage::saveAs(const std::string& path, FileFormat format) const {
  // A chart of its own, at the size shown (or a common one), drawn off screen.
  const QSize size = chtTime->isVisible() ? chtTime->size() : QSize(800, 450);
  TimeChartView view;
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.resize(size);
  view.show();
  view.showBars(bars_ && bars_->count() > 0 ? bars_.get() : nullptr);
  QCoreApplication::sendPostedEvents();  // the chart lays itself out
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (format == FileFormat::Svg) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(view.chart()->title());
    QPainter painter(&svg);
    view.render(&painter);
  } else {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      view.render(&painter);
    }
    image.save(&buffer, "PNG");
  }
  ReportFile file(path);
  file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  file.close();
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "core/ChartBars.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/uHMRExport.h"

namespace hmr {
namespace {

// A time cell without the padding that right-aligns it in the grid.
std::string trimmed(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

ChartBars::ChartBars(const GridCells& cells)
    : cells_(cells),
      labelColumn_(cells.result().Vision == qrvOpenCloseCol ? GridCells::Column::Open
                                                            : GridCells::Column::Text) {}

const TQueryResultLine& ChartBars::line(std::int32_t bar) const {
  assert(bar >= 0 && bar < count());
  return cells_.result().Lines[static_cast<std::size_t>(bar)];
}

std::string ChartBars::label(std::int32_t bar) const {
  // Sessions of several projects: the project and the session's open date and time.
  if (cells_.result().Vision == qrvBothCol)
    return cells_.lineText(bar, GridCells::Column::Text) + " " +
           cells_.lineText(bar, GridCells::Column::Open);
  return cells_.lineText(bar, labelColumn_);
}

double ChartBars::work(std::int32_t bar) const {
  return static_cast<double>(line(bar).WorkTime) / cells_.divisor();
}

double ChartBars::idle(std::int32_t bar) const {
  return static_cast<double>(line(bar).IdleTime) / cells_.divisor();
}

std::string ChartBars::tooltip(std::int32_t bar) const {
  // Appended, not `" " + unitName()`: GCC 12 warns falsely (-Wrestrict) on that at -O2.
  std::string unit = " ";
  unit += unitName();
  const auto figure = [&](GridCells::Column column) {
    return trimmed(cells_.lineText(bar, column)) + unit;
  };
  return label(bar) + "\n" + std::string(WorkName) + ": " + figure(GridCells::Column::Work) +
         "\n" + std::string(IdleName) + ": " + figure(GridCells::Column::Idle) +
         "\nTotal: " + figure(GridCells::Column::Total);
}

double ChartBars::highest() const {
  if (highest_ < 0) {
    std::int64_t most = 0;
    for (std::int32_t k = 0; k < count(); ++k)
      most = std::max(most, line(k).WorkTime + line(k).IdleTime);
    highest_ = static_cast<double>(most) / cells_.divisor();
  }
  return highest_;
}

std::string ChartBars::unitName() const {
  // "(hs)" without its brackets.
  const std::string_view unit = TimeUnitStrings[std::min<int>(cells_.timeUnit(), dtuSecond)];
  return std::string(unit.substr(1, unit.size() - 2));
}

std::string ChartBars::axisTitle() const { return "Time (" + unitName() + ")"; }

std::string ChartBars::title() const {
  return "Work and idle time by " + cells_.title(GridCells::Column::Text);
}

std::vector<std::int32_t> ChartBars::labelledBars(std::int32_t most) const {
  std::vector<std::int32_t> bars;
  if (most < 1 || count() == 0) return bars;
  const std::int32_t step = (count() + most - 1) / most;
  for (std::int32_t k = 0; k < count(); k += step) bars.push_back(k);
  return bars;
}

std::vector<std::int32_t> ChartBars::labelledBars(double slot, double room) const {
  std::vector<std::int32_t> bars;
  if (!(slot > 0) || count() == 0) return bars;
  // Bar k's centre lies (k + 0.5) slots from the axis' start; its label reaches half the
  // room to either side.
  const auto first = static_cast<std::int32_t>(std::max(0.0, std::ceil(room / 2 / slot - 0.5)));
  const std::int32_t last = count() - 1 - first;
  const auto step = static_cast<std::int32_t>(std::max(1.0, std::ceil(room / slot)));
  for (std::int32_t k = first; k <= last; k += step) bars.push_back(k);
  return bars;
}

double niceAxisStep(double highest, int ticks, double& top) {
  if (!(highest > 0) || ticks < 1) {
    top = 1;
    return 1;
  }
  const double rough = highest / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= rough) break;
  }
  top = std::ceil(highest / step - 1e-9) * step;
  return step;
}

}  // namespace hmr

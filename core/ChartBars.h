// SPDX-License-Identifier: MIT
// The chart of what the session grid shows: one bar per line of the query result, in the
// grid's order, of work time with idle time stacked on it, in the grid's time unit. The bars
// read the grid's own cells (the same result, unit and formats), so the chart and the grid
// never disagree and nothing is queried or formatted twice: a label is the line's text cell
// (its open date and time for a list of sessions), a figure the line's seconds over the
// unit's divisor, a tooltip figure the time cell's text.
//
// Values are read when asked for; only highest() walks every line, once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/GridCells.h"

namespace hmr {

class ChartBars final {
 public:
  static constexpr std::string_view WorkName = "Work";
  static constexpr std::string_view IdleName = "Idle";
  // The colours of the two parts of a bar, "#rrggbb", the same on screen and in a file.
  static constexpr std::string_view WorkColour = "#209fdf";
  static constexpr std::string_view IdleColour = "#f6a625";
  // A bar takes this share of its slot, and no more than WidestBar pixels: a few bars across
  // a wide chart stay bars, not walls.
  static constexpr double BarShare = 0.8;
  static constexpr double WidestBar = 48;
  static double barWidth(double slot, double narrowest) {
    return slot * BarShare < narrowest ? narrowest
                                       : (slot * BarShare > WidestBar ? WidestBar
                                                                      : slot * BarShare);
  }
  // What the chart says when the result has no line.
  static constexpr std::string_view NothingToShow =
      "Nothing to show: no time was recorded for this choice.";

  // `cells` (not owned) must outlive the bars; so must the result it reads.
  explicit ChartBars(const GridCells& cells);

  std::int32_t count() const { return cells_.result().Count; }
  // The line's text, or for a list of sessions its open date and time (after its project's
  // name at the group level), as the grid shows them.
  std::string label(std::int32_t bar) const;
  // Work and idle time of a bar in the grid's unit (hours, minutes or seconds).
  double work(std::int32_t bar) const;
  double idle(std::int32_t bar) const;
  // The label and the exact figures as the grid's time cells write them, one per line:
  // "Work: 1.333 hs", "Idle: 0.167 hs", "Total: 1.500 hs".
  std::string tooltip(std::int32_t bar) const;
  // The highest bar (work plus idle) in the unit; 0 without bars.
  double highest() const;

  // The unit's name ("hs", "min", "sec"), the value axis' title ("Time (hs)") and the chart's
  // title ("Work and idle time by Day").
  std::string unitName() const;
  std::string axisTitle() const;
  std::string title() const;
  // The bars to label when at most `most` labels fit: every bar when they all fit, else an
  // even spread starting at the first bar. Ascending; empty when `most` < 1.
  std::vector<std::int32_t> labelledBars(std::int32_t most) const;
  // The bars to label on an axis of slots `slot` wide, each label taking `room` across
  // (centred under its bar): bars far enough from both ends of the axis for their label to
  // show whole, at least `room` apart, from the first of them on. Ascending; empty when no
  // label fits.
  std::vector<std::int32_t> labelledBars(double slot, double room) const;

  const GridCells& cells() const { return cells_; }

 private:
  const TQueryResultLine& line(std::int32_t bar) const;

  const GridCells& cells_;
  GridCells::Column labelColumn_;
  mutable double highest_ = -1;
};

// Round steps for a value axis from 0 to at least `highest` in about `ticks` steps: 1, 2 or
// 5 times a power of ten. Returns the step; `top` becomes the axis' end, a whole number of
// steps at or above `highest` (1 and 1 for an empty axis).
double niceAxisStep(double highest, int ticks, double& top);

}  // namespace hmr

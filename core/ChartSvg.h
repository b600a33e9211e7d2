// SPDX-License-Identifier: MIT
// The chart of a report as an SVG picture, for a report that goes into a mail or a page: the
// title, a value axis in the report's unit with round steps, one bar per line of the report
// (work, with idle stacked on it, in the colours of the dialog's chart), labels under as many
// bars as fit, and a legend. Each bar is a group whose <title> is its tooltip and whose
// data-work and data-idle attributes hold the figures exactly as the report's time cells
// write them. Coordinates are written with a full stop, whatever the locale.
#pragma once

#include "core/ChartBars.h"
#include "core/uHMRExport.h"

namespace hmr {

struct ChartSvgSize {
  int width = 800;
  int height = 450;
};

// Writes the picture to `sink`; a failure of the sink passes on.
void writeChartSvg(const ChartBars& bars, const TextSink& sink, ChartSvgSize size = {});

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "core/ChartSvg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace hmr {
namespace {

// Room around the plot: the value labels on the left, the bar labels below, the title above.
constexpr double kLeft = 70, kRight = 20, kTop = 50, kBottom = 120;
constexpr double kLabelRoom = 16;  // pixels per bar label, written upright

std::string num(double value) {
  char buffer[64];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  std::string text = ec == std::errc{} ? std::string(buffer, end) : std::string("0");
  // 12.50 -> 12.5, 3.00 -> 3
  while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
    const bool dot = text.back() == '.';
    text.pop_back();
    if (dot) break;
  }
  return text;
}

std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters other than a line break have no place in XML 1.0.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
          out += ' ';
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string trimmed(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

void writeChartSvg(const ChartBars& bars, const TextSink& sink, ChartSvgSize size) {
  const double width = std::max(size.width, 200), height = std::max(size.height, 200);
  const double plotW = width - kLeft - kRight, plotH = height - kTop - kBottom;
  const double bottom = kTop + plotH;
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" +
         num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) +
         "\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"11\">\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  out += "<text x=\"" + num(width / 2) + "\" y=\"24\" text-anchor=\"middle\" font-size=\"15\">" +
         escaped(bars.title()) + "</text>\n";
  // Legend, top right.
  const std::string work(ChartBars::WorkColour), idle(ChartBars::IdleColour);
  out += "<g class=\"legend\"><rect x=\"" + num(width - 150) + "\" y=\"30\" width=\"10\" " +
         "height=\"10\" fill=\"" + work + "\"/><text x=\"" + num(width - 136) +
         "\" y=\"39\">" + std::string(ChartBars::WorkName) + "</text><rect x=\"" +
         num(width - 90) + "\" y=\"30\" width=\"10\" height=\"10\" fill=\"" + idle +
         "\"/><text x=\"" + num(width - 76) + "\" y=\"39\">" +
         std::string(ChartBars::IdleName) + "</text></g>\n";
  sink(out);

  if (bars.count() == 0) {
    out = "<text class=\"empty\" x=\"" + num(width / 2) + "\" y=\"" + num(kTop + plotH / 2) +
          "\" text-anchor=\"middle\">" + escaped(ChartBars::NothingToShow) + "</text>\n</svg>\n";
    sink(out);
    return;
  }

  // The value axis: round steps from 0, the grid lines across the plot.
  double top = 1;
  const double step = niceAxisStep(bars.highest(), 5, top);
  out = "<g class=\"value-axis\">\n";
  for (double value = 0; value <= top + step / 2; value += step) {
    const double y = bottom - value / top * plotH;
    out += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(y) + "\" x2=\"" + num(kLeft + plotW) +
           "\" y2=\"" + num(y) + "\" stroke=\"#e0e0e0\"/><text x=\"" + num(kLeft - 6) +
           "\" y=\"" + num(y + 4) + "\" text-anchor=\"end\">" + num(value) + "</text>\n";
  }
  out += "<text x=\"16\" y=\"" + num(kTop + plotH / 2) + "\" text-anchor=\"middle\" " +
         "transform=\"rotate(-90 16 " + num(kTop + plotH / 2) + ")\">" +
         escaped(bars.axisTitle()) + "</text>\n</g>\n";
  sink(out);

  // The bars, one group each, in the report's order.
  const double slot = plotW / bars.count();
  const double barWidth = ChartBars::barWidth(slot, 0.5);
  const GridCells& cells = bars.cells();
  sink("<g class=\"bars\">\n");
  for (std::int32_t k = 0; k < bars.count(); ++k) {
    const double x = kLeft + k * slot + (slot - barWidth) / 2;
    const double workH = bars.work(k) / top * plotH, idleH = bars.idle(k) / top * plotH;
    out = "<g class=\"bar\" data-label=\"" + escaped(bars.label(k)) + "\" data-work=\"" +
          trimmed(cells.lineText(k, GridCells::Column::Work)) + "\" data-idle=\"" +
          trimmed(cells.lineText(k, GridCells::Column::Idle)) + "\"><title>" +
          escaped(bars.tooltip(k)) + "</title><rect class=\"work\" x=\"" + num(x) + "\" y=\"" +
          num(bottom - workH) + "\" width=\"" + num(barWidth) + "\" height=\"" + num(workH) +
          "\" fill=\"" + work + "\"/><rect class=\"idle\" x=\"" + num(x) + "\" y=\"" +
          num(bottom - workH - idleH) + "\" width=\"" + num(barWidth) + "\" height=\"" +
          num(idleH) + "\" fill=\"" + idle + "\"/></g>\n";
    sink(out);
  }
  sink("</g>\n");

  // Labels under as many bars as fit, written upright; the axis line last, over the bars.
  out = "<g class=\"labels\">\n";
  for (const std::int32_t k : bars.labelledBars(static_cast<std::int32_t>(plotW / kLabelRoom))) {
    const double x = kLeft + (k + 0.5) * slot + 4;
    const double y = bottom + 6;
    out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" text-anchor=\"end\" " +
           "transform=\"rotate(-90 " + num(x) + " " + num(y) + ")\">" + escaped(bars.label(k)) +
           "</text>\n";
  }
  out += "</g>\n<line x1=\"" + num(kLeft) + "\" y1=\"" + num(bottom) + "\" x2=\"" +
         num(kLeft + plotW) + "\" y2=\"" + num(bottom) + "\" stroke=\"#404040\"/>\n</svg>\n";
  sink(out);
}

}  // namespace hmr

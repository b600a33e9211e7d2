// SPDX-License-Identifier: MIT
#include "core/GridCells.h"

#include <cassert>
#include <charconv>

#include "core/uHMRExport.h"
#include "platform/Locale.h"

namespace hmr {

std::vector<GridCells::Column> gridColumns(TQueryResultVision vision, bool showUserName) {
  using C = GridCells::Column;
  std::vector<C> columns;
  if (vision == qrvTextCol || vision == qrvBothCol) columns.push_back(C::Text);
  if (vision == qrvOpenCloseCol || vision == qrvBothCol) {
    columns.push_back(C::Open);
    columns.push_back(C::Close);
    if (showUserName) columns.push_back(C::User);
  }
  columns.push_back(C::Total);
  columns.push_back(C::Idle);
  columns.push_back(C::Work);
  return columns;
}

GridCells::GridCells(const TQueryResult& result, std::string groupByText, TDispTimeUnit timeUnit,
                     bool showUserName)
    : result_(result),
      groupByText_(std::move(groupByText)),
      timeUnit_(timeUnit),
      columns_(gridColumns(result.Vision, showUserName)),
      dateFormat_(currentLocale().shortDateFormat()),
      timeFormat_(currentLocale().longTimeFormatWithoutSeconds()),
      decimal_(currentLocale().decimalSeparator()),
      directFormats_(dateFormat_.direct() && timeFormat_.direct()) {
  assert(result.Count >= 0 && static_cast<std::size_t>(result.Count) <= result.Lines.size());
  divisor_ = timeUnit == dtuHour ? 3600.0 : (timeUnit == dtuMinute ? 60.0 : 1.0);
}

void GridCells::addUpTotals() const {
  if (totalsAddedUp_) return;
  // The totals add up the quotients as shown, line by line in result order.
  for (std::int32_t k = 0; k < result_.Count; ++k) {
    const TQueryResultLine& line = result_.Lines[static_cast<std::size_t>(k)];
    totalSum_ += static_cast<double>(line.TotalTime) / divisor_;
    idleSum_ += static_cast<double>(line.IdleTime) / divisor_;
    workSum_ += static_cast<double>(line.WorkTime) / divisor_;
  }
  totalsAddedUp_ = true;
}

std::int32_t GridCells::rowCount() const { return result_.Count > 0 ? result_.Count + 2 : 2; }

std::string GridCells::title(Column column) const {
  const std::string unit(TimeUnitStrings[timeUnit_ <= dtuSecond ? timeUnit_ : dtuHour]);
  switch (column) {
    case Column::Text:
      return groupByText_;
    case Column::Open:
      return "Open Date/Time";
    case Column::Close:
      return "Close Date/Time";
    case Column::User:
      return "User Name";
    case Column::Total:
      return "Total Time " + unit;
    case Column::Idle:
      return "Idle Time " + unit;
    case Column::Work:
      return "Work Time " + unit;
  }
  return {};
}

std::string GridCells::timeText(double quotient) const {
  std::string text;
  appendTimeText(text, quotient);
  return text;
}

void GridCells::appendTimeText(std::string& out, double quotient) const {
  // "%7.3f" for hours, "%7.1f" for minutes: right-aligned in 7 characters. Formatted without
  // the process locale, then given the table's decimal separator.
  const int precision = timeUnit_ == dtuHour ? 3 : (timeUnit_ == dtuMinute ? 1 : 0);
  const std::size_t width = timeUnit_ == dtuSecond ? 0 : 7;
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, quotient,
                                       std::chars_format::fixed, precision);
  const std::string_view digits =
      ec == std::errc{} ? std::string_view(buffer, static_cast<std::size_t>(end - buffer)) : "?";
  // Fixed notation puts exactly `precision` digits after the point.
  const auto decimals = static_cast<std::size_t>(precision);
  std::size_t dot = std::string_view::npos;
  if (decimals > 0 && digits.size() > decimals && digits[digits.size() - decimals - 1] == '.') {
    dot = digits.size() - decimals - 1;
  }
  const std::size_t length =
      dot == std::string_view::npos ? digits.size() : digits.size() - 1 + decimal_.size();
  if (length < width) out.append(width - length, ' ');
  if (dot == std::string_view::npos) {
    out += digits;
  } else {
    out += digits.substr(0, dot);
    out += decimal_;
    out += digits.substr(dot + 1);
  }
}

void GridCells::appendDateTimeText(std::string& out, TDateTime dt) const {
  const std::tm when = directFormats_ ? toTmDateAndTime(dt) : toTm(dt);
  dateFormat_.appendTo(out, when);
  out += ' ';
  timeFormat_.appendTo(out, when);
}

void GridCells::appendLineCell(std::string& out, const TQueryResultLine& line,
                               Column column) const {
  switch (column) {
    case Column::Text:
      out += line.Text;
      return;
    case Column::Open:
      return appendDateTimeText(out, line.DateTimeOpen);
    case Column::Close:
      switch (line.CloseStatus) {
        case scsNotClosed:
          out += "Not Closed";
          return;
        case scsCurrent:
          out += "Current";
          return;
        default:
          return appendDateTimeText(out, line.DateTimeClose);
      }
    case Column::User:
      out += line.UserName;
      out += ' ';
      return;
    case Column::Total:
      return appendTimeText(out, static_cast<double>(line.TotalTime) / divisor_);
    case Column::Idle:
      return appendTimeText(out, static_cast<double>(line.IdleTime) / divisor_);
    case Column::Work:
      return appendTimeText(out, static_cast<double>(line.WorkTime) / divisor_);
  }
}

std::string GridCells::lineText(std::int32_t line, Column column) const {
  assert(line >= 0 && line < result_.Count);
  std::string text;
  appendLineCell(text, result_.Lines[static_cast<std::size_t>(line)], column);
  return text;
}

void GridCells::appendTotalsCell(std::string& out, std::int32_t col) const {
  // Fillers of one space under open, close and user; "TOTAL" just left of the total column.
  const std::int32_t totalCol = colCount() - 3;
  if (col < totalCol - 1) {
    out += ' ';
    return;
  }
  if (col == totalCol - 1) {
    out += "TOTAL";
    return;
  }
  addUpTotals();
  switch (columns_[static_cast<std::size_t>(col)]) {
    case Column::Total:
      return appendTimeText(out, totalSum_);
    case Column::Idle:
      return appendTimeText(out, idleSum_);
    default:
      return appendTimeText(out, workSum_);
  }
}

std::string GridCells::cell(std::int32_t row, std::int32_t col) const {
  std::string text;
  appendCell(text, row, col);
  return text;
}

void GridCells::appendCell(std::string& out, std::int32_t row, std::int32_t col) const {
  assert(row >= 0 && row < rowCount() && col >= 0 && col < colCount());
  const Column column = columns_[static_cast<std::size_t>(col)];
  if (row == 0) {
    out += title(column);
  } else if (result_.Count == 0) {
    // the one empty row of an empty result
  } else if (row == result_.Count + 1) {
    appendTotalsCell(out, col);
  } else {
    appendLineCell(out, result_.Lines[static_cast<std::size_t>(row - 1)], column);
  }
}

CellTable buildGridCells(const TQueryResult& result, std::string groupByText,
                         TDispTimeUnit timeUnit, bool showUserName) {
  return CellTable::copyOf(GridCells(result, std::move(groupByText), timeUnit, showUserName));
}

}  // namespace hmr

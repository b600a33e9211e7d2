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
      columns_(gridColumns(result.Vision, showUserName)) {
  assert(result.Count >= 0 && static_cast<std::size_t>(result.Count) <= result.Lines.size());
  const Locale& locale = currentLocale();
  dateFormat_ = locale.shortDateFormat();
  timeFormat_ = locale.longTimeFormatWithoutSeconds();
  decimal_ = locale.decimalSeparator();
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
  // "%7.3f" for hours, "%7.1f" for minutes: right-aligned in 7 characters. Formatted without
  // the process locale, then given the table's decimal separator.
  const int precision = timeUnit_ == dtuHour ? 3 : (timeUnit_ == dtuMinute ? 1 : 0);
  const std::size_t width = timeUnit_ == dtuSecond ? 0 : 7;
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, quotient,
                                       std::chars_format::fixed, precision);
  std::string digits = ec == std::errc{} ? std::string(buffer, end) : std::string("?");
  if (const auto dot = digits.find('.'); dot != std::string::npos) {
    digits.replace(dot, 1, decimal_);
  }
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

std::string GridCells::dateTimeText(TDateTime dt) const {
  const std::tm when = toTm(dt);
  return formatTm(dateFormat_, when) + " " + formatTm(timeFormat_, when);
}

std::string GridCells::lineCell(const TQueryResultLine& line, Column column) const {
  switch (column) {
    case Column::Text:
      return line.Text;
    case Column::Open:
      return dateTimeText(line.DateTimeOpen);
    case Column::Close:
      switch (line.CloseStatus) {
        case scsNotClosed:
          return "Not Closed";
        case scsCurrent:
          return "Current";
        default:
          return dateTimeText(line.DateTimeClose);
      }
    case Column::User:
      return line.UserName + " ";
    case Column::Total:
      return timeText(static_cast<double>(line.TotalTime) / divisor_);
    case Column::Idle:
      return timeText(static_cast<double>(line.IdleTime) / divisor_);
    case Column::Work:
      return timeText(static_cast<double>(line.WorkTime) / divisor_);
  }
  return {};
}

std::string GridCells::lineText(std::int32_t line, Column column) const {
  assert(line >= 0 && line < result_.Count);
  return lineCell(result_.Lines[static_cast<std::size_t>(line)], column);
}

std::string GridCells::totalsCell(std::int32_t col) const {
  // Fillers of one space under open, close and user; "TOTAL" just left of the total column.
  const std::int32_t totalCol = colCount() - 3;
  if (col < totalCol - 1) return " ";
  if (col == totalCol - 1) return "TOTAL";
  addUpTotals();
  switch (columns_[static_cast<std::size_t>(col)]) {
    case Column::Total:
      return timeText(totalSum_);
    case Column::Idle:
      return timeText(idleSum_);
    default:
      return timeText(workSum_);
  }
}

std::string GridCells::cell(std::int32_t row, std::int32_t col) const {
  assert(row >= 0 && row < rowCount() && col >= 0 && col < colCount());
  const Column column = columns_[static_cast<std::size_t>(col)];
  if (row == 0) return title(column);
  if (result_.Count == 0) return {};  // the one empty row of an empty result
  if (row == result_.Count + 1) return totalsCell(col);
  return lineCell(result_.Lines[static_cast<std::size_t>(row - 1)], column);
}

CellTable buildGridCells(const TQueryResult& result, std::string groupByText,
                         TDispTimeUnit timeUnit, bool showUserName) {
  return CellTable::copyOf(GridCells(result, std::move(groupByText), timeUnit, showUserName));
}

}  // namespace hmr

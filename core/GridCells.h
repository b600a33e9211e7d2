// SPDX-License-Identifier: MIT
// The session grid's cells computed from a query result: the columns its vision and the
// user-name choice call for, the title row, one row per line and the totals row. The dialog's
// grid shows them and the report exports copy them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/CellTable.h"
#include "core/uHMRGlobal.h"
#include "platform/TmFormat.h"

namespace hmr {

// Rows: the title row, then with Count > 0 one row per line (line k in row k + 1) and the
// totals row; with Count = 0 one row of empty cells and no totals row.
// Columns, left to right, of those that the vision shows: text, open, close, user (open and
// close visions with the user column on), total, idle, work.
//
// Cells are computed when asked for, so the table costs nothing per line of the result until
// the totals row is read (which adds up every line once).
// The result and the locale in use must not change while the table is read; the date and
// number formats are those of the locale installed when the table was made.
class GridCells final : public CellRows {
 public:
  enum class Column : std::uint8_t { Text, Open, Close, User, Total, Idle, Work };

  // `result` is not owned and must outlive the table. `groupByText` is the title of the text
  // column (the grouping's name). Time cells show hours for dtuHour, minutes for dtuMinute and
  // whole seconds for dtuSecond.
  GridCells(const TQueryResult& result, std::string groupByText, TDispTimeUnit timeUnit,
            bool showUserName);

  std::int32_t rowCount() const override;
  std::int32_t colCount() const override { return static_cast<std::int32_t>(columns_.size()); }
  std::string cell(std::int32_t row, std::int32_t col) const override;
  void appendCell(std::string& out, std::int32_t row, std::int32_t col) const override;

  const std::vector<Column>& columns() const { return columns_; }
  std::string title(Column column) const;
  // The cell of result line `line` (0 .. Count-1) in `column`, as its row shows it.
  std::string lineText(std::int32_t line, Column column) const;
  // The result the table reads, and the seconds one unit of its time cells holds.
  const TQueryResult& result() const { return result_; }
  TDispTimeUnit timeUnit() const { return timeUnit_; }
  double divisor() const { return divisor_; }
  // A duration in the table's unit, as a time cell shows it ("  1.500" for 5400 s in hours).
  std::string timeText(double quotient) const;

 private:
  void appendTimeText(std::string& out, double quotient) const;
  void appendLineCell(std::string& out, const TQueryResultLine& line, Column column) const;
  void appendTotalsCell(std::string& out, std::int32_t col) const;
  void appendDateTimeText(std::string& out, TDateTime dt) const;
  // The running sums of the totals row, added up when that row is first asked for.
  void addUpTotals() const;

  const TQueryResult& result_;
  std::string groupByText_;
  TDispTimeUnit timeUnit_;
  std::vector<Column> columns_;
  TmFormat dateFormat_;
  TmFormat timeFormat_;  // long time format without seconds
  std::string decimal_;
  bool directFormats_;  // both formats written without strftime: no weekday needed
  double divisor_;
  mutable bool totalsAddedUp_ = false;
  mutable double totalSum_ = 0, idleSum_ = 0, workSum_ = 0;
};

// The columns of a vision, left to right.
std::vector<GridCells::Column> gridColumns(TQueryResultVision vision, bool showUserName);

// The whole grid as a table of texts.
CellTable buildGridCells(const TQueryResult& result, std::string groupByText,
                         TDispTimeUnit timeUnit, bool showUserName);

}  // namespace hmr

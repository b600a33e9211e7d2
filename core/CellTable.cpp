// SPDX-License-Identifier: MIT
#include "core/CellTable.h"

namespace hmr {

CellTable::CellTable(const std::vector<std::vector<std::string>>& rows)
    : rows_(static_cast<std::int32_t>(rows.size())),
      cols_(rows.empty() ? 0 : static_cast<std::int32_t>(rows.front().size())) {
  cells_.reserve(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_));
  for (const auto& r : rows) {
    assert(static_cast<std::int32_t>(r.size()) == cols_);
    cells_.insert(cells_.end(), r.begin(), r.end());
  }
}

CellTable CellTable::copyOf(const CellRows& source) {
  CellTable table(source.rowCount(), source.colCount());
  for (std::int32_t r = 0; r < table.rows_; ++r) {
    for (std::int32_t c = 0; c < table.cols_; ++c) table.at(r, c) = source.cell(r, c);
  }
  return table;
}

std::vector<std::string> CellTable::row(std::int32_t row) const {
  assert(row >= 0 && row < rows_);
  const auto begin = cells_.begin() + static_cast<std::ptrdiff_t>(row) * cols_;
  return {begin, begin + cols_};
}

}  // namespace hmr

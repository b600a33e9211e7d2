// SPDX-License-Identifier: MIT
// A table of cell texts, rows by columns, row 0 holding the column titles: what the tracker
// dialog's grid shows and what the report exports read.
#pragma once

#include <cassert>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hmr {

// Read access to a table of cell texts. Implementations may compute cells on demand, so that
// exporting a very large grid needs no copy of all its texts.
class CellRows {
 public:
  virtual ~CellRows() = default;
  virtual std::int32_t rowCount() const = 0;
  virtual std::int32_t colCount() const = 0;
  // The text of a cell; row in 0 .. rowCount()-1, col in 0 .. colCount()-1.
  virtual std::string cell(std::int32_t row, std::int32_t col) const = 0;
  // Appends the text of that cell to `out`: what the exports call for each cell, so that a
  // table that computes its cells can write them without a string of their own.
  virtual void appendCell(std::string& out, std::int32_t row, std::int32_t col) const {
    out += cell(row, col);
  }
};

// A table that holds its texts.
class CellTable final : public CellRows {
 public:
  CellTable() = default;
  CellTable(std::int32_t rows, std::int32_t cols)
      : rows_(rows), cols_(cols), cells_(static_cast<std::size_t>(rows) * cols) {}
  // Rows given as lists of texts; every row must have the same number of cells.
  explicit CellTable(const std::vector<std::vector<std::string>>& rows);
  // A copy of every cell of `source`.
  static CellTable copyOf(const CellRows& source);

  std::int32_t rowCount() const override { return rows_; }
  std::int32_t colCount() const override { return cols_; }
  std::string cell(std::int32_t row, std::int32_t col) const override { return at(row, col); }

  const std::string& at(std::int32_t row, std::int32_t col) const {
    return cells_[index(row, col)];
  }
  std::string& at(std::int32_t row, std::int32_t col) { return cells_[index(row, col)]; }
  std::vector<std::string> row(std::int32_t row) const;

 private:
  std::size_t index(std::int32_t row, std::int32_t col) const {
    assert(row >= 0 && row < rows_ && col >= 0 && col < cols_);
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(col);
  }

  std::int32_t rows_ = 0;
  std::int32_t cols_ = 0;
  std::vector<std::string> cells_;
};

}  // namespace hmr

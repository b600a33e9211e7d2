// SPDX-License-Identifier: MIT
// A strftime format read once and applied to many dates: the grid and the reports format two
// date-times per line, and strftime itself costs more than the rest of a line's formatting.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace hmr {

// Formats exactly as formatTm (strftime) does with the same format, byte for byte. Formats
// made only of the numeric fields %d %e %m %y %Y %H %I %M %S, the composites %D %F %R %T, %p
// and %% are written directly; any other field, a flag or a field width makes every call go
// through strftime, as does a date outside the years 0..9999 or a field out of its range.
// The texts of %p are those of the locale in use when the format is made: make it again
// after a change of the process locale.
class TmFormat {
 public:
  explicit TmFormat(std::string format);

  // Appends the text of `when` to `out`.
  void appendTo(std::string& out, const std::tm& when) const;
  std::string text(const std::tm& when) const;
  // True when every call is written directly (for tests and benchmarks).
  bool direct() const { return direct_; }

 private:
  enum class Field : unsigned char {
    Literal, Day, DaySpaced, Month, Year2, Year, Hour, Hour12, Minute, Second, AmPm
  };
  struct Piece {
    Field field;
    std::string literal;  // Literal only
  };

  void add(Field field);
  void addLiteral(char c);
  bool parse();

  std::string format_;
  std::vector<Piece> pieces_;
  std::string am_, pm_;
  bool direct_ = false;
};

}  // namespace hmr

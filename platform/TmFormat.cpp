// SPDX-License-Identifier: MIT
#include "platform/TmFormat.h"

#include <charconv>

#include "platform/Locale.h"

namespace hmr {
namespace {

void appendTwoDigits(std::string& out, int value, char pad = '0') {
  const char digits[2] = {value < 10 ? pad : static_cast<char>('0' + value / 10),
                          static_cast<char>('0' + value % 10)};
  out.append(digits, 2);
}

// The ranges strftime formats without surprises; anything else is left to it.
bool inRange(const std::tm& when) {
  return when.tm_year >= -1900 && when.tm_year <= 9999 - 1900 && when.tm_mon >= 0 &&
         when.tm_mon <= 11 && when.tm_mday >= 1 && when.tm_mday <= 31 && when.tm_hour >= 0 &&
         when.tm_hour <= 23 && when.tm_min >= 0 && when.tm_min <= 59 && when.tm_sec >= 0 &&
         when.tm_sec <= 60;
}

}  // namespace

TmFormat::TmFormat(std::string format) : format_(std::move(format)) {
  direct_ = parse();
  if (!direct_) pieces_.clear();
}

void TmFormat::add(Field field) { pieces_.push_back({field, {}}); }

void TmFormat::addLiteral(char c) {
  if (pieces_.empty() || pieces_.back().field != Field::Literal) add(Field::Literal);
  pieces_.back().literal.push_back(c);
}

bool TmFormat::parse() {
  // strftime stops at a NUL; formats that long only ever come from a test.
  if (format_.find('\0') != std::string::npos || format_.size() > 1024) return false;
  for (std::size_t i = 0; i < format_.size(); ++i) {
    const char c = format_[i];
    if (c != '%') {
      addLiteral(c);
      continue;
    }
    if (++i == format_.size()) return false;  // a lone '%' at the end: strftime's business
    switch (format_[i]) {
      case 'd': add(Field::Day); break;
      case 'e': add(Field::DaySpaced); break;
      case 'm': add(Field::Month); break;
      case 'y': add(Field::Year2); break;
      case 'Y': add(Field::Year); break;
      case 'H': add(Field::Hour); break;
      case 'I': add(Field::Hour12); break;
      case 'M': add(Field::Minute); break;
      case 'S': add(Field::Second); break;
      case 'p': add(Field::AmPm); break;
      case '%': addLiteral('%'); break;
      case 'D':  // %m/%d/%y
        add(Field::Month), addLiteral('/'), add(Field::Day), addLiteral('/'), add(Field::Year2);
        break;
      case 'F':  // %Y-%m-%d
        add(Field::Year), addLiteral('-'), add(Field::Month), addLiteral('-'), add(Field::Day);
        break;
      case 'R':  // %H:%M
        add(Field::Hour), addLiteral(':'), add(Field::Minute);
        break;
      case 'T':  // %H:%M:%S
        add(Field::Hour), addLiteral(':'), add(Field::Minute), addLiteral(':'),
            add(Field::Second);
        break;
      default:
        return false;  // names of days and months, flags, widths, E and O forms, ...
    }
  }
  std::tm morning{};
  morning.tm_hour = 1;
  std::tm afternoon{};
  afternoon.tm_hour = 13;
  am_ = formatTm("%p", morning);
  pm_ = formatTm("%p", afternoon);
  return true;
}

void TmFormat::appendTo(std::string& out, const std::tm& when) const {
  if (!direct_ || !inRange(when)) {
    out += formatTm(format_, when);
    return;
  }
  for (const Piece& piece : pieces_) {
    switch (piece.field) {
      case Field::Literal:
        out += piece.literal;
        break;
      case Field::Day:
        appendTwoDigits(out, when.tm_mday);
        break;
      case Field::DaySpaced:
        appendTwoDigits(out, when.tm_mday, ' ');
        break;
      case Field::Month:
        appendTwoDigits(out, when.tm_mon + 1);
        break;
      case Field::Year2:
        appendTwoDigits(out, (when.tm_year + 1900) % 100);
        break;
      case Field::Year: {
        char digits[8];
        const auto end = std::to_chars(digits, digits + sizeof digits, when.tm_year + 1900).ptr;
        out.append(digits, end);
        break;
      }
      case Field::Hour:
        appendTwoDigits(out, when.tm_hour);
        break;
      case Field::Hour12:
        appendTwoDigits(out, when.tm_hour % 12 == 0 ? 12 : when.tm_hour % 12);
        break;
      case Field::Minute:
        appendTwoDigits(out, when.tm_min);
        break;
      case Field::Second:
        appendTwoDigits(out, when.tm_sec);
        break;
      case Field::AmPm:
        out += when.tm_hour < 12 ? am_ : pm_;
        break;
    }
  }
}

std::string TmFormat::text(const std::tm& when) const {
  std::string out;
  appendTo(out, when);
  return out;
}

}  // namespace hmr

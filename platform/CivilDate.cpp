// SPDX-License-Identifier: MIT
#include "platform/CivilDate.h"

namespace hmr {
namespace {

// Days from 1970-01-01 back to 1899-12-30.
constexpr long long kUnixEpochDayNumber = 25569;

}  // namespace

// Both conversions follow Howard Hinnant's days_from_civil / civil_from_days: exact integer
// arithmetic in 400-year eras, valid for every date a double day count can hold.
long long dayNumberFromCivil(const CivilDate& date) {
  long long y = date.year;
  const unsigned m = static_cast<unsigned>(date.month);
  const unsigned d = static_cast<unsigned>(date.day);
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468 + kUnixEpochDayNumber;
}

CivilDate civilFromDayNumber(long long dayNumber) {
  long long z = dayNumber - kUnixEpochDayNumber + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
  return CivilDate{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && isLeapYear(year)) return 29;
  return kDays[(month - 1) % 12];
}

}  // namespace hmr

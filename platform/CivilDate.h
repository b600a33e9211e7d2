// SPDX-License-Identifier: MIT
#pragma once

namespace hmr {

// A date of the proleptic Gregorian calendar.
struct CivilDate {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Day number of a date counted from 1899-12-30 (day 0), the origin of date-times.
long long dayNumberFromCivil(const CivilDate& date);

// The date of a day number counted from 1899-12-30.
CivilDate civilFromDayNumber(long long dayNumber);

bool isLeapYear(int year);
int daysInMonth(int year, int month);

}  // namespace hmr

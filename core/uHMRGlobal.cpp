// SPDX-License-Identifier: MIT
#include "core/uHMRGlobal.h"

#include <cmath>
#include <cstdio>

#include "platform/CivilDate.h"
#include "platform/Clock.h"

namespace hmr {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::uint32_t kCrcFold = 0x7FFFFFFFu;

// Whole days and milliseconds of the day of a date-time, the time rounded to the millisecond.
struct DayAndMs {
  long long day;
  std::int64_t ms;
};

DayAndMs splitDateTime(TDateTime dt) {
  double whole = std::trunc(dt);
  std::int64_t ms = roundHalfEven(std::fabs(dt - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // 23:59:59.9996 rounds up to the next midnight
    ms -= kMsPerDay;
    whole += dt < 0 ? -1.0 : 1.0;
  }
  return {static_cast<long long>(whole), ms};
}

}  // namespace

std::int64_t roundHalfEven(double x) {
  const double floor = std::floor(x);
  const double diff = x - floor;
  double r = floor;
  if (diff > 0.5) {
    r = floor + 1.0;
  } else if (diff == 0.5) {
    r = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
  }
  return static_cast<std::int64_t>(r);
}

TDateTime nowTrunc() {
  const TDateTime reading = currentClock().now();
  const DayAndMs parts = splitDateTime(reading);
  const std::int64_t wholeSeconds = parts.ms / 1000;
  return static_cast<double>(parts.day) +
         encodeTime(static_cast<int>(wholeSeconds / 3600), static_cast<int>(wholeSeconds / 60 % 60),
                    static_cast<int>(wholeSeconds % 60));
}

std::int64_t ConvertDateTimeToSeconds(TDateTime DT) {
  const double days = std::trunc(DT);
  const double fraction = DT - days;
  const double secondsOfDay = fraction * 24 * 3600;
  return static_cast<std::int64_t>(days) * 86400 + roundHalfEven(secondsOfDay);
}

std::int64_t GetDifInSeconds(TDateTime Start, TDateTime Finish) {
  if (!(Finish >= Start)) return 0;  // also when either is NaN
  return ConvertDateTimeToSeconds(Finish) - ConvertDateTimeToSeconds(Start);
}

double GetDifInHours(TDateTime Start, TDateTime Finish) {
  return static_cast<double>(GetDifInSeconds(Start, Finish)) / 3600.0;
}

std::int32_t CalculateCRC(const void* Data, std::int32_t Size) {
  if (Size <= 0) return 0;
  const auto* bytes = static_cast<const unsigned char*>(Data);
  std::uint32_t sum = 0;
  for (std::int32_t i = 0; i < Size; ++i) {
    sum += bytes[i];
    if (sum > kCrcFold) sum -= kCrcFold;
  }
  return static_cast<std::int32_t>(sum);
}

TDateTime encodeDate(int year, int month, int day) {
  return static_cast<double>(dayNumberFromCivil(CivilDate{year, month, day}));
}

TDateTime encodeTime(int hour, int minute, int second, int millisecond) {
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

TDateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second) {
  return encodeDate(year, month, day) + encodeTime(hour, minute, second);
}

DateTimeParts decodeDateTime(TDateTime dt) {
  const DayAndMs parts = splitDateTime(dt);
  const CivilDate date = civilFromDayNumber(parts.day);
  DateTimeParts out;
  out.year = date.year;
  out.month = date.month;
  out.day = date.day;
  out.hour = static_cast<int>(parts.ms / 3600000);
  out.minute = static_cast<int>(parts.ms / 60000 % 60);
  out.second = static_cast<int>(parts.ms / 1000 % 60);
  out.millisecond = static_cast<int>(parts.ms % 1000);
  return out;
}

TDateTime dateOf(TDateTime dt) { return std::trunc(dt); }

int dayOfWeek(TDateTime dt) {
  // Day 0, 1899-12-30, was a Saturday.
  const long long day = static_cast<long long>(std::trunc(dt));
  return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

TDateTime startOfMonth(TDateTime dt) {
  const CivilDate date = civilFromDayNumber(static_cast<long long>(std::trunc(dt)));
  return encodeDate(date.year, date.month, 1);
}

TDateTime startOfNextMonth(TDateTime dt) {
  const CivilDate date = civilFromDayNumber(static_cast<long long>(std::trunc(dt)));
  return date.month == 12 ? encodeDate(date.year + 1, 1, 1)
                          : encodeDate(date.year, date.month + 1, 1);
}

std::string formatIsoDateTime(TDateTime dt) {
  const DateTimeParts p = decodeDateTime(dt);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day,
                p.hour, p.minute, p.second);
  return buffer;
}

bool parseIsoDateTime(std::string_view text, TDateTime& out) {
  int y, mo, d, h, mi, s;
  char tail;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
      6)
    return false;
  if (copy.size() != 19 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 ||
      h < 0 || mi < 0 || mi > 59 || s < 0 || s > 59)
    return false;
  out = encodeDateTime(y, mo, d, h, mi, s);
  return true;
}

}  // namespace hmr

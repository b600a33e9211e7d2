// SPDX-License-Identifier: MIT
#include "core/uHMRGlobal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/CivilDate.h"
#include "platform/Clock.h"

namespace hmr {
namespace {

TEST(Enumerations, OrdinalsAreBindingAndOneByte) {
  static_assert(sizeof(THostTool) == 1 && sizeof(TSortCompareMode) == 1);
  EXPECT_EQ(ftVB6, 4);
  EXPECT_EQ(ftLazarus, 5);
  EXPECT_GT(ftDelphi4, ftViewer);
  EXPECT_EQ(ggMonth, 5);
  EXPECT_EQ(pgMonth, 4);
  EXPECT_EQ(sbWorkTime, 3);
  EXPECT_EQ(scUserName, 5);
  EXPECT_EQ(fgUsername, 5);
  EXPECT_EQ(fgDay, 2);
  EXPECT_EQ(ulReInit, 3);
  EXPECT_EQ(scsCurrent, 2);
}

TEST(Enumerations, HostToolSetHoldsMembers) {
  THostToolSet ides{ftDelphi4, ftDelphi5};
  EXPECT_TRUE(ides.contains(ftDelphi5));
  EXPECT_FALSE(ides.contains(ftVB6));
  ides.include(ftVB6);
  ides.exclude(ftDelphi4);
  EXPECT_TRUE(ides.contains(ftVB6));
  EXPECT_FALSE(ides.contains(ftDelphi4));
  EXPECT_TRUE(THostToolSet{}.empty());
}

TEST(NowTrunc, DropsMillisecondsWithoutRounding) {
  VirtualClock clock(encodeDate(2026, 12, 7) + encodeTime(10, 15, 59, 999));
  ScopedClock use(clock);
  EXPECT_EQ(nowTrunc(), encodeDateTime(2026, 12, 7, 10, 15, 59));
  EXPECT_EQ(nowTrunc(), nowTrunc());
  clock.set(encodeDate(2026, 12, 7) + encodeTime(23, 59, 59, 999));
  EXPECT_EQ(formatIsoDateTime(nowTrunc()), "2026-12-07T23:59:59");
}

TEST(NowTrunc, ReadsTheSystemClockByDefault) {
  const TDateTime now = nowTrunc();
  EXPECT_GT(now, encodeDate(2020, 1, 1));
  EXPECT_EQ(ConvertDateTimeToSeconds(now) % 1, 0);
  EXPECT_DOUBLE_EQ(now, static_cast<double>(ConvertDateTimeToSeconds(now)) / 86400.0);
}

TEST(ConvertDateTimeToSeconds, SpecialValues) {
  EXPECT_EQ(ConvertDateTimeToSeconds(0.0), 0);
  EXPECT_EQ(ConvertDateTimeToSeconds(1.5), 129600);
  EXPECT_EQ(ConvertDateTimeToSeconds(-1.25), -108000);
}

TEST(ConvertDateTimeToSeconds, ExactForEveryWholeSecondOfADay) {
  const TDateTime day = encodeDate(2026, 3, 1);
  const std::int64_t base = ConvertDateTimeToSeconds(day);
  for (int s = 0; s < 86400; ++s) {
    const TDateTime dt = day + encodeTime(s / 3600, s / 60 % 60, s % 60);
    ASSERT_EQ(ConvertDateTimeToSeconds(dt) - base, s) << s;
  }
}

TEST(RoundHalfEven, TiesGoToEven) {
  EXPECT_EQ(roundHalfEven(0.5), 0);
  EXPECT_EQ(roundHalfEven(1.5), 2);
  EXPECT_EQ(roundHalfEven(2.5), 2);
  EXPECT_EQ(roundHalfEven(-0.5), 0);
  EXPECT_EQ(roundHalfEven(-1.5), -2);
  EXPECT_EQ(roundHalfEven(2.4999), 2);
  EXPECT_EQ(roundHalfEven(299.99988), 300);
  // A day fraction that lands on half a second rounds to the even second.
  EXPECT_EQ(ConvertDateTimeToSeconds(0.5 / 86400.0), 0);
  EXPECT_EQ(ConvertDateTimeToSeconds(1.5 / 86400.0), 2);
}

// Against the library's rounding to nearest, ties to even (the default rounding mode), over
// ties, their neighbours and values up to the largest second count a file holds.
TEST(RoundHalfEven, AgreesWithRoundingToNearestEven) {
  std::mt19937_64 random(7);
  std::vector<double> values = {0.0,
                                -0.0,
                                0.49999999999999994,
                                4503599627370495.5,
                                4503599627370497.0,
                                -4503599627370495.5,
                                0x1p61 + 1024.0};
  for (int i = -2000; i <= 2000; ++i) {
    const double half = i + 0.5;
    values.insert(values.end(), {half, std::nextafter(half, 0.0), std::nextafter(half, 1e300),
                                 static_cast<double>(i), i / 3.0});
  }
  for (int i = 0; i < 100000; ++i) {
    values.push_back(std::ldexp(static_cast<double>(random() >> 11), -20) - 4e9);
  }
  for (const double x : values) {
    EXPECT_EQ(roundHalfEven(x), static_cast<std::int64_t>(std::nearbyint(x))) << x;
  }
}

TEST(GetDifInSeconds, NeverNegative) {
  const TDateTime t = encodeDateTime(2026, 1, 1, 12, 0, 0);
  EXPECT_EQ(GetDifInSeconds(t, t), 0);
  EXPECT_EQ(GetDifInSeconds(t, t + 1.0 / 24), 3600);
  EXPECT_EQ(GetDifInSeconds(t + 1.0 / 24, t), 0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(GetDifInSeconds(nan, t), 0);
  EXPECT_EQ(GetDifInSeconds(t, nan), 0);
}

TEST(GetDifInHours, NinetyMinutesIsOneAndAHalf) {
  const TDateTime t = encodeDateTime(2026, 1, 1, 12, 0, 0);
  EXPECT_DOUBLE_EQ(GetDifInHours(t, t + encodeTime(1, 30, 0)), 1.5);
  EXPECT_DOUBLE_EQ(GetDifInHours(t, t - 1), 0.0);
}

TEST(CalculateCRC, ByteSumWithFold) {
  EXPECT_EQ(CalculateCRC("abc", 3), 294);
  EXPECT_EQ(CalculateCRC("abc", 0), 0);
  EXPECT_EQ(CalculateCRC("abc", -5), 0);
  EXPECT_EQ(CalculateCRC(nullptr, 0), 0);
  const std::vector<unsigned char> ff(16, 0xFF);
  EXPECT_EQ(CalculateCRC(ff.data(), 16), 4080);
}

TEST(CalculateCRC, FoldsAboveMaxInt32AndKeepsMaxItself) {
  // 0x7FFFFFFF / 255 = 8421504 bytes of 0xFF sum to 2147483520; 127 more reach the limit.
  std::vector<unsigned char> data(8421504, 0xFF);
  data.push_back(127);
  EXPECT_EQ(CalculateCRC(data.data(), static_cast<std::int32_t>(data.size())), 2147483647);
  data.push_back(1);  // one past the limit folds to 1
  EXPECT_EQ(CalculateCRC(data.data(), static_cast<std::int32_t>(data.size())), 1);
}

TEST(Calendar, EncodeDecodeRoundTrip) {
  EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(encodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(encodeDate(2000, 1, 1), 36526.0);
  const DateTimeParts p = decodeDateTime(encodeDateTime(2024, 2, 29, 23, 59, 58));
  EXPECT_EQ(p, (DateTimeParts{2024, 2, 29, 23, 59, 58, 0}));
  for (int year : {1900, 1999, 2000, 2023, 2024, 2100}) {
    for (int month = 1; month <= 12; ++month) {
      const int last = month == 2 ? (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)
                                         ? 29 : 28)
                                  : (month == 4 || month == 6 || month == 9 || month == 11)
                                        ? 30 : 31;
      const TDateTime lastDay = encodeDate(year, month, last);
      const DateTimeParts d = decodeDateTime(lastDay + 1);
      EXPECT_EQ(d.day, 1) << year << "-" << month;
      EXPECT_EQ(d.month, month % 12 + 1) << year << "-" << month;
    }
  }
}

TEST(Calendar, MillisecondCarryMovesToNextDay) {
  const DateTimeParts p = decodeDateTime(encodeDate(2026, 12, 31) + 0.99999999999);
  EXPECT_EQ(p, (DateTimeParts{2027, 1, 1, 0, 0, 0, 0}));
}

TEST(Calendar, DayOfWeekStartsOnSunday) {
  EXPECT_EQ(dayOfWeek(encodeDate(1899, 12, 30)), 7);  // a Saturday
  EXPECT_EQ(dayOfWeek(encodeDate(1899, 12, 31)), 1);
  EXPECT_EQ(dayOfWeek(encodeDateTime(2026, 12, 6, 23, 59, 59)), 1);  // Sunday
  EXPECT_EQ(dayOfWeek(encodeDate(2026, 12, 7)), 2);                  // Monday
  EXPECT_EQ(dayOfWeek(encodeDate(2026, 12, 12)), 7);                 // Saturday
}

TEST(Calendar, MonthBoundaries) {
  EXPECT_EQ(startOfMonth(encodeDateTime(2024, 2, 29, 13, 0, 0)), encodeDate(2024, 2, 1));
  EXPECT_EQ(startOfNextMonth(encodeDate(2024, 2, 29)), encodeDate(2024, 3, 1));
  EXPECT_EQ(startOfNextMonth(encodeDate(2026, 12, 31)), encodeDate(2027, 1, 1));
  EXPECT_EQ(startOfMonth(encodeDate(2027, 1, 1)), encodeDate(2027, 1, 1));
  EXPECT_EQ(dateOf(encodeDateTime(2026, 5, 5, 18, 0, 0)), encodeDate(2026, 5, 5));
}

TEST(Calendar, IsoTextRoundTrip) {
  TDateTime dt = 0;
  ASSERT_TRUE(parseIsoDateTime("2026-02-28T07:08:09", dt));
  EXPECT_EQ(formatIsoDateTime(dt), "2026-02-28T07:08:09");
  EXPECT_FALSE(parseIsoDateTime("2026-02-29T07:08:09", dt));
  EXPECT_FALSE(parseIsoDateTime("2026-02-28 07:08:09", dt));
  EXPECT_FALSE(parseIsoDateTime("2026-02-28T07:08:09x", dt));
  EXPECT_FALSE(parseIsoDateTime("2026-13-01T00:00:00", dt));
}

// The text as printf gives it from the decoded parts, the way it was always made.
std::string isoByPrintf(TDateTime dt) {
  const DateTimeParts p = decodeDateTime(dt);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day,
                p.hour, p.minute, p.second);
  return buffer;
}

TEST(Calendar, IsoTextSameAsPrintfFromYearZeroToBeyond9999) {
  std::vector<TDateTime> samples;
  // Every 97th day from before year 0 to after 9999, at a time of day that moves along.
  const long long first = static_cast<long long>(encodeDate(1, 1, 1)) - 800;
  const long long last = static_cast<long long>(encodeDate(9999, 12, 31)) + 800;
  for (long long day = first; day <= last; day += 97) {
    samples.push_back(static_cast<double>(day) + static_cast<double>(day % 86400) / 86400.0);
  }
  for (const int year : {1, 4, 99, 100, 999, 1000, 1899, 1900, 2000, 9999}) {
    samples.push_back(encodeDateTime(year, 1, 1, 0, 0, 0));
    samples.push_back(encodeDateTime(year, 12, 31, 23, 59, 59));
    if (isLeapYear(year)) samples.push_back(encodeDateTime(year, 2, 29, 12, 0, 1));
  }
  samples.push_back(encodeDate(9999, 12, 31) + 0.99999999999);  // rounds into year 10000
  samples.push_back(encodeDate(2026, 3, 1) - 0.000000001);      // rounds up to midnight
  samples.push_back(-1.25);                                     // before the origin
  for (const TDateTime dt : samples) {
    std::string out = "x";
    appendIsoDateTime(out, dt);
    ASSERT_EQ(out, "x" + isoByPrintf(dt)) << dt;
    ASSERT_EQ(formatIsoDateTime(dt), isoByPrintf(dt)) << dt;
  }
  EXPECT_EQ(formatIsoDateTime(encodeDate(9999, 12, 31) + 0.99999999999), "10000-01-01T00:00:00");
  EXPECT_EQ(formatIsoDateTime(encodeDate(2026, 3, 1) - 0.000000001), "2026-03-01T00:00:00");
}

}  // namespace
}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "platform/TmFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "platform/CivilDate.h"
#include "platform/Locale.h"

namespace hmr {
namespace {

// A whole broken-down time of day `dayNumber` (counted from 1899-12-30, a Saturday).
std::tm tmOf(long long dayNumber, int hour, int minute, int second) {
  const CivilDate date = civilFromDayNumber(dayNumber);
  std::tm t{};
  t.tm_year = date.year - 1900;
  t.tm_mon = date.month - 1;
  t.tm_mday = date.day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_wday = static_cast<int>(((dayNumber + 6) % 7 + 7) % 7);
  t.tm_yday = static_cast<int>(dayNumber - dayNumberFromCivil(CivilDate{date.year, 1, 1}));
  return t;
}

// Days to try: every day of the years where digits roll over or leap rules change, and
// every `step`th day in between, so that every month, weekday and leap day comes up.
std::vector<long long> sampleDays(int step) {
  std::vector<long long> days;
  for (const int year : {0, 1, 4, 99, 100, 400, 999, 1000, 1899, 1900, 1999, 2000, 2024, 9999}) {
    for (long long d = dayNumberFromCivil({year, 1, 1}); d <= dayNumberFromCivil({year, 12, 31});
         ++d) {
      days.push_back(d);
    }
  }
  for (long long d = dayNumberFromCivil({1, 1, 1}); d <= dayNumberFromCivil({9999, 12, 31});
       d += step) {
    days.push_back(d);
  }
  return days;
}

const std::vector<std::string>& formats() {
  static const std::vector<std::string> all = {
      "%m/%d/%y", "%m/%d/%Y", "%d.%m.%Y", "%d/%m/%y", "%Y-%m-%d", "%e.%m.%y", "%D", "%F",
      "%H:%M", "%H:%M:%S", "%I:%M %p", "%I:%M:%S %p", "%T", "%R", "%p", "%%Y %Y%%", "",
      "no fields at all", "%H.%M Uhr", std::string(200, '-') + "%d",
      // Not written directly: each goes through strftime and must come out the same.
      "%a %d %b %Y", "%x", "%X", "%r", "%c", "%-d.%-m.%Y", "%Ey", "%Od", "%10Y", "%j %U %u",
      "%k:%M", "%P", "ends in %"};
  return all;
}

// Every format on every sample, against strftime, in the locale in use.
void expectSameAsStrftime(int step) {
  const std::vector<long long> days = sampleDays(step);
  for (const std::string& format : formats()) {
    const TmFormat fast(format);
    std::size_t k = 0;
    for (const long long day : days) {
      ++k;
      const std::tm when = tmOf(day, static_cast<int>(k % 24), static_cast<int>(k * 7 % 60),
                                static_cast<int>(k * 13 % 60));
      ASSERT_EQ(fast.text(when), formatTm(format, when))
          << "format \"" << format << "\", day " << day << ", hour " << when.tm_hour;
    }
  }
}

class InLocale {
 public:
  explicit InLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~InLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  InLocale(const InLocale&) = delete;
  InLocale& operator=(const InLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

TEST(TmFormat, WritesTheUsualFormatsDirectly) {
  for (const char* format : {"%m/%d/%y", "%d.%m.%Y", "%Y-%m-%d", "%H:%M", "%I:%M %p", "%D %T",
                             "%e%%", ""}) {
    EXPECT_TRUE(TmFormat(format).direct()) << format;
  }
  for (const char* format : {"%a", "%x", "%-d", "%Ey", "%5Y", "%", "%P"}) {
    EXPECT_FALSE(TmFormat(format).direct()) << format;
  }
  EXPECT_FALSE(TmFormat(std::string("%d\0%m", 5)).direct());
}

TEST(TmFormat, SameAsStrftimeInTheCLocale) {
  const InLocale locale("C");
  expectSameAsStrftime(37);
}

TEST(TmFormat, SameAsStrftimeInOtherLocales) {
  int tried = 0;
  for (const char* name : {"en_US.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8", "fr_FR.UTF-8"}) {
    const InLocale locale(name);
    if (!locale.ok()) continue;
    ++tried;
    SCOPED_TRACE(name);
    // The locale's own formats, as the grid takes them, and the samples above.
    for (const std::string& format : {SystemLocale().shortDateFormat(),
                                      SystemLocale().longTimeFormatWithoutSeconds()}) {
      const TmFormat fast(format);
      for (int hour = 0; hour < 24; ++hour) {
        const std::tm when = tmOf(45000 + hour, hour, 59 - hour, hour);
        EXPECT_EQ(fast.text(when), formatTm(format, when)) << format;
      }
    }
    expectSameAsStrftime(401);
  }
  if (tried == 0) GTEST_SKIP() << "no other locale installed";
}

TEST(TmFormat, DatesOutOfRangeGoThroughStrftime) {
  const TmFormat fast("%d.%m.%Y %y %H:%M");
  ASSERT_TRUE(fast.direct());
  std::tm when = tmOf(0, 23, 59, 59);
  for (const int year : {-1, -1900, 10000, 123456}) {
    when.tm_year = year - 1900;
    EXPECT_EQ(fast.text(when), formatTm("%d.%m.%Y %y %H:%M", when)) << year;
  }
  when = tmOf(0, 12, 0, 0);
  when.tm_mon = 12;  // out of range: strftime's answer, whatever it is
  EXPECT_EQ(fast.text(when), formatTm("%d.%m.%Y %y %H:%M", when));
  when = tmOf(0, 24, 0, 60);
  EXPECT_EQ(fast.text(when), formatTm("%d.%m.%Y %y %H:%M", when));
}

TEST(TmFormat, AppendsAfterWhatIsThere) {
  std::string out = "at ";
  TmFormat("%Y-%m-%d").appendTo(out, tmOf(0, 0, 0, 0));
  EXPECT_EQ(out, "at 1899-12-30");
}

}  // namespace
}  // namespace hmr

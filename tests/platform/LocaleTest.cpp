// SPDX-License-Identifier: MIT
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace hmr {
namespace {

std::tm sampleTime() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 59;
  t.tm_wday = 1;
  return t;
}

TEST(TimeFormatWithoutSeconds, DropsTheFirstSecondsField) {
  EXPECT_EQ(timeFormatWithoutSeconds("%H:%M:%S"), "%H:%M");
  EXPECT_EQ(timeFormatWithoutSeconds("%I:%M:%S %p"), "%I:%M %p");
  EXPECT_EQ(timeFormatWithoutSeconds("%T"), "%H:%M");
  EXPECT_EQ(timeFormatWithoutSeconds("%r"), "%I:%M %p");
  EXPECT_EQ(timeFormatWithoutSeconds("%H:%M:%S:%S"), "%H:%M:%S");
  EXPECT_EQ(timeFormatWithoutSeconds("%H.%M.%S"), "%H.%M.%S");  // no ":%S": unchanged
  EXPECT_EQ(timeFormatWithoutSeconds(""), "");
}

TEST(FormatTm, FormatsAnyLengthAndEmpty) {
  const std::tm t = sampleTime();
  EXPECT_EQ(formatTm("%m/%d/%y", t), "12/07/26");
  EXPECT_EQ(formatTm("", t), "");
  EXPECT_EQ(formatTm(std::string(300, 'x') + "%d", t), std::string(300, 'x') + "07");
}

TEST(FixedLocale, IsTheCLocaleByDefault) {
  const FixedLocale c;
  const std::tm t = sampleTime();
  EXPECT_EQ(c.formatShortDate(t), "12/07/26");
  EXPECT_EQ(c.formatTimeWithoutSeconds(t), "14:05");
  EXPECT_EQ(c.decimalSeparator(), ".");
  EXPECT_EQ(c.compareText("Bob", "bob"), 0);
  EXPECT_LT(c.compareText("alice", "Bob"), 0);
  EXPECT_GT(c.compareText("bobby", "BOB"), 0);
  EXPECT_LT(c.compareText("", "a"), 0);
}

TEST(SystemLocale, FollowsTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  const SystemLocale system;
  EXPECT_EQ(system.shortDateFormat(), "%m/%d/%y");
  EXPECT_EQ(system.longTimeFormatWithoutSeconds(), "%H:%M");
  EXPECT_EQ(system.decimalSeparator(), ".");
  EXPECT_EQ(system.compareText("Bob", "bOB"), 0);
  EXPECT_LT(system.compareText("alice", "Bob"), 0);
  EXPECT_GT(system.compareText("carol", "Bob"), 0);
  // Bytes the C locale cannot decode still compare, consistently and reflexively.
  EXPECT_EQ(system.compareText("\xC9mile", "\xC9mile"), 0);
  EXPECT_LT(system.compareText("a\xC9", "b"), 0);
  if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr) {
    EXPECT_EQ(system.compareText("\xC3\x89mile", "\xC3\xA9mile"), 0);  // Émile, émile
    EXPECT_NE(system.compareText("\xC3\x89mile", "emile"), 0);
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(CurrentLocale, ScopedInstallationRestoresThePrevious) {
  Locale* before = &currentLocale();
  FixedLocale german("%d.%m.%Y", "%T", ",");
  {
    ScopedLocale use(german);
    EXPECT_EQ(&currentLocale(), &german);
    EXPECT_EQ(currentLocale().formatTimeWithoutSeconds(sampleTime()), "14:05");
    EXPECT_EQ(currentLocale().formatShortDate(sampleTime()), "07.12.2026");
  }
  EXPECT_EQ(&currentLocale(), before);
  EXPECT_NE(dynamic_cast<SystemLocale*>(&currentLocale()), nullptr);
}

}  // namespace
}  // namespace hmr

// SPDX-License-Identifier: MIT
// The user's locale as the tracker sees it: case-insensitive text comparison, the short date
// and long time formats and the decimal separator. Formats are strftime formats; callers fill
// a std::tm by hand from a local date-time (no time-zone conversion) and format it here.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <utility>

#include "platform/InstalledService.h"

namespace hmr {

class Locale {
 public:
  virtual ~Locale() = default;

  // Negative, zero or positive as `a` sorts before, together with or after `b`, ignoring
  // letter case. Reflexive and deterministic for every pair of byte strings (invalid text
  // included), so that sorting with it always stays inside its range.
  virtual int compareText(std::string_view a, std::string_view b) const = 0;
  // strftime format of a date alone ("%m/%d/%y" in the C locale).
  virtual std::string shortDateFormat() const = 0;
  // strftime format of a time of day with seconds ("%H:%M:%S" in the C locale).
  virtual std::string longTimeFormat() const = 0;
  // The text between the whole and the fractional digits of a number.
  virtual std::string decimalSeparator() const = 0;

  // The long time format with its seconds removed (see timeFormatWithoutSeconds below).
  std::string longTimeFormatWithoutSeconds() const;
  std::string formatShortDate(const std::tm& when) const;
  std::string formatTimeWithoutSeconds(const std::tm& when) const;
};

// Removes the seconds from a strftime time format: the first ":%S" is dropped; failing that,
// the first "%T" becomes "%H:%M", or else the first "%r" becomes "%I:%M %p". A format without
// any of these is returned unchanged.
std::string timeFormatWithoutSeconds(std::string_view format);

// strftime of `format` on `when`, of any length. An empty format gives an empty text.
std::string formatTm(std::string_view format, const std::tm& when);

// The process locale, as set by setlocale(LC_ALL, "") at the start of a program: collation
// and case folding (LC_COLLATE, LC_CTYPE), nl_langinfo(D_FMT, T_FMT, RADIXCHAR). Read on each
// call, so a change of the process locale is seen at once.
class SystemLocale final : public Locale {
 public:
  int compareText(std::string_view a, std::string_view b) const override;
  std::string shortDateFormat() const override;
  std::string longTimeFormat() const override;
  std::string decimalSeparator() const override;
};

// A locale that never changes, for tests and reproducible output: ASCII case folding and byte
// order, and the given formats (by default those of the C locale).
class FixedLocale final : public Locale {
 public:
  explicit FixedLocale(std::string dateFormat = "%m/%d/%y", std::string timeFormat = "%H:%M:%S",
                       std::string decimal = ".")
      : dateFormat_(std::move(dateFormat)),
        timeFormat_(std::move(timeFormat)),
        decimal_(std::move(decimal)) {}

  int compareText(std::string_view a, std::string_view b) const override;
  std::string shortDateFormat() const override { return dateFormat_; }
  std::string longTimeFormat() const override { return timeFormat_; }
  std::string decimalSeparator() const override { return decimal_; }

 private:
  std::string dateFormat_;
  std::string timeFormat_;
  std::string decimal_;
};

// Byte comparison of two texts with ASCII letters folded to lower case.
int compareTextAscii(std::string_view a, std::string_view b);

// The locale in use. Never null: the system locale until another one is installed.
Locale& currentLocale();

// Installs `locale` (not owned; must outlive its installation) and returns the previous one.
// Passing nullptr restores the system locale.
Locale* installLocale(Locale* locale);

using ScopedLocale = ScopedInstall<Locale, installLocale>;

}  // namespace hmr

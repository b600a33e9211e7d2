// SPDX-License-Identifier: MIT
// Shared definitions of the tracker: enumerations, global values, the time arithmetic on
// which all accounting rests, the checksum of the data file, and calendar helpers.
#pragma once

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SettingsStore.h"

namespace hmr {

// Days since 1899-12-30, the fraction being the time of day, in local time.
using TDateTime = double;

// Every enumeration is a one-byte ordinal counting from 0 in the order given; the dialog maps
// list positions onto them, so the order is binding.
// ftLazarus came later and goes last: the values before it never change.
enum THostTool : std::uint8_t { ftUnknown, ftViewer, ftDelphi4, ftDelphi5, ftVB6, ftLazarus };
enum TDispTimeUnit : std::uint8_t { dtuHour, dtuMinute, dtuSecond };
enum TFileExportFormat : std::uint8_t { feText, feCSV };
enum TUpdatingLevel : std::uint8_t { ulProjectSelection, ulSimple, ulProjectGroup, ulReInit };
enum TQueryResultVision : std::uint8_t { qrvTextCol, qrvOpenCloseCol, qrvBothCol };
enum TSessionCloseStatus : std::uint8_t { scsClosed, scsNotClosed, scsCurrent };
enum TGroupGroupByMode : std::uint8_t { ggProject, ggSession, ggUsername, ggDay, ggWeek, ggMonth };
enum TProjectGroupByMode : std::uint8_t { pgSession, pgUsername, pgDay, pgWeek, pgMonth };
enum TSortByMode : std::uint8_t { sbVariant, sbTotalTime, sbIdleTime, sbWorkTime };
enum TSortOrder : std::uint8_t { soAsc, soDesc };
enum TSortCompareMode : std::uint8_t {
  scText, scSession, scTotalTime, scIdleTime, scWorkTime, scUserName
};
enum TFuncGroupByMode : std::uint8_t { fgProject, fgSession, fgDay, fgWeek, fgMonth, fgUsername };

// A set of host tools, one bit per ordinal. Declared for callers; nothing in the tracker
// takes it.
class THostToolSet {
 public:
  constexpr THostToolSet() = default;
  constexpr THostToolSet(std::initializer_list<THostTool> tools) {
    for (THostTool t : tools) bits_ |= bit(t);
  }
  constexpr bool contains(THostTool t) const { return (bits_ & bit(t)) != 0; }
  constexpr void include(THostTool t) { bits_ |= bit(t); }
  constexpr void exclude(THostTool t) { bits_ &= static_cast<std::uint8_t>(~bit(t)); }
  constexpr bool empty() const { return bits_ == 0; }
  friend constexpr bool operator==(THostToolSet, THostToolSet) = default;

 private:
  static constexpr std::uint8_t bit(THostTool t) { return static_cast<std::uint8_t>(1u << t); }
  std::uint8_t bits_ = 0;
};

inline constexpr std::string_view VersionDesc = "Host Version %s - Kernel Version %s";
inline constexpr std::string_view KernelVersion = "2.0";
// Root under which the per-host keys of the user list and preferences live.
inline constexpr RegistryRoot HMRRootKey = RegistryRoot::LocalMachine;

// The version line: VersionDesc filled with the host version and KernelVersion.
std::string formatVersionDesc(std::string_view HostVersion);

// The current local date-time with the milliseconds cut off (10:15:59.999 gives 10:15:59).
// The only reader of the clock in the tracker.
TDateTime nowTrunc();

// Seconds since 1899-12-30 00:00:00: whole days times 86400 plus the day fraction in seconds,
// rounded to the nearest integer with ties to even. Exact for every value of nowTrunc.
std::int64_t ConvertDateTimeToSeconds(TDateTime DT);

// Seconds from Start to Finish; 0 when Finish is not >= Start (unordered values included).
std::int64_t GetDifInSeconds(TDateTime Start, TDateTime Finish);

// GetDifInSeconds in hours, unrounded.
double GetDifInHours(TDateTime Start, TDateTime Finish);

// Additive checksum of Size bytes: the byte sum, folded by subtracting 0x7FFFFFFF whenever it
// exceeds 0x7FFFFFFF, so it always lies in 0..2147483647. 0 for Size <= 0.
std::int32_t CalculateCRC(const void* Data, std::int32_t Size);

// Nearest integer to x, ties to even, independent of the floating-point rounding mode.
std::int64_t roundHalfEven(double x);

// Calendar helpers on the same date-time scale. The time of day of a negative date-time is
// its absolute fraction, as the date-time format defines it.
struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};

TDateTime encodeDate(int year, int month, int day);
// Fraction of a day; hour 0..23, minute and second 0..59, millisecond 0..999.
TDateTime encodeTime(int hour, int minute, int second, int millisecond = 0);
TDateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second);
// Splits a date-time, the time rounded to the millisecond (a carry moves to the next day).
DateTimeParts decodeDateTime(TDateTime dt);
// The whole-day part of dt (truncated toward zero): midnight of its day.
TDateTime dateOf(TDateTime dt);
// 1 for Sunday, 2 for Monday, ... 7 for Saturday.
int dayOfWeek(TDateTime dt);
// Midnight of the first day of dt's month, and of the month after it.
TDateTime startOfMonth(TDateTime dt);
TDateTime startOfNextMonth(TDateTime dt);
// "YYYY-MM-DDTHH:MM:SS", and its inverse (false when `text` is not such a date-time).
std::string formatIsoDateTime(TDateTime dt);
// The same text appended to `out`.
void appendIsoDateTime(std::string& out, TDateTime dt);
bool parseIsoDateTime(std::string_view text, TDateTime& out);


// --- Query results -------------------------------------------------------------------------
// What the tracker dialog lists: lines made from sessions, projects, periods or users, grouped
// and sorted by the operations below. A result owns its lines; hand it on by moving it.

// One line of a result. Lines that are not session lines have CloseStatus scsClosed and an
// empty UserName; a DateTimeClose of 0 on a session line means "not closed".
struct TQueryResultLine {
  std::string Text;
  TDateTime DateTimeOpen = 0;
  TDateTime DateTimeClose = 0;
  TSessionCloseStatus CloseStatus = scsClosed;
  std::int64_t TotalTime = 0;  // seconds
  std::int64_t IdleTime = 0;   // seconds
  std::int64_t WorkTime = 0;   // seconds
  std::string UserName;
};

// A whole result. Count is authoritative: only Lines[0 .. Count-1] are lines of the result;
// Lines.size() >= Count is a capacity and the slots beyond Count are not lines.
struct TQueryResult {
  TQueryResultVision Vision = qrvTextCol;
  std::int32_t Count = 0;
  std::vector<TQueryResultLine> Lines;
};

// Empties the result: Vision qrvTextCol, Count 0, every line released.
void ClearQueryResult(TQueryResult& QR);

// Appends a line slot at index Count and returns it for the caller to write in full. When the
// slot lies beyond Lines, Lines grows by nine zeroed slots; the storage behind it grows
// geometrically, so appending a million lines copies each line a bounded number of times.
TQueryResultLine& AppendQueryResultLine(TQueryResult& QR);

// Compares two lines by the one key of Mode: negative, zero (a tie) or positive. Text keys
// compare case-insensitively in the current locale. A mode outside the enumeration gives 0.
std::int32_t CompareQR(const TQueryResultLine& A, const TQueryResultLine& B,
                       TSortCompareMode Mode);

// Sorts QR.Lines[Lo .. Hi] (both inclusive) in place: a quicksort with a middle pivot copy and
// Hoare partitioning, not stable. The order in which tied lines come out is part of the
// contract (soDesc is not the reverse of soAsc for ties). Hi <= Lo changes nothing.
// Lo and Hi must lie inside 0 .. Lines.size()-1 when Hi > Lo.
void SortQR(TQueryResult& QR, std::int32_t Lo, std::int32_t Hi, TSortCompareMode Mode,
            TSortOrder Order);

// Folds the lines of QR (read only) into a new result of one line per day, week (Sunday to
// Saturday) or month (input sorted by scSession ascending), or per user (input sorted by
// scUserName ascending). fgProject and fgSession give an empty result.
TQueryResult GroupQRBy(const TQueryResult& QR, TFuncGroupByMode Mode);

// The pieces of GroupQRBy, for folds that reach the same result another way.
// The period of GroupQRBy's fold by fgDay, fgWeek or fgMonth that holds `x`: its first
// instant and that of the next period.
struct TQueryPeriod {
  TDateTime Start;
  TDateTime Next;
};
TQueryPeriod queryPeriodOf(TDateTime x, TFuncGroupByMode Mode);
// Appends the line of a period, or of a user, with zero times, as the folds write them.
TQueryResultLine& appendPeriodLine(TQueryResult& QR, const TQueryPeriod& Period);
TQueryResultLine& appendUserLine(TQueryResult& QR, std::string_view Name);

// The broken-down form of a local date-time for strftime, computed arithmetically: no
// time-zone conversion takes place.
std::tm toTm(TDateTime dt);
// The same with only the date and the time of day: tm_wday and tm_yday are left 0. Enough for
// formats of numbers alone, and cheaper.
std::tm toTmDateAndTime(TDateTime dt);
// A date in the current locale's short date format, and a date followed by one space and its
// time in the locale's long time format without seconds.
std::string shortDateText(TDateTime dt);
std::string shortDateTimeText(TDateTime dt);

}  // namespace hmr

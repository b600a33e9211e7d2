// SPDX-License-Identifier: MIT
#include "core/uHMRGlobal.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "core/TextRanks.h"
#include "platform/CivilDate.h"
#include "platform/Clock.h"
#include "platform/Locale.h"

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
  if (std::fabs(x) < 0x1p62) {
    // Within the range of the integer: floor and the tie rule by integer means, which cost
    // no library calls (this runs twice for every session read).
    std::int64_t floor = static_cast<std::int64_t>(x);  // toward zero
    if (static_cast<double>(floor) > x) --floor;
    const double diff = x - static_cast<double>(floor);
    if (diff > 0.5 || (diff == 0.5 && (floor & 1) != 0)) ++floor;
    return floor;
  }
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
  // Whole days toward zero; by an integer conversion where the value allows it.
  const double days =
      std::fabs(DT) < 0x1p62 ? static_cast<double>(static_cast<std::int64_t>(DT)) : std::trunc(DT);
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
  std::string text;
  appendIsoDateTime(text, dt);
  return text;
}

void appendIsoDateTime(std::string& out, TDateTime dt) {
  const DateTimeParts p = decodeDateTime(dt);
  if (p.year < 0 || p.year > 9999) {  // beyond four digits: printf's own way
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month,
                  p.day, p.hour, p.minute, p.second);
    out += buffer;
    return;
  }
  // Written digit by digit: a dump of a million sessions formats two million of these.
  char text[19] = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0',
                   'T', '0', '0', ':', '0', '0', ':', '0', '0'};
  const auto put = [&text](std::size_t end, int value, std::size_t digits) {
    for (std::size_t i = 1; i <= digits; ++i, value /= 10) {
      text[end - i] = static_cast<char>('0' + value % 10);
    }
  };
  put(4, p.year, 4);
  put(7, p.month, 2);
  put(10, p.day, 2);
  put(13, p.hour, 2);
  put(16, p.minute, 2);
  put(19, p.second, 2);
  out.append(text, sizeof text);
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

// --- Query results -------------------------------------------------------------------------

namespace {

int signOf(int v) { return (v > 0) - (v < 0); }

int compareInt(std::int64_t a, std::int64_t b) { return (a > b) - (a < b); }

// Unordered values (NaN) tie with everything, as neither test holds.
int compareDate(TDateTime a, TDateTime b) { return a < b ? -1 : (a > b ? 1 : 0); }

int compareText(std::string_view a, std::string_view b) {
  return signOf(currentLocale().compareText(a, b));
}

// The quicksort of SortQR, run on the lines' keys. Each key goes with the index of its line;
// the sort exchanges these small items exactly as the contract exchanges whole lines, since
// every step depends on the keys alone, and then each line moves once to where its item went.
// Of the two disjoint subranges that remain after partitioning, the smaller is sorted by
// recursion and the larger by the loop, which leaves every item where the plain recursion
// would and bounds the depth by log2 of the range. The scans need no bounds checks: the
// pivot's own item stops both in the first pass, and after each exchange the exchanged items
// stop them again.
template <class Key>
struct KeyedLine {
  Key key;
  std::uint32_t line;  // index from Lo
};

template <bool Descending, class Key, class Compare>
void quickSort(KeyedLine<Key>* items, std::int32_t lo, std::int32_t hi, Compare compare) {
  while (lo < hi) {
    std::int32_t i = lo;
    std::int32_t j = hi;
    const Key pivot = items[lo + (hi - lo) / 2].key;
    do {
      if constexpr (!Descending) {
        while (compare(items[i].key, pivot) < 0) ++i;
        while (compare(items[j].key, pivot) > 0) --j;
      } else {
        while (compare(items[i].key, pivot) > 0) ++i;
        while (compare(items[j].key, pivot) < 0) --j;
      }
      if (i <= j) {
        std::swap(items[i], items[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) quickSort<Descending>(items, lo, j, compare);
      lo = i;
    } else {
      if (i < hi) quickSort<Descending>(items, i, hi, compare);
      hi = j;
    }
  }
}

// Sorts lines[lo .. hi] by the key that `keyOf` gives each line, compared by `compare`.
template <class KeyOf, class Compare>
void sortLines(std::vector<TQueryResultLine>& lines, std::int32_t lo, std::int32_t hi,
               TSortOrder order, KeyOf keyOf, Compare compare) {
  using Key = decltype(keyOf(lines[0], std::uint32_t{0}));
  const auto n = static_cast<std::uint32_t>(hi - lo + 1);
  TQueryResultLine* const first = lines.data() + lo;
  std::vector<KeyedLine<Key>> items(n);
  for (std::uint32_t k = 0; k < n; ++k) items[k] = {keyOf(first[k], k), k};
  if (order == soDesc) {
    quickSort<true>(items.data(), 0, static_cast<std::int32_t>(n) - 1, compare);
  } else {
    quickSort<false>(items.data(), 0, static_cast<std::int32_t>(n) - 1, compare);
  }
  // Position k takes the line of items[k]: each cycle of the permutation is followed once,
  // every position marked done by pointing at itself. The line indexes go to an array of
  // their own, small enough to stay in a cache, so that a second walk can run ahead along the
  // cycle and fetch the lines to come while the current ones move: the lines are spread over
  // far more memory than any cache, and fetched one at a time their latency is the whole cost.
  std::vector<std::uint32_t> source(n);
  for (std::uint32_t k = 0; k < n; ++k) source[k] = items[k].line;
  std::vector<KeyedLine<Key>>().swap(items);
  const auto prefetch = [first](std::uint32_t k) {
    const char* at = reinterpret_cast<const char*>(first + k);
    __builtin_prefetch(at);
    __builtin_prefetch(at + sizeof(TQueryResultLine) - 1);
  };
  constexpr int kAhead = 16;  // lines in flight
  for (std::uint32_t k = 0; k < n; ++k) {
    if (source[k] == k) continue;
    // `ahead` runs kAhead positions further along the cycle, up to its start.
    std::uint32_t ahead = source[k];
    for (int d = 0; d < kAhead && ahead != k; ++d) {
      prefetch(ahead);
      ahead = source[ahead];
    }
    TQueryResultLine held = std::move(first[k]);
    std::uint32_t j = k;
    for (;;) {
      const std::uint32_t from = source[j];
      source[j] = j;
      if (from == k) {
        first[j] = std::move(held);
        break;
      }
      if (ahead != k) {
        prefetch(ahead);
        ahead = source[ahead];
      }
      first[j] = std::move(first[from]);
      j = from;
    }
  }
}

// Sorts by a text key: by the ranks of the distinct texts when ranks can stand for the
// locale's comparison (few distinct texts, the usual case), else by the texts themselves.
template <class TextOf>
void sortLinesByText(std::vector<TQueryResultLine>& lines, std::int32_t lo, std::int32_t hi,
                     TSortOrder order, TextOf textOf) {
  std::vector<std::string_view> distinct;
  std::vector<std::uint32_t> idOfLine(static_cast<std::size_t>(hi - lo + 1));
  std::unordered_map<std::string_view, std::uint32_t> ids;
  std::string_view last;
  std::uint32_t lastId = 0;
  for (std::int32_t k = lo; k <= hi; ++k) {
    const std::string_view text = textOf(lines[static_cast<std::size_t>(k)]);
    if (distinct.empty() || text != last) {
      const auto [at, added] = ids.try_emplace(text, static_cast<std::uint32_t>(distinct.size()));
      if (added) distinct.push_back(text);
      last = text;
      lastId = at->second;
    }
    idOfLine[static_cast<std::size_t>(k - lo)] = lastId;
  }
  std::vector<std::uint32_t> ranks;
  if (rankTexts(distinct, ranks)) {
    sortLines(
        lines, lo, hi, order,
        [&](const TQueryResultLine&, std::uint32_t k) { return ranks[idOfLine[k]]; },
        [](std::uint32_t a, std::uint32_t b) { return compareInt(a, b); });
  } else {
    sortLines(
        lines, lo, hi, order,
        [&](const TQueryResultLine& l, std::uint32_t) { return std::string_view(textOf(l)); },
        [](std::string_view a, std::string_view b) { return compareText(a, b); });
  }
}

void addTimes(TQueryResultLine& to, const TQueryResultLine& from) {
  to.TotalTime += from.TotalTime;
  to.IdleTime += from.IdleTime;
  to.WorkTime += from.WorkTime;
}

TQueryResult foldByPeriod(const TQueryResult& in, TFuncGroupByMode mode) {
  TQueryResult out;
  if (in.Count <= 0) return out;
  TQueryPeriod current = queryPeriodOf(in.Lines[0].DateTimeOpen, mode);
  appendPeriodLine(out, current);
  for (std::int32_t k = 0; k < in.Count; ++k) {
    const TQueryResultLine& line = in.Lines[static_cast<std::size_t>(k)];
    // Only reaching the next period opens a line: an earlier line joins the current one.
    if (line.DateTimeOpen >= current.Next) {
      current = queryPeriodOf(line.DateTimeOpen, mode);
      appendPeriodLine(out, current);
    }
    addTimes(out.Lines[static_cast<std::size_t>(out.Count - 1)], line);
  }
  return out;
}

TQueryResult foldByUser(const TQueryResult& in) {
  TQueryResult out;
  if (in.Count <= 0) return out;
  const std::string* current = &in.Lines[0].UserName;
  appendUserLine(out, *current);
  for (std::int32_t k = 0; k < in.Count; ++k) {
    const TQueryResultLine& line = in.Lines[static_cast<std::size_t>(k)];
    if (compareText(line.UserName, *current) != 0) {
      current = &line.UserName;
      appendUserLine(out, *current);
    }
    addTimes(out.Lines[static_cast<std::size_t>(out.Count - 1)], line);
  }
  return out;
}

}  // namespace

void ClearQueryResult(TQueryResult& QR) {
  QR.Vision = qrvTextCol;
  QR.Count = 0;
  std::vector<TQueryResultLine>().swap(QR.Lines);
}

TQueryResultLine& AppendQueryResultLine(TQueryResult& QR) {
  const auto index = static_cast<std::size_t>(QR.Count);
  if (index >= QR.Lines.size()) {
    constexpr std::size_t kGrowth = 9;
    const std::size_t wanted = QR.Lines.size() + kGrowth;
    // The visible length grows by nine slots; the storage doubles underneath so that a long
    // run of appends stays linear.
    if (wanted > QR.Lines.capacity()) {
      QR.Lines.reserve(std::max(wanted, QR.Lines.capacity() * 2));
    }
    QR.Lines.resize(wanted);
  }
  ++QR.Count;
  return QR.Lines[index];
}

std::int32_t CompareQR(const TQueryResultLine& A, const TQueryResultLine& B,
                       TSortCompareMode Mode) {
  switch (Mode) {
    case scText:
      return compareText(A.Text, B.Text);
    case scSession:
      return compareDate(A.DateTimeOpen, B.DateTimeOpen);
    case scTotalTime:
      return compareInt(A.TotalTime, B.TotalTime);
    case scIdleTime:
      return compareInt(A.IdleTime, B.IdleTime);
    case scWorkTime:
      return compareInt(A.WorkTime, B.WorkTime);
    case scUserName:
      return compareText(A.UserName, B.UserName);
  }
  return 0;
}

void SortQR(TQueryResult& QR, std::int32_t Lo, std::int32_t Hi, TSortCompareMode Mode,
            TSortOrder Order) {
  if (Hi <= Lo) return;
  assert(Lo >= 0 && static_cast<std::size_t>(Hi) < QR.Lines.size());
  std::vector<TQueryResultLine>& lines = QR.Lines;
  const auto byInt = [](std::int64_t a, std::int64_t b) { return compareInt(a, b); };
  switch (Mode) {
    case scText:
      return sortLinesByText(lines, Lo, Hi, Order,
                             [](const TQueryResultLine& l) -> const std::string& {
                               return l.Text;
                             });
    case scSession:
      return sortLines(
          lines, Lo, Hi, Order,
          [](const TQueryResultLine& l, std::uint32_t) { return l.DateTimeOpen; },
          [](TDateTime a, TDateTime b) { return compareDate(a, b); });
    case scTotalTime:
      return sortLines(
          lines, Lo, Hi, Order,
          [](const TQueryResultLine& l, std::uint32_t) { return l.TotalTime; }, byInt);
    case scIdleTime:
      return sortLines(
          lines, Lo, Hi, Order,
          [](const TQueryResultLine& l, std::uint32_t) { return l.IdleTime; }, byInt);
    case scWorkTime:
      return sortLines(
          lines, Lo, Hi, Order,
          [](const TQueryResultLine& l, std::uint32_t) { return l.WorkTime; }, byInt);
    case scUserName:
      return sortLinesByText(lines, Lo, Hi, Order,
                             [](const TQueryResultLine& l) -> const std::string& {
                               return l.UserName;
                             });
  }
  // Any other mode ties every pair: the partitioning still exchanges lines, exactly as the
  // sort does with a comparison that always answers 0.
  sortLines(
      lines, Lo, Hi, Order, [](const TQueryResultLine&, std::uint32_t) { return 0; },
      [](int, int) { return 0; });
}

TQueryResult GroupQRBy(const TQueryResult& QR, TFuncGroupByMode Mode) {
  assert(QR.Count >= 0 && static_cast<std::size_t>(QR.Count) <= QR.Lines.size());
  switch (Mode) {
    case fgDay:
    case fgWeek:
    case fgMonth:
      return foldByPeriod(QR, Mode);
    case fgUsername:
      return foldByUser(QR);
    default:
      return TQueryResult{};
  }
}

TQueryPeriod queryPeriodOf(TDateTime x, TFuncGroupByMode Mode) {
  switch (Mode) {
    case fgWeek: {
      const TDateTime start = dateOf(x) - dayOfWeek(x) + 1;  // the Sunday on or before x
      return {start, start + 7};
    }
    case fgMonth:
      return {startOfMonth(x), startOfNextMonth(x)};
    default: {
      const TDateTime start = dateOf(x);
      return {start, start + 1};
    }
  }
}

TQueryResultLine& appendPeriodLine(TQueryResult& QR, const TQueryPeriod& Period) {
  TQueryResultLine& line = AppendQueryResultLine(QR);
  line = TQueryResultLine{};
  line.Text = shortDateText(Period.Start);
  line.DateTimeOpen = Period.Start;
  line.DateTimeClose = Period.Next;
  return line;
}

TQueryResultLine& appendUserLine(TQueryResult& QR, std::string_view Name) {
  TQueryResultLine& line = AppendQueryResultLine(QR);
  line = TQueryResultLine{};
  line.Text = Name;
  return line;
}

std::tm toTmDateAndTime(TDateTime dt) {
  const DateTimeParts p = decodeDateTime(dt);
  std::tm t{};
  t.tm_year = p.year - 1900;
  t.tm_mon = p.month - 1;
  t.tm_mday = p.day;
  t.tm_hour = p.hour;
  t.tm_min = p.minute;
  t.tm_sec = p.second;
  t.tm_isdst = 0;
  return t;
}

std::tm toTm(TDateTime dt) {
  std::tm t = toTmDateAndTime(dt);
  const int year = t.tm_year + 1900;
  const long long day = dayNumberFromCivil(CivilDate{year, t.tm_mon + 1, t.tm_mday});
  t.tm_wday = static_cast<int>(((day + 6) % 7 + 7) % 7);  // day 0 was a Saturday
  t.tm_yday = static_cast<int>(day - dayNumberFromCivil(CivilDate{year, 1, 1}));
  return t;
}

std::string shortDateText(TDateTime dt) { return currentLocale().formatShortDate(toTm(dt)); }

std::string shortDateTimeText(TDateTime dt) {
  const std::tm t = toTm(dt);
  const Locale& locale = currentLocale();
  return locale.formatShortDate(t) + " " + locale.formatTimeWithoutSeconds(t);
}

std::string formatVersionDesc(std::string_view HostVersion) {
  std::string version(VersionDesc);
  for (const std::string_view value : {HostVersion, KernelVersion}) {
    const std::size_t at = version.find("%s");
    if (at != std::string::npos) version.replace(at, 2, value);
  }
  return version;
}

}  // namespace hmr

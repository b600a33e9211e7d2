// SPDX-License-Identifier: MIT
#include "core/SessionFold.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/TextRanks.h"
#include "core/uHMRProject.h"

namespace hmr {
namespace {

struct Times {
  std::int64_t total = 0;
  std::int64_t idle = 0;
  std::int64_t work = 0;

  void add(const TSessionData& s) {
    total += s.SessionTotalTime;
    idle += s.SessionIdleTime;
    work += s.SessionWorkTime;
  }
};

void setTimes(TQueryResultLine& line, const Times& times) {
  line.TotalTime = times.total;
  line.IdleTime = times.idle;
  line.WorkTime = times.work;
}

// The day after 9999-12-31: beyond it a period's bounds are no longer exact days.
constexpr TDateTime kPastLastDay = 2958466;

// Sorted by open time, the sessions of one period stand together, and each period's first
// session opens a new line: so the fold gives one line per period that holds a session, in
// order. That holds as long as every open time lies inside the period the fold computes for
// it, which is so from 1899-12-30 to 9999-12-31.
std::optional<TQueryResult> foldByPeriod(std::span<const THMRProject* const> projects,
                                         TFuncGroupByMode mode) {
  struct Sums {
    TQueryPeriod period;
    Times times;
  };
  std::vector<Sums> periods;  // in the order first met
  std::unordered_map<TDateTime, std::size_t> indexOf;
  Sums* current = nullptr;
  for (const THMRProject* project : projects) {
    for (const auto& session : project->Sessions) {
      const TDateTime open = session.SessionDateTimeOpen;
      // Sessions mostly follow each other: the period of the one before is the first guess.
      if (current == nullptr || !(open >= current->period.Start && open < current->period.Next)) {
        // Periods are whole days from 1899-12-30 to 9999-12-31; NaN fails the test too.
        if (!(open >= 0 && open < kPastLastDay)) return std::nullopt;
        const TQueryPeriod period = queryPeriodOf(open, mode);
        const auto [at, added] = indexOf.try_emplace(period.Start, periods.size());
        if (added) periods.push_back({period, {}});
        current = &periods[at->second];
      }
      current->times.add(session);
    }
  }
  std::sort(periods.begin(), periods.end(),
            [](const Sums& a, const Sums& b) { return a.period.Start < b.period.Start; });
  TQueryResult out;
  for (const Sums& p : periods) setTimes(appendPeriodLine(out, p.period), p.times);
  return out;
}

// Sorted by user name, the names that compare equal stand together, in the order of the
// comparison, and each run opens one line named as its first line. When every such run is
// spelled one way, that name is known without the sort.
std::optional<TQueryResult> foldByUser(std::span<const THMRProject* const> projects) {
  std::vector<std::string_view> names;  // distinct, in the order first met
  std::vector<Times> sums;
  std::unordered_map<std::string_view, std::size_t> indexOf;
  std::string_view lastName;
  Times* current = nullptr;
  for (const THMRProject* project : projects) {
    for (const auto& session : project->Sessions) {
      const std::string_view name = session.SessionUserName;
      if (current == nullptr || name != lastName) {
        const auto [at, added] = indexOf.try_emplace(name, names.size());
        if (added) {
          names.push_back(name);
          sums.emplace_back();
        }
        lastName = name;
        current = &sums[at->second];
      }
      current->add(session);
    }
  }
  std::vector<std::uint32_t> ranks;
  if (!rankTexts(names, ranks)) return std::nullopt;
  std::vector<std::size_t> byRank(names.size(), names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (byRank[ranks[k]] != names.size()) return std::nullopt;  // two spellings of one name
    byRank[ranks[k]] = k;
  }
  TQueryResult out;
  for (const std::size_t k : byRank) setTimes(appendUserLine(out, names[k]), sums[k]);
  return out;
}

}  // namespace

std::optional<TQueryResult> foldSessions(std::span<const THMRProject* const> projects,
                                         TFuncGroupByMode Mode) {
  switch (Mode) {
    case fgDay:
    case fgWeek:
    case fgMonth:
      return foldByPeriod(projects, Mode);
    case fgUsername:
      return foldByUser(projects);
    default:
      return std::nullopt;
  }
}

}  // namespace hmr

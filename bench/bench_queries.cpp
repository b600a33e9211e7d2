// SPDX-License-Identifier: MIT
// The group query over 10 projects of 100,000 sessions each (by week, by work time
// descending), and SortQR on 1,000,000 lines by total time and by user name against std::sort
// of the same lines by the same key (goal: within 1.1 times std::sort).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/RandomSessions.h"
#include "bench/Yardstick.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/Locale.h"
#include "platform/PeriodicTimer.h"

namespace {

using namespace hmr;

constexpr int kProjects = 10;
constexpr int kSessionsPerProject = 100000;
constexpr int kSortLines = 1000000;

// Ten projects whose sessions follow each other every 2 to 6 hours from 2000 on, with work
// and idle times of a few minutes to a few hours (built directly: AddSession re-totals the
// project on every call).
struct BigGroup {
  BigGroup() : timer(std::make_unique<ManualTimer>()) {
    std::mt19937_64 random(20261207);
    for (int p = 0; p < kProjects; ++p) {
      auto project = std::make_unique<THMRProject>();
      project->FileName = "Project" + std::to_string(p) + ".HMR";
      bench::addRandomSessions(*project, kSessionsPerProject,
                               encodeDateTime(2000, 1, 1, 8, 0, 0) + p / 24.0, random);
      group.Projects.emplace_back(project->FileName, std::move(project));
    }
  }
  ScopedTimerGlobal timer;
  THMRProjectGroup group;
};

void BM_GroupQueryByWeekSortedByWorkDesc(benchmark::State& state) {
  FixedLocale locale;
  ScopedLocale use(locale);
  static BigGroup* big = new BigGroup();  // built once, kept for the program's life
  std::int32_t count = 0;
  for (auto _ : state) {
    const TQueryResult qr = big->group.ExecuteQuery(ggWeek, sbWorkTime, soDesc);
    count = qr.Count;
    benchmark::DoNotOptimize(qr.Lines.data());
  }
  state.counters["weeks"] = count;
  state.counters["sessions"] = kProjects * kSessionsPerProject;
}
BENCHMARK(BM_GroupQueryByWeekSortedByWorkDesc)->Unit(benchmark::kMillisecond);

// A million session-like lines with total times of 1 s to 4 h (many ties).
const TQueryResult& unsortedLines() {
  static const TQueryResult lines = [] {
    TQueryResult qr;
    qr.Vision = qrvOpenCloseCol;
    std::mt19937_64 random(7);
    for (int i = 0; i < kSortLines; ++i) {
      TQueryResultLine& line = AppendQueryResultLine(qr);
      line.Text = "Project" + std::to_string(i % 10);
      line.DateTimeOpen = 40000 + i / 4.0;
      line.TotalTime = 1 + static_cast<std::int64_t>(random() % 14400);
      line.IdleTime = line.TotalTime / 3;
      line.WorkTime = line.TotalTime - line.IdleTime;
      line.UserName = i % 3 == 0 ? "ann" : "bob";
    }
    return qr;
  }();
  return lines;
}

void BM_SortQRByTotalTime(benchmark::State& state) {
  const TQueryResult& source = unsortedLines();
  for (auto _ : state) {
    state.PauseTiming();
    TQueryResult qr = source;
    state.ResumeTiming();
    SortQR(qr, 0, qr.Count - 1, scTotalTime, soAsc);
    benchmark::DoNotOptimize(qr.Lines.data());
    state.PauseTiming();
    qr = TQueryResult{};  // freeing the copy is not part of the sort
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSortLines);
}
BENCHMARK(BM_SortQRByTotalTime)->Unit(benchmark::kMillisecond);

void BM_StdSortByTotalTime(benchmark::State& state) {
  const TQueryResult& source = unsortedLines();
  for (auto _ : state) {
    state.PauseTiming();
    TQueryResult qr = source;
    state.ResumeTiming();
    std::sort(qr.Lines.begin(), qr.Lines.begin() + qr.Count,
              [](const TQueryResultLine& a, const TQueryResultLine& b) {
                return a.TotalTime < b.TotalTime;
              });
    benchmark::DoNotOptimize(qr.Lines.data());
    state.PauseTiming();
    qr = TQueryResult{};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSortLines);
}
BENCHMARK(BM_StdSortByTotalTime)->Unit(benchmark::kMillisecond);

// SortQR and std::sort of two copies of the same lines in the same iterations: the counter
// "ratio" is SortQR's time over std::sort's.
template <class Less>
void sortAgainstStdSort(benchmark::State& state, TSortCompareMode mode, Less less) {
  FixedLocale locale;
  ScopedLocale use(locale);
  const TQueryResult& source = unsortedLines();
  TQueryResult ours;
  TQueryResult theirs;
  bench::timeAgainstYardstick(
      state,
      [&] {
        ours = source;
        theirs = source;
      },
      [&] {
        SortQR(ours, 0, ours.Count - 1, mode, soAsc);
        benchmark::DoNotOptimize(ours.Lines.data());
      },
      [&] {
        std::sort(theirs.Lines.begin(), theirs.Lines.begin() + theirs.Count, less);
        benchmark::DoNotOptimize(theirs.Lines.data());
      });
}

void BM_SortQRAgainstStdSortByTotalTime(benchmark::State& state) {
  sortAgainstStdSort(state, scTotalTime, [](const TQueryResultLine& a, const TQueryResultLine& b) {
    return a.TotalTime < b.TotalTime;
  });
}
BENCHMARK(BM_SortQRAgainstStdSortByTotalTime)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SortQRAgainstStdSortByUserName(benchmark::State& state) {
  sortAgainstStdSort(state, scUserName, [](const TQueryResultLine& a, const TQueryResultLine& b) {
    return currentLocale().compareText(a.UserName, b.UserName) < 0;
  });
}
BENCHMARK(BM_SortQRAgainstStdSortByUserName)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// SPDX-License-Identifier: MIT
// The text report and the semicolon-separated text of 100,000 session lines (what `hmr report`
// writes for a project of that many sessions), timed against copying the same number of
// bytes in the same pieces: how close the formatting comes to the cost of writing its output.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "bench/RandomSessions.h"
#include "bench/Yardstick.h"
#include "core/GridCells.h"
#include "core/uHMRExport.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/Locale.h"
#include "platform/PeriodicTimer.h"

namespace {

using namespace hmr;

constexpr int kSessions = 100000;

// The session lines of one project, as the report of its sessions lists them.
struct SessionLines {
  SessionLines() : timer(std::make_unique<ManualTimer>()) {
    std::mt19937_64 random(20261209);
    project.FileName = "Invoicing.HMR";
    bench::addRandomSessions(project, kSessions, encodeDateTime(2015, 1, 5, 8, 0, 0), random);
    result = project.ExecuteQuery(pgSession, sbVariant, soAsc);
  }
  ScopedTimerGlobal timer;
  THMRProject project;
  TQueryResult result;
};

const SessionLines& sessionLines() {
  static const SessionLines* lines = new SessionLines();  // built once, kept for the run
  return *lines;
}

// Times `write` (an export writer over the grid) against copying as many bytes as it wrote,
// in 64 KiB pieces, into the same kind of buffer.
template <class Write>
void timeAgainstCopy(benchmark::State& state, Write write) {
  FixedLocale locale;
  ScopedLocale use(locale);
  const SessionLines& lines = sessionLines();
  const GridCells cells(lines.result, "Session", dtuHour, true);
  std::string out;
  write(cells, [&out](std::string_view piece) { out.append(piece); });
  const std::string written = out;
  std::string copy;
  out.reserve(written.size());
  copy.reserve(written.size());
  bench::timeAgainstYardstick(
      state,
      [&] {
        out.clear();
        copy.clear();
      },
      [&] { write(cells, [&out](std::string_view piece) { out.append(piece); }); },
      [&] {
        for (std::size_t at = 0; at < written.size(); at += std::size_t{1} << 16) {
          copy.append(written, at, std::size_t{1} << 16);
        }
        benchmark::DoNotOptimize(copy.data());
      });
  state.counters["MB"] = static_cast<double>(written.size()) / 1e6;
  state.counters["lines"] = lines.result.Count;
}

void BM_TextReportAgainstCopy(benchmark::State& state) {
  timeAgainstCopy(state, [](const CellRows& cells, const TextSink& sink) {
    writeTextReport("header\r\n", cells, sink);
  });
}
BENCHMARK(BM_TextReportAgainstCopy)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SemicolonTextAgainstCopy(benchmark::State& state) {
  timeAgainstCopy(state, [](const CellRows& cells, const TextSink& sink) {
    writeSemicolonText(cells, sink);
  });
}
BENCHMARK(BM_SemicolonTextAgainstCopy)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// SPDX-License-Identifier: MIT
// One tick of the global timer over 100 armed countdowns, and activity on one open project
// among 100.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"

namespace {

using namespace hmr;

void BM_TickOver100ArmedEvents(benchmark::State& state) {
  THMRGlobalTimer timer(std::make_unique<ManualTimer>());
  std::vector<std::int32_t> handles;
  for (int i = 0; i < 100; ++i) handles.push_back(timer.Add([](THMRGlobalTimer&) {}, 1LL << 40));
  for (auto _ : state) timer.MasterTimerEvent();
  benchmark::DoNotOptimize(timer.eventCount());
}
BENCHMARK(BM_TickOver100ArmedEvents);

void BM_ActivityOnOneOf100OpenProjects(benchmark::State& state) {
  VirtualClock clock(encodeDateTime(2026, 12, 7, 9, 0, 0));
  ScopedClock useClock(clock);
  ScopedTimerGlobal timer(std::make_unique<ManualTimer>());
  std::vector<std::unique_ptr<THMRProject>> projects;
  for (int i = 0; i < 100; ++i) {
    projects.push_back(std::make_unique<THMRProject>());
    projects.back()->ProjectOpened(std::to_string(i).append(".dpr"), "", true);
  }
  THMRProject& last = *projects.back();  // its countdown is last in the timer's list
  for (auto _ : state) last.ActivityDetected();
  benchmark::DoNotOptimize(last.State);
}
BENCHMARK(BM_ActivityOnOneOf100OpenProjects);

}  // namespace

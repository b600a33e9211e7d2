// SPDX-License-Identifier: MIT
// A benchmark timed against its yardstick in the same run: every iteration times the subject
// and then the yardstick, so that both see the same machine (the machine is shared and its
// speed drifts). The benchmark's time is the subject's; the counters give the yardstick's
// time per iteration in milliseconds and the ratio of the two.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

namespace hmr::bench {

// Runs `prepare()` untimed, then `subject()` timed, then `yardstick()` timed, in every
// iteration. Register the benchmark with ->UseManualTime().
template <class Prepare, class Subject, class Yardstick>
void timeAgainstYardstick(benchmark::State& state, Prepare prepare, Subject subject,
                          Yardstick yardstick) {
  using Clock = std::chrono::steady_clock;
  double subjectSeconds = 0;
  double yardstickSeconds = 0;
  for (auto _ : state) {
    prepare();
    const auto start = Clock::now();
    subject();
    const auto middle = Clock::now();
    yardstick();
    const auto end = Clock::now();
    const double s = std::chrono::duration<double>(middle - start).count();
    subjectSeconds += s;
    yardstickSeconds += std::chrono::duration<double>(end - middle).count();
    state.SetIterationTime(s);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["yardstick_ms"] = n > 0 ? yardstickSeconds / n * 1000 : 0;
  state.counters["ratio"] = yardstickSeconds > 0 ? subjectSeconds / yardstickSeconds : 0;
}

}  // namespace hmr::bench

// SPDX-License-Identifier: MIT
// Random working sessions for the tests of crash recovery and clock changes: edits, pauses
// short and long, clocks set forward and back, and a crash, drawn from a seed so that every
// case can be played again. The same script is played on the core (tests/core) and, written
// as text, by the stand-in IDE (tests/e2e).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace hmr::test_support {

struct WorkStep {
  enum Kind { Edit, Advance, ShiftClock };
  Kind kind = Edit;
  std::int64_t seconds = 0;  // Advance: > 0; ShiftClock: the change, forward (> 0) or back
};

struct WorkScript {
  std::vector<WorkStep> steps;  // after the project opened
  // The crash comes after this many steps (steps.size(): at the end). It always follows an
  // Advance, so that a crash falls on a random second, not just on an edit.
  std::size_t crashAfter = 0;

  // Seconds that pass in the first `count` steps (clock shifts pass no time).
  std::int64_t elapsedIn(std::size_t count) const {
    std::int64_t elapsed = 0;
    for (std::size_t i = 0; i < count && i < steps.size(); ++i)
      if (steps[i].kind == WorkStep::Advance) elapsed += steps[i].seconds;
    return elapsed;
  }
  // The same script without its clock shifts: the run the shifted one is compared with.
  WorkScript withoutShifts() const {
    WorkScript plain;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (i == crashAfter) plain.crashAfter = plain.steps.size();
      if (steps[i].kind != WorkStep::ShiftClock) plain.steps.push_back(steps[i]);
    }
    if (crashAfter >= steps.size()) plain.crashAfter = plain.steps.size();
    return plain;
  }
};

struct WorkScriptShape {
  std::int64_t span = 3 * 3600;  // about this many seconds pass before the crash
  int shifts = 0;                // clock shifts at random points
  std::int64_t largestShift = 2 * 3600;
};

// Bursts of edits a few seconds to a few minutes apart, broken by pauses around and well
// beyond the default idle threshold (up to 90 minutes); shifts of the clock forward or back by
// 2 s to `largestShift`, while the project is worked on or while it sits idle; the crash after
// about `span` seconds, on a random second of a pause.
inline WorkScript randomWorkScript(std::uint32_t seed, const WorkScriptShape& shape) {
  std::mt19937 random(seed);
  const auto uniform = [&](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };
  WorkScript script;
  std::int64_t elapsed = 0;
  while (elapsed < shape.span) {
    script.steps.push_back({WorkStep::Edit, 0});
    const std::int64_t kind = uniform(0, 99);
    const std::int64_t gap = kind < 65   ? uniform(1, 200)      // typing, reading
                             : kind < 85 ? uniform(200, 700)    // around the threshold
                                         : uniform(700, 5400);  // a meeting, lunch
    script.steps.push_back({WorkStep::Advance, gap});
    elapsed += gap;
  }
  // The crash on a random second of a random pause in the second half.
  std::vector<std::size_t> pauses;
  for (std::size_t i = 0; i < script.steps.size(); ++i)
    if (script.steps[i].kind == WorkStep::Advance && script.elapsedIn(i) >= shape.span / 2)
      pauses.push_back(i);
  const std::size_t pause = pauses[static_cast<std::size_t>(
      uniform(0, static_cast<std::int64_t>(pauses.size()) - 1))];
  const std::int64_t length = script.steps[pause].seconds;
  const std::int64_t before = uniform(1, length);
  script.steps[pause].seconds = before;
  if (before < length)
    script.steps.insert(script.steps.begin() + static_cast<std::ptrdiff_t>(pause) + 1,
                        {WorkStep::Advance, length - before});
  script.crashAfter = pause + 1;
  // Shifts split a pause before the crash at a random second.
  for (int s = 0; s < shape.shifts; ++s) {
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < script.crashAfter; ++i)
      if (script.steps[i].kind == WorkStep::Advance && script.steps[i].seconds > 1)
        candidates.push_back(i);
    if (candidates.empty()) break;
    const std::size_t at = candidates[static_cast<std::size_t>(
        uniform(0, static_cast<std::int64_t>(candidates.size()) - 1))];
    const std::int64_t whole = script.steps[at].seconds;
    const std::int64_t first = uniform(1, whole - 1);
    std::int64_t shift = uniform(2, shape.largestShift);
    if (uniform(0, 1) == 0) shift = -shift;
    script.steps[at].seconds = first;
    const auto next = script.steps.begin() + static_cast<std::ptrdiff_t>(at) + 1;
    script.steps.insert(next, {{WorkStep::ShiftClock, shift}, {WorkStep::Advance, whole - first}});
    script.crashAfter += 2;
  }
  return script;
}

// The steps before the crash as lines of a stand-in IDE script editing `project`.
inline std::string ideScriptLines(const WorkScript& script, const std::string& project) {
  std::string lines;
  for (std::size_t i = 0; i < script.crashAfter && i < script.steps.size(); ++i) {
    const WorkStep& step = script.steps[i];
    switch (step.kind) {
      case WorkStep::Edit:
        lines += "edit " + project + "\n";
        break;
      case WorkStep::Advance:
        lines += "advance " + std::to_string(step.seconds) + "\n";
        break;
      case WorkStep::ShiftClock:
        lines += "shift-clock " + std::to_string(step.seconds) + "\n";
        break;
    }
  }
  return lines;
}

}  // namespace hmr::test_support

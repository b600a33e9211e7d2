// SPDX-License-Identifier: MIT
// Projects with many sessions for the benchmarks, built directly: AddSession re-totals the
// project on every call.
#pragma once

#include <random>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"

namespace hmr::bench {

// Appends `count` sessions to `project`, the first opening at `firstOpen`, each one 2 to 6
// hours after the one before, lasting a minute to four hours with up to half of it idle, of
// ann or bob; then totals the project.
inline void addRandomSessions(THMRProject& project, int count, TDateTime firstOpen,
                              std::mt19937_64& random) {
  TDateTime open = firstOpen;
  for (int s = 0; s < count; ++s) {
    TSessionData session;
    const std::int64_t total = 60 + static_cast<std::int64_t>(random() % 14400);
    session.SessionDateTimeOpen = open;
    session.SessionDateTimeClose = open + static_cast<double>(total) / 86400.0;
    session.SessionIdleTime = static_cast<std::int64_t>(random() % (total / 2 + 1));
    session.SessionUserName = (random() % 3 == 0) ? "ann" : "bob";
    session.UpdateCalculatedFields();
    project.Sessions.push_back(std::move(session));
    open += (2 + static_cast<double>(random() % 5)) / 24.0;
  }
  project.UpdatePrjHistData();
}

}  // namespace hmr::bench

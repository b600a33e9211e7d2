// SPDX-License-Identifier: MIT
#include "platform/Clock.h"

#include <ctime>

#include "platform/CivilDate.h"

namespace hmr {
namespace {

constinit InstalledService<Clock, SystemClock> inUse;

}  // namespace

LocalDateTime SystemClock::now() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  const long long day =
      dayNumberFromCivil(CivilDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
  const double secondOfDay = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                             static_cast<double>(ts.tv_nsec / 1000000) / 1000.0;
  return static_cast<double>(day) + secondOfDay / 86400.0;
}

double SystemClock::elapsedSeconds() const {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

Clock& currentClock() { return inUse.current(); }

Clock* installClock(Clock* clock) { return inUse.install(clock); }

}  // namespace hmr

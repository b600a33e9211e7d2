// SPDX-License-Identifier: MIT
#include "platform/PeriodicTimer.h"

#include <cstdio>

namespace hmr {

void reportToStandardError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "unknown error in a timer callback\n");
  }
}

bool ManualTimer::tick() {
  if (!enabled_ || !callback_) return false;
  try {
    callback_();
  } catch (...) {
    if (reporter_) reporter_(std::current_exception());
  }
  return true;
}

}  // namespace hmr

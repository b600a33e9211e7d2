// SPDX-License-Identifier: MIT
#include "core/TrackerUi.h"

#include <cstdio>

namespace hmr {

void TrackerUi::showError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "core/DurationText.h"

#include <cstdio>

namespace hmr {

std::string formatDuration(std::int64_t seconds) {
  // The magnitude as unsigned, so that the most negative value has one too.
  const std::uint64_t magnitude = seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds)
                                              : static_cast<std::uint64_t>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%s%llu:%02u:%02u", seconds < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 3600),
                static_cast<unsigned>(magnitude / 60 % 60), static_cast<unsigned>(magnitude % 60));
  return text;
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
// A duration as people read it in a line of text: "H:MM:SS".
#pragma once

#include <cstdint>
#include <string>

namespace hmr {

// Whole hours (as many digits as needed), minutes and seconds: 5400 gives "1:30:00", 59 gives
// "0:00:59", -90 gives "-0:01:30".
std::string formatDuration(std::int64_t seconds);

}  // namespace hmr

// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace hmr {

// The one error type of the tracker: a failure that carries its message for the host to show.
class HmrError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace hmr

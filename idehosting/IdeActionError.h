// SPDX-License-Identifier: MIT
// What an IDE host raises when an action makes no sense in its state (editing a file that is
// not open, setting the clock after time has passed): the action changes nothing.
#pragma once

#include <stdexcept>

namespace hmr {

class IdeActionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace hmr

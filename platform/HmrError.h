// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace hmr {

// The one error type of the tracker: a failure that carries its message for the host to show.
class HmrError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message of an error: what() of a std::exception, "Unknown error" for anything else.
inline std::string describeError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace hmr

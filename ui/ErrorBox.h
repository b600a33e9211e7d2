// SPDX-License-Identifier: MIT
// Errors at the edge of the Qt event loop: a slot or a timer callback catches what its work
// raises and shows the message, so nothing unwinds through the loop.
#pragma once

#include <exception>
#include <string>
#include <utility>

class QWidget;

namespace hmr {

// The message of an error ("Unknown error" for one that is not a std::exception).
std::string errorText(std::exception_ptr error);

// Shows the error's message in a critical message box over `parent` (may be null) when a
// QApplication runs, else on standard error.
void showErrorBox(QWidget* parent, std::exception_ptr error);

// Runs `action`; an error it raises is shown by showErrorBox and goes no further. Returns
// whether the action completed.
template <class Action>
bool runGuarded(QWidget* parent, Action&& action) noexcept {
  try {
    std::forward<Action>(action)();
    return true;
  } catch (...) {
    showErrorBox(parent, std::current_exception());
    return false;
  }
}

}  // namespace hmr

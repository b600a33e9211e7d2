// SPDX-License-Identifier: MIT
// Errors at the edge of the Qt event loop: a slot or a timer callback catches what its work
// raises and shows the message, so nothing unwinds through the loop.
#pragma once

#include <exception>
#include <string>
#include <utility>

class QWidget;

namespace hmr {

// Shows the error's message in a critical message box over `parent` (may be null) when a
// QApplication runs, else on standard error.
void showErrorBox(QWidget* parent, std::exception_ptr error);

// Shows `text` in a warning box over `parent` (may be null) that does not wait for the user:
// the problems that time brings (a checkpoint that failed) come from a timer tick, and the
// tracker's timer must keep running while the message waits. Standard error without a
// QApplication. Returns the box, or null.
QWidget* showErrorNotice(QWidget* parent, const std::string& text);

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

// SPDX-License-Identifier: MIT
// A way to run a windowed program without a person, for tests and scripts on the offscreen
// platform: a modal window that stays on top while the event loop goes idle twice is closed as
// its title bar's close box closes it, one window at a time, until the program ends. (Waiting
// one idle pass lets whatever the window's showing set off, a message over it, come first.)
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <iosfwd>

namespace hmr {

class IdleCloser final {
 public:
  // Reports every window it closes on `log`: "closed: TITLE", and a message box's text.
  explicit IdleCloser(std::ostream& log);
  IdleCloser(const IdleCloser&) = delete;
  IdleCloser& operator=(const IdleCloser&) = delete;

  // A program whose windows keep coming back is ended (status 1) after this many closes.
  static constexpr int kMaxWindows = 20;

 private:
  void closeTopWindow();

  QTimer timer_;
  std::ostream& log_;
  QPointer<QWidget> seen_;  // on top at the last idle pass
  int closed_ = 0;
};

}  // namespace hmr

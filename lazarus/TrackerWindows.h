// SPDX-License-Identifier: MIT
// The tracker's Qt windows inside an IDE built on another toolkit: Lazarus draws with GTK 2 on
// X11, and Qt runs beside it on the same GLib main loop (Qt's event dispatcher there is GLib's
// default context), each toolkit on its own connection to the X server. The Qt application is
// made the first time the tracker's window is asked for, so an IDE whose user never opens it
// never loads Qt's platform plugin.
#pragma once

#include <memory>

namespace hmr {

class TrackerWindows final {
 public:
  TrackerWindows();
  // Deletes the Qt application this object made (a program's own stays).
  ~TrackerWindows();
  TrackerWindows(const TrackerWindows&) = delete;
  TrackerWindows& operator=(const TrackerWindows&) = delete;

  // Makes sure a Qt application with widgets runs: the program's own, else one made on the X
  // display of the IDE. False when windows cannot show (a build without Qt, no X display that
  // answers, or HMR_TRACKER_WINDOWS=none): the tracker dialog is then the windowless report.
  bool start();
  // Whether Qt widgets can show now without starting anything: the user has not turned the
  // windows off, and a Qt application with widgets runs (this object's, or the program's).
  bool running() const;
  // Brings the package's tracker dialog to the front when it shows.
  void raiseDialog();
  // Closes the package's tracker dialog when it shows, as its Close button does.
  void closeDialog();

 private:
  struct Application;
  std::unique_ptr<Application> application_;
};

}  // namespace hmr

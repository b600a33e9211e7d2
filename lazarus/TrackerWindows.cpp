// SPDX-License-Identifier: MIT
#include "lazarus/TrackerWindows.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#if HMR_LAZARUS_WITH_QT
#include <QApplication>

#include "ide/HMExpertPackage.h"
#include "platform/ScopedEnvironment.h"
#include "ui/QtTrackerUi.h"
#include "ui/tracker/uHMRDialog.h"
#endif

namespace hmr {
namespace {

// Whether the user turned the windows off (then the tracker dialog is the report on the IDE's
// standard output, as without Qt).
bool windowsTurnedOff() {
  const char* choice = std::getenv("HMR_TRACKER_WINDOWS");
  return choice && std::strcmp(choice, "none") == 0;
}

// Whether the X display of $DISPLAY accepts a connection. Qt ends the whole process when its
// platform plugin cannot connect, which would take the IDE down with it, so the library asks
// first, through the X client library that Qt's plugin loads anyway.
bool xDisplayAnswers() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  const auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool answers = false;
  if (connect && hasError && disconnect) {
    void* connection = connect(display, nullptr);
    answers = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);  // an erroneous connection is freed the same way
  }
  dlclose(xcb);
  return answers;
}

#if HMR_LAZARUS_WITH_QT
bool qtWidgetsRun() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// The tracker dialog of the package this library carries, while it shows.
TdlgPrjRevedazl* showingDialog() {
  QtTrackerUi* windows = linkedPackageQtWindows();
  return windows ? windows->dialog() : nullptr;
}
#endif

}  // namespace

struct TrackerWindows::Application {
#if HMR_LAZARUS_WITH_QT
  // QApplication keeps references to these for its whole life. "-platform xcb": the IDE runs
  // on X, whatever QT_QPA_PLATFORM says for the user's own programs. "-platformtheme generic"
  // with desktop settings ignored: on a GNOME-like desktop Qt would otherwise load its GTK 3
  // theme, and GTK 3 ends any process that already runs GTK 2.
  int argc = 5;
  char arg0[12] = "hmr-tracker";
  char arg1[10] = "-platform";
  char arg2[4] = "xcb";
  char arg3[15] = "-platformtheme";
  char arg4[8] = "generic";
  char* argv[6] = {arg0, arg1, arg2, arg3, arg4, nullptr};
  std::optional<QApplication> app;
#endif
};

TrackerWindows::TrackerWindows() = default;

TrackerWindows::~TrackerWindows() = default;

bool TrackerWindows::start() {
#if HMR_LAZARUS_WITH_QT
  if (windowsTurnedOff()) return false;
  if (qtWidgetsRun()) return true;
  if (QCoreApplication::instance() || !xDisplayAnswers()) return false;
  application_ = std::make_unique<Application>();
  QGuiApplication::setDesktopSettingsAware(false);
  {
    // The IDE is the desktop session's client; a second registration by Qt would let the
    // session manager end the IDE through the tracker's windows.
    ScopedEnvironment noSession("SESSION_MANAGER", nullptr);
    application_->app.emplace(application_->argc, application_->argv);
  }
  // Closing the tracker dialog must not end anything of the IDE's.
  QApplication::setQuitOnLastWindowClosed(false);
  return true;
#else
  (void)windowsTurnedOff;
  (void)xDisplayAnswers;
  return false;
#endif
}

bool TrackerWindows::running() const {
#if HMR_LAZARUS_WITH_QT
  return !windowsTurnedOff() && qtWidgetsRun();
#else
  return false;
#endif
}

void TrackerWindows::raiseDialog() {
#if HMR_LAZARUS_WITH_QT
  if (TdlgPrjRevedazl* dialog = showingDialog()) {
    dialog->raise();
    dialog->activateWindow();
  }
#endif
}

void TrackerWindows::closeDialog() {
#if HMR_LAZARUS_WITH_QT
  if (TdlgPrjRevedazl* dialog = showingDialog()) dialog->close();
#endif
}

}  // namespace hmr

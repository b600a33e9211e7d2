// SPDX-License-Identifier: MIT
// The C functions of hmr_tracker.h over one RealTimeTracker. Each checks its arguments and
// the order of calls, runs the action, and turns whatever it throws into a status and the
// text hmr_last_error() returns: nothing is thrown across the C boundary.
#include "lazarus/hmr_tracker.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "core/PathText.h"
#include "lazarus/RealTimeTracker.h"

#define HMR_C_API extern "C" __attribute__((visibility("default")))

namespace {

std::unique_ptr<hmr::RealTimeTracker> tracker;
std::string lastError;

class CallRefused {
 public:
  CallRefused(int status, std::string text) : status(status), text(std::move(text)) {}
  int status;
  std::string text;
};

// An absolute path, or the call is refused.
std::string pathArgument(const char* path, const char* what) {
  if (!path || !*path) throw CallRefused(HMR_BAD_ARGUMENT, std::string(what) + " is missing");
  if (*path != '/')
    throw CallRefused(HMR_BAD_ARGUMENT, std::string(what) + " is not absolute: " + path);
  return path;
}

hmr::RealTimeTracker& running() {
  if (!tracker) throw CallRefused(HMR_WRONG_ORDER, "The tracker is not running");
  return *tracker;
}

// Runs `action`, then reports what the IDE would have displayed during it.
template <class Action>
int call(Action&& action) noexcept {
  lastError.clear();
  try {
    action();
    if (tracker) lastError = tracker->takeMessages();
    return lastError.empty() ? HMR_OK : HMR_REPORTED;
  } catch (const CallRefused& refused) {
    lastError = refused.text;
    return refused.status;
  } catch (const std::exception& e) {
    lastError = e.what();
  } catch (...) {
    lastError = "Unknown error";
  }
  try {
    if (tracker) {
      const std::string shown = tracker->takeMessages();
      if (!shown.empty()) lastError += "\n" + shown;
    }
  } catch (...) {
  }
  return HMR_FAILED;
}

}  // namespace

HMR_C_API int hmr_tracker_start(const char* host) {
  return call([&] {
    if (!host || !*host) throw CallRefused(HMR_BAD_ARGUMENT, "The host is missing");
    if (!hmr::sameText(host, "Lazarus"))
      throw CallRefused(HMR_BAD_ARGUMENT, std::string("Unknown host: ") + host);
    if (tracker) throw CallRefused(HMR_WRONG_ORDER, "The tracker is already running");
    tracker = std::make_unique<hmr::RealTimeTracker>();
  });
}

HMR_C_API int hmr_tracker_stop(void) {
  // The tracker is gone even when a save fails; the failure is what the call reports.
  const int status = call([] { running().stop(); });
  if (status != HMR_WRONG_ORDER) tracker.reset();
  return status;
}

HMR_C_API int hmr_project_opened(const char* project_file) {
  return call([&] {
    const std::string path = pathArgument(project_file, "The project file");
    running().projectOpened(path);
  });
}

HMR_C_API int hmr_file_opened(const char* file, const char* const* owners, int owner_count) {
  return call([&] {
    const std::string path = pathArgument(file, "The file");
    if (owner_count < 0 || (owner_count > 0 && !owners))
      throw CallRefused(HMR_BAD_ARGUMENT, "The owning projects are missing");
    std::vector<std::string> owning;
    for (int i = 0; i < owner_count; ++i)
      owning.push_back(pathArgument(owners[i], "An owning project"));
    running().fileOpened(path, owning);
  });
}

HMR_C_API int hmr_file_activated(const char* file) {
  return call([&] { running().fileActivated(pathArgument(file, "The file")); });
}

HMR_C_API int hmr_source_edited(const char* file) {
  return call([&] { running().sourceEdited(pathArgument(file, "The file")); });
}

HMR_C_API int hmr_form_edited(const char* file) {
  return call([&] { running().formEdited(pathArgument(file, "The file")); });
}

HMR_C_API int hmr_project_renamed(const char* old_file, const char* new_file) {
  return call([&] {
    const std::string from = pathArgument(old_file, "The old project file");
    const std::string to = pathArgument(new_file, "The new project file");
    running().projectRenamed(from, to);
  });
}

HMR_C_API int hmr_file_closed(const char* file) {
  return call([&] { running().fileClosed(pathArgument(file, "The file")); });
}

HMR_C_API int hmr_project_closed(const char* project_file) {
  return call([&] { running().projectClosed(pathArgument(project_file, "The project file")); });
}

HMR_C_API int hmr_menu_chosen(void) {
  return call([] { running().menuChosen(); });
}

HMR_C_API int hmr_timer_tick(void) {
  return call([] { running().tick(); });
}

HMR_C_API const char* hmr_last_error(void) { return lastError.c_str(); }

// SPDX-License-Identifier: MIT
// The C functions of hmr_tracker.h over one LazarusBridge. Each checks its arguments and
// the order of calls, runs the action, and turns whatever it throws into a status and the
// text hmr_last_error() returns: nothing is thrown across the C boundary.
//
// Calls that arrive while another runs. The tracker dialog is modal, but only for Qt: the IDE
// behind it goes on and keeps reporting (its timer, and whatever the user does in it) while
// hmr_menu_chosen has not returned. Those reports wait in a queue, with the time they came,
// and are run in order, each at its own time, when the outer call is done; so the project
// group never changes under the dialog, and no edit is lost or counted at a wrong time.
// Only a tick runs at once, when nothing waits, so that idle countdowns and checkpoints go on
// while the dialog shows.
#include "lazarus/hmr_tracker.h"

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/PathText.h"
#include "lazarus/LazarusBridge.h"

#define HMR_C_API extern "C" __attribute__((visibility("default")))

namespace {

using Action = std::function<void()>;

std::unique_ptr<hmr::LazarusBridge> tracker;
// A tracker that has stopped, deleted once the call that stopped it has left it.
std::unique_ptr<hmr::LazarusBridge> stopped;
std::string lastError;
// The Lazarus directory for the next start, which takes it ("" for the running program's
// folder).
std::string lazarusDirectory;
// Messages of the tracker that no call has reported yet (those of waiting calls, of a stop).
std::string untold;
int callsRunning = 0;

struct WaitingCall {
  hmr::LocalDateTime when;
  Action action;
};
std::deque<WaitingCall> waiting;

// What a call that arrives while another runs does.
enum class WhenNested {
  Wait,           // it waits for the outer call to end
  WaitAndClose,   // it waits, and the tracker dialog closes so that the outer call ends
  TickIfFree,     // it runs now when no call waits (else the waiting ones catch up anyway)
  RaiseDialog,    // the dialog that shows comes to the front
  RunNow          // it runs now (a start: refused while a tracker runs)
};

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

hmr::LazarusBridge& running() {
  if (!tracker) throw CallRefused(HMR_WRONG_ORDER, "The tracker is not running");
  return *tracker;
}

void addLine(std::string& text, const std::string& line) {
  if (line.empty()) return;
  if (!text.empty()) text += '\n';
  text += line;
}

// Takes what the tracker has to tell into `text`.
void collectMessages(std::string& text) noexcept {
  try {
    if (tracker) addLine(text, tracker->takeMessages());
  } catch (...) {
  }
}

// Runs `action`; what it throws becomes the status and a line of `report`.
int runCatching(const Action& action, std::string& report) noexcept {
  try {
    action();
    return HMR_OK;
  } catch (const CallRefused& refused) {
    addLine(report, refused.text);
    return refused.status;
  } catch (const std::exception& e) {
    addLine(report, e.what());
  } catch (...) {
    addLine(report, "Unknown error");
  }
  return HMR_FAILED;
}

// Runs the calls that waited, in order, each at the time it came; calls that arrive meanwhile
// join the queue. Their failures and messages are kept for the outer call's report.
void runWaitingCalls() noexcept {
  while (!waiting.empty()) {
    WaitingCall next = std::move(waiting.front());
    waiting.pop_front();
    if (!tracker) continue;  // a stop ran before: what came after it has nothing to reach
    runCatching([&] { tracker->runAt(next.when, next.action); }, untold);
    stopped.reset();
    collectMessages(untold);
  }
}

// Counts a call as running; the outermost one, when done, runs the calls that waited for it.
class RunningCall {
 public:
  explicit RunningCall(bool outermost) : outermost_(outermost) { ++callsRunning; }
  ~RunningCall() {
    if (outermost_) runWaitingCalls();
    --callsRunning;
  }
  RunningCall(const RunningCall&) = delete;
  RunningCall& operator=(const RunningCall&) = delete;

 private:
  bool outermost_;
};

// A call that arrived while another runs and does not run now: it waits, or brings the dialog
// to the front. True when it was handled so.
bool setAside(Action& action, WhenNested when) {
  switch (when) {
    case WhenNested::RunNow:
      return false;
    case WhenNested::TickIfFree:
      return !waiting.empty();  // the calls that wait catch up with the clock anyway
    case WhenNested::RaiseDialog:
      if (tracker) tracker->raiseDialog();
      return true;
    case WhenNested::Wait:
    case WhenNested::WaitAndClose:
      waiting.push_back({running().now(), std::move(action)});
      if (when == WhenNested::WaitAndClose) tracker->closeDialog();
      return true;
  }
  return false;
}

// Runs `prepare`, which checks the arguments and returns the action with copies of them; then
// the action, or, when another call runs, what `when` says. The call's report is its failure
// and the messages of the tracker during it; the outermost call also reports those of the calls
// that waited for it.
template <class Prepare>
int call(Prepare&& prepare, WhenNested when = WhenNested::Wait) noexcept {
  const bool outermost = callsRunning == 0;
  bool setAsideNow = false;
  std::string report;
  int status = runCatching(
      [&] {
        Action action = prepare();
        if (!outermost && setAside(action, when)) {
          setAsideNow = true;
          return;
        }
        RunningCall running(outermost);
        action();
      },
      report);
  if (setAsideNow) {
    lastError.clear();
    return HMR_OK;
  }
  stopped.reset();
  collectMessages(report);
  if (outermost) {
    addLine(report, untold);
    untold.clear();
  }
  lastError = report;
  if (status == HMR_OK && !report.empty()) status = HMR_REPORTED;
  return status;
}

}  // namespace

HMR_C_API int hmr_lazarus_directory(const char* folder) {
  return call(
      [&]() -> Action {
        std::string path = pathArgument(folder, "The Lazarus directory");
        if (tracker) throw CallRefused(HMR_WRONG_ORDER, "The tracker is already running");
        return [path = std::move(path)] { lazarusDirectory = path; };
      },
      WhenNested::RunNow);
}

HMR_C_API int hmr_tracker_start(const char* host) {
  return call(
      [&]() -> Action {
        if (!host || !*host) throw CallRefused(HMR_BAD_ARGUMENT, "The host is missing");
        if (!hmr::sameText(host, "Lazarus"))
          throw CallRefused(HMR_BAD_ARGUMENT, std::string("Unknown host: ") + host);
        if (tracker) throw CallRefused(HMR_WRONG_ORDER, "The tracker is already running");
        return [] {
          const std::string directory = std::exchange(lazarusDirectory, {});
          tracker = std::make_unique<hmr::LazarusBridge>(directory);
        };
      },
      WhenNested::RunNow);
}

HMR_C_API int hmr_tracker_stop(void) {
  return call(
      []() -> Action {
        running();
        return [] {
          // The tracker is gone even when a save fails; the failure is what the call reports.
          hmr::LazarusBridge& stopping = running();
          std::exception_ptr failure;
          try {
            stopping.stop();
          } catch (...) {
            failure = std::current_exception();
          }
          collectMessages(untold);
          stopped = std::move(tracker);
          if (failure) std::rethrow_exception(failure);
        };
      },
      WhenNested::WaitAndClose);
}

HMR_C_API int hmr_project_opened(const char* project_file) {
  return call([&]() -> Action {
    running();
    return [path = pathArgument(project_file, "The project file")] {
      running().projectOpened(path);
    };
  });
}

HMR_C_API int hmr_file_opened(const char* file, const char* const* owners, int owner_count) {
  return call([&]() -> Action {
    running();
    const std::string path = pathArgument(file, "The file");
    if (owner_count < 0 || (owner_count > 0 && !owners))
      throw CallRefused(HMR_BAD_ARGUMENT, "The owning projects are missing");
    std::vector<std::string> owning;
    for (int i = 0; i < owner_count; ++i)
      owning.push_back(pathArgument(owners[i], "An owning project"));
    return [path, owning] { running().fileOpened(path, owning); };
  });
}

HMR_C_API int hmr_file_activated(const char* file) {
  return call([&]() -> Action {
    running();
    return [path = pathArgument(file, "The file")] { running().fileActivated(path); };
  });
}

HMR_C_API int hmr_source_edited(const char* file) {
  return call([&]() -> Action {
    running();
    return [path = pathArgument(file, "The file")] { running().sourceEdited(path); };
  });
}

HMR_C_API int hmr_form_edited(const char* file) {
  return call([&]() -> Action {
    running();
    return [path = pathArgument(file, "The file")] { running().formEdited(path); };
  });
}

HMR_C_API int hmr_project_renamed(const char* old_file, const char* new_file) {
  return call([&]() -> Action {
    running();
    const std::string from = pathArgument(old_file, "The old project file");
    const std::string to = pathArgument(new_file, "The new project file");
    return [from, to] { running().projectRenamed(from, to); };
  });
}

HMR_C_API int hmr_file_closed(const char* file) {
  return call([&]() -> Action {
    running();
    return [path = pathArgument(file, "The file")] { running().fileClosed(path); };
  });
}

HMR_C_API int hmr_project_closed(const char* project_file) {
  return call([&]() -> Action {
    running();
    return [path = pathArgument(project_file, "The project file")] {
      running().projectClosed(path);
    };
  });
}

HMR_C_API int hmr_menu_chosen(void) {
  return call(
      []() -> Action {
        running();
        return [] { running().menuChosen(); };
      },
      WhenNested::RaiseDialog);
}

HMR_C_API int hmr_timer_tick(void) {
  return call(
      []() -> Action {
        running();
        return [] { running().tick(); };
      },
      WhenNested::TickIfFree);
}

HMR_C_API const char* hmr_last_error(void) { return lastError.c_str(); }

// SPDX-License-Identifier: MIT
// The tracker for an IDE that is not ours: the stand-in IDE with the package linked in,
// driven by the real IDE's reports instead of a script, on the system clock. Before every
// action the stand-in's clock catches up with the system clock, so that its periodic timers
// fire at their 15-second marks as time really passes.
//
// Actions throw (IdeActionError, HmrError) and change nothing when they cannot run; errors
// the IDE would display during an action are collected and handed out by takeMessages().
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace hmr {

class SettingsStore;
class StandInIde;
class TrackerWindows;

class RealTimeTracker final {
 public:
  // Opens the default settings store and loads the package; throws when either fails.
  RealTimeTracker();
  // Stops, when stop() did not run; what the IDE displays then goes to standard error.
  ~RealTimeTracker();
  RealTimeTracker(const RealTimeTracker&) = delete;
  RealTimeTracker& operator=(const RealTimeTracker&) = delete;

  void projectOpened(const std::string& path);
  void fileOpened(const std::string& path, const std::vector<std::string>& owners);
  void fileActivated(const std::string& path);
  void sourceEdited(const std::string& path);
  void formEdited(const std::string& path);
  void projectRenamed(const std::string& oldPath, const std::string& newPath);
  void fileClosed(const std::string& path);
  void projectClosed(const std::string& path);
  // Shows the tracker dialog: the Qt one when windows can show (TrackerWindows), until it
  // closes; else the windowless report on standard output.
  void menuChosen();
  // Brings the tracker dialog to the front when it shows.
  void raiseDialog();
  // Closes the tracker dialog when it shows.
  void closeDialog();
  void tick();
  // Unloads the package, which closes every project and saves its data file; the messages of
  // failed saves stay for takeMessages(). Every other action fails afterwards.
  void stop();

  // The messages the IDE displayed since the last call, one per line; then forgets them.
  std::string takeMessages();

  // The system clock's reading.
  LocalDateTime now() const { return systemClock_.now(); }
  // Runs `action` (calls of this object) as if the clock read `when`: for a report of the IDE
  // that had to wait while another ran.
  void runAt(LocalDateTime when, const std::function<void()>& action);

 private:
  void catchUp();

  SystemClock systemClock_;
  std::optional<LocalDateTime> callTime_;
  // Before ide_: the Qt application outlives the package's dialogs.
  std::unique_ptr<TrackerWindows> windows_;
  std::unique_ptr<SettingsStore> store_;
  std::ostringstream errors_;
  std::unique_ptr<StandInIde> ide_;
};

}  // namespace hmr

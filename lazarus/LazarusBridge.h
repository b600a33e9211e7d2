// SPDX-License-Identifier: MIT
// The Lazarus persona on the IDE host: the package (its Lazarus build, linked into this library)
// runs on the IDE host, and the real IDE's reports become the host's user actions. The host
// follows the system clock: before every action its clock catches up, so that the periodic
// timers fire at their 15-second marks as time really passes. The persona says what is
// Lazarus's own: its project interface (the one its package build asks for), its View menu,
// how its menu entry is found (the one the package put there), and its windows (Qt widgets
// once TrackerWindows has started Qt).
//
// Actions throw (IdeActionError, HmrError) and change nothing when they cannot run; errors the
// IDE would display during an action are collected and handed out by takeMessages().
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/SystemFacts.h"

namespace hmr {

class IdeHost;
class SettingsStore;
class TrackerWindows;
struct IdeDescription;

// The IDE host as the Lazarus persona describes it.
IdeDescription lazarusIdeDescription();

// The system facts as the Lazarus persona reports them: those of Linux, except that the IDE
// program is the one of the Lazarus directory (`lazarusDirectory`/lazarus), wherever the
// program that runs was built (a user's rebuilt IDE lies in ~/.lazarus/bin). The tracker
// leaves projects below the IDE program's folder without a data file: the installation's own.
class LazarusSystemFacts final : public SystemFacts {
 public:
  explicit LazarusSystemFacts(std::string lazarusDirectory);
  std::optional<std::string> logonName() const override { return linux_.logonName(); }
  std::string executablePath() const override;
  std::string systemFolder() const override { return linux_.systemFolder(); }

 private:
  LinuxSystemFacts linux_;
  std::string lazarusDirectory_;
};

class LazarusBridge final {
 public:
  // Opens the default settings store and loads the package; throws when either fails.
  // `lazarusDirectory` (absolute, or "" for the folder of the running program) is the
  // installation the IDE runs from.
  explicit LazarusBridge(const std::string& lazarusDirectory = {});
  // Stops, when stop() did not run; what the IDE displays then goes to standard error.
  ~LazarusBridge();
  LazarusBridge(const LazarusBridge&) = delete;
  LazarusBridge& operator=(const LazarusBridge&) = delete;

  void projectOpened(const std::string& path);
  void fileOpened(const std::string& path, const std::vector<std::string>& owners);
  void fileActivated(const std::string& path);
  void sourceEdited(const std::string& path);
  void formEdited(const std::string& path);
  void projectRenamed(const std::string& oldPath, const std::string& newPath);
  void fileClosed(const std::string& path);
  void projectClosed(const std::string& path);
  // Chooses the tracker's View-menu entry: the tracker dialog shows, the Qt one when windows
  // can show (TrackerWindows), until it closes; else the windowless report on standard output.
  void menuChosen();
  // Brings the tracker dialog to the front when it shows.
  void raiseDialog();
  // Closes the tracker dialog when it shows.
  void closeDialog();
  // The IDE's tick: time passes.
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
  // The real clock the host follows: the system clock, or the time a waiting report came.
  class ReportClock final : public Clock {
   public:
    explicit ReportClock(const SystemClock& system) : system_(system) {}
    LocalDateTime now() const override { return reportTime ? *reportTime : system_.now(); }
    // The host catches up with now() alone; the time passed is the system's.
    double elapsedSeconds() const override { return system_.elapsedSeconds(); }
    std::optional<LocalDateTime> reportTime;

   private:
    const SystemClock& system_;
  };

  IdeHost& host();

  // Installed for the tracker's lifetime, before anything asks for them.
  std::optional<LazarusSystemFacts> facts_;
  std::optional<ScopedSystemFacts> factsInstalled_;
  SystemClock systemClock_;
  ReportClock reportClock_{systemClock_};
  // Before host_: the Qt application outlives the package's dialogs.
  std::unique_ptr<TrackerWindows> windows_;
  std::unique_ptr<SettingsStore> store_;
  std::ostringstream errors_;
  std::unique_ptr<IdeHost> host_;
};

}  // namespace hmr

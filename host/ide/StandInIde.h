// SPDX-License-Identifier: MIT
// The stand-in IDE: plays the Delphi 5 or Delphi 4 IDE for the tracker's package. It keeps
// the main menu with its View menu, the open modules with the project group and the active
// project, the notifier registrations old and new style, a periodic timer on a virtual clock,
// and the packages it loaded. Its actions turn what a user does into the notices the real IDE
// would send, in the same order.
//
// Actions that make no sense in the IDE's state (editing a file that is not open, say) fail
// with IdeActionError and change nothing. Errors the IDE would display go to the error
// stream and are kept in errorsShown().
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/uHMRGlobal.h"
#include "host/ide/HostModule.h"
#include "host/ide/PackageRecord.h"
#include "ide/contract/IdeHostServices.h"
#include "ide/contract/Menus.h"
#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"
#include "platform/Clock.h"

namespace hmr {

class SettingsStore;
class HostTimer;
class HostServices;
class HostToolServices;

class IdeActionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StandInIde final : public IdeHostServices {
 public:
  // `ideVersion` is 5 or 4. `store`, `out` and `err` are not owned and outlive the IDE.
  StandInIde(int ideVersion, SettingsStore& store, std::ostream& out, std::ostream& err);
  // Unloads every package, then closes what is still open.
  ~StandInIde() override;
  StandInIde(const StandInIde&) = delete;
  StandInIde& operator=(const StandInIde&) = delete;

  int ideVersion() const { return version_; }
  // "SOFTWARE\Borland\Delphi\5.0" or "...\4.0", below HKEY_CURRENT_USER.
  std::string versionKey() const;
  std::string knownPackagesKey() const;
  // Creates the version's key when it is missing.
  void ensureVersionKey();

  // ---- packages ----
  // Loads every package listed under Known Packages, in the store's order. A package that
  // fails is reported on the error stream and the others still load.
  void loadKnownPackages();
  // Loads a package library, runs its load entry and its Register. The record tells how it
  // went; a failure is also reported on the error stream.
  PackageRecord& loadPackage(const std::string& path);
  // The same with entry points already at hand (a package linked into the program).
  PackageRecord& loadPackage(const std::string& path, const PackageEntryPoints& entries);
  // Releases every wizard, runs every unload entry (last loaded first), then unloads the
  // libraries. Projects still tracked are closed and saved by the packages on the way.
  void unloadPackages();
  const std::vector<std::unique_ptr<PackageRecord>>& packages() const { return packages_; }
  PackageRecord* findPackage(const std::string& path);

  // ---- time ----
  // From now on the IDE reads the system clock, and time passes by itself (a windowed IDE
  // whose event loop fires the packages' timers). Call it before packages load. The virtual
  // clock's actions (setClock, advance) then fail with IdeActionError.
  void runInRealTime();
  bool inRealTime() const { return realTime_; }
  // Sets the virtual local time; only before time has first passed, and only to a moment
  // from 1899-12-30 to the end of the year 9999 (the dates the tracker keeps).
  void setClock(TDateTime when);
  // Lets `seconds` pass; the timers fire at every mark start + interval * k reached, in order,
  // the clock reading each mark as it fires. A timer whose owner said its ticks would do
  // nothing (setQuiet) is not fired. Fails with IdeActionError, changing nothing, when the
  // clock would pass the end of the year 9999.
  void advance(std::int64_t seconds);
  // Sets the clock forward or back by `seconds` without time passing (a daylight-saving change
  // or a correction of the clock); the timers keep their marks. Fails with IdeActionError,
  // changing nothing, when the clock would leave the range setClock accepts.
  void shiftClock(std::int64_t seconds);
  // Ends the process at once, as a crash or `kill -9` would: nothing is closed or saved.
  [[noreturn]] void crash();
  // For a host on the real clock: lets pass the time that separates this IDE's clock from
  // `now` (a reading of the system clock), the timers firing at their marks on the way, or
  // sets the clock back when `now` lies a second or more behind it. Whole seconds only.
  void catchUpWith(TDateTime now);
  VirtualClock& virtualClock() { return clock_; }
  std::int64_t elapsedSeconds() const { return elapsedMs_ / 1000; }

  // ---- user actions ----
  void openProject(const std::string& path);
  void openFile(const std::string& path, const std::vector<std::string>& owners);
  void activate(const std::string& path);
  void edit(const std::string& path);
  void editForm(const std::string& path);
  void rename(const std::string& path, const std::string& newPath);
  void closeFile(const std::string& path);
  void closeProject(const std::string& path);
  void installPackage(const std::string& path);
  // Chooses the View-menu entry with that caption ("&" marks and letter case aside).
  void clickViewMenu(const std::string& caption);
  // Sends a file notice to every add-in notifier registered when the call began.
  void fileNotification(TFileNotification code, const std::string& fileName);

  // ---- state ----
  TMainMenu& mainMenu() { return mainMenu_; }
  TMenuItem* viewsMenu() { return viewsMenu_; }
  HostModule* findModule(const std::string& fileName) const;
  const std::vector<ComPtr<HostModule>>& modules() const { return modules_; }
  HostModule* activeProject() const { return activeProject_; }
  HostModule* currentModule() const { return current_.get(); }
  std::size_t addInNotifierCount() const;
  const std::vector<std::string>& errorsShown() const { return errors_; }
  // The project interface identity of this IDE version.
  const TGUID& projectInterfaceId() const;
  // Test hooks: refuse new-style notifiers on modules opened from now on / add-in notifiers.
  bool refuseModuleNotifiers = false;
  bool refuseAddInNotifiers = false;

  // ---- IdeHostServices ----
  IBorlandIDEServices* borlandIDEServices() override;
  TIToolServices* toolServices() override;
  void registerPackageWizard(IOTAWizard* wizard) override;
  Clock& clock() override {
    return realTime_ ? static_cast<Clock&>(systemClock_) : static_cast<Clock&>(clock_);
  }
  std::unique_ptr<PeriodicTimer> createPeriodicTimer() override;
  SettingsStore& settingsStore() override { return store_; }
  void showError(const std::string& message) override;
  void writeOutput(const std::string& text) override;

  // For the timers: they join and leave the IDE's event loop.
  void timerCreated(HostTimer* timer);
  void timerDestroyed(HostTimer* timer);

 private:
  HostModule& requireModule(const std::string& path);
  void closeModule(HostModule& module);
  void buildMainMenu();
  void setClockToElapsed();

  int version_;
  SettingsStore& store_;
  std::ostream& out_;
  std::ostream& err_;
  VirtualClock clock_;
  SystemClock systemClock_;
  bool realTime_ = false;
  TDateTime start_ = 0;
  std::int64_t elapsedMs_ = 0;
  bool timeStarted_ = false;
  std::vector<HostTimer*> timers_;

  TMainMenu mainMenu_;
  std::vector<std::unique_ptr<TMenuItem>> menuItems_;
  TMenuItem* viewsMenu_ = nullptr;

  ComPtr<HostServices> services_;
  ComPtr<HostToolServices> toolServices_;
  std::vector<ComPtr<HostModule>> modules_;
  ComPtr<HostModule> groupModule_;
  HostModule* activeProject_ = nullptr;
  ComPtr<HostModule> current_;

  std::vector<std::unique_ptr<PackageRecord>> packages_;
  PackageRecord* registering_ = nullptr;
  std::vector<std::string> errors_;
};

}  // namespace hmr

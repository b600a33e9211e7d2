// SPDX-License-Identifier: MIT
// The stand-in IDE: the persona of the Delphi 5 or Delphi 4 IDE on the IDE host, for tests and
// demonstrations. It says what the host does not: its version's registry key and the Known
// Packages listed under it, its main menu with the View menu ("ViewsMenu"), the script's clock
// commands on a virtual clock (or real time for a windowed IDE), and hooks with which tests
// make it refuse notifiers as an IDE may.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "core/uHMRGlobal.h"
#include "idehosting/IdeActionError.h"
#include "idehosting/IdeHost.h"
#include "platform/Clock.h"

namespace hmr {

class SettingsStore;

// The IDE host as the Delphi IDE of `ideVersion` (5 or 4) describes it.
IdeDescription delphiIdeDescription(int ideVersion);

class StandInIde final : public IdeHost {
 public:
  // `ideVersion` is 5 or 4 (anything else plays 5). `store`, `out` and `err` are not owned and
  // outlive the IDE.
  StandInIde(int ideVersion, SettingsStore& store, std::ostream& out, std::ostream& err);
  // Unloads every package, then closes what is still open.
  ~StandInIde() override;

  int ideVersion() const { return version_; }
  // "SOFTWARE\Borland\Delphi\5.0" or "...\4.0", below HKEY_CURRENT_USER.
  std::string versionKey() const;
  std::string knownPackagesKey() const;
  // Creates the version's key when it is missing.
  void ensureVersionKey();
  // Loads every package listed under Known Packages, in the store's order. A package that
  // fails is reported on the error stream and the others still load.
  void loadKnownPackages();

  // ---- the script's clock commands ----
  // From now on the IDE follows the system clock and time passes by itself (a windowed IDE
  // whose event loop catches up); setClock, advance and shiftClock are refused. Call it before
  // packages load.
  void runInRealTime();
  bool inRealTime() const { return time().inRealTime(); }
  // Sets the virtual local time; only before time has first passed, and only to a moment from
  // 1899-12-30 to the end of the year 9999 (the dates the tracker keeps).
  void setClock(TDateTime when);
  // Lets `seconds` pass; the timers fire at every mark start + interval * k reached, in order,
  // the clock reading each mark as it fires.
  void advance(std::int64_t seconds);
  // Sets the clock forward or back by `seconds` without time passing (a daylight-saving change
  // or a correction of the clock); the timers keep their marks.
  void shiftClock(std::int64_t seconds);
  // Ends the process at once, as a crash or `kill -9` would: nothing is closed or saved.
  [[noreturn]] void crash();
  VirtualClock& virtualClock() { return time().clock(); }

  // ---- the menu ----
  // The View menu (built with the component name "ViewsMenu"), where packages put their
  // entries.
  TMenuItem* viewsMenu() const { return viewsMenu_; }
  // Chooses the View-menu entry with that caption ("&" marks and letter case aside), as a
  // user finds an entry.
  void clickViewMenu(const std::string& caption);

  // ---- hooks for tests: refuse new-style notifiers on modules opened from now on, and
  // add-in notifiers ----
  bool refuseModuleNotifiers = false;
  bool refuseAddInNotifiers = false;
  bool acceptsAddInNotifiers() const override { return !refuseAddInNotifiers; }

 protected:
  void moduleOpened(IdeModule& module) override;

 private:
  int version_;
  TMenuItem* viewsMenu_;
  SystemClock systemClock_;
};

}  // namespace hmr

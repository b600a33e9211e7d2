// SPDX-License-Identifier: MIT
// The one IDE host: what an IDE offers a package through the tools interfaces, the same for
// every IDE we play. It keeps the open modules with their owners, the project group and the
// active and current modules; the notifier registrations old and new style; the main menu its
// persona describes; the packages it loaded (dlopen, load entry, Register), with a record of
// each; the periodic timers of its event loop on its clock; and the windows it offers.
//
// Its user actions turn what a user does into the notices the real IDE sends, in the same
// order. An action that makes no sense in the host's state (editing a file that is not open,
// say) fails with IdeActionError and changes nothing. In real time (time().followRealClock)
// every action first catches the clock up with the real one, so that the timers have fired at
// every mark passed. Errors the IDE would display go to the error stream and are kept in
// errorsShown().
//
// A persona (the stand-in Delphi IDE, the Lazarus bridge) stands on the host: it describes the
// IDE (IdeDescription), says where its packages are listed, finds its menu entries its own
// way and drives the actions.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "ide/contract/IdeHostServices.h"
#include "ide/contract/Menus.h"
#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"
#include "idehosting/IdeDescription.h"
#include "idehosting/IdeModule.h"
#include "idehosting/IdeTime.h"
#include "idehosting/PackageRecord.h"

namespace hmr {

class IdeServices;
class IdeToolServices;
class SettingsStore;

class IdeHost : public IdeHostServices {
 public:
  // `store`, `out` and `err` are not owned and outlive the host. The clock starts at the
  // current clock's reading.
  IdeHost(IdeDescription description, SettingsStore& store, std::ostream& out,
          std::ostream& err);
  // Unloads every package, then closes what is still open.
  ~IdeHost() override;
  IdeHost(const IdeHost&) = delete;
  IdeHost& operator=(const IdeHost&) = delete;

  const IdeDescription& description() const { return description_; }

  // ---- packages ----
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

  // ---- time and windows ----
  IdeTime& time() { return time_; }
  const IdeTime& time() const { return time_; }
  // In real time, lets the clock catch up with the real one (the event loop's tick).
  void catchUp() { time_.catchUp(); }
  // From now on the host offers these windows to its packages.
  void offerWindows(HostWindows windows) { windows_ = windows; }

  // ---- user actions ----
  void openProject(const std::string& path);
  void openFile(const std::string& path, const std::vector<std::string>& owners);
  void activate(const std::string& path);
  void edit(const std::string& path);
  void editForm(const std::string& path);
  void rename(const std::string& path, const std::string& newPath);
  void closeFile(const std::string& path);
  void closeProject(const std::string& path);
  // Installs a package (loading it when it is not loaded) and announces it.
  void installPackage(const std::string& path);
  // The user chooses a menu entry.
  void chooseMenuEntry(TMenuItem& entry);
  // Sends a file notice to every add-in notifier registered when the call began.
  void fileNotification(TFileNotification code, const std::string& fileName);

  // ---- the main menu ----
  TMainMenu& mainMenu() { return mainMenu_; }
  // The top-level item of that component name that the host built, or null.
  TMenuItem* builtMenu(const std::string& name) const;
  // The entries under `parent` that the host did not build: those its packages put there.
  std::vector<TMenuItem*> packageEntries(const TMenuItem& parent) const;

  // ---- state ----
  IdeModule* findModule(const std::string& fileName) const;
  const std::vector<ComPtr<IdeModule>>& modules() const { return modules_; }
  IdeModule* activeProject() const { return activeProject_; }
  IdeModule* currentModule() const { return current_.get(); }
  std::size_t addInNotifierCount() const;
  const std::vector<std::string>& errorsShown() const { return errors_; }
  const TGUID& projectInterfaceId() const { return description_.projectInterface; }

  // Whether the tool services accept add-in notifiers; a persona may refuse them, as an IDE
  // may (tests of the package's failure paths).
  virtual bool acceptsAddInNotifiers() const { return true; }

  // ---- IdeHostServices ----
  IBorlandIDEServices* borlandIDEServices() override;
  TIToolServices* toolServices() override;
  void registerPackageWizard(IOTAWizard* wizard) override;
  Clock& clock() override { return time_.clock(); }
  std::unique_ptr<PeriodicTimer> createPeriodicTimer() override { return time_.createTimer(); }
  SettingsStore& settingsStore() override { return store_; }
  void showError(const std::string& message) override;
  void writeOutput(const std::string& text) override;
  HostWindows windows() override { return windows_; }

 protected:
  // A module was made, before any notice about it went out: a persona may set it up.
  virtual void moduleOpened(IdeModule& /*module*/) {}
  std::ostream& output() { return out_; }
  std::ostream& errorStream() { return err_; }

 private:
  IdeModule& requireModule(const std::string& path);
  void closeModule(IdeModule& module);
  void buildMainMenu();

  IdeDescription description_;
  SettingsStore& store_;
  std::ostream& out_;
  std::ostream& err_;
  IdeTime time_;
  HostWindows windows_ = HostWindows::windowless;

  TMainMenu mainMenu_;
  std::vector<std::unique_ptr<TMenuItem>> menuItems_;  // every item the host built
  std::vector<TMenuItem*> builtMenus_;                 // the top-level ones among them

  ComPtr<IdeServices> services_;
  ComPtr<IdeToolServices> toolServices_;
  std::vector<ComPtr<IdeModule>> modules_;
  ComPtr<IdeModule> groupModule_;
  IdeModule* activeProject_ = nullptr;
  ComPtr<IdeModule> current_;

  std::vector<std::unique_ptr<PackageRecord>> packages_;
  PackageRecord* registering_ = nullptr;
  std::vector<std::string> errors_;
};

}  // namespace hmr

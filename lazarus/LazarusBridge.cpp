// SPDX-License-Identifier: MIT
#include "lazarus/LazarusBridge.h"

#include <exception>
#include <iostream>

#include "ide/HMExpertPackage.h"
#include "ide/contract/Menus.h"
#include "idehosting/IdeHost.h"
#include "lazarus/TrackerWindows.h"
#include "platform/HmrError.h"
#include "platform/SettingsStore.h"
#include "platform/SqliteSettingsStore.h"

namespace hmr {

IdeDescription lazarusIdeDescription() {
  IdeDescription ide;
  ide.name = "Lazarus";
  // The projects answer what the package this library carries asks for.
  ide.projectInterface = linkedPackageBuild().projectInterface;
  // Lazarus has one project at a time; the tools interfaces still reach the active project
  // through a project group.
  ide.projectGroupFileName = "ProjectGroup1.lpg";
  // The tools interfaces' main menu: the View menu, with Lazarus's first View entries, where
  // the package puts its own. The rest of the menu is the IDE's, which the Pascal package
  // reaches itself.
  ide.mainMenu = {{ViewsMenuName,
                   "&View",
                   {{"itmViewToggleFormUnit", "Toggle Form/&Unit View", {}},
                    {"itmViewInspector", "Object &Inspector", {}},
                    {"itmViewSourceEditor", "&Source Editor", {}},
                    {"itmViewMessage", "&Messages", {}},
                    {"itmViewCodeExplorer", "Code &Explorer", {}},
                    {"itmViewFPDocEditor", "FPDoc Editor", {}},
                    {"itmViewCodeBrowser", "Code &Browser", {}}}}};
  return ide;
}

LazarusSystemFacts::LazarusSystemFacts(std::string lazarusDirectory)
    : lazarusDirectory_(std::move(lazarusDirectory)) {
  while (lazarusDirectory_.size() > 1 && lazarusDirectory_.back() == '/')
    lazarusDirectory_.pop_back();
}

std::string LazarusSystemFacts::executablePath() const {
  return lazarusDirectory_ + "/lazarus";
}

LazarusBridge::LazarusBridge(const std::string& lazarusDirectory) {
  if (!lazarusDirectory.empty()) {
    facts_.emplace(lazarusDirectory);
    factsInstalled_.emplace(*facts_);
  }
  windows_ = std::make_unique<TrackerWindows>();
  store_ = openDefaultSettingsStore();
  // The report a windowless tracker dialog prints goes to the IDE's standard output; the
  // errors it displays are collected for the caller.
  host_ = std::make_unique<IdeHost>(lazarusIdeDescription(), *store_, std::cout, errors_);
  host_->time().followRealClock(reportClock_);
  // A program of our own may run Qt already (the tests do); the IDE's Qt starts later.
  if (windows_->running()) host_->offerWindows(HostWindows::qtWidgets);
  const PackageRecord& package = host_->loadPackage(
      std::string(linkedPackageBuild().fileName), {&hmrPackageLoad, &Register, &hmrPackageUnload});
  if (package.state != PackageState::Registered) {
    const std::string why = package.errorText;
    host_.reset();
    throw HmrError("The tracker could not start: " + why);
  }
  errors_.str({});
}

LazarusBridge::~LazarusBridge() {
  if (!host_) return;
  try {
    stop();
  } catch (...) {
  }
  // Failures of the last saves can only go to standard error now.
  const std::string left = errors_.str();
  if (!left.empty()) std::cerr << left;
}

IdeHost& LazarusBridge::host() {
  if (!host_) throw HmrError("The tracker has stopped");
  return *host_;
}

void LazarusBridge::stop() {
  if (!host_) return;
  // The time up to now counts in the sessions that close, even when catching up fails.
  std::exception_ptr failure;
  try {
    host_->catchUp();
  } catch (...) {
    failure = std::current_exception();
  }
  host_.reset();
  if (failure) std::rethrow_exception(failure);
}

void LazarusBridge::runAt(LocalDateTime when, const std::function<void()>& action) {
  struct Reset {
    std::optional<LocalDateTime>& time;
    ~Reset() { time.reset(); }
  } reset{reportClock_.reportTime};
  reportClock_.reportTime = when;
  action();
}

void LazarusBridge::projectOpened(const std::string& path) { host().openProject(path); }

void LazarusBridge::fileOpened(const std::string& path, const std::vector<std::string>& owners) {
  host().openFile(path, owners);
}

void LazarusBridge::fileActivated(const std::string& path) { host().activate(path); }

void LazarusBridge::sourceEdited(const std::string& path) { host().edit(path); }

void LazarusBridge::formEdited(const std::string& path) { host().editForm(path); }

void LazarusBridge::projectRenamed(const std::string& oldPath, const std::string& newPath) {
  host().rename(oldPath, newPath);
}

void LazarusBridge::fileClosed(const std::string& path) { host().closeFile(path); }

void LazarusBridge::projectClosed(const std::string& path) { host().closeProject(path); }

void LazarusBridge::menuChosen() {
  IdeHost& ide = host();
  ide.catchUp();
  if (windows_->start()) ide.offerWindows(HostWindows::qtWidgets);
  // The tracker's entry is the one the package put into the View menu: the persona made the
  // others.
  const TMenuItem* views = ide.builtMenu(ViewsMenuName);
  const std::vector<TMenuItem*> entries =
      views ? ide.packageEntries(*views) : std::vector<TMenuItem*>();
  if (entries.empty()) throw HmrError("The tracker has no entry in the View menu");
  ide.chooseMenuEntry(*entries.front());
}

void LazarusBridge::raiseDialog() { windows_->raiseDialog(); }

void LazarusBridge::closeDialog() { windows_->closeDialog(); }

void LazarusBridge::tick() { host().catchUp(); }

std::string LazarusBridge::takeMessages() {
  std::string text = errors_.str();
  errors_.str({});
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace hmr

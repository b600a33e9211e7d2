// SPDX-License-Identifier: MIT
#include "host/ide/StandInIde.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <ostream>

#include "core/HMRFileFormat.h"
#include "core/PathText.h"
#include "ide/contract/ToolsAPI.h"
#include "platform/PeriodicTimer.h"
#include "platform/SettingsStore.h"

namespace hmr {

// ---- the services objects ---------------------------------------------------------------

// BorlandIDEServices: one object answering the module services and the main menu services.
class HostServices final
    : public TInterfacedObject<IBorlandIDEServices, IOTAModuleServices, INTAServices> {
 public:
  explicit HostServices(StandInIde& ide) : ide_(ide) {}

  bool QueryInterface(const TGUID& iid, void** object) override {
    *object = nullptr;
    if (iid == IID_IInterface) {
      *object = static_cast<IBorlandIDEServices*>(this);
    } else if (iid == IID_IOTAModuleServices) {
      *object = static_cast<IOTAModuleServices*>(this);
    } else if (iid == IID_INTAServices) {
      *object = static_cast<INTAServices*>(this);
    } else {
      return false;
    }
    AddRef();
    return true;
  }

  std::int32_t GetModuleCount() override {
    return static_cast<std::int32_t>(ide_.modules().size());
  }
  ComPtr<IOTAModule> GetModule(std::int32_t Index) override {
    if (Index < 0 || Index >= GetModuleCount()) return {};
    return ComPtr<IOTAModule>(ide_.modules()[static_cast<std::size_t>(Index)]->asModule());
  }
  ComPtr<IOTAModule> FindModule(const std::string& FileName) override {
    HostModule* module = ide_.findModule(FileName);
    return module ? ComPtr<IOTAModule>(module->asModule()) : ComPtr<IOTAModule>();
  }
  ComPtr<IOTAModule> CurrentModule() override {
    HostModule* module = ide_.currentModule();
    return module ? ComPtr<IOTAModule>(module->asModule()) : ComPtr<IOTAModule>();
  }
  TMainMenu* GetMainMenu() override { return &ide_.mainMenu(); }

 private:
  ~HostServices() override = default;
  StandInIde& ide_;
};

// ToolServices: add-in notifiers (not counted: they unregister themselves) and the old-style
// module interfaces.
class HostToolServices final : public TIToolServices {
 public:
  explicit HostToolServices(StandInIde& ide) : ide_(ide) {}

  bool AddNotifier(TIAddInNotifier* AddInNotifier) override {
    if (!AddInNotifier || ide_.refuseAddInNotifiers) return false;
    notifiers_.push_back(AddInNotifier);
    return true;
  }
  bool RemoveNotifier(TIAddInNotifier* AddInNotifier) override {
    const auto found = std::find(notifiers_.begin(), notifiers_.end(), AddInNotifier);
    if (found == notifiers_.end()) return false;
    notifiers_.erase(found);
    return true;
  }
  TIModuleInterface* GetModuleInterface(const std::string& FileName) override {
    HostModule* module = ide_.findModule(FileName);
    return module ? module->moduleInterface() : nullptr;
  }

  void broadcast(TFileNotification code, const std::string& fileName) {
    const std::vector<TIAddInNotifier*> registered = notifiers_;
    for (TIAddInNotifier* notifier : registered) {
      if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) continue;
      bool cancel = false;
      notifier->FileNotification(code, fileName, cancel);
    }
  }
  std::size_t count() const { return notifiers_.size(); }
  void abandonAll() { notifiers_.clear(); }

 private:
  ~HostToolServices() override = default;
  StandInIde& ide_;
  std::vector<TIAddInNotifier*> notifiers_;
};

// A periodic timer of the IDE's event loop, fired as virtual time passes.
class HostTimer final : public PeriodicTimer {
 public:
  explicit HostTimer(StandInIde& ide) : ide_(ide) { ide_.timerCreated(this); }
  ~HostTimer() override { ide_.timerDestroyed(this); }

  void setCallback(Callback callback) override { callback_ = std::move(callback); }
  void setIntervalMs(int milliseconds) override { intervalMs_ = milliseconds; }
  int intervalMs() const override { return intervalMs_; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool enabled() const override { return enabled_; }

  void setQuiet(bool quiet) override { quiet_ = quiet; }

  bool running() const { return enabled_ && intervalMs_ > 0 && callback_; }
  // Running, and its owner has not said that its ticks would do nothing.
  bool due() const { return running() && !quiet_; }
  void fire() {
    if (!running()) return;
    try {
      callback_();
    } catch (const std::exception& e) {
      ide_.showError(e.what());
    } catch (...) {
      ide_.showError("Unknown error in a timer");
    }
  }

 private:
  StandInIde& ide_;
  Callback callback_;
  int intervalMs_ = 0;
  bool enabled_ = false;
  bool quiet_ = false;
};

// ---- the IDE ----------------------------------------------------------------------------

const char* packageStateName(PackageState state) {
  switch (state) {
    case PackageState::NotLoaded: return "not loaded";
    case PackageState::Failed: return "failed";
    case PackageState::Registered: return "registered";
    case PackageState::Unloaded: return "unloaded";
  }
  return "?";
}

StandInIde::StandInIde(int ideVersion, SettingsStore& store, std::ostream& out,
                       std::ostream& err)
    : version_(ideVersion == 4 ? 4 : 5),
      store_(store),
      out_(out),
      err_(err),
      clock_(currentClock().now()),
      services_(new HostServices(*this)),
      toolServices_(ComPtr<HostToolServices>::adopt(new HostToolServices(*this))) {
  start_ = clock_.now();
  buildMainMenu();
}

StandInIde::~StandInIde() {
  unloadPackages();
  current_.reset();
  activeProject_ = nullptr;
  for (auto& module : modules_) module->close();
  modules_.clear();
  groupModule_.reset();
}

void StandInIde::buildMainMenu() {
  struct Entry {
    const char* name;
    const char* caption;
  };
  auto add = [this](TMenuItem& parent, const Entry& entry) {
    auto item = std::make_unique<TMenuItem>();
    item->Name = entry.name;
    item->Caption = entry.caption;
    parent.Insert(parent.Count(), item.get());
    menuItems_.push_back(std::move(item));
    return menuItems_.back().get();
  };
  TMenuItem& top = mainMenu_.Items();
  TMenuItem* file = add(top, {"FileMenu", "&File"});
  add(*file, {"FileNewItem", "&New..."});
  add(*file, {"FileOpenItem", "&Open..."});
  add(top, {"EditMenu", "&Edit"});
  add(top, {"SearchMenu", "&Search"});
  viewsMenu_ = add(top, {"ViewsMenu", "&View"});
  for (const Entry& entry : {Entry{"ViewPrjMgrItem", "Project &Manager"},
                             Entry{"ViewObjInspItem", "Object &Inspector"},
                             Entry{"ViewAlignItem", "Alig&nment Palette"},
                             Entry{"ViewBrowserItem", "&Browser"},
                             Entry{"ViewCodeExplorerItem", "Code &Explorer"},
                             Entry{"ViewCompListItem", "&Component List"},
                             Entry{"ViewWindowListItem", "&Window List..."}})
    add(*viewsMenu_, entry);
  add(top, {"ProjectMenu", "&Project"});
  add(top, {"HelpMenu", "&Help"});
}

std::string StandInIde::versionKey() const {
  return version_ == 4 ? "SOFTWARE\\Borland\\Delphi\\4.0" : "SOFTWARE\\Borland\\Delphi\\5.0";
}

std::string StandInIde::knownPackagesKey() const { return versionKey() + "\\Known Packages"; }

void StandInIde::ensureVersionKey() {
  if (!store_.keyExists(RegistryRoot::CurrentUser, versionKey()))
    store_.createKey(RegistryRoot::CurrentUser, versionKey());
}

const TGUID& StandInIde::projectInterfaceId() const {
  return version_ == 4 ? IID_IOTAProject_Delphi4 : IID_IOTAProject_Delphi5;
}

// ---- packages -----------------------------------------------------------------------------

void StandInIde::loadKnownPackages() {
  if (!store_.keyExists(RegistryRoot::CurrentUser, knownPackagesKey())) return;
  // A damaged entry costs only its own package: the IDE says so and starts with the others.
  std::vector<DamagedValue> damaged;
  const std::vector<SettingsValue> listed =
      store_.readableValues(RegistryRoot::CurrentUser, knownPackagesKey(), damaged);
  for (const DamagedValue& entry : damaged)
    err_ << "Skipped the Known Packages entry " << entry.name << ": " << entry.reason << "\n";
  for (const SettingsValue& value : listed)
    if (!value.name.empty()) loadPackage(value.name);
}

PackageRecord* StandInIde::findPackage(const std::string& path) {
  for (auto& record : packages_)
    if (record->path == path) return record.get();
  return nullptr;
}

PackageRecord& StandInIde::loadPackage(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    packages_.push_back(std::make_unique<PackageRecord>());
    PackageRecord& record = *packages_.back();
    record.path = path;
    record.errorText = why ? why : "cannot open the library";
    err_ << "Cannot load package " << path << ": " << record.errorText << "\n";
    return record;
  }
  PackageEntryPoints entries;
  entries.load = reinterpret_cast<PackageLoadFunction>(dlsym(handle, kPackageLoadEntry));
  entries.registerPackage =
      reinterpret_cast<PackageRegisterFunction>(dlsym(handle, kPackageRegisterEntry));
  entries.unload = reinterpret_cast<PackageUnloadFunction>(dlsym(handle, kPackageUnloadEntry));
  PackageRecord& record = loadPackage(path, entries);
  if (record.state == PackageState::NotLoaded) {
    dlclose(handle);
  } else {
    record.handle = handle;
  }
  return record;
}

PackageRecord& StandInIde::loadPackage(const std::string& path,
                                       const PackageEntryPoints& entries) {
  packages_.push_back(std::make_unique<PackageRecord>());
  PackageRecord& record = *packages_.back();
  record.path = path;
  record.entries = entries;
  const char* missing = !entries.registerPackage ? kPackageRegisterEntry
                        : !entries.load          ? kPackageLoadEntry
                        : !entries.unload        ? kPackageUnloadEntry
                                                 : nullptr;
  if (missing) {
    record.errorText = std::string("the package has no entry point ") + missing;
    err_ << "Cannot load package " << path << ": " << record.errorText << "\n";
    return record;
  }
  registering_ = &record;
  // Only a package whose initialisation succeeded is finalised again: a refusal (a second
  // copy of a package already loaded, say) must not take down the copy that runs.
  record.loadEntryRan = entries.load(this, kIdeHostServicesVersion) == 0;
  if (!record.loadEntryRan) {
    if (record.errorText.empty()) record.errorText = "the package's initialisation failed";
    record.state = PackageState::Failed;
  } else {
    entries.registerPackage();
    record.state = record.errorText.empty() ? PackageState::Registered : PackageState::Failed;
  }
  registering_ = nullptr;
  if (record.state == PackageState::Failed)
    err_ << "Cannot load package " << path << ": " << record.errorText << "\n";
  return record;
}

void StandInIde::unloadPackages() {
  // Last loaded first: the IDE lets go of the wizards, then the package finalises.
  for (auto it = packages_.rbegin(); it != packages_.rend(); ++it) {
    PackageRecord& record = **it;
    if (!record.loadEntryRan || record.state == PackageState::Unloaded) continue;
    record.wizards.clear();
    record.entries.unload();
    record.state = PackageState::Unloaded;
  }
  // Whatever a package left attached would call into a library about to go away.
  std::size_t stray = toolServices_->count();
  toolServices_->abandonAll();
  for (auto& module : modules_) {
    stray += module->newStyleNotifierCount() + module->oldStyleNotifierCount();
    module->abandonNotifiers();
  }
  if (stray > 0) err_ << "Unloaded packages left " << stray << " notifiers attached\n";
  for (auto& record : packages_) {
    if (record->handle) dlclose(std::exchange(record->handle, nullptr));
  }
}

void StandInIde::registerPackageWizard(IOTAWizard* wizard) {
  if (!wizard) return;
  if (registering_) {
    registering_->wizards.emplace_back(wizard);
  } else {
    // A wizard registered outside a package's Register has no package to go with: the IDE
    // does not keep it.
    ComPtr<IOTAWizard> drop(wizard);
  }
}

void StandInIde::showError(const std::string& message) {
  errors_.push_back(message);
  err_ << message << "\n";
  if (registering_ && registering_->errorText.empty()) registering_->errorText = message;
}

void StandInIde::writeOutput(const std::string& text) {
  out_ << text;
  if (!text.empty() && text.back() != '\n') out_ << "\n";
  out_.flush();
}

IBorlandIDEServices* StandInIde::borlandIDEServices() {
  return static_cast<IBorlandIDEServices*>(services_.get());
}

TIToolServices* StandInIde::toolServices() { return toolServices_.get(); }

std::size_t StandInIde::addInNotifierCount() const { return toolServices_->count(); }

// ---- time ---------------------------------------------------------------------------------

std::unique_ptr<PeriodicTimer> StandInIde::createPeriodicTimer() {
  return std::make_unique<HostTimer>(*this);
}

void StandInIde::timerCreated(HostTimer* timer) { timers_.push_back(timer); }

void StandInIde::timerDestroyed(HostTimer* timer) { std::erase(timers_, timer); }

namespace {

// The virtual clock keeps to the dates where a date-time's number grows with time, as the
// tracker's arithmetic on it assumes (before 1899-12-30 the day counts down while its time of
// day counts up), and that a data file can hold (up to the end of the year 9999).
constexpr TDateTime kEarliestClock = 0.0;  // 1899-12-30 00:00:00
constexpr const char* kClockRange =
    "1899-12-30T00:00:00 to 9999-12-31T23:59:59, the dates the tracker keeps";

bool clockInRange(TDateTime when) {
  return when >= kEarliestClock && when < hmrfile::kMaxDateTime;  // false for NaN
}

}  // namespace

void StandInIde::runInRealTime() { realTime_ = true; }

void StandInIde::setClock(TDateTime when) {
  if (realTime_) throw IdeActionError("the clock is the system's in a windowed IDE");
  if (timeStarted_) throw IdeActionError("the clock can only be set before time passes");
  if (!clockInRange(when))
    throw IdeActionError(std::string("the clock must be within ") + kClockRange);
  start_ = when;
  setClockToElapsed();
}

void StandInIde::shiftClock(std::int64_t seconds) {
  const double start = start_ + static_cast<double>(seconds) / 86400.0;
  if (!clockInRange(start + static_cast<double>(elapsedMs_) / 86400000.0))
    throw IdeActionError("shifting the clock by " + std::to_string(seconds) +
                         " seconds would take it outside " + kClockRange);
  start_ = start;
  setClockToElapsed();
}

void StandInIde::crash() {
  out_.flush();
  err_.flush();
  std::raise(SIGKILL);
  std::abort();  // not reached: SIGKILL cannot be caught
}

void StandInIde::setClockToElapsed() {
  clock_.set(start_ + static_cast<double>(elapsedMs_) / 86400000.0);
}

void StandInIde::advance(std::int64_t seconds) {
  if (realTime_) throw IdeActionError("time passes by itself in a windowed IDE");
  if (seconds < 0) throw IdeActionError("time cannot go back");
  // Checked before any arithmetic on it: the clock stays within the dates a data file holds.
  const double end = start_ + (static_cast<double>(elapsedMs_) / 1000.0 +
                               static_cast<double>(seconds)) / 86400.0;
  if (seconds > hmrfile::kMaxSeconds || !(end < hmrfile::kMaxDateTime))
    throw IdeActionError("advance " + std::to_string(seconds) +
                         " would take the clock past 9999-12-31T23:59:59, the last moment a "
                         "data file holds");
  timeStarted_ = true;
  const std::int64_t target = elapsedMs_ + seconds * 1000;
  // Only timers whose ticks would do something are fired; stretches where every timer is
  // quiet are passed over at once, so an advance costs the marks it fires, not its length.
  for (;;) {
    std::int64_t next = -1;
    for (HostTimer* timer : timers_) {
      if (!timer->due()) continue;
      const std::int64_t interval = timer->intervalMs();
      const std::int64_t mark = (elapsedMs_ / interval + 1) * interval;
      if (next < 0 || mark < next) next = mark;
    }
    if (next < 0 || next > target) break;
    elapsedMs_ = next;
    setClockToElapsed();
    const std::vector<HostTimer*> due = timers_;
    for (HostTimer* timer : due) {
      if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
      if (timer->due() && next % timer->intervalMs() == 0) timer->fire();
    }
  }
  elapsedMs_ = target;
  setClockToElapsed();
}

void StandInIde::catchUpWith(TDateTime now) {
  // In whole milliseconds first: date-times are days, and a second is not exact in them.
  const std::int64_t behindMs = std::llround((now - clock_.now()) * 86400000.0);
  const std::int64_t seconds = behindMs / 1000;  // towards zero, both ways
  if (seconds > 0) {
    advance(seconds);
  } else if (seconds < 0) {
    shiftClock(seconds);
  }
}

// ---- modules and user actions -------------------------------------------------------------

HostModule* StandInIde::findModule(const std::string& fileName) const {
  for (const auto& module : modules_)
    if (sameText(module->GetFileName(), fileName)) return module.get();
  return nullptr;
}

HostModule& StandInIde::requireModule(const std::string& path) {
  HostModule* module = findModule(path);
  if (!module) throw IdeActionError("no open file " + path);
  return *module;
}

void StandInIde::fileNotification(TFileNotification code, const std::string& fileName) {
  toolServices_->broadcast(code, fileName);
}

void StandInIde::openProject(const std::string& path) {
  HostModule* existing = findModule(path);
  if (existing && existing->kind() != HostModule::Kind::Project)
    throw IdeActionError(path + " is open, but not as a project");
  fileNotification(fnProjectOpening, path);
  if (!groupModule_) {
    groupModule_ = ComPtr<HostModule>(
        new HostModule(*this, HostModule::Kind::ProjectGroup, "ProjectGroup1.bpg"));
    modules_.push_back(groupModule_);
  }
  if (!existing) {
    ComPtr<HostModule> project(new HostModule(*this, HostModule::Kind::Project, path));
    project->refuseNotifiers = refuseModuleNotifiers;
    modules_.push_back(project);
    existing = project.get();
  }
  activeProject_ = existing;
  current_ = ComPtr<HostModule>(existing);
  fileNotification(fnProjectOpened, path);
}

void StandInIde::openFile(const std::string& path, const std::vector<std::string>& owners) {
  std::vector<ComPtr<HostModule>> ownerModules;
  for (const std::string& owner : owners) {
    HostModule* project = findModule(owner);
    if (!project || project->kind() != HostModule::Kind::Project)
      throw IdeActionError("no open project " + owner);
    ownerModules.emplace_back(project);
  }
  HostModule* existing = findModule(path);
  if (existing && existing->kind() != HostModule::Kind::File)
    throw IdeActionError(path + " is open as a project");
  fileNotification(fnFileOpening, path);
  if (!existing) {
    ComPtr<HostModule> file(new HostModule(*this, HostModule::Kind::File, path));
    file->refuseNotifiers = refuseModuleNotifiers;
    modules_.push_back(file);
    existing = file.get();
  }
  existing->setOwners(std::move(ownerModules));
  current_ = ComPtr<HostModule>(existing);
  fileNotification(fnFileOpened, path);
}

void StandInIde::activate(const std::string& path) {
  HostModule& module = requireModule(path);
  current_ = ComPtr<HostModule>(&module);
  if (module.kind() == HostModule::Kind::Project) activeProject_ = &module;
}

void StandInIde::edit(const std::string& path) {
  HostModule& module = requireModule(path);
  current_ = ComPtr<HostModule>(&module);
  module.notifyOldStyle(ncEditorModified);
}

void StandInIde::editForm(const std::string& path) {
  HostModule& module = requireModule(path);
  current_ = ComPtr<HostModule>(&module);
  module.notifyOldStyle(ncFormModified);
}

void StandInIde::rename(const std::string& path, const std::string& newPath) {
  HostModule& module = requireModule(path);
  if (HostModule* other = findModule(newPath); other && other != &module)
    throw IdeActionError("a file named " + newPath + " is already open");
  const ComPtr<HostModule> keep(&module);
  module.rename(newPath);
}

void StandInIde::closeModule(HostModule& module) {
  const ComPtr<HostModule> keep(&module);
  if (current_.get() == &module) current_.reset();
  // The module stays findable while its notifiers hear that it goes.
  module.close();
  std::erase_if(modules_, [&](const ComPtr<HostModule>& m) { return m.get() == &module; });
  for (auto& other : modules_) other->removeOwner(&module);
}

void StandInIde::closeFile(const std::string& path) {
  HostModule& module = requireModule(path);
  if (module.kind() != HostModule::Kind::File)
    throw IdeActionError(path + " is a project: close it with close-project");
  fileNotification(fnFileClosing, path);
  closeModule(module);
}

void StandInIde::closeProject(const std::string& path) {
  HostModule& module = requireModule(path);
  if (module.kind() != HostModule::Kind::Project) throw IdeActionError("no open project " + path);
  const ComPtr<HostModule> keep(&module);
  fileNotification(fnProjectClosing, path);
  closeModule(module);
  if (activeProject_ == &module) {
    activeProject_ = nullptr;
    for (auto& other : modules_)
      if (other->kind() == HostModule::Kind::Project) {
        activeProject_ = other.get();
        break;
      }
  }
  const bool projectLeft = std::any_of(modules_.begin(), modules_.end(), [](const auto& m) {
    return m->kind() == HostModule::Kind::Project;
  });
  if (!projectLeft && groupModule_) {
    // The last project is gone, and its project group with it.
    const ComPtr<HostModule> group = std::move(groupModule_);
    closeModule(*group);
  }
}

void StandInIde::installPackage(const std::string& path) {
  PackageRecord* record = findPackage(path);
  if (!record || record->state == PackageState::Unloaded) record = &loadPackage(path);
  // Only a package that is in the IDE is announced.
  if (record->state == PackageState::Registered) fileNotification(fnPackageInstalled, path);
}

void StandInIde::clickViewMenu(const std::string& caption) {
  auto plain = [](const std::string& text) {
    std::string result;
    for (char c : text)
      if (c != '&') result += c;
    return result;
  };
  for (std::int32_t i = 0; i < viewsMenu_->Count(); ++i) {
    TMenuItem* item = viewsMenu_->Items(i);
    if (sameText(plain(item->Caption), plain(caption))) {
      item->Click();
      return;
    }
  }
  throw IdeActionError("no entry \"" + caption + "\" in the View menu");
}

}  // namespace hmr

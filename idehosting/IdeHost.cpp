// SPDX-License-Identifier: MIT
#include "idehosting/IdeHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <ostream>
#include <utility>

#include "core/PathText.h"
#include "idehosting/IdeActionError.h"
#include "idehosting/IdeServices.h"
#include "platform/Clock.h"

namespace hmr {

const char* packageStateName(PackageState state) {
  switch (state) {
    case PackageState::NotLoaded: return "not loaded";
    case PackageState::Failed: return "failed";
    case PackageState::Registered: return "registered";
    case PackageState::Unloaded: return "unloaded";
  }
  return "?";
}

IdeHost::IdeHost(IdeDescription description, SettingsStore& store, std::ostream& out,
                 std::ostream& err)
    : description_(std::move(description)),
      store_(store),
      out_(out),
      err_(err),
      time_(currentClock().now(), [this](const std::string& message) { showError(message); }),
      services_(new IdeServices(*this)),
      toolServices_(ComPtr<IdeToolServices>::adopt(new IdeToolServices(*this))) {
  buildMainMenu();
}

IdeHost::~IdeHost() {
  unloadPackages();
  current_.reset();
  activeProject_ = nullptr;
  for (auto& module : modules_) module->close();
  modules_.clear();
  groupModule_.reset();
}

void IdeHost::buildMainMenu() {
  auto add = [this](TMenuItem& parent, const MenuEntryDescription& entry) {
    auto item = std::make_unique<TMenuItem>();
    item->Name = entry.name;
    item->Caption = entry.caption;
    parent.Insert(parent.Count(), item.get());
    menuItems_.push_back(std::move(item));
    return menuItems_.back().get();
  };
  for (const MenuEntryDescription& top : description_.mainMenu) {
    TMenuItem* menu = add(mainMenu_.Items(), top);
    builtMenus_.push_back(menu);
    for (const MenuEntryDescription& entry : top.entries) add(*menu, entry);
  }
}

TMenuItem* IdeHost::builtMenu(const std::string& name) const {
  for (TMenuItem* menu : builtMenus_)
    if (menu->Name == name) return menu;
  return nullptr;
}

std::vector<TMenuItem*> IdeHost::packageEntries(const TMenuItem& parent) const {
  std::vector<TMenuItem*> entries;
  for (std::int32_t i = 0; i < parent.Count(); ++i) {
    TMenuItem* item = parent.Items(i);
    const bool built = std::any_of(menuItems_.begin(), menuItems_.end(),
                                   [item](const auto& own) { return own.get() == item; });
    if (!built) entries.push_back(item);
  }
  return entries;
}

// ---- packages -----------------------------------------------------------------------------

PackageRecord* IdeHost::findPackage(const std::string& path) {
  for (auto& record : packages_)
    if (record->path == path) return record.get();
  return nullptr;
}

PackageRecord& IdeHost::loadPackage(const std::string& path) {
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

PackageRecord& IdeHost::loadPackage(const std::string& path, const PackageEntryPoints& entries) {
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

void IdeHost::unloadPackages() {
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

void IdeHost::registerPackageWizard(IOTAWizard* wizard) {
  if (!wizard) return;
  if (registering_) {
    registering_->wizards.emplace_back(wizard);
  } else {
    // A wizard registered outside a package's Register has no package to go with: the IDE
    // does not keep it.
    ComPtr<IOTAWizard> drop(wizard);
  }
}

void IdeHost::showError(const std::string& message) {
  errors_.push_back(message);
  err_ << message << "\n";
  if (registering_ && registering_->errorText.empty()) registering_->errorText = message;
}

void IdeHost::writeOutput(const std::string& text) {
  out_ << text;
  if (!text.empty() && text.back() != '\n') out_ << "\n";
  out_.flush();
}

IBorlandIDEServices* IdeHost::borlandIDEServices() {
  return static_cast<IBorlandIDEServices*>(services_.get());
}

TIToolServices* IdeHost::toolServices() { return toolServices_.get(); }

std::size_t IdeHost::addInNotifierCount() const { return toolServices_->count(); }

// ---- modules and user actions -------------------------------------------------------------

IdeModule* IdeHost::findModule(const std::string& fileName) const {
  for (const auto& module : modules_)
    if (sameText(module->GetFileName(), fileName)) return module.get();
  return nullptr;
}

IdeModule& IdeHost::requireModule(const std::string& path) {
  IdeModule* module = findModule(path);
  if (!module) throw IdeActionError("no open file " + path);
  return *module;
}

void IdeHost::fileNotification(TFileNotification code, const std::string& fileName) {
  toolServices_->broadcast(code, fileName);
}

void IdeHost::openProject(const std::string& path) {
  time_.catchUp();
  IdeModule* existing = findModule(path);
  if (existing && existing->kind() != IdeModule::Kind::Project)
    throw IdeActionError(path + " is open, but not as a project");
  fileNotification(fnProjectOpening, path);
  if (!groupModule_) {
    groupModule_ = ComPtr<IdeModule>(
        new IdeModule(*this, IdeModule::Kind::ProjectGroup, description_.projectGroupFileName));
    modules_.push_back(groupModule_);
  }
  if (!existing) {
    ComPtr<IdeModule> project(new IdeModule(*this, IdeModule::Kind::Project, path));
    moduleOpened(*project);
    modules_.push_back(project);
    existing = project.get();
  }
  activeProject_ = existing;
  current_ = ComPtr<IdeModule>(existing);
  fileNotification(fnProjectOpened, path);
}

void IdeHost::openFile(const std::string& path, const std::vector<std::string>& owners) {
  time_.catchUp();
  std::vector<ComPtr<IdeModule>> ownerModules;
  for (const std::string& owner : owners) {
    IdeModule* project = findModule(owner);
    if (!project || project->kind() != IdeModule::Kind::Project)
      throw IdeActionError("no open project " + owner);
    ownerModules.emplace_back(project);
  }
  IdeModule* existing = findModule(path);
  if (existing && existing->kind() != IdeModule::Kind::File)
    throw IdeActionError(path + " is open as a project");
  fileNotification(fnFileOpening, path);
  if (!existing) {
    ComPtr<IdeModule> file(new IdeModule(*this, IdeModule::Kind::File, path));
    moduleOpened(*file);
    modules_.push_back(file);
    existing = file.get();
  }
  existing->setOwners(std::move(ownerModules));
  current_ = ComPtr<IdeModule>(existing);
  fileNotification(fnFileOpened, path);
}

void IdeHost::activate(const std::string& path) {
  time_.catchUp();
  IdeModule& module = requireModule(path);
  current_ = ComPtr<IdeModule>(&module);
  if (module.kind() == IdeModule::Kind::Project) activeProject_ = &module;
}

void IdeHost::edit(const std::string& path) {
  time_.catchUp();
  IdeModule& module = requireModule(path);
  current_ = ComPtr<IdeModule>(&module);
  module.notifyOldStyle(ncEditorModified);
}

void IdeHost::editForm(const std::string& path) {
  time_.catchUp();
  IdeModule& module = requireModule(path);
  current_ = ComPtr<IdeModule>(&module);
  module.notifyOldStyle(ncFormModified);
}

void IdeHost::rename(const std::string& path, const std::string& newPath) {
  time_.catchUp();
  IdeModule& module = requireModule(path);
  if (IdeModule* other = findModule(newPath); other && other != &module)
    throw IdeActionError("a file named " + newPath + " is already open");
  const ComPtr<IdeModule> keep(&module);
  module.rename(newPath);
}

void IdeHost::closeModule(IdeModule& module) {
  const ComPtr<IdeModule> keep(&module);
  if (current_.get() == &module) current_.reset();
  // The module stays findable while its notifiers hear that it goes.
  module.close();
  std::erase_if(modules_, [&](const ComPtr<IdeModule>& m) { return m.get() == &module; });
  for (auto& other : modules_) other->removeOwner(&module);
}

void IdeHost::closeFile(const std::string& path) {
  time_.catchUp();
  IdeModule& module = requireModule(path);
  if (module.kind() != IdeModule::Kind::File)
    throw IdeActionError(path + " is a project: close it with close-project");
  fileNotification(fnFileClosing, path);
  closeModule(module);
}

void IdeHost::closeProject(const std::string& path) {
  time_.catchUp();
  IdeModule& module = requireModule(path);
  if (module.kind() != IdeModule::Kind::Project) throw IdeActionError("no open project " + path);
  const ComPtr<IdeModule> keep(&module);
  fileNotification(fnProjectClosing, path);
  closeModule(module);
  if (activeProject_ == &module) {
    activeProject_ = nullptr;
    for (auto& other : modules_)
      if (other->kind() == IdeModule::Kind::Project) {
        activeProject_ = other.get();
        break;
      }
  }
  const bool projectLeft = std::any_of(modules_.begin(), modules_.end(), [](const auto& m) {
    return m->kind() == IdeModule::Kind::Project;
  });
  if (!projectLeft && groupModule_) {
    // The last project is gone, and its project group with it.
    const ComPtr<IdeModule> group = std::move(groupModule_);
    closeModule(*group);
  }
}

void IdeHost::installPackage(const std::string& path) {
  time_.catchUp();
  PackageRecord* record = findPackage(path);
  if (!record || record->state == PackageState::Unloaded) record = &loadPackage(path);
  // Only a package that is in the IDE is announced.
  if (record->state == PackageState::Registered) fileNotification(fnPackageInstalled, path);
}

void IdeHost::chooseMenuEntry(TMenuItem& entry) {
  time_.catchUp();
  entry.Click();
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
// The notifiers through which the IDE reports to the tracker: the add-in notifier (files and
// projects opened, packages installed), a new-style notifier per opened project (renamed,
// destroyed) and an old-style notifier per opened file (deleted, text or form modified),
// with the add-in notifier's books of the module notifiers it attached.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ide/TBaseNotifier.h"
#include "ide/contract/ComPtr.h"
#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"

namespace hmr {

class THMExpertAddInNotifier;
class THMRProjectGroup;

// Attached to a project's module. Its life follows its reference count: the module holds it
// while it is attached; the add-in notifier's list refers to it without owning it.
class TOTAModuleNotifier final : public TBaseNotifier<IOTAModuleNotifier> {
 public:
  TOTAModuleNotifier(THMExpertAddInNotifier* Owner, std::string FileName);

  bool QueryInterface(const TGUID& iid, void** object) override;
  // The project module is being destroyed: the project leaves the group, the notifier
  // detaches. Errors are swallowed.
  void Destroyed() override;
  bool CheckOverwrite() override { return true; }
  // Reports the new name first and the old one second; afterwards answers to the new name.
  void ModuleRenamed(const std::string& NewName) override;

  THMExpertAddInNotifier* FOwner = nullptr;
  std::int32_t FIndex = -1;
  bool FRegistered = false;
  std::string FFileName;

 private:
  // Detaches itself when still registered, then removes its project from the group. Errors
  // are swallowed.
  ~TOTAModuleNotifier() override;
};

// Attached to a file's old-style module interface. It starts with one reference, held by the
// add-in notifier's list, which releases it.
class TADDINModuleNotifier final : public TIModuleNotifier {
 public:
  TADDINModuleNotifier(THMExpertAddInNotifier* Owner, ComPtr<TIModuleInterface> ModuleInterface,
                       std::string FileName);

  void Notify(TNotifyCode NotifyCode) override;
  void ComponentRenamed(void*, const std::string&, const std::string&) override {}

  THMExpertAddInNotifier* FOwner = nullptr;
  ComPtr<TIModuleInterface> FModuleInterface;
  bool FRegistered = false;
  std::string FFileName;

 private:
  ~TADDINModuleNotifier() override;
};

class TOTAModuleNotifierList {
 public:
  TOTAModuleNotifierList() = default;
  // Detaches every registered notifier from its module (the IDE's release destroys them).
  ~TOTAModuleNotifierList();
  TOTAModuleNotifierList(const TOTAModuleNotifierList&) = delete;
  TOTAModuleNotifierList& operator=(const TOTAModuleNotifierList&) = delete;

  void Add(TOTAModuleNotifier* Notifier) { FList.push_back(Notifier); }
  // Takes out the first occurrence; nothing when absent.
  void Remove(TOTAModuleNotifier* Notifier);
  std::size_t Count() const { return FList.size(); }
  TOTAModuleNotifier* Items(std::size_t Index) const { return FList.at(Index); }

 private:
  std::vector<TOTAModuleNotifier*> FList;
};

class TADDINModuleNotifierList {
 public:
  TADDINModuleNotifierList() = default;
  // Releases every notifier in order; a registered one detaches itself as it goes.
  ~TADDINModuleNotifierList();
  TADDINModuleNotifierList(const TADDINModuleNotifierList&) = delete;
  TADDINModuleNotifierList& operator=(const TADDINModuleNotifierList&) = delete;

  // Takes over the notifier's first reference.
  void Add(TADDINModuleNotifier* Notifier) { FList.push_back(Notifier); }
  // Releases every unregistered notifier; registered ones stay, in order. Errors end the
  // clean-up quietly.
  void ClearUnRegistered() noexcept;
  std::size_t Count() const { return FList.size(); }
  TADDINModuleNotifier* Items(std::size_t Index) const { return FList.at(Index); }

 private:
  std::vector<TADDINModuleNotifier*> FList;
};

class THMExpertAddInNotifier final : public TIAddInNotifier {
 public:
  // Registers itself with the IDE's tool services; fails with "Cannot add notifier" when the
  // IDE refuses. Starts with one reference, held by its creator.
  THMExpertAddInNotifier();

  void FileNotification(TFileNotification NotifyCode, const std::string& FileName,
                        bool& Cancel) override;
  void EventNotification(TEventNotification NotifyCode, bool& Cancel) override;
  // Announces again, after closing every tracked project, what the IDE has open.
  void LoadOpenedProjects();

  // The group the IDE's notices go to, or null while there is none.
  THMRProjectGroup* projectGroup() const { return FProjectGroup; }
  // Activity detection: the IDE's current module decides which projects were worked on.
  void DetectActivity();

  // The project group of the wizard that made this notifier; not owned, set by the wizard
  // once the group exists. Every call into the group is skipped while it is null.
  THMRProjectGroup* FProjectGroup = nullptr;
  // Owned; null only while the add-in notifier is being destroyed.
  std::unique_ptr<TADDINModuleNotifierList> FAddInModuleNotifiers;
  std::unique_ptr<TOTAModuleNotifierList> FOTAModuleNotifiers;
  bool FReloadArmed = true;

 private:
  // Module notifiers first (old style, then new style), then the IDE registration.
  ~THMExpertAddInNotifier() override;
  void handleFileNotification(TFileNotification NotifyCode, const std::string& FileName);
};

// Whether the name part of `path` is this build's own package file, ignoring letter case.
bool IsOwnPackageFile(const std::string& path);

}  // namespace hmr

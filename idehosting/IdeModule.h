// SPDX-License-Identifier: MIT
// An open module of an IDE host: a project group, a project or another file, with its owners,
// its new-style notifiers and its old-style module interface.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ide/contract/ComPtr.h"
#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"

namespace hmr {

class IdeHost;
class IdeModule;

// The old-style view of a module. It may outlive the module: once the module is closed it
// accepts no notifier. It does not count the notifiers it holds (they detach themselves).
class IdeModuleInterface final : public TIModuleInterface {
 public:
  explicit IdeModuleInterface(IdeModule* module) : module_(module) {}

  bool AddNotifier(TIModuleNotifier* Notifier) override;
  bool RemoveNotifier(TIModuleNotifier* Notifier) override;

  // Sends `code` to every notifier attached when the call began and still attached.
  void notifyAll(TNotifyCode code);
  // The module is gone: forget it and every notifier.
  void detachModule();
  std::size_t notifierCount() const { return notifiers_.size(); }

 private:
  ~IdeModuleInterface() override = default;

  IdeModule* module_;
  std::vector<TIModuleNotifier*> notifiers_;
};

class IdeModule final : public TInterfacedObject<IOTAProject, IOTAProjectGroup> {
 public:
  enum class Kind { ProjectGroup, Project, File };

  IdeModule(IdeHost& ide, Kind kind, std::string fileName);

  bool QueryInterface(const TGUID& iid, void** object) override;
  std::string GetFileName() override { return fileName_; }
  std::int32_t GetOwnerCount() override { return static_cast<std::int32_t>(owners_.size()); }
  ComPtr<IOTAProject> GetOwner(std::int32_t Index) override;
  std::int32_t AddNotifier(IOTAModuleNotifier* notifier) override;
  void RemoveNotifier(std::int32_t Index) override;
  ComPtr<IOTAProject> GetActiveProject() override;

  // The module as the tools interfaces hand it out.
  IOTAModule* asModule() { return static_cast<IOTAProject*>(this); }
  Kind kind() const { return kind_; }
  bool closed() const { return closed_; }

  void setOwners(std::vector<ComPtr<IdeModule>> owners) { owners_ = std::move(owners); }
  void removeOwner(const IdeModule* owner);
  // The old-style module interface, created on first request; a new reference.
  TIModuleInterface* moduleInterface();
  // Old-style notice to every attached module notifier.
  void notifyOldStyle(TNotifyCode code);
  // Renames the module and tells its notifiers, new style and old style.
  void rename(const std::string& newName);
  // Closes the module: old-style notifiers hear ncModuleDeleted, new-style ones Destroyed,
  // then the module lets go of every notifier.
  void close();
  // Notifiers still attached (new style, old style).
  std::size_t newStyleNotifierCount() const { return notifiers_.size(); }
  std::size_t oldStyleNotifierCount() const;
  // Forgets every notifier without calling it (their code may be gone).
  void abandonNotifiers();
  // Whether AddNotifier refuses new-style notifiers (as an IDE may: the package must cope).
  bool refuseNotifiers = false;

 private:
  ~IdeModule() override = default;

  IdeHost& ide_;
  Kind kind_;
  std::string fileName_;
  std::vector<ComPtr<IdeModule>> owners_;
  std::vector<std::pair<std::int32_t, ComPtr<IOTAModuleNotifier>>> notifiers_;
  std::int32_t nextIndex_ = 0;
  ComPtr<IdeModuleInterface> interface_;
  bool closed_ = false;
};

}  // namespace hmr

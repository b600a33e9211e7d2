// SPDX-License-Identifier: MIT
// The services objects an IDE host hands its packages: BorlandIDEServices (module services and
// the main menu) and ToolServices (add-in notifiers and old-style module interfaces). Both
// answer from the host's module table and menu; neither keeps a list of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"

namespace hmr {

class IdeHost;

// BorlandIDEServices: one object answering the module services and the main menu services.
class IdeServices final
    : public TInterfacedObject<IBorlandIDEServices, IOTAModuleServices, INTAServices> {
 public:
  explicit IdeServices(IdeHost& host) : host_(host) {}

  bool QueryInterface(const TGUID& iid, void** object) override;
  std::int32_t GetModuleCount() override;
  ComPtr<IOTAModule> GetModule(std::int32_t Index) override;
  ComPtr<IOTAModule> FindModule(const std::string& FileName) override;
  ComPtr<IOTAModule> CurrentModule() override;
  TMainMenu* GetMainMenu() override;

 private:
  ~IdeServices() override = default;
  IdeHost& host_;
};

// ToolServices: add-in notifiers (not counted: they unregister themselves) and the old-style
// module interfaces.
class IdeToolServices final : public TIToolServices {
 public:
  explicit IdeToolServices(IdeHost& host) : host_(host) {}

  // Refused when the host does not accept add-in notifiers.
  bool AddNotifier(TIAddInNotifier* AddInNotifier) override;
  bool RemoveNotifier(TIAddInNotifier* AddInNotifier) override;
  TIModuleInterface* GetModuleInterface(const std::string& FileName) override;

  // Sends a file notice to every notifier registered when the call began and still
  // registered when its turn comes.
  void broadcast(TFileNotification code, const std::string& fileName);
  std::size_t count() const { return notifiers_.size(); }
  // Forgets every notifier without calling it (its code may be gone).
  void abandonAll() { notifiers_.clear(); }

 private:
  ~IdeToolServices() override = default;
  IdeHost& host_;
  std::vector<TIAddInNotifier*> notifiers_;
};

}  // namespace hmr

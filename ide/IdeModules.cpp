// SPDX-License-Identifier: MIT
#include "ide/IdeModules.h"

#include "ide/IdeBuild.h"
#include "ide/PackageHost.h"

namespace hmr {

ComPtr<IOTAModuleServices> ModuleServices() {
  return Supports<IOTAModuleServices>(BorlandIDEServices(), IID_IOTAModuleServices);
}

TModuleKind GetModuleKind(IOTAModule* Module) {
  if (!Module) return mkNone;
  if (Supports<IOTAProjectGroup>(Module, IID_IOTAProjectGroup)) return mkProjectGroup;
  if (Supports<IOTAProject>(Module, ide_build::IID_IOTAProject)) return mkProject;
  return mkOtherModule;
}

ComPtr<IOTAProjectGroup> FindIDEProjectGroup() {
  const ComPtr<IOTAModuleServices> services = ModuleServices();
  if (!services) return {};
  const std::int32_t count = services->GetModuleCount();
  for (std::int32_t i = 0; i < count; ++i) {
    const ComPtr<IOTAModule> module = services->GetModule(i);
    if (auto group = Supports<IOTAProjectGroup>(module.get(), IID_IOTAProjectGroup))
      return group;
  }
  return {};
}

ComPtr<IOTAProject> GetActiveIDEProject() {
  const ComPtr<IOTAProjectGroup> group = FindIDEProjectGroup();
  return group ? group->GetActiveProject() : ComPtr<IOTAProject>();
}

ComPtr<IOTAModule> GetCurrentIDEModule() {
  const ComPtr<IOTAModuleServices> services = ModuleServices();
  return services ? services->CurrentModule() : ComPtr<IOTAModule>();
}

ComPtr<IOTAModule> FindIDEModule(const std::string& FileName) {
  const ComPtr<IOTAModuleServices> services = ModuleServices();
  return services ? services->FindModule(FileName) : ComPtr<IOTAModule>();
}

}  // namespace hmr

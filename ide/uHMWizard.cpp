// SPDX-License-Identifier: MIT
#include "ide/uHMWizard.h"

#include "core/ProductTexts.h"
#include "core/uHMRProjectGroup.h"
#include "ide/IdeBuild.h"
#include "ide/IdeModules.h"
#include "ide/PackageHost.h"
#include "ide/crvIDEMenuItem.h"
#include "ide/uHMNotifiers.h"

namespace hmr {

THMWizard::THMWizard(TrackerUi& ui) : ui_(ui) {
  try {
    FMenuItem = std::make_unique<TIDEMenuItem>(ViewsMenuName, 4);
    // The toolkit calls the handler from the IDE's event loop: its errors end at the IDE's
    // error display.
    FMenuItem->OnClick = [this](TMenuItem* Sender) { guardedForIde([&] { OnClick(Sender); }); };
    FMenuItem->Caption = GetMenuText();
    FMenuItem->Name = "FMenuItem";

    FNotifier = ComPtr<THMExpertAddInNotifier>::adopt(new THMExpertAddInNotifier());

    IdeHostServices* host = packageHost();
    FProjectGroup =
        std::make_unique<THMRProjectGroup>(&ui_, host ? &host->settingsStore() : nullptr);
    // From here on the IDE's notices reach the group.
    FNotifier->FProjectGroup = FProjectGroup.get();
    FProjectGroup->SetHostTool(ide_build::HostTool, ide_build::HostVersion);
    FProjectGroup->ShowUserDialog(false);
    FProjectGroup->ReadCheckpointInterval();
  } catch (...) {
    tearDown();
    throw;
  }
}

THMWizard::~THMWizard() { tearDown(); }

void THMWizard::tearDown() noexcept {
  FMenuItem.reset();
  // Module notifiers detach as the add-in notifier goes; their projects leave the group,
  // closed and saved.
  FNotifier.reset();
  FProjectGroup.reset();
}

bool THMWizard::QueryInterface(const TGUID& iid, void** object) {
  if (iid == IID_IOTAWizard) {
    *object = static_cast<IOTAWizard*>(this);
    AddRef();
    return true;
  }
  return TBaseNotifier<IOTAWizard>::QueryInterface(iid, object);
}

std::string THMWizard::GetIDString() { return std::string(product::WizardIDString); }

std::string THMWizard::GetName() { return std::string(product::WizardName); }

TWizardState THMWizard::GetState() { return wizardStateOf(wsEnabled); }

void THMWizard::Execute() {}

std::string THMWizard::GetMenuText() const { return std::string(product::MenuText); }

std::string THMWizard::GetAuthor() const { return std::string(product::Author); }

void THMWizard::OnClick(TMenuItem*) {
  if (!FProjectGroup) return;
  if (const ComPtr<IOTAProject> project = GetActiveIDEProject())
    FProjectGroup->ProjectActivated(project->GetFileName());
  FProjectGroup->ShowDialog(true, "");
}

void RegisterHMWizard(TrackerUi& ui) {
  const ComPtr<THMWizard> wizard(new THMWizard(ui));
  RegisterPackageWizard(wizard.get());
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
// The tracker's wizard in the IDE: it owns the View-menu entry, the add-in notifier through
// which the IDE reports what it opens and edits, and the project group.
#pragma once

#include <memory>
#include <string>

#include "ide/TBaseNotifier.h"
#include "ide/contract/ComPtr.h"
#include "ide/contract/ToolsAPI.h"

namespace hmr {

class TIDEMenuItem;
class THMExpertAddInNotifier;
class THMRProjectGroup;
class TMenuItem;
class TrackerUi;

class THMWizard final : public TBaseNotifier<IOTAWizard> {
 public:
  // Builds, in order: the menu entry (View menu, position 4), the add-in notifier, the project
  // group with this build's host settings, then the start-up user name. A failing step takes
  // down what was built before it and passes its error on. `ui` (not owned, outliving the
  // wizard) shows the group's windows.
  explicit THMWizard(TrackerUi& ui);

  bool QueryInterface(const TGUID& iid, void** object) override;
  std::string GetIDString() override;
  std::string GetName() override;
  TWizardState GetState() override;
  void Execute() override;

  std::string GetMenuText() const;
  std::string GetAuthor() const;
  // The menu entry was chosen: the group's active project follows the IDE's, then the tracker
  // dialog opens modally.
  void OnClick(TMenuItem* Sender);

  THMRProjectGroup* projectGroup() const { return FProjectGroup.get(); }
  TIDEMenuItem* menuItem() const { return FMenuItem.get(); }
  THMExpertAddInNotifier* addInNotifier() const { return FNotifier.get(); }

 private:
  // Destroyed when the IDE releases its last reference: the menu entry goes, then the add-in
  // notifier (projects whose notifiers detach are closed and saved), then the group.
  ~THMWizard() override;
  void tearDown() noexcept;

  std::unique_ptr<TIDEMenuItem> FMenuItem;
  ComPtr<THMExpertAddInNotifier> FNotifier;
  std::unique_ptr<THMRProjectGroup> FProjectGroup;
  TrackerUi& ui_;
};

// The body of the package's Register: creates the wizard and hands it to the IDE. An error
// while the wizard is built passes on and leaves nothing registered.
void RegisterHMWizard(TrackerUi& ui);

}  // namespace hmr

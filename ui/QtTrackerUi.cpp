// SPDX-License-Identifier: MIT
#include "ui/QtTrackerUi.h"

#include <memory>

#include "core/uHMRProjectGroup.h"
#include "ui/DlgUser.h"
#include "ui/ErrorBox.h"
#include "ui/tracker/uHMRDialog.h"

namespace hmr {

void QtTrackerUi::showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                                    const std::string& fileToOpen) {
  auto dialog = std::make_unique<TdlgPrjRevedazl>(&group, &viewState_);
  dialog->SetStandAlone(standAlone);
  dialog->FFileToOpen = fileToOpen;
  const TViewState& view = viewState_;
  if (view.Saved) {
    // Where the dialog was last closed, instead of centred.
    dialog->move(view.Left, view.Top);
    dialog->resize(view.Width, view.Height);
    dialog->setTreeWidth(view.TreeWidth);
  }
  dialog_ = dialog.get();
  dialog->exec();
  dialog_ = nullptr;
  // Freeing the dialog tells the group it is gone.
}

void QtTrackerUi::closeTrackerDialog(THMRProjectGroup& group) {
  if (dialog_ && dialog_->projectGroup() == &group) {
    dialog_->detachGroup();
    dialog_->done(0);
  }
  group.OnDestroyDlg();
}

int QtTrackerUi::showUserDialog(SettingsStore& store, bool allowNewUser,
                                const std::string& keyPath, std::string& userName) {
  return runUserDialog(store, allowNewUser, keyPath, userName);
}

void QtTrackerUi::showError(const std::string& message) {
  showErrorNotice(dialog_, message);
}

}  // namespace hmr

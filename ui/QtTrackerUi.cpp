// SPDX-License-Identifier: MIT
#include "ui/QtTrackerUi.h"

#include <memory>

#include "core/uHMRProjectGroup.h"
#include "ui/uHMRDialog.h"

namespace hmr {

void QtTrackerUi::showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                                    const std::string& fileToOpen) {
  auto dialog = std::make_unique<TdlgPrjRevedazl>(&group);
  dialog->SetStandAlone(standAlone);
  dialog->FFileToOpen = fileToOpen;
  const TViewState& view = group.ViewState;
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

}  // namespace hmr

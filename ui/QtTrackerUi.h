// SPDX-License-Identifier: MIT
// The windows of a program that runs a QApplication: the tracker dialog and the user-name
// dialog, each shown modally. It keeps the tracker dialog's view from one showing to the next.
#pragma once

#include <QPointer>

#include "core/TrackerDialogModel.h"
#include "core/TrackerUi.h"
#include "ui/tracker/uHMRDialog.h"

namespace hmr {

class QtTrackerUi final : public TrackerUi {
 public:
  // Creates the dialog on the group, places it where it was last closed (or centred on the
  // screen the first time), shows it modally and frees it when it closes.
  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override;
  // The group is going away: its dialog, when one shows, lets go of it and closes.
  void closeTrackerDialog(THMRProjectGroup& group) override;
  // Runs TDlgSetUser modally; it always ends with OK (1).
  int showUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                     std::string& userName) override;

  // A warning box that does not stop the tracker's timer (showErrorNotice), over the dialog
  // when it shows.
  void showError(const std::string& message) override;

  // The dialog while it shows, or null.
  TdlgPrjRevedazl* dialog() const { return dialog_; }
  // The dialog's view as it was when it last closed (Saved is false before that); it lasts as
  // long as this object, the host's session.
  const TViewState& viewState() const { return viewState_; }

 private:
  QPointer<TdlgPrjRevedazl> dialog_;
  TViewState viewState_;
};

}  // namespace hmr

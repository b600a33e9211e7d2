// SPDX-License-Identifier: MIT
// The windows of a program that runs a QApplication: the tracker dialog shown modally. The
// user-name dialog is still the core's windowless one.
#pragma once

#include <QPointer>

#include "core/HeadlessTrackerUi.h"
#include "ui/uHMRDialog.h"

namespace hmr {

class QtTrackerUi final : public HeadlessTrackerUi {
 public:
  // Creates the dialog on the group, places it where it was last closed (or centred on the
  // screen the first time), shows it modally and frees it when it closes.
  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override;
  // The group is going away: its dialog, when one shows, lets go of it and closes.
  void closeTrackerDialog(THMRProjectGroup& group) override;

  // The dialog while it shows, or null.
  TdlgPrjRevedazl* dialog() const { return dialog_; }

 private:
  QPointer<TdlgPrjRevedazl> dialog_;
};

}  // namespace hmr

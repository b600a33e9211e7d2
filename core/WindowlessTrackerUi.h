// SPDX-License-Identifier: MIT
#pragma once

#include "core/TrackerUi.h"

namespace hmr {

// The windows of a program without a display. The tracker dialog closes as soon as it is
// shown; the user dialog is answered as by a person who opens it and presses OK at once.
class WindowlessTrackerUi : public TrackerUi {
 public:
  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override;
  void closeTrackerDialog(THMRProjectGroup& group) override;
  int showUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                     std::string& userName) override;
};

}  // namespace hmr

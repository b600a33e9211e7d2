// SPDX-License-Identifier: MIT
// The package's windows. Each time the group asks for one, the package looks whether its IDE
// runs a Qt application at that moment: then the Qt dialogs show; otherwise the windowless
// tracker dialog writes its report to the IDE's output. An IDE that is not built on Qt (Lazarus)
// may start a Qt application only when the user first asks for the tracker's window.
#pragma once

#include <memory>
#include <string>

#include "core/TrackerUi.h"

namespace hmr {

class PackageTrackerUi final : public TrackerUi {
 public:
  // `windowless` shows the dialogs while no Qt application runs.
  explicit PackageTrackerUi(std::unique_ptr<TrackerUi> windowless);
  ~PackageTrackerUi() override;

  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override;
  void closeTrackerDialog(THMRProjectGroup& group) override;
  int showUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                     std::string& userName) override;
  void showError(const std::string& message) override;

  // Whether the IDE runs a Qt application with widgets (always false in a build without Qt).
  static bool qtWidgetsRun();

 private:
  TrackerUi& current();

  std::unique_ptr<TrackerUi> windowless_;
  // The Qt dialogs, made the first time a Qt application is found; kept from then on, so that
  // the dialog they show is the one closeTrackerDialog reaches.
  std::unique_ptr<TrackerUi> windows_;
};

}  // namespace hmr

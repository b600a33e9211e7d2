// SPDX-License-Identifier: MIT
// The package's windows. Each time the group asks for one, the package asks its IDE which
// windows it offers at that moment: with Qt widgets the Qt dialogs show; otherwise the
// windowless tracker dialog writes its report to the IDE's output. An IDE that is not built on
// Qt (Lazarus) may begin to offer Qt widgets only when the user first asks for the tracker's
// window.
#pragma once

#include <memory>
#include <string>

#include "core/TrackerUi.h"

namespace hmr {

class IdeHostServices;
class QtTrackerUi;

class PackageTrackerUi final : public TrackerUi {
 public:
  // `windowless` shows the dialogs while the IDE offers no windows. `host` (not owned) is the
  // IDE asked; null means no windows.
  PackageTrackerUi(IdeHostServices* host, std::unique_ptr<TrackerUi> windowless);
  ~PackageTrackerUi() override;

  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override;
  void closeTrackerDialog(THMRProjectGroup& group) override;
  int showUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                     std::string& userName) override;
  void showError(const std::string& message) override;

  // Whether the IDE offers Qt widgets now (never in a build without Qt).
  bool qtWindowsOffered() const;
  // The Qt dialogs, made the first time the IDE offered Qt widgets; null before that and in a
  // build without Qt.
  QtTrackerUi* qtWindows() const;

 private:
  TrackerUi& current();

  IdeHostServices* host_;
  std::unique_ptr<TrackerUi> windowless_;
  // Kept from the first time on, so that the dialog they show is the one closeTrackerDialog
  // reaches and their memory of the dialog's view lasts as long as the package.
  std::unique_ptr<TrackerUi> windows_;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
// The tracker dialog's Project Info page ("TabProjectInfo"): the selected project's idle
// threshold and minimum work time in whole minutes, and Restore Default. The rules (when an
// edit reaches the project, the question before raising the minimum) are the model's
// (ProjectInfoModel); the page shows its spin boxes and asks the question.
#pragma once

#include <QWidget>

class QPushButton;
class QSpinBox;

namespace hmr {

class ProjectInfoModel;

class ProjectInfoPage final : public QWidget {
  Q_OBJECT

 public:
  // `model` (not owned) outlives the page.
  explicit ProjectInfoPage(ProjectInfoModel& model, QWidget* parent = nullptr);

  // Shows the model's project in the spin boxes (nothing changes without one).
  void showProject();
  // The page became the active one.
  void entered();
  // Commits the spin boxes to the project (TabProjectInfoUpdate); raising the minimum asks
  // first, and a No puts the spin box back. True when the project changed (its sessions may
  // have: what shows them must be refreshed).
  bool commit();

 private:
  void cmdRestDefaultClick();

  ProjectInfoModel& model_;
  QSpinBox* sedtIdle = nullptr;
  QSpinBox* sedtMinimum = nullptr;
  QPushButton* cmdRestDefault = nullptr;
};

}  // namespace hmr

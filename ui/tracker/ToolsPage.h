// SPDX-License-Identifier: MIT
// The tracker dialog's Tools page ("TabTools"): the current user, Change User and the start-up
// question, and the exports of what the History grid shows as a text report, a
// semicolon-separated file or clipboard text, under a header naming the projects and the
// filter chosen.
#pragma once

#include <QWidget>
#include <string>

#include "core/uHMRGlobal.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;

namespace hmr {

class SessionGridModel;
class TrackerDialogModel;

class ToolsPage final : public QWidget {
  Q_OBJECT

 public:
  // `model` and `shown` (the History grid's cells; not owned) outlive the page.
  ToolsPage(TrackerDialogModel& model, const SessionGridModel& shown, QWidget* parent = nullptr);

  // Shows the group's user, and the user controls where the host lets the user change.
  void showUser();

 signals:
  // The user chose another name: the grid's user column changes.
  void userChanged();

 private:
  void btnChangeUserClick();
  void chkShowUserDlgClick();
  void cmdExportClick();
  void ExportToFile(TFileExportFormat Format);
  void ExportClipBoard();

  TrackerDialogModel& model_;
  const SessionGridModel& shown_;
  QLineEdit* edtCurrentUser = nullptr;
  QPushButton* btnChangeUser = nullptr;
  QCheckBox* chkShowUserDlg = nullptr;
  QComboBox* cbxExportFormat = nullptr;
  QPushButton* cmdExport = nullptr;
  QFileDialog* SaveDialog = nullptr;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
// The tracker dialog's Tools page ("TabTools"): the current user, Change User and the start-up
// question, and the exports of what the History grid shows as a text report, a
// semicolon-separated file or clipboard text, under a header naming the projects and the
// filter chosen, or of the Chart page's chart as a PNG or SVG picture. The save dialog
// proposes the file type of the format chosen.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "core/uHMRGlobal.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;

namespace hmr {

class ChartPage;
class SessionGridModel;
class TrackerDialogModel;

class ToolsPage final : public QWidget {
  Q_OBJECT

 public:
  // `model`, `shown` (the History grid's cells) and `chart` (not owned) outlive the page.
  ToolsPage(TrackerDialogModel& model, const SessionGridModel& shown, const ChartPage& chart,
            QWidget* parent = nullptr);

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
  void exportChart(bool svg);
  // Asks where to save, proposing `name` under the filter of `filterIndex`, adding `extension`
  // to a name typed without one; empty when the user cancelled.
  std::string askSaveFile(const std::string& name, int filterIndex, std::string_view extension);

  TrackerDialogModel& model_;
  const SessionGridModel& shown_;
  const ChartPage& chart_;
  QLineEdit* edtCurrentUser = nullptr;
  QPushButton* btnChangeUser = nullptr;
  QCheckBox* chkShowUserDlg = nullptr;
  QComboBox* cbxExportFormat = nullptr;
  QPushButton* cmdExport = nullptr;
  QFileDialog* SaveDialog = nullptr;
};

}  // namespace hmr

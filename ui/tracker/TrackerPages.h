// SPDX-License-Identifier: MIT
// The tracker dialog's page control ("PageControl"): the History, Chart, Project Info, Tools
// and About pages, in this order. Only the user's change of page is reported; the dialog's own
// (back to History, Project Info hidden for the group) is not.
#pragma once

#include <QTabWidget>

namespace hmr {

class AboutPage;
class ChartPage;
class HistoryPage;
class ProjectInfoPage;
class ToolsPage;
class TrackerDialogModel;

class TrackerPages final : public QTabWidget {
  Q_OBJECT

 public:
  // `model` (not owned) outlives the pages.
  explicit TrackerPages(TrackerDialogModel& model, QWidget* parent = nullptr);

  HistoryPage& history() const { return *history_; }
  ChartPage& chart() const { return *chart_; }
  ProjectInfoPage& projectInfo() const { return *projectInfo_; }
  ToolsPage& tools() const { return *tools_; }
  AboutPage& about() const { return *about_; }

  bool projectInfoActive() const;
  // The History page becomes the active one.
  void showHistory();
  // The Project Info page's tab shows (a project is selected) or not (the group).
  void setProjectInfoShown(bool shown);

 signals:
  // The user made `page` the active page.
  void pageChosen(QWidget* page);

 private:
  bool changeByCode_ = false;
  HistoryPage* history_ = nullptr;
  ChartPage* chart_ = nullptr;
  ProjectInfoPage* projectInfo_ = nullptr;
  ToolsPage* tools_ = nullptr;
  AboutPage* about_ = nullptr;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "ui/tracker/TrackerPages.h"

#include "core/TrackerDialogModel.h"
#include "ui/tracker/AboutPage.h"
#include "ui/tracker/ChartPage.h"
#include "ui/tracker/DialogWidgets.h"
#include "ui/tracker/HistoryPage.h"
#include "ui/tracker/ProjectInfoPage.h"
#include "ui/tracker/ToolsPage.h"

namespace hmr {

TrackerPages::TrackerPages(TrackerDialogModel& model, QWidget* parent) : QTabWidget(parent) {
  setObjectName("PageControl");
  history_ = new HistoryPage(model);
  chart_ = new ChartPage;
  projectInfo_ = new ProjectInfoPage(model.projectInfo());
  // The exports copy what the History grid and the chart show.
  tools_ = new ToolsPage(model, history_->gridModel(), *chart_);
  about_ = new AboutPage;
  addTab(history_, "History");
  addTab(chart_, "Chart");
  addTab(projectInfo_, "Project Info");
  addTab(tools_, "Tools");
  addTab(about_, "About");
  connect(this, &QTabWidget::currentChanged, this, [this](int index) {
    if (!changeByCode_) emit pageChosen(widget(index));
  });
}

bool TrackerPages::projectInfoActive() const { return currentWidget() == projectInfo_; }

void TrackerPages::showHistory() {
  tracker_ui::FlagScope byCode(changeByCode_);
  setCurrentWidget(history_);
}

void TrackerPages::setProjectInfoShown(bool shown) {
  tracker_ui::FlagScope byCode(changeByCode_);
  setTabVisible(indexOf(projectInfo_), shown);
}

}  // namespace hmr

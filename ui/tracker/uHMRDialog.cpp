// SPDX-License-Identifier: MIT
// The tracker dialog's shell: the splitter, the page control and the bottom bar, the life cycle
// and the wiring of the parts to the model.
#include "ui/tracker/uHMRDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "core/PathText.h"
#include "core/ProductTexts.h"
#include "core/uHMRProjectGroup.h"
#include "ui/ErrorBox.h"
#include "ui/tracker/AboutPage.h"
#include "ui/tracker/ChartPage.h"
#include "ui/tracker/DialogWidgets.h"
#include "ui/tracker/FilterBar.h"
#include "ui/tracker/HistoryPage.h"
#include "ui/tracker/ProjectInfoPage.h"
#include "ui/tracker/SessionGridModel.h"
#include "ui/tracker/ToolsPage.h"
#include "ui/tracker/TrackerPages.h"
#include "ui/tracker/TrackerPictures.h"
#include "ui/tracker/TreePane.h"

namespace hmr {

using tracker_ui::named;

// ---- construction -------------------------------------------------------------------------

template <class Action>
void TdlgPrjRevedazl::handle(Action&& action) {
  runGuarded(this, std::forward<Action>(action));
}

template <class... Args>
auto TdlgPrjRevedazl::guarded(void (TdlgPrjRevedazl::*handler)(Args...)) {
  return [this, handler](Args... args) { handle([&] { (this->*handler)(args...); }); };
}

TdlgPrjRevedazl::TdlgPrjRevedazl(THMRProjectGroup* group, TViewState* memory, QWidget* parent)
    : QDialog(parent), model_(group), memory_(memory) {
  // The model holds the group before anything is built: the creation handler reads it.
  setObjectName("dlgPrjRevedazl");
  setWindowTitle(tracker_ui::qtText(product::TrackerDialogCaption));
  setWindowIcon(QIcon(trackerPicture("icon")));
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
  setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  splitter = named(new QSplitter(Qt::Horizontal, this), "Splitter1");
  splitter->setChildrenCollapsible(false);
  tree_ = new TreePane(splitter);
  QWidget* pnlProject = buildProjectPane();
  // The panes may be squeezed: the splitter keeps the tree's width rather than the filter
  // bar's wish for room.
  tree_->setMinimumWidth(20);
  pnlProject->setMinimumWidth(60);
  splitter->addWidget(tree_);
  splitter->addWidget(pnlProject);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter, 1);
  layout->addWidget(buildBottomBar());

  // The parts report the user's choices; the handlers run here, guarded.
  connect(tree_, &TreePane::openClicked, this, [this] { handle([&] { OpenProject(""); }); });
  connect(tree_, &TreePane::closeClicked, this, guarded(&TdlgPrjRevedazl::CloseProject));
  connect(tree_, &TreePane::projectChosen, this, guarded(&TdlgPrjRevedazl::TreeViewChange));
  connect(filters_, &FilterBar::groupByChosen, this, guarded(&TdlgPrjRevedazl::cmbGroupByChange));
  connect(filters_, &FilterBar::sortByChosen, this, guarded(&TdlgPrjRevedazl::cmpSortItemChange));
  connect(filters_, &FilterBar::sortOrderChosen, this,
          guarded(&TdlgPrjRevedazl::cmpSortOrderChange));
  connect(filters_, &FilterBar::timeUnitChosen, this, guarded(&TdlgPrjRevedazl::grpTimeUnitClick));
  connect(filters_, &FilterBar::showUserNameChosen, this,
          guarded(&TdlgPrjRevedazl::chkShowUsernameClick));
  connect(&pages_->tools(), &ToolsPage::userChanged, this,
          [this] { handle([&] { RefreshGrid(true); }); });
  connect(pages_, &TrackerPages::pageChosen, this, guarded(&TdlgPrjRevedazl::PageControlChange));

  defaultSize_ = QSize(defaultWidth(), 422);
  resize(defaultSize_);
  setMinimumSize(140, 220);
  splitter->setSizes({120, defaultSize_.width() - 120 - splitter->handleWidth()});
  FormCreate();
  // The running sessions' figures follow the time while the dialog shows.
  model_.followTicks([this] {
    if (!isVisible()) return;
    handle([&] {
      if (model_.updateRunningSessions()) RefreshGrid(true);
    });
  });
}

int TdlgPrjRevedazl::widestGridWidth() const {
  const THMRProjectGroup* group = model_.group();
  const TQueryResult sample =
      TrackerDialogModel::widestViewSample(group ? group->UserName : std::string());
  const HistoryPage& history = pages_->history();
  return std::max(history.widthToShow(sample, dtuHour, true),
                  history.widthToShow(sample, dtuMinute, true));
}

int TdlgPrjRevedazl::defaultWidth() const {
  // What the page control adds around a page: measured on one whose page is wider than its
  // tabs.
  QTabWidget probe;
  probe.setFont(pages_->font());
  auto* page = new QWidget;
  page->setMinimumWidth(2000);
  probe.addTab(page, "History");
  const int frame = std::max(probe.minimumSizeHint().width() - 2000, 0);
  const int pane = std::max(widestGridWidth() + frame, filters_->minimumSizeHint().width());
  // No narrower than the dialog has always been.
  return std::max(120 + splitter->handleWidth() + pane, 652);
}

TdlgPrjRevedazl::~TdlgPrjRevedazl() { FormDestroy(); }

QWidget* TdlgPrjRevedazl::buildProjectPane() {
  auto* pane = named(new QWidget(splitter), "pnlProject");
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  lblCapProj = tracker_ui::captionBar("  Project &Information", "lblCapProj", pane);
  layout->addWidget(lblCapProj);
  filters_ = new FilterBar(pane);
  layout->addWidget(filters_);

  pages_ = new TrackerPages(model_, pane);
  lblCapProj->setBuddy(pages_);
  layout->addWidget(pages_, 1);
  return pane;
}

QWidget* TdlgPrjRevedazl::buildBottomBar() {
  pnlBotton = named(new QWidget(this), "pnlBotton");
  pnlBotton->setFixedHeight(36);
  btnOk = named(new QPushButton("C&lose", pnlBotton), "btnOk");
  btnOk->setAutoDefault(false);
  btnOk->resize(btnOk->sizeHint().expandedTo(QSize(75, 25)));
  pnlBotton->installEventFilter(this);
  connect(btnOk, &QPushButton::clicked, this, [this] { handle([&] { btnOkClick(); }); });
  return pnlBotton;
}

// ---- life cycle ---------------------------------------------------------------------------

void TdlgPrjRevedazl::FormCreate() {
  // The locale's date and time formats are read afresh whenever the grid is filled.
  FFileToOpen.clear();
  filters_->fillOrderList();
  if (THMRProjectGroup* group = model_.group()) pages_->about().showHost(*group);
  ReInitInterface();
}

void TdlgPrjRevedazl::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (activated_) return;
  // The dialog is activated once per showing: its first show.
  activated_ = true;
  if (layout()) layout()->activate();
  int total = splitter->width() - splitter->handleWidth();
  if (total > 0) splitter->setSizes({treeWidthToShow_, std::max(total - treeWidthToShow_, 1)});
  if (size() == defaultSize_ && treeWidthToShow_ == 120) {
    // At the default size every column of the widest grid shows: what the estimate of the
    // constructor missed (a style's frames) is added now that the grid has its real width.
    const int missing = widestGridWidth() - pages_->history().gridWidth();
    if (missing > 0 && total > 0) {
      defaultSize_.rwidth() += missing;
      resize(defaultSize_);
      layout()->activate();
      total = splitter->width() - splitter->handleWidth();
      splitter->setSizes({treeWidthToShow_, std::max(total - treeWidthToShow_, 1)});
    }
  }
  handle([&] { FormActivate(); });
}

void TdlgPrjRevedazl::FormActivate() {
  THMRProjectGroup* group = model_.group();
  if (!group) return;
  {
    TreePane::Updating updating(*tree_);
    tree_->RefreshTreeView(group);
  }
  showActiveProject();
  if (memory_ && memory_->Saved) {
    // The filters, unit and user-name column of the last showing, on what shows now.
    model_.restoreView(*memory_);
    filters_->showUnitAndUserName(model_);
    filters_->showFilters(model_);
    RefreshGrid(false);
  }
  pages_->tools().showUser();
  // The file is opened once, whatever happens to it.
  const std::string file = std::exchange(FFileToOpen, std::string());
  std::error_code ignored;
  if (!isBlank(file) && std::filesystem::exists(file, ignored)) OpenProject(file);
}

void TdlgPrjRevedazl::SetStandAlone(bool Value) {
  if (Value == model_.standAlone()) return;
  model_.setStandAlone(Value);
  ReInitInterface();
}

void TdlgPrjRevedazl::ReInitInterface() {
  PrepareForClose();
  tree_->setOpenCloseVisible(model_.standAlone());
  pages_->showHistory();
}

void TdlgPrjRevedazl::PrepareForClose() {
  if (pages_->projectInfoActive()) TabProjectInfoUpdate();
  if (model_.standAlone()) model_.saveModifiedProjects();
}

void TdlgPrjRevedazl::reject() { btnOk->click(); }

void TdlgPrjRevedazl::btnOkClick() { close(); }

void TdlgPrjRevedazl::closeEvent(QCloseEvent* event) {
  // A failed save of stand-alone mode keeps the dialog open, its message shown.
  if (!runGuarded(this, [&] { FormCloseQuery(); })) {
    event->ignore();
    return;
  }
  handle([&] { FormClose(); });
  event->accept();
  QDialog::done(QDialog::Rejected);
}

bool TdlgPrjRevedazl::FormCloseQuery() {
  PrepareForClose();
  return true;
}

void TdlgPrjRevedazl::FormClose() { SaveCurrentFilterState(); }

void TdlgPrjRevedazl::SaveCurrentFilterState() {
  if (!memory_ || !model_.group()) return;
  model_.saveView(*memory_);
  memory_->Left = pos().x();
  memory_->Top = pos().y();
  memory_->Width = width();
  memory_->Height = height();
  memory_->TreeWidth = tree_->width();
}

void TdlgPrjRevedazl::FormDestroy() {
  if (THMRProjectGroup* group = model_.group()) group->OnDestroyDlg();
}

// ---- what is shown ------------------------------------------------------------------------

void TdlgPrjRevedazl::SetSelectedHMRProject(THMRProject* Project) {
  if (model_.selectedProject() && pages_->projectInfoActive()) TabProjectInfoUpdate();
  model_.select(Project);
  if (!Project) {
    if (pages_->projectInfoActive()) pages_->showHistory();
    pages_->setProjectInfoShown(false);
  } else {
    pages_->setProjectInfoShown(true);
    pages_->projectInfo().showProject();
  }
  lblCapProj->setText(QString::fromStdString(model_.projectCaption()));
  filters_->showFilters(model_);
  // Setting the spin boxes does not count as the user's change.
  model_.projectInfo().forgetChanges();
}

void TdlgPrjRevedazl::RefreshGrid(bool KeepLayout, bool KeepPosition) {
  // The views let go of the result before the query replaces it, then read the new one. The
  // selected line is found again in the new result (it may have moved, or be gone).
  HistoryPage& history = pages_->history();
  const HistoryPage::Position position = history.position();
  const std::optional<TrackerDialogModel::LineKey> selected = model_.lineKey(position.row);
  pages_->chart().releaseCells();
  history.releaseResult(KeepLayout);
  try {
    model_.ExecuteQuery();
    history.showResult(KeepLayout);
  } catch (...) {
    history.showNoResult();
    pages_->chart().showCells(nullptr);
    throw;
  }
  pages_->chart().showCells(history.gridModel().cells());
  if (KeepPosition) history.restorePosition(position, selected ? model_.findLine(*selected) : -1);
}

void TdlgPrjRevedazl::showActiveProject() {
  THMRProjectGroup* group = model_.group();
  if (!group) return;
  const std::int32_t active = group->ActiveIndex;
  if (active == -1) {
    SetSelectedHMRProject(nullptr);
  } else {
    if (QTreeWidgetItem* node = tree_->nodeAt(active + 1)) {
      tree_->selectQuietly(node);
      tree_->SetNodeBoldState(node, true);
    }
    SetSelectedHMRProject(group->getProject(active));
  }
  RefreshGrid(false, false);
}

void TdlgPrjRevedazl::refreshProjectGroup() {
  TreePane::Updating updating(*tree_);
  tree_->RefreshTreeView(model_.group());
  RefreshGrid(false, false);
  tree_->SetBoldHMRProject(model_.selectedProject());
}

void TdlgPrjRevedazl::TabProjectInfoUpdate() {
  // A new minimum may have dropped sessions, a new idle time changed figures: every view of
  // the sessions shows them afresh.
  if (pages_->projectInfo().commit()) RefreshGrid(true);
}

void TdlgPrjRevedazl::OpenProject(const std::string& FileName) {
  std::string name = FileName;
  if (isBlank(name)) {
    name = tree_->askDataFile();
    if (name.empty()) return;
  }
  THMRProject* project = model_.openDataFile(name);
  if (!project) return;
  refreshProjectGroup();
  tree_->SetBoldHMRProject(project);
}

void TdlgPrjRevedazl::CloseProject() {
  QTreeWidgetItem* node = tree_->currentNode();
  if (!node) return;
  if (pages_->projectInfoActive()) TabProjectInfoUpdate();
  THMRProject* project = TreePane::projectOf(node);
  if (THMRProjectGroup* group = model_.group(); project && group) {
    TrackerDialogModel::saveIfModified(*project);
    const std::string fileName = project->FileName;
    SetSelectedHMRProject(nullptr);
    group->RemoveProject(fileName);
    refreshProjectGroup();
  }
  tree_->repaintTree();
}

// ---- the user's choices -------------------------------------------------------------------

void TdlgPrjRevedazl::TreeViewChange(THMRProject* Project) {
  SetSelectedHMRProject(Project);
  RefreshGrid(false, false);
}

void TdlgPrjRevedazl::cmbGroupByChange(int index) {
  model_.setGroupBy(index);
  filters_->showFilters(model_);  // the sort list's first entry follows the grouping
  RefreshGrid(false);
}

void TdlgPrjRevedazl::cmpSortItemChange(int index) {
  model_.setSortBy(index);
  RefreshGrid(true);
}

void TdlgPrjRevedazl::cmpSortOrderChange(int index) {
  model_.setSortOrder(index);
  RefreshGrid(true);
}

void TdlgPrjRevedazl::grpTimeUnitClick(TDispTimeUnit unit) {
  model_.setTimeUnit(unit);
  RefreshGrid(true);
}

void TdlgPrjRevedazl::chkShowUsernameClick(bool show) {
  model_.setShowUserName(show);
  RefreshGrid(false);
}

void TdlgPrjRevedazl::PageControlChange(QWidget* page) {
  if (page == &pages_->projectInfo()) {
    pages_->projectInfo().entered();
  } else if (model_.projectInfo().changed()) {
    TabProjectInfoUpdate();
  }
}

// ---- layout and keys ----------------------------------------------------------------------

void TdlgPrjRevedazl::keyPressEvent(QKeyEvent* event) {
  // Esc presses the Close button (the dialog's cancel button); Enter presses nothing.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    btnOk->click();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
  QDialog::keyPressEvent(event);
}

bool TdlgPrjRevedazl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pnlBotton && event->type() == QEvent::Resize) pnlBottonResize();
  return QDialog::eventFilter(watched, event);
}

void TdlgPrjRevedazl::pnlBottonResize() {
  const int left = std::max((pnlBotton->width() - btnOk->width()) / 2, 5);
  btnOk->move(left, (pnlBotton->height() - btnOk->height()) / 2);
}

HistoryPage& TdlgPrjRevedazl::historyPage() const { return pages_->history(); }

}  // namespace hmr

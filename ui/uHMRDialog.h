// SPDX-License-Identifier: MIT
// The tracker dialog: the project group as a tree on the left; on the right a filter bar and
// four pages (the History grid, the selected project's settings, user and export tools,
// product information). It reads the projects through their queries and changes them only
// through their two settings, their Modified flag and SaveFile, and the group only through
// AddProject, RemoveProject and SetUsername.
//
// Every control is a widget whose object name is the control's name. Handlers keep their
// names; those bound to a control or form event catch what their work raises and show the
// message in a message box (nothing unwinds through the event loop).
#pragma once

#include <QDialog>
#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QTableView;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace hmr {

class SessionGridModel;
class THMRProject;
class THMRProjectGroup;

// Indexes into the filter combo boxes of one level; -1 means nothing chosen.
struct TFilterTriple {
  std::int32_t GroupBy = 0;
  std::int32_t SortBy = 0;
  std::int32_t SortOrder = 0;
};

class TdlgPrjRevedazl final : public QDialog {
  Q_OBJECT

 public:
  // `group` (not owned) must outlive the dialog or be detached with detachGroup() first.
  explicit TdlgPrjRevedazl(THMRProjectGroup* group, QWidget* parent = nullptr);
  // Tells the group that the dialog is gone (FormDestroy).
  ~TdlgPrjRevedazl() override;

  // ---- operations offered to the group and used inside the dialog ----
  void SetStandAlone(bool Value);
  void UpdateInterface(TUpdatingLevel Level);
  void OpenProject(const std::string& FileName);
  void CloseProject();
  void SetSelectedHMRProject(THMRProject* Project);
  void ExecuteQuery();
  void FilterUpdate();
  void TabProjectInfoUpdate();
  void PrepareForClose();
  void ReInitInterface();
  void SaveCurrentFilterState();

  // ---- tree and grid ----
  void RefreshTreeView();
  void UnBoldAll();
  void SetNodeBoldState(QTreeWidgetItem* Node, bool Bold);
  void SetBoldHMRProject(THMRProject* Project);
  void FormatHeader(bool KeepLayout);
  void RefreshGrid(bool KeepLayout);

  // ---- exports ----
  std::string GetExportHeader() const;
  void ExportToFile(TFileExportFormat Format);
  void ExportClipBoard();

  // ---- fields ----
  THMRProjectGroup* projectGroup() const { return FProjectGroup; }
  // The group is going away while the dialog shows: forget it, so nothing reaches it.
  void detachGroup() { FProjectGroup = nullptr; }
  bool standAlone() const { return FStandAlone; }
  THMRProject* selectedProject() const { return FSelectedProject; }
  TDispTimeUnit timeUnit() const { return FTimeUnit; }
  bool showUserName() const { return FShowUserName; }
  const TQueryResult& queryResult() const { return FQueryResult; }
  const TFilterTriple& groupFilter() const { return FGroupFilter; }
  const TFilterTriple& projectFilter() const { return FProjectFilter; }
  SessionGridModel& gridModel() const { return *gridModel_; }
  // The tree node at a position of the tree's flat order (0 is the group node), or null.
  QTreeWidgetItem* nodeAt(int flatIndex) const;
  // The tree node that is shown in bold, or null.
  QTreeWidgetItem* boldNode() const;
  // The tree pane's width to take when the dialog shows (the remembered one).
  void setTreeWidth(int width) { treeWidthToShow_ = width; }

  // A data file to open when the dialog is first activated; set by whoever shows the dialog.
  std::string FFileToOpen;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Esc and the window's close go through the Close button's path.
  void reject() override;

 private:
  // ---- event handlers ----
  void FormCreate();
  void FormActivate();
  bool FormCloseQuery();
  void FormClose();
  void FormDestroy();
  void btnOpenClick();
  void btnCloseClick();
  void btnOkClick();
  void TreeViewChange(QTreeWidgetItem* Node);
  void cmbGroupByChange();
  void cmpSortItemChange();
  void cmpSortOrderChange();
  void grpTimeUnitClick();
  void chkShowUsernameClick();
  void PageControlChange(int index);
  void sedtIdleChange();
  void sedtMinimumChange();
  void cmdRestDefaultClick();
  void btnChangeUserClick();
  void chkShowUserDlgClick();
  void cmdExportClick();
  void ScrollBoxOpenCloseResize();
  void pnlBottonResize();
  bool grdSessionsKeyDown(int key);

  // ---- construction of the controls ----
  void buildTreePane(QWidget* pane);
  void buildProjectPane(QWidget* pane);
  QWidget* buildFilterBar();
  QWidget* buildHistoryPage();
  QWidget* buildProjectInfoPage();
  QWidget* buildToolsPage();
  QWidget* buildAboutPage();
  QWidget* buildBottomBar();

  // ---- helpers ----
  TFilterTriple& currentFilter();
  bool projectInfoActive() const;
  // Makes `page` the active page without running PageControlChange (only the user's change
  // of page runs it).
  void setActivePage(QWidget* page);
  void setProjectInfoTabVisible(bool visible);
  std::int32_t comboIndex(const QComboBox* combo) const;
  TDispTimeUnit chosenTimeUnit() const;
  void showTimeUnit(TDispTimeUnit unit);

  // ---- fields ----
  THMRProjectGroup* FProjectGroup;
  bool FStandAlone = false;
  THMRProject* FSelectedProject = nullptr;
  TDispTimeUnit FTimeUnit = dtuHour;
  bool FShowUserName = true;
  bool FProjectInfoChanged = false;
  std::int32_t FMinimumOnEntry = 0;
  // The spin boxes' values as the selection put them there: a spin box the user has not
  // moved away from them leaves the project's value alone (see TabProjectInfoUpdate).
  std::int32_t FIdleShown = 0;
  std::int32_t FMinimumShown = 0;
  TFilterTriple FGroupFilter;
  TFilterTriple FProjectFilter;
  bool FProjectFilterShown = false;
  TQueryResult FQueryResult;
  bool FTreeUpdating = false;
  bool activated_ = false;
  bool pageChangeByCode_ = false;
  int treeWidthToShow_ = 120;
  std::vector<int> keptWidths_;

  // ---- controls (named as their object names) ----
  QSplitter* splitter = nullptr;
  QWidget* pnlTree = nullptr;
  QLabel* lblCapTree = nullptr;
  QWidget* ScrollBoxOpenClose = nullptr;
  QToolButton* btnOpen = nullptr;
  QToolButton* btnClose = nullptr;
  QTreeWidget* TreeView = nullptr;
  QLabel* lblCapProj = nullptr;
  QComboBox* cmbGroupBy = nullptr;
  QComboBox* cmpSortItem = nullptr;
  QComboBox* cmpSortOrder = nullptr;
  QGroupBox* grpTimeUnit = nullptr;
  QRadioButton* rbHours = nullptr;
  QRadioButton* rbMinutes = nullptr;
  QCheckBox* chkShowUsername = nullptr;
  QTabWidget* PageControl = nullptr;
  QWidget* TabHistory = nullptr;
  QWidget* TabProjectInfo = nullptr;
  QWidget* TabTools = nullptr;
  QWidget* TabAbout = nullptr;
  QTableView* grdSessions = nullptr;
  QSpinBox* sedtIdle = nullptr;
  QSpinBox* sedtMinimum = nullptr;
  QPushButton* cmdRestDefault = nullptr;
  QLineEdit* edtCurrentUser = nullptr;
  QPushButton* btnChangeUser = nullptr;
  QCheckBox* chkShowUserDlg = nullptr;
  QComboBox* cbxExportFormat = nullptr;
  QPushButton* cmdExport = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* lblForTool = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblBugs = nullptr;
  QWidget* pnlBotton = nullptr;
  QPushButton* btnOk = nullptr;
  QFileDialog* SaveDialog = nullptr;
  SessionGridModel* gridModel_ = nullptr;
};

// The tree pictures by index: 0 the group, 1 an open, 2 an idle, 3 a closed project.
QIcon treePicture(int index);
// The picture index of a project's state.
int statePictureIndex(THMRState state);
// The state names of the project caption: "CLOSED", "OPEN", "IDLE".
const char* stateCaptionName(THMRState state);

}  // namespace hmr

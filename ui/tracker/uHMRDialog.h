// SPDX-License-Identifier: MIT
// The tracker dialog: a thin shell over its parts. On the left the tree pane (the project
// group as a tree); on the right, under a caption, the filter bar and the pages (History,
// Chart, Project Info, Tools, About); the Close button below. The shell owns the splitter,
// the pages and the life cycle (creation, activation, closing); it wires the parts to the
// dialog's model (TrackerDialogModel), which holds the state and the rules, and computes
// nothing itself. While the dialog shows, the running sessions' rows follow the 15-second
// tick.
//
// Every control is a widget whose object name is the control's name. A handler bound to a
// control or form event catches what its work raises and shows the message in a message box
// (nothing unwinds through the event loop).
//
// A new page (a chart of the same result, say) is a class of its own in ui/tracker/, added to
// TrackerPages, that reads the model's query result when RefreshGrid has run the query, as the
// History page does.
#pragma once

#include <QDialog>
#include <string>

#include "core/TrackerDialogModel.h"
#include "core/uHMRGlobal.h"

class QLabel;
class QPushButton;
class QSplitter;

namespace hmr {

class FilterBar;
class HistoryPage;
class THMRProject;
class THMRProjectGroup;
class TrackerPages;
class TreePane;

class TdlgPrjRevedazl final : public QDialog {
  Q_OBJECT

 public:
  // `group` (not owned) must outlive the dialog or be detached with detachGroup() first.
  // `memory` (not owned; may be null) is the view kept from one showing to the next: read when
  // the dialog is first shown, written when it closes.
  explicit TdlgPrjRevedazl(THMRProjectGroup* group, TViewState* memory = nullptr,
                           QWidget* parent = nullptr);
  // Tells the group that the dialog is gone (FormDestroy).
  ~TdlgPrjRevedazl() override;

  // Stand-alone mode: the Open and Close buttons show, and the data files changed in the
  // dialog are saved when it closes.
  void SetStandAlone(bool Value);
  // Opens a data file for viewing (asking for one when FileName is blank) and selects it.
  void OpenProject(const std::string& FileName);
  // A data file to open when the dialog is first shown; set by whoever shows the dialog.
  std::string FFileToOpen;

  THMRProjectGroup* projectGroup() const { return model_.group(); }
  // The group is going away while the dialog shows: forget it, so nothing reaches it.
  void detachGroup() { model_.detachGroup(); }
  // The tree pane's width to take when the dialog shows (the remembered one).
  void setTreeWidth(int width) { treeWidthToShow_ = width; }

  // ---- the parts ----
  const TrackerDialogModel& model() const { return model_; }
  TreePane& treePane() const { return *tree_; }
  HistoryPage& historyPage() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Esc and the window's close go through the Close button's path.
  void reject() override;

 private:
  // ---- life cycle ----
  void FormCreate();
  void FormActivate();
  bool FormCloseQuery();
  void FormClose();
  void FormDestroy();
  void ReInitInterface();
  void PrepareForClose();
  void SaveCurrentFilterState();

  // ---- what is shown ----
  void SetSelectedHMRProject(THMRProject* Project);
  // Runs the model's query and shows its result in every view of it (the grid and the chart).
  // With KeepPosition the selected line stays selected where the new result still has it,
  // and the grid keeps its scroll position.
  void RefreshGrid(bool KeepLayout, bool KeepPosition = true);
  // The host's active project is shown, or the group when none is (refresh level ulSimple).
  void showActiveProject();
  // The tree is rebuilt and the selection kept (refresh level ulProjectGroup).
  void refreshProjectGroup();
  void TabProjectInfoUpdate();
  void CloseProject();

  // ---- the user's choices ----
  void TreeViewChange(THMRProject* Project);
  void cmbGroupByChange(int index);
  void cmpSortItemChange(int index);
  void cmpSortOrderChange(int index);
  void grpTimeUnitClick(TDispTimeUnit unit);
  void chkShowUsernameClick(bool show);
  void PageControlChange(QWidget* page);
  void btnOkClick();
  void pnlBottonResize();

  // ---- construction ----
  QWidget* buildProjectPane();
  QWidget* buildBottomBar();
  // The default width: the tree, and a pane that shows every column of the widest grid
  // (sessions with the user's name, in either unit) at the dialog's font.
  int defaultWidth() const;
  int widestGridWidth() const;
  // Runs a handler of the user's action; an error shows in a message box.
  template <class Action>
  void handle(Action&& action);
  // A slot that runs `handler` so.
  template <class... Args>
  auto guarded(void (TdlgPrjRevedazl::*handler)(Args...));

  TrackerDialogModel model_;
  TViewState* memory_;
  bool activated_ = false;
  int treeWidthToShow_ = 120;
  QSize defaultSize_;

  QSplitter* splitter = nullptr;
  TreePane* tree_ = nullptr;
  QLabel* lblCapProj = nullptr;
  FilterBar* filters_ = nullptr;
  TrackerPages* pages_ = nullptr;
  QWidget* pnlBotton = nullptr;
  QPushButton* btnOk = nullptr;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
// The tracker dialog's tree pane ("pnlTree"): its caption bar, the Open and Close buttons of
// stand-alone mode, and the project tree: a group node with one child per tracked project, in
// the group's order, each with the picture of its state; the node whose data the grid shows is
// bold. The pane reports the user's choices to the dialog through its signals.
#pragma once

#include <QIcon>
#include <QWidget>
#include <string>

class QLabel;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace hmr {

class THMRProject;
class THMRProjectGroup;

class TreePane final : public QWidget {
  Q_OBJECT

 public:
  explicit TreePane(QWidget* parent = nullptr);

  // While one lives, a change of the tree's selection is the dialog's own doing: the pane
  // does not report it (FTreeUpdating).
  class Updating {
   public:
    explicit Updating(TreePane& pane);
    ~Updating();
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

   private:
    TreePane& pane_;
    bool previous_;
  };

  // Rebuilds the tree from `group` (null: an empty tree); a project whose session runs is
  // first brought up to the present. The rebuild loses the selection and the bold marking.
  void RefreshTreeView(THMRProjectGroup* group);
  void UnBoldAll();
  void SetNodeBoldState(QTreeWidgetItem* Node, bool Bold);
  // Selects the node of `Project`, or the group node for null or a project not in the tree;
  // nothing in an empty tree. The pane reports it unless the dialog is updating the tree.
  void SetBoldHMRProject(THMRProject* Project);
  // Selects `node` without reporting it.
  void selectQuietly(QTreeWidgetItem* node);
  // Repaints the tree.
  void repaintTree();
  // The Open and Close buttons show in stand-alone mode only.
  void setOpenCloseVisible(bool visible);
  // Asks the user for a data file to open; empty when the dialog was cancelled.
  std::string askDataFile();

  // The tree node at a position of the tree's flat order (0 is the group node), or null.
  QTreeWidgetItem* nodeAt(int flatIndex) const;
  // The tree node that is shown in bold, or null.
  QTreeWidgetItem* boldNode() const;
  // The selected node, or null.
  QTreeWidgetItem* currentNode() const;
  // The project a node stands for; null for the group node.
  static THMRProject* projectOf(const QTreeWidgetItem* node);

 signals:
  void openClicked();
  void closeClicked();
  // The user selected a node: the project (null for the group node), now shown in bold.
  void projectChosen(THMRProject* project);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TreeViewChange(QTreeWidgetItem* Node);
  // Lays the two buttons out in their strip.
  void ScrollBoxOpenCloseResize();

  bool FTreeUpdating = false;
  QLabel* lblCapTree = nullptr;
  QWidget* ScrollBoxOpenClose = nullptr;
  QToolButton* btnOpen = nullptr;
  QToolButton* btnClose = nullptr;
  QTreeWidget* TreeView = nullptr;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "ui/tracker/TreePane.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPalette>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "core/ProductTexts.h"
#include "core/TrackerDialogModel.h"
#include "core/uHMRProjectGroup.h"
#include "ui/ErrorBox.h"
#include "ui/tracker/DialogWidgets.h"
#include "ui/tracker/TrackerPictures.h"

namespace hmr {
namespace {

using tracker_ui::captionBar;
using tracker_ui::named;

// Resumes a widget's painting when it goes, even on failure.
class PaintingSuspended {
 public:
  explicit PaintingSuspended(QWidget* widget) : widget_(widget) {
    widget_->setUpdatesEnabled(false);
  }
  ~PaintingSuspended() { widget_->setUpdatesEnabled(true); }
  PaintingSuspended(const PaintingSuspended&) = delete;
  PaintingSuspended& operator=(const PaintingSuspended&) = delete;

 private:
  QWidget* widget_;
};

}  // namespace

TreePane::Updating::Updating(TreePane& pane)
    : pane_(pane), previous_(std::exchange(pane.FTreeUpdating, true)) {}

TreePane::Updating::~Updating() { pane_.FTreeUpdating = previous_; }

TreePane::TreePane(QWidget* parent) : QWidget(parent) {
  setObjectName("pnlTree");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  lblCapTree = captionBar("  &Project Group", "lblCapTree", this);
  layout->addWidget(lblCapTree);

  ScrollBoxOpenClose = named(new QWidget(this), "ScrollBoxOpenClose");
  ScrollBoxOpenClose->setFixedHeight(26);
  btnOpen = named(new QToolButton(ScrollBoxOpenClose), "btnOpen");
  btnClose = named(new QToolButton(ScrollBoxOpenClose), "btnClose");
  const std::pair<QToolButton*, const char*> buttons[] = {{btnOpen, "&Open"},
                                                          {btnClose, "&Close"}};
  for (const auto& [button, text] : buttons) {
    button->setText(text);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  }
  btnOpen->setIcon(QIcon(trackerPicture("open")));
  btnClose->setIcon(QIcon(trackerPicture("close")));
  ScrollBoxOpenClose->installEventFilter(this);
  layout->addWidget(ScrollBoxOpenClose);
  connect(btnOpen, &QToolButton::clicked, this, &TreePane::openClicked);
  connect(btnClose, &QToolButton::clicked, this, &TreePane::closeClicked);

  TreeView = named(new QTreeWidget(this), "TreeView");
  TreeView->setHeaderHidden(true);
  TreeView->setColumnCount(1);
  TreeView->setRootIsDecorated(false);
  TreeView->setItemsExpandable(false);
  TreeView->setExpandsOnDoubleClick(false);
  TreeView->setIndentation(20);
  TreeView->setIconSize(QSize(16, 18));
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  // The selection stays visible while the tree has no focus.
  QPalette palette = TreeView->palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  TreeView->setPalette(palette);
  lblCapTree->setBuddy(TreeView);
  layout->addWidget(TreeView, 1);
  connect(TreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node) { runGuarded(window(), [&] { TreeViewChange(node); }); });
}

THMRProject* TreePane::projectOf(const QTreeWidgetItem* node) {
  if (!node || !node->parent()) return nullptr;
  return static_cast<THMRProject*>(node->data(0, Qt::UserRole).value<void*>());
}

void TreePane::TreeViewChange(QTreeWidgetItem* Node) {
  if (FTreeUpdating || !Node) return;
  UnBoldAll();
  SetNodeBoldState(Node, true);
  emit projectChosen(projectOf(Node));
}

void TreePane::RefreshTreeView(THMRProjectGroup* group) {
  PaintingSuspended suspended(TreeView);
  TreeView->clear();
  if (!group) return;
  QTreeWidgetItem* groupNode = nullptr;
  for (std::int32_t i = 0; i < group->getProjectCount(); ++i) {
    THMRProject* project = group->getProject(i);
    if (!groupNode) {
      groupNode = new QTreeWidgetItem(TreeView, QStringList{"Group"});
      groupNode->setIcon(0, treePicture(0));
    }
    // A running session is brought up to the present before anything of it is shown.
    if (project->State != hmClosed) project->UpdateProject(false);
    auto* node =
        new QTreeWidgetItem(groupNode, QStringList{QString::fromStdString(project->GetHMRName())});
    node->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(project)));
    node->setIcon(0, treePicture(statePictureIndex(project->State)));
    TreeView->expandAll();
  }
}

QTreeWidgetItem* TreePane::nodeAt(int flatIndex) const {
  int position = 0;
  for (QTreeWidgetItemIterator it(TreeView); *it; ++it, ++position)
    if (position == flatIndex) return *it;
  return nullptr;
}

QTreeWidgetItem* TreePane::boldNode() const {
  for (QTreeWidgetItemIterator it(TreeView); *it; ++it)
    if ((*it)->font(0).bold()) return *it;
  return nullptr;
}

QTreeWidgetItem* TreePane::currentNode() const { return TreeView->currentItem(); }

void TreePane::UnBoldAll() {
  for (QTreeWidgetItemIterator it(TreeView); *it; ++it) SetNodeBoldState(*it, false);
}

void TreePane::SetNodeBoldState(QTreeWidgetItem* Node, bool Bold) {
  if (!Node) return;
  QFont font = Node->font(0);
  font.setBold(Bold);
  Node->setFont(0, font);
}

void TreePane::SetBoldHMRProject(THMRProject* Project) {
  QTreeWidgetItem* node = TreeView->topLevelItem(0);
  if (!node) return;
  if (Project) {
    for (QTreeWidgetItemIterator it(TreeView); *it; ++it) {
      if (projectOf(*it) == Project) {
        node = *it;
        break;
      }
    }
  }
  // The selection handler runs unless the dialog is changing the tree itself.
  TreeView->setCurrentItem(node);
}

void TreePane::selectQuietly(QTreeWidgetItem* node) {
  Updating updating(*this);
  TreeView->setCurrentItem(node);
}

void TreePane::repaintTree() { TreeView->viewport()->update(); }

void TreePane::setOpenCloseVisible(bool visible) { ScrollBoxOpenClose->setVisible(visible); }

std::string TreePane::askDataFile() {
  QFileDialog dialog(this, "Open");
  dialog.setObjectName("OpenDialog");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog matches the filter without regard to letter case, so the tracker's .HMR
  // files show under "*.hmr" as well.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  dialog.setNameFilter(tracker_ui::qtText(product::DataFileFilter));
  dialog.setDefaultSuffix("hmr");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

bool TreePane::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ScrollBoxOpenClose && event->type() == QEvent::Resize)
    ScrollBoxOpenCloseResize();
  return QWidget::eventFilter(watched, event);
}

void TreePane::ScrollBoxOpenCloseResize() {
  const int height = ScrollBoxOpenClose->height() - 2;
  const int width = std::max((ScrollBoxOpenClose->width() - 4) / 2, 55);
  btnOpen->setGeometry(0, 1, width, height);
  btnClose->setGeometry(width + 1, 1, width, height);
}

}  // namespace hmr

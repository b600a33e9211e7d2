// SPDX-License-Identifier: MIT
#include "host/ide/IdeWindow.h"

#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include "host/ide/StandInIde.h"
#include "ui/ErrorBox.h"

namespace hmr {

IdeWindow::IdeWindow(StandInIde& ide) : ide_(ide) {
  setWindowTitle(QString("hmr-ide: Delphi %1 (stand-in)").arg(ide.ideVersion()));
  resize(520, 320);

  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&Open Project...", this, [this] { act([&] { openProject(); }); });
  file->addAction("&Close Project", this, [this] { act([&] { closeProject(); }); });
  file->addSeparator();
  file->addAction("E&xit", this, &QWidget::close);
  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->addAction("&Type in the Active Project", this, [this] { act([&] { editProject(); }); });
  // The View menu mirrors the IDE's, the packages' entries among them.
  viewMenu_ = menuBar()->addMenu("&View");
  connect(viewMenu_, &QMenu::aboutToShow, this, &IdeWindow::fillViewMenu);
  fillViewMenu();

  projects_ = new QListWidget(this);
  setCentralWidget(projects_);
  connect(projects_, &QListWidget::itemActivated, this,
          [this] { act([&] { activateSelected(); }); });
  status_ = new QLabel(this);
  statusBar()->addWidget(status_);
  // The event loop's tick: the IDE's clock catches up with the system clock (its timers fire
  // at the marks passed), and the window shows what is open.
  auto* tick = new QTimer(this);
  connect(tick, &QTimer::timeout, this, [this] {
    runGuarded(this, [&] { ide_.catchUp(); });
    refresh();
  });
  tick->start(1000);
  refresh();
}

template <class Action>
void IdeWindow::act(Action&& action) {
  runGuarded(this, [&] { action(); });
  refresh();
}

void IdeWindow::openProject() {
  const QString path = QFileDialog::getOpenFileName(this, "Open Project", QString(),
                                                    "Delphi project (*.dpr);;All files (*)");
  if (!path.isEmpty()) ide_.openProject(path.toStdString());
}

void IdeWindow::closeProject() {
  if (IdeModule* project = ide_.activeProject()) ide_.closeProject(project->GetFileName());
}

void IdeWindow::editProject() {
  if (IdeModule* project = ide_.activeProject()) ide_.edit(project->GetFileName());
}

void IdeWindow::activateSelected() {
  if (QListWidgetItem* item = projects_->currentItem()) ide_.activate(item->text().toStdString());
}

void IdeWindow::fillViewMenu() {
  viewMenu_->clear();
  TMenuItem* views = ide_.viewsMenu();
  for (std::int32_t i = 0; views && i < views->Count(); ++i) {
    TMenuItem* item = views->Items(i);
    // The entry is filled afresh each time the menu opens, so the item is still there.
    viewMenu_->addAction(QString::fromStdString(item->Caption), this,
                         [this, item] { act([&] { ide_.chooseMenuEntry(*item); }); });
  }
}

void IdeWindow::refresh() {
  IdeModule* active = ide_.activeProject();
  QStringList names;
  for (const auto& module : ide_.modules())
    if (module->kind() == IdeModule::Kind::Project)
      names << QString::fromStdString(module->GetFileName());
  QStringList shown;
  for (int i = 0; i < projects_->count(); ++i) shown << projects_->item(i)->text();
  if (shown != names) {
    projects_->clear();
    projects_->addItems(names);
  }
  status_->setText(active ? "Active project: " + QString::fromStdString(active->GetFileName())
                          : QString("No project open"));
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "ui/tracker/ToolsPage.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/GridCells.h"
#include "core/TrackerDialogModel.h"
#include "core/TrackerUi.h"
#include "core/uHMRExport.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRUsers.h"
#include "ui/ErrorBox.h"
#include "ui/tracker/DialogWidgets.h"
#include "ui/tracker/SessionGridModel.h"

namespace hmr {

using tracker_ui::named;

ToolsPage::ToolsPage(TrackerDialogModel& model, const SessionGridModel& shown, QWidget* parent)
    : QWidget(parent), model_(model), shown_(shown) {
  setObjectName("TabTools");
  auto* layout = new QVBoxLayout(this);

  auto* userBox = named(new QGroupBox("User I&nformation", this), "gbxUser");
  auto* userGrid = new QGridLayout(userBox);
  edtCurrentUser = named(new QLineEdit(userBox), "edtCurrentUser");
  edtCurrentUser->setReadOnly(true);
  auto* userLabel = new QLabel("Current User:", userBox);
  userLabel->setBuddy(edtCurrentUser);
  btnChangeUser = named(new QPushButton("Change User", userBox), "btnChangeUser");
  btnChangeUser->setAutoDefault(false);
  chkShowUserDlg = named(new QCheckBox("Show user dialog on startup:", userBox), "chkShowUserDlg");
  chkShowUserDlg->setLayoutDirection(Qt::RightToLeft);  // the text stands left of the box
  userGrid->addWidget(userLabel, 0, 0);
  userGrid->addWidget(edtCurrentUser, 0, 1);
  userGrid->addWidget(btnChangeUser, 0, 2);
  userGrid->addWidget(chkShowUserDlg, 1, 0, 1, 2, Qt::AlignAbsolute | Qt::AlignLeft);
  userGrid->setColumnStretch(1, 1);
  layout->addWidget(userBox);

  auto* exportBox = named(new QGroupBox("&Export", this), "gbxExport");
  auto* exportGrid = new QGridLayout(exportBox);
  cbxExportFormat = named(new QComboBox(exportBox), "cbxExportFormat");
  cbxExportFormat->addItems({"Text File", "Formated Text File (comma separated)", "Clipboard"});
  cbxExportFormat->setCurrentIndex(0);
  auto* formatLabel = new QLabel("Format:", exportBox);
  formatLabel->setBuddy(cbxExportFormat);
  cmdExport = named(new QPushButton("Export...", exportBox), "cmdExport");
  cmdExport->setAutoDefault(false);
  exportGrid->addWidget(formatLabel, 0, 0);
  exportGrid->addWidget(cbxExportFormat, 0, 1);
  exportGrid->addWidget(cmdExport, 0, 2);
  exportGrid->setColumnStretch(1, 1);
  layout->addWidget(exportBox);
  layout->addStretch(1);

  connect(btnChangeUser, &QPushButton::clicked, this,
          [this] { runGuarded(window(), [&] { btnChangeUserClick(); }); });
  connect(chkShowUserDlg, &QCheckBox::clicked, this,
          [this] { runGuarded(window(), [&] { chkShowUserDlgClick(); }); });
  connect(cmdExport, &QPushButton::clicked, this,
          [this] { runGuarded(window(), [&] { cmdExportClick(); }); });
}

void ToolsPage::showUser() {
  THMRProjectGroup* group = model_.group();
  if (!group) return;
  edtCurrentUser->setText(QString::fromStdString(group->UserName));
  const bool userChoice = model_.userCanChange();
  btnChangeUser->setEnabled(userChoice);
  if (userChoice) {
    chkShowUserDlg->setChecked(GetShowDialogKey(group->settings(), group->RegistryKey));
  } else {
    chkShowUserDlg->setEnabled(false);
  }
}

void ToolsPage::btnChangeUserClick() {
  THMRProjectGroup* group = model_.group();
  if (!group) return;
  std::string name = edtCurrentUser->text().toStdString();
  if (ShowUserDialog(group->ui(), group->settings(), true, group->RegistryKey, name) != 1) return;
  edtCurrentUser->setText(QString::fromStdString(name));
  group->SetUsername(name);
  emit userChanged();
}

void ToolsPage::chkShowUserDlgClick() {
  THMRProjectGroup* group = model_.group();
  if (!group) return;
  SetShowDialogKey(group->settings(), group->RegistryKey, chkShowUserDlg->isChecked());
}

void ToolsPage::cmdExportClick() {
  THMRProjectGroup* group = model_.group();
  if (!group || group->getProjectCount() == 0) return;
  switch (cbxExportFormat->currentIndex()) {
    case 0:
      ExportToFile(feText);
      break;
    case 1:
      ExportToFile(feCSV);
      break;
    case 2:
      ExportClipBoard();
      break;
    default:
      break;
  }
}

void ToolsPage::ExportToFile(TFileExportFormat Format) {
  if (!SaveDialog) {
    // One save dialog for the dialog's life: the filter the user chose stays chosen.
    SaveDialog = new QFileDialog(this, "Save As");
    SaveDialog->setObjectName("SaveDialog");
    SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilters({"Text (*.txt)", "Formated Text (comma separated) (*.csv)"});
  }
  const THMRProject* selected = model_.selectedProject();
  SaveDialog->setDefaultSuffix(QString::fromLatin1(exportDefaultExtension(Format)));
  SaveDialog->selectFile(QString::fromStdString(
      proposedExportFileName(selected != nullptr, selected ? selected->FileName : "", Format)));
  if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty()) return;
  const std::string path = SaveDialog->selectedFiles().front().toStdString();
  if (const GridCells* cells = shown_.cells())
    exportToFile(path, Format, model_.GetExportHeader(), *cells);
}

void ToolsPage::ExportClipBoard() {
  const GridCells* cells = shown_.cells();
  if (!cells) return;
  const std::string text = buildClipboardText(model_.GetExportHeader(), *cells);
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

}  // namespace hmr

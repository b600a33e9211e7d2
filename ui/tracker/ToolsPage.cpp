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
#include <filesystem>

#include "core/GridCells.h"
#include "core/TrackerDialogModel.h"
#include "core/TrackerUi.h"
#include "core/uHMRExport.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRUsers.h"
#include "ui/ErrorBox.h"
#include "ui/tracker/ChartPage.h"
#include "ui/tracker/DialogWidgets.h"
#include "ui/tracker/SessionGridModel.h"

namespace hmr {

using tracker_ui::named;

namespace {

// The save dialog's filters, one per file type.
const QStringList kSaveFilters = {"Text (*.txt)", "Formated Text (comma separated) (*.csv)",
                                  "PNG picture (*.png)", "SVG picture (*.svg)"};
enum SaveFilter { kTextFiles, kCsvFiles, kPngFiles, kSvgFiles };
// The export formats' positions in the format list.
enum ExportChoice { kText, kSemicolon, kClipboard, kChartPng, kChartSvg };

}  // namespace

ToolsPage::ToolsPage(TrackerDialogModel& model, const SessionGridModel& shown,
                     const ChartPage& chart, QWidget* parent)
    : QWidget(parent), model_(model), shown_(shown), chart_(chart) {
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
  cbxExportFormat->addItems({"Text File", "Formated Text File (comma separated)", "Clipboard",
                             "Chart (PNG picture)", "Chart (SVG picture)"});
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
    case kText:
      ExportToFile(feText);
      break;
    case kSemicolon:
      ExportToFile(feCSV);
      break;
    case kClipboard:
      ExportClipBoard();
      break;
    case kChartPng:
      exportChart(false);
      break;
    case kChartSvg:
      exportChart(true);
      break;
    default:
      break;
  }
}

std::string ToolsPage::askSaveFile(const std::string& name, int filterIndex,
                                   std::string_view extension) {
  if (!SaveDialog) {
    // One save dialog for the dialog's life.
    SaveDialog = new QFileDialog(this, "Save As");
    SaveDialog->setObjectName("SaveDialog");
    SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilters(kSaveFilters);
  }
  // The filter of the format chosen, so that the files of its type show and the name proposed
  // stands under its own type.
  SaveDialog->selectNameFilter(kSaveFilters[filterIndex]);
  SaveDialog->setDefaultSuffix(
      QString::fromLatin1(extension.data(), static_cast<qsizetype>(extension.size())));
  SaveDialog->selectFile(QString::fromStdString(name));
  if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty()) return {};
  return SaveDialog->selectedFiles().front().toStdString();
}

void ToolsPage::exportChart(bool svg) {
  const THMRProject* selected = model_.selectedProject();
  const std::string name =
      std::filesystem::path(proposedExportFileName(selected != nullptr,
                                                   selected ? selected->FileName : "", feText))
          .replace_extension(svg ? ".svg" : ".png")
          .string();
  const std::string path = askSaveFile(name, svg ? kSvgFiles : kPngFiles, svg ? "svg" : "png");
  if (path.empty()) return;
  chart_.saveAs(path, svg ? ChartPage::FileFormat::Svg : ChartPage::FileFormat::Png);
}

void ToolsPage::ExportToFile(TFileExportFormat Format) {
  const THMRProject* selected = model_.selectedProject();
  const std::string path =
      askSaveFile(proposedExportFileName(selected != nullptr, selected ? selected->FileName : "",
                                         Format),
                  Format == feCSV ? kCsvFiles : kTextFiles,
                  exportDefaultExtension(Format));
  if (path.empty()) return;
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

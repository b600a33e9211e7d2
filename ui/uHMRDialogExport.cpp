// SPDX-License-Identifier: MIT
// The tracker dialog's exports: the grid's cells as a text report, a semicolon-separated file
// or clipboard text, with the header naming the projects and the filter shown.
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>

#include "core/GridCells.h"
#include "core/uHMRExport.h"
#include "core/uHMRProjectGroup.h"
#include "ui/SessionGridModel.h"
#include "ui/uHMRDialog.h"

namespace hmr {

std::string TdlgPrjRevedazl::GetExportHeader() const {
  ExportHeaderInputs inputs;
  inputs.ProjectSelected = FSelectedProject != nullptr;
  if (FSelectedProject) {
    inputs.Projects.push_back({FSelectedProject->GetHMRName(), FSelectedProject->FileName});
  } else if (FProjectGroup) {
    for (std::int32_t i = 0; i < FProjectGroup->getProjectCount(); ++i) {
      const THMRProject* project = FProjectGroup->getProject(i);
      inputs.Projects.push_back({project->GetHMRName(), project->FileName});
    }
  }
  inputs.GroupByText = cmbGroupBy->currentText().toStdString();
  inputs.SortByText = cmpSortItem->currentText().toStdString();
  inputs.SortOrderText = cmpSortOrder->currentText().toStdString();
  return hmr::GetExportHeader(inputs);
}

void TdlgPrjRevedazl::ExportToFile(TFileExportFormat Format) {
  if (!SaveDialog) {
    // One save dialog for the dialog's life: the filter the user chose stays chosen.
    SaveDialog = new QFileDialog(this, "Save As");
    SaveDialog->setObjectName("SaveDialog");
    SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilters({"Text (*.txt)", "Formated Text (comma separated) (*.csv)"});
  }
  SaveDialog->setDefaultSuffix(QString::fromLatin1(exportDefaultExtension(Format)));
  SaveDialog->selectFile(QString::fromStdString(proposedExportFileName(
      FSelectedProject != nullptr, FSelectedProject ? FSelectedProject->FileName : "", Format)));
  if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty()) return;
  const std::string path = SaveDialog->selectedFiles().front().toStdString();
  if (const GridCells* cells = gridModel_->cells())
    exportToFile(path, Format, GetExportHeader(), *cells);
}

void TdlgPrjRevedazl::ExportClipBoard() {
  const GridCells* cells = gridModel_->cells();
  if (!cells) return;
  const std::string text = buildClipboardText(GetExportHeader(), *cells);
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

}  // namespace hmr

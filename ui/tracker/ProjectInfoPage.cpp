// SPDX-License-Identifier: MIT
#include "ui/tracker/ProjectInfoPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <utility>

#include "core/ProjectInfoModel.h"
#include "core/uHMRProject.h"
#include "ui/ErrorBox.h"
#include "ui/tracker/DialogWidgets.h"

namespace hmr {
namespace {

using tracker_ui::named;

constexpr const char* kMinimumWarning =
    "Your change in \"Exclude lines with work time less than:\" field may cause loose of past "
    "information.\r\nDo you want confirm?";

}  // namespace

ProjectInfoPage::ProjectInfoPage(ProjectInfoModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName("TabProjectInfo");
  auto* layout = new QVBoxLayout(this);
  auto* box = named(new QGroupBox("Con&figuration", this), "gbxConfiguration");
  auto* grid = new QGridLayout(box);
  sedtIdle = named(new QSpinBox(box), "sedtIdle");
  sedtMinimum = named(new QSpinBox(box), "sedtMinimum");
  const std::pair<QSpinBox*, const char*> rows[] = {
      {sedtIdle, "Consider idle when inactive for:"},
      {sedtMinimum, "Exclude lines with work time less than:"}};
  int row = 0;
  for (const auto& [spin, text] : rows) {
    spin->setRange(ProjectInfoModel::MinMinutes, ProjectInfoModel::MaxMinutes);
    auto* label = new QLabel(text, box);
    label->setBuddy(spin);
    grid->addWidget(label, row, 0);
    grid->addWidget(spin, row, 1);
    grid->addWidget(new QLabel("minute(s)", box), row, 2);
    ++row;
  }
  cmdRestDefault = named(new QPushButton("&Restore Default", box), "cmdRestDefault");
  cmdRestDefault->setAutoDefault(false);
  grid->addWidget(cmdRestDefault, row, 0, 1, 1, Qt::AlignLeft);
  grid->setColumnStretch(3, 1);
  layout->addWidget(box);
  layout->addStretch(1);
  // A spin box changes with every value it takes, the dialog's own settings included
  // (sedtIdleChange, sedtMinimumChange).
  for (QSpinBox* spin : {sedtIdle, sedtMinimum})
    connect(spin, &QSpinBox::valueChanged, this, [this] { model_.edited(); });
  connect(cmdRestDefault, &QPushButton::clicked, this,
          [this] { runGuarded(window(), [&] { cmdRestDefaultClick(); }); });
}

void ProjectInfoPage::showProject() {
  if (!model_.project()) return;
  sedtIdle->setValue(model_.shown().idle);
  sedtMinimum->setValue(model_.shown().minimum);
}

void ProjectInfoPage::entered() { model_.entered(sedtMinimum->value()); }

bool ProjectInfoPage::commit() {
  THMRProject* project = model_.project();
  const bool wasModified = project && project->Modified;
  const std::int64_t idle = project ? project->TimeForIdle : 0;
  const std::int64_t minimum = project ? project->MinimumWorkTime : 0;
  const auto confirm = [this] {
    return QMessageBox::warning(window(), "Warning", kMinimumWarning,
                                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  if (const std::optional<std::int32_t> back =
          model_.commit({sedtIdle->value(), sedtMinimum->value()}, confirm))
    sedtMinimum->setValue(*back);
  return project && (project->Modified != wasModified || project->TimeForIdle != idle ||
                     project->MinimumWorkTime != minimum);
}

void ProjectInfoPage::cmdRestDefaultClick() {
  const ProjectInfoModel::Minutes defaults = ProjectInfoModel::defaults();
  sedtIdle->setValue(defaults.idle);
  sedtMinimum->setValue(defaults.minimum);
}

}  // namespace hmr

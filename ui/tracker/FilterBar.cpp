// SPDX-License-Identifier: MIT
#include "ui/tracker/FilterBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

#include "core/TrackerDialogModel.h"
#include "ui/tracker/DialogWidgets.h"

namespace hmr {
namespace {

using tracker_ui::named;

// The layout of a group box of the bar: tight margins, so the bar fits the pane.
template <class Layout>
Layout* compact(Layout* layout) {
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(4);
  return layout;
}

// A list as wide as the longest of the texts it can ever hold (the entries of every level),
// measured as the list measures itself, so that no entry is cut and the bar does not move
// when the entries change with the level.
void fitToLongest(QComboBox* combo, const std::vector<std::string>& every) {
  combo->clear();
  combo->addItems(tracker_ui::qtTexts(every));
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  combo->setMinimumWidth(combo->sizeHint().width());
  combo->clear();
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

}  // namespace

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName("pnlFilter");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(4);

  auto* boxGroupBy = named(new QGroupBox("&Group By:", this), "gbxGroupBy");
  auto* groupByLayout = compact(new QHBoxLayout(boxGroupBy));
  cmbGroupBy = named(new QComboBox(boxGroupBy), "cmbGroupBy");
  // An editable list whose text can only be one of its entries: typing selects an entry.
  cmbGroupBy->setEditable(true);
  cmbGroupBy->setInsertPolicy(QComboBox::NoInsert);
  fitToLongest(cmbGroupBy, TrackerDialogModel::everyGroupByText());
  // A typed text that names no grouping does not stay: the list shows the grouping in force.
  connect(cmbGroupBy->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    if (cmbGroupBy->currentText() != cmbGroupBy->itemText(cmbGroupBy->currentIndex()))
      cmbGroupBy->setEditText(cmbGroupBy->itemText(cmbGroupBy->currentIndex()));
  });
  groupByLayout->addWidget(cmbGroupBy);
  layout->addWidget(boxGroupBy);

  auto* boxSortBy = named(new QGroupBox("&Sort By:", this), "gbxSortBy");
  auto* sortLayout = compact(new QHBoxLayout(boxSortBy));
  cmpSortItem = named(new QComboBox(boxSortBy), "cmpSortItem");
  fitToLongest(cmpSortItem, TrackerDialogModel::everySortByText());
  cmpSortOrder = named(new QComboBox(boxSortBy), "cmpSortOrder");
  fitToLongest(cmpSortOrder, TrackerDialogModel::orderTexts());
  sortLayout->addWidget(cmpSortItem);
  sortLayout->addWidget(cmpSortOrder);
  layout->addWidget(boxSortBy);

  grpTimeUnit = named(new QGroupBox("&Time Unit:", this), "grpTimeUnit");
  auto* unitLayout = compact(new QGridLayout(grpTimeUnit));
  rbHours = named(new QRadioButton("hs", grpTimeUnit), "grpTimeUnitHours");
  rbMinutes = named(new QRadioButton("min", grpTimeUnit), "grpTimeUnitMinutes");
  rbHours->setChecked(true);
  unitLayout->addWidget(rbHours, 0, 0);
  unitLayout->addWidget(rbMinutes, 0, 1);
  layout->addWidget(grpTimeUnit);

  chkShowUsername = named(new QCheckBox("S&how User Name", this), "chkShowUsername");
  chkShowUsername->setChecked(true);
  layout->addWidget(chkShowUsername);
  layout->addStretch(1);

  // Only the user's choices are reported, not the dialog's own setting of the lists.
  connect(cmbGroupBy, &QComboBox::activated, this, &FilterBar::groupByChosen);
  connect(cmpSortItem, &QComboBox::activated, this, &FilterBar::sortByChosen);
  connect(cmpSortOrder, &QComboBox::activated, this, &FilterBar::sortOrderChosen);
  for (QRadioButton* button : {rbHours, rbMinutes}) {
    connect(button, &QRadioButton::clicked, this,
            [this] { emit timeUnitChosen(chosenTimeUnit()); });
  }
  connect(chkShowUsername, &QCheckBox::clicked, this,
          [this] { emit showUserNameChosen(chkShowUsername->isChecked()); });
}

void FilterBar::fillOrderList() {
  cmpSortOrder->clear();
  cmpSortOrder->addItems(tracker_ui::qtTexts(TrackerDialogModel::orderTexts()));
  cmpSortOrder->setCurrentIndex(-1);
}

void FilterBar::showFilters(const TrackerDialogModel& model) {
  const TFilterTriple& filter = model.currentFilter();
  cmbGroupBy->clear();
  cmbGroupBy->addItems(tracker_ui::qtTexts(model.groupByTexts()));
  cmpSortItem->clear();
  cmpSortItem->addItems(tracker_ui::qtTexts(model.sortByTexts()));
  cmbGroupBy->setCurrentIndex(filter.GroupBy);
  cmpSortItem->setCurrentIndex(filter.SortBy);
  cmpSortOrder->setCurrentIndex(filter.SortOrder);
}

void FilterBar::showUnitAndUserName(const TrackerDialogModel& model) {
  (model.timeUnit() == dtuMinute ? rbMinutes : rbHours)->setChecked(true);
  chkShowUsername->setChecked(model.showUserName());
}

TDispTimeUnit FilterBar::chosenTimeUnit() const {
  return rbHours->isChecked() ? dtuHour : dtuMinute;
}

}  // namespace hmr

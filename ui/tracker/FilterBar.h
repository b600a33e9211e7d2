// SPDX-License-Identifier: MIT
// The tracker dialog's filter bar ("pnlFilter"): the grouping, the sort key and order, the
// time unit and the user-name column of the History grid. It shows the dialog's model and
// reports the user's choices through its signals; the dialog's own changes of the lists
// report nothing.
#pragma once

#include <QWidget>

#include "core/uHMRGlobal.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;

namespace hmr {

class TrackerDialogModel;

class FilterBar final : public QWidget {
  Q_OBJECT

 public:
  explicit FilterBar(QWidget* parent = nullptr);

  // Fills the order list ("Asc", "Desc"), nothing chosen until a level shows. The dialog's
  // creation does it once its layout is in place: the list takes the width it had there.
  void fillOrderList();
  // Fills the three lists with the choices of the level the model shows (FilterUpdate).
  void showFilters(const TrackerDialogModel& model);
  // Shows the model's time unit and user-name choice.
  void showUnitAndUserName(const TrackerDialogModel& model);

 signals:
  void groupByChosen(int index);
  void sortByChosen(int index);
  void sortOrderChosen(int index);
  void timeUnitChosen(hmr::TDispTimeUnit unit);
  void showUserNameChosen(bool show);

 private:
  TDispTimeUnit chosenTimeUnit() const;

  QComboBox* cmbGroupBy = nullptr;
  QComboBox* cmpSortItem = nullptr;
  QComboBox* cmpSortOrder = nullptr;
  QGroupBox* grpTimeUnit = nullptr;
  QRadioButton* rbHours = nullptr;
  QRadioButton* rbMinutes = nullptr;
  QCheckBox* chkShowUsername = nullptr;
};

}  // namespace hmr

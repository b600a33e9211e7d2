// SPDX-License-Identifier: MIT
// The tracker dialog's About page ("TabAbout"): the product's name and picture, the host it
// runs for, the version line and the invitation to report errors.
#pragma once

#include <QWidget>

class QLabel;

namespace hmr {

class THMRProjectGroup;

class AboutPage final : public QWidget {
  Q_OBJECT

 public:
  explicit AboutPage(QWidget* parent = nullptr);

  // The host label ("For Delphi 5") and the version line of `group`'s host.
  void showHost(const THMRProjectGroup& group);

 private:
  QLabel* Label4 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* lblForTool = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblBugs = nullptr;
};

}  // namespace hmr

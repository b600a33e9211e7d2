// SPDX-License-Identifier: MIT
// The stand-in IDE's window for `hmr-ide --gui`: a main window whose menus play the user's
// actions (open and close a project, edit it, choose a View-menu entry such as the tracker's)
// on the IDE, in real time, while its event loop fires the packages' timers.
#pragma once

#include <QMainWindow>
#include <string>

class QLabel;
class QListWidget;
class QMenu;

namespace hmr {

class StandInIde;

class IdeWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `ide` (not owned) must outlive the window.
  explicit IdeWindow(StandInIde& ide);

 private:
  void openProject();
  void closeProject();
  void editProject();
  void activateSelected();
  void fillViewMenu();
  void refresh();
  // Runs an action of the user; an error shows in a message box.
  template <class Action>
  void act(Action&& action);

  StandInIde& ide_;
  QListWidget* projects_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "host/viewer/IdleCloser.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>
#include <ostream>

namespace hmr {

IdleCloser::IdleCloser(std::ostream& log) : log_(log) {
  // A timer of no interval fires each time the loop has nothing else to do.
  timer_.setInterval(0);
  QObject::connect(&timer_, &QTimer::timeout, [this] { closeTopWindow(); });
  timer_.start();
}

void IdleCloser::closeTopWindow() {
  QWidget* window = QApplication::activeModalWidget();
  if (!window || !window->isVisible() || window != seen_) {
    seen_ = window;
    return;
  }
  seen_ = nullptr;
  log_ << "closed: " << window->windowTitle().toStdString();
  if (auto* box = qobject_cast<QMessageBox*>(window)) log_ << ": " << box->text().toStdString();
  log_ << std::endl;
  if (++closed_ > kMaxWindows) {
    log_ << "the windows do not close; giving up" << std::endl;
    std::_Exit(1);
  }
  window->close();
}

}  // namespace hmr

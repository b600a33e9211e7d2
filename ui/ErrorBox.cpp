// SPDX-License-Identifier: MIT
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

#include "platform/HmrError.h"

namespace hmr {

void showErrorBox(QWidget* parent, std::exception_ptr error) {
  const std::string text = describeError(error);
  try {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
      QMessageBox::critical(parent, QStringLiteral("HMR"), QString::fromStdString(text));
      return;
    }
  } catch (...) {
    // The box itself failed: the message still reaches standard error below.
  }
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

namespace hmr {

std::string errorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void showErrorBox(QWidget* parent, std::exception_ptr error) {
  const std::string text = errorText(error);
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

// SPDX-License-Identifier: MIT
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>
#include <iterator>

#include "core/ProductTexts.h"
#include "platform/HmrError.h"

namespace hmr {
namespace {

QString boxTitle() {
  return QString::fromUtf8(product::ShortName.data(), std::ssize(product::ShortName));
}

}  // namespace

void showErrorBox(QWidget* parent, std::exception_ptr error) {
  const std::string text = describeError(error);
  try {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
      QMessageBox::critical(parent, boxTitle(), QString::fromStdString(text));
      return;
    }
  } catch (...) {
    // The box itself failed: the message still reaches standard error below.
  }
  std::fprintf(stderr, "%s\n", text.c_str());
}

QWidget* showErrorNotice(QWidget* parent, const std::string& text) {
  try {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
      auto* box = new QMessageBox(QMessageBox::Warning, boxTitle(),
                                  QString::fromStdString(text), QMessageBox::Ok, parent);
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->setModal(false);
      box->show();
      return box;
    }
  } catch (...) {
    // The box itself failed: the message still reaches standard error below.
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  return nullptr;
}

}  // namespace hmr

// SPDX-License-Identifier: MIT
#include "ui/DlgUser.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <iterator>
#include <vector>

#include "core/ProductTexts.h"
#include "core/UserDialogModel.h"

// The pictures are compiled into the ui library; register them before first use.
static void initUserDialogResources() { Q_INIT_RESOURCE(hmr_ui); }

namespace hmr {
namespace {

constexpr int kClientWidth = 268;
constexpr int kClientHeight = 95;
constexpr int kMargin = 8;

}  // namespace

TDlgSetUser::TDlgSetUser(SettingsStore& store, QWidget* parent)
    : QDialog(parent), FRegistry(store) {
  initUserDialogResources();
  setObjectName("DlgSetUser");
  setWindowTitle(QString::fromUtf8(product::Name.data(), std::ssize(product::Name)));
  setWindowIcon(QIcon(":/hmr/icon.png"));
  // A fixed dialog border: a title bar with the close box only, no resizing.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setSizeGripEnabled(false);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(QPixmap(":/hmr/user.png"));
  Image1->setGeometry(kMargin, kMargin, 32, 32);

  const int left = kMargin + 32 + kMargin;
  const int width = kClientWidth - left - kMargin;
  Label1 = new QLabel("Select a User Name:", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(left, kMargin, width, Label1->sizeHint().height());

  cbxUsers = new QComboBox(this);
  cbxUsers->setObjectName("cbxUsers");
  const int comboHeight = cbxUsers->sizeHint().height();
  cbxUsers->setGeometry(left, Label1->geometry().bottom() + 4, width, comboHeight);
  Label1->setBuddy(cbxUsers);

  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  // Both the default button (Enter) and, through reject(), the cancel button (Esc).
  OKBtn->setDefault(true);
  OKBtn->setAutoDefault(true);
  const QSize button = OKBtn->sizeHint().expandedTo(QSize(75, 25));
  OKBtn->setGeometry(kClientWidth - kMargin - button.width(),
                     kClientHeight - kMargin - button.height(), button.width(), button.height());
  connect(OKBtn, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });

  FormCreate();
}

TDlgSetUser::~TDlgSetUser() = default;

void TDlgSetUser::FormCreate() {
  // The list and the registry access are created when the dialog shows: only then are the
  // key path, the current name and the permission known.
  FUsers.reset();
}

void TDlgSetUser::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  closing_ = false;
  failure_ = nullptr;
  try {
    FormShow();
  } catch (...) {
    // Nothing to choose from: the dialog ends at once, and whoever runs it raises the error.
    failure_ = std::current_exception();
    QTimer::singleShot(0, this, [this] { QDialog::done(QDialog::Rejected); });
  }
}

void TDlgSetUser::FormShow() {
  FUsers = std::make_unique<UserDialogModel>(FRegistry, FRegKeyPath, FCurrentUser, FAllowNewUser);
  FUsers->show();
  cbxUsers->clear();
  cbxUsers->setEditable(FUsers->editable());
  if (cbxUsers->isEditable()) {
    // A typed name joins the list only when the dialog closes, and is taken as typed: no
    // completion changes it, in particular not to a listed name in another letter case.
    cbxUsers->setInsertPolicy(QComboBox::NoInsert);
    cbxUsers->setCompleter(nullptr);
  }
  for (const std::string& name : FUsers->users()) cbxUsers->addItem(QString::fromStdString(name));
  cbxUsers->setCurrentIndex(FUsers->selectedIndex());
  if (cbxUsers->isEditable() && FUsers->selectedIndex() < 0) cbxUsers->setEditText({});
  cbxUsers->setFocus();
  if (cbxUsers->lineEdit()) cbxUsers->lineEdit()->selectAll();
}

std::string TDlgSetUser::LoadUsersFromRegistry() {
  return FUsers ? FUsers->LoadUsersFromRegistry() : std::string();
}

void TDlgSetUser::PrepareForClose() {
  if (!FUsers) return;
  std::vector<std::string> items;
  items.reserve(static_cast<std::size_t>(cbxUsers->count()));
  for (int i = 0; i < cbxUsers->count(); ++i) items.push_back(cbxUsers->itemText(i).toStdString());
  const QString text = cbxUsers->currentText();
  // An entry counts as selected while the box shows it: typing over it unselects it.
  int selected = cbxUsers->currentIndex();
  if (selected >= 0 && cbxUsers->itemText(selected) != text) selected = -1;
  FUsers->PrepareForClose(items, selected, text.toStdString());
  FCurrentUser = FUsers->currentUser();
}

void TDlgSetUser::done(int) {
  if (closing_) return;
  closing_ = true;
  if (failure_) {
    QDialog::done(QDialog::Rejected);
    return;
  }
  FormClose();
}

void TDlgSetUser::FormClose() {
  try {
    PrepareForClose();
  } catch (...) {
    failure_ = std::current_exception();
  }
  QDialog::done(QDialog::Accepted);
}

int runUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                  std::string& userName) {
  TDlgSetUser dialog(store);
  dialog.SetRegKeyPath(keyPath);
  dialog.SetCurrentUser(userName);
  dialog.SetAllowNewUser(allowNewUser);
  const int result = dialog.exec();
  if (dialog.failure()) std::rethrow_exception(dialog.failure());
  if (result == QDialog::Accepted) userName = dialog.currentUser();
  return result;
}

}  // namespace hmr

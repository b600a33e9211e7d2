// SPDX-License-Identifier: MIT
// The user-name dialog: the user picks a known name or types a new one. It cannot be refused:
// OK, Enter, Esc and the title bar's close box all end it with OK and the name in the combo
// box taken. The list of names and what closing keeps are the core's UserDialogModel.
#pragma once

#include <QDialog>
#include <exception>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace hmr {

class SettingsStore;
class UserDialogModel;

class TDlgSetUser final : public QDialog {
  Q_OBJECT

 public:
  // The "Users" value lives in `store` (not owned; must outlive the dialog) below HMRRootKey.
  explicit TDlgSetUser(SettingsStore& store, QWidget* parent = nullptr);
  ~TDlgSetUser() override;

  void SetAllowNewUser(bool Value) { FAllowNewUser = Value; }
  void SetCurrentUser(const std::string& Value) { FCurrentUser = Value; }
  void SetRegKeyPath(const std::string& Value) { FRegKeyPath = Value; }
  // The "Users" text of the key; written empty when it is missing. Valid while shown.
  std::string LoadUsersFromRegistry();
  // Stores the list with a name typed in it and settles the chosen name.
  void PrepareForClose();

  // In: the name to preselect; out (after closing): the chosen name.
  const std::string& currentUser() const { return FCurrentUser; }
  // What the settings store raised while the dialog showed or closed, or null. The dialog
  // cannot pass it through the event loop; whoever ran the dialog raises it again.
  std::exception_ptr failure() const { return failure_; }

  // Every way of ending the dialog comes here, whatever result it asks for: OK, Enter, Esc
  // (reject) and the close box (reject as well). It ends with OK.
  void done(int result) override;
  void reject() override { done(QDialog::Accepted); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormClose();

  SettingsStore& FRegistry;
  bool FAllowNewUser = false;
  std::string FCurrentUser;
  std::string FRegKeyPath;
  std::unique_ptr<UserDialogModel> FUsers;  // while shown
  std::exception_ptr failure_;
  bool closing_ = false;

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* cbxUsers = nullptr;
  QPushButton* OKBtn = nullptr;
};

// Runs the user dialog modally. Returns its modal result (1, OK, whatever closed it); on OK
// `userName` holds the chosen name. An error of the settings store passes on to the caller.
int runUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                  std::string& userName);

}  // namespace hmr

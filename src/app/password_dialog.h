// The password window's widgets.
#pragma once

#include <QDialog>
#include <string>

#include "password/password_window.h"
#include "platform/dialogs.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace talvor {

class PasswordDialog final : public QDialog, public PasswordView {
  Q_OBJECT

 public:
  PasswordDialog(PasswordWindow& form, Dialogs& dialogs, QWidget* parent = nullptr);

  void SetCaption(const std::string& text) override;
  void SetActionButton(const std::string& text) override;
  void SetFileLine(const std::string& text) override;
  [[nodiscard]] Secret FieldText(Field field) const override;
  void SetFieldText(Field field, const std::string& text) override;
  void SetEcho(Field field, const std::string& text) override;
  void SetPasswordChar(char c) override;
  [[nodiscard]] bool IsChecked(Check check) const override;
  void SetChecked(Check check, bool checked) override;
  void ShowModal() override;
  void Close() override;

  // Escape and the window manager's close go the Cancel button's way.
  void reject() override;

 protected:
  bool event(QEvent* event) override;

 private:
  // Runs a handler of the window logic; failures are shown, not raised.
  void Run(void (PasswordWindow::*handler)());
  [[nodiscard]] QLineEdit* Edit(Field field) const;
  [[nodiscard]] QCheckBox* CheckBox(Check check) const;

  PasswordWindow& form_;
  Dialogs& dialogs_;
  // Children of this dialog, which deletes them.
  QLabel* file_line_;
  QLineEdit* edit1_;
  QLabel* echo1_;
  QLineEdit* edit2_;
  QLabel* echo2_;
  QToolButton* action_;
  QToolButton* cancel_;
  QCheckBox* plain_box_;
  QCheckBox* mask_box_;
};

}  // namespace talvor

// The name prompt's widgets: asks for the name of a new folder.
#pragma once

#include <QDialog>
#include <string>

#include "main_window/name_prompt.h"
#include "platform/dialogs.h"

class QLabel;
class QLineEdit;

namespace talvor {

// Modeless, and closed only through its own buttons: the title bar has none,
// and Escape and the window manager's close are ignored.
class NamePromptDialog final : public QDialog, public NamePromptView {
  Q_OBJECT

 public:
  NamePromptDialog(NamePrompt& form, Dialogs& dialogs, QWidget* parent = nullptr);

  void SetCaption(const std::string& text) override;
  void SetPrompt(const std::string& text) override;
  [[nodiscard]] std::string EditText() const override;
  void Show() override;
  void Close() override;

  void reject() override {}

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs a handler of the window logic; failures are shown, not raised.
  void Run(void (NamePrompt::*handler)());

  NamePrompt& form_;
  Dialogs& dialogs_;
  // Children of this dialog, which deletes them.
  QLabel* prompt_;
  QLineEdit* edit_;
};

}  // namespace talvor

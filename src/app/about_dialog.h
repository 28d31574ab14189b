// The about window's widgets.
#pragma once

#include <QDialog>
#include <string>

#include "main_window/info_windows.h"
#include "platform/dialogs.h"

class QLabel;

namespace talvor {

// Modeless, and closed only through its own button.
class AboutDialog final : public QDialog, public AboutView {
  Q_OBJECT

 public:
  AboutDialog(AboutWindow& form, Dialogs& dialogs, QWidget* parent = nullptr);

  void SetCaption(const std::string& text) override;
  void SetCredits(const std::string& line1, const std::string& line2) override;
  void Show() override;
  void Close() override;

  void reject() override {}

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs a handler of the window logic; failures are shown, not raised.
  void Run(void (AboutWindow::*handler)());

  AboutWindow& form_;
  Dialogs& dialogs_;
  // Children of this dialog, which deletes them.
  QLabel* line1_;
  QLabel* line2_;
};

}  // namespace talvor

// The help window's widgets: a topic text and the list of topics.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "main_window/info_windows.h"
#include "platform/dialogs.h"

class QLabel;
class QTextEdit;

namespace talvor {

// Modeless; closed through its Close button, or minimised.
class HelpWindowWidget final : public QDialog, public HelpView {
  Q_OBJECT

 public:
  HelpWindowWidget(HelpWindow& form, Dialogs& dialogs, QWidget* parent = nullptr);

  void SetTitle(const std::string& text) override;
  void ClearText() override;
  void AddParagraph(const std::string& text) override;
  void Show() override;
  void Close() override;

  void reject() override {}

 private:
  // Runs a handler of the window logic; failures are shown, not raised.
  void Run(const std::function<void()>& handler);

  HelpWindow& form_;
  Dialogs& dialogs_;
  // Children of this window, which deletes them.
  QLabel* title_;
  QTextEdit* text_;
  int paragraphs_ = 0;
};

}  // namespace talvor

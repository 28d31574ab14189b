// The message boxes and the save-file dialog, shown with Qt widgets.
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace talvor {

class QtDialogs final : public Dialogs {
 public:
  void ShowMessage(const std::string& text) override;
  [[nodiscard]] Answer AskYesNo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  [[nodiscard]] bool ExecuteSaveDialog(SaveDialogState& state) override;
};

// The texts break lines with "\r" (or "\r\n"); Qt breaks them with "\n".
[[nodiscard]] std::string DisplayLineBreaks(const std::string& text);

}  // namespace talvor

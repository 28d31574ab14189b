// The three ways the program speaks to the user, and the save-file dialog.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace talvor {

// Captions plain messages, error boxes and the task bar entry.
inline constexpr char kApplicationTitle[] = "ZEM Talvor ";

enum class Answer { kYes, kNo };

// A save-file dialog keeps its title and file name between uses.
struct SaveDialogState {
  std::string title;
  std::string file_name;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal box captioned with the application title, the text and "OK".
  virtual void ShowMessage(const std::string& text) = 0;
  // "Confirm" with the question icon and "Yes"/"No"; closing counts as No.
  [[nodiscard]] virtual Answer AskYesNo(const std::string& text) = 0;
  // The error display: the stop icon and "OK"; `text` is shown as given.
  virtual void ShowError(const std::string& text) = 0;
  // Shows the save dialog; on OK stores the chosen name in state.file_name
  // and returns true.
  [[nodiscard]] virtual bool ExecuteSaveDialog(SaveDialogState& state) = 0;
};

// The text the error display shows for a failure's message: "." is appended
// when the last character sorts after "." ("Error!!!" stays as it is).
[[nodiscard]] std::string ErrorDisplayText(std::string_view message);

// Runs one event handler. A failure raised inside it ends the handler and is
// shown by the error display; the program carries on. Work the user
// cancelled ends the handler without a message.
void RunGuarded(Dialogs& dialogs, const std::function<void()>& handler);

}  // namespace talvor

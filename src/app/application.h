// The program's objects, created and connected in one place.
#pragma once

#include <memory>

#include "app/about_dialog.h"
#include "app/help_window.h"
#include "app/main_window_widget.h"
#include "app/name_prompt_dialog.h"
#include "app/password_dialog.h"
#include "app/progress_dialog.h"
#include "app/qt_shell.h"
#include "main_window/info_windows.h"
#include "main_window/main_window.h"
#include "main_window/name_prompt.h"
#include "password/password_window.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/random_generator.h"
#include "platform/system_info.h"

namespace talvor {

class TalvorApplication {
 public:
  // Shows the message boxes with Qt.
  TalvorApplication();
  // Shows them through `dialogs`, which outlives the application.
  explicit TalvorApplication(Dialogs& dialogs);
  TalvorApplication(const TalvorApplication&) = delete;
  TalvorApplication& operator=(const TalvorApplication&) = delete;
  ~TalvorApplication();

  [[nodiscard]] MainWindowWidget& main_window() noexcept { return *main_window_; }
  [[nodiscard]] PasswordDialog& password_dialog() noexcept { return *password_dialog_; }
  [[nodiscard]] AboutDialog& about_dialog() noexcept { return *about_dialog_; }
  [[nodiscard]] HelpWindow& help_window() noexcept { return *help_window_; }
  [[nodiscard]] NamePromptDialog& name_prompt() noexcept { return *name_prompt_; }
  [[nodiscard]] ProgressDialog& progress() noexcept { return *progress_; }
  [[nodiscard]] TForm1& form1() noexcept { return form1_; }
  [[nodiscard]] TForm2& form2() noexcept { return form2_; }

  // Shows the file the program was started with and starts the command it
  // names; what cannot be done is printed on standard error and shown.
  void StartWith(const StartRequest& request);

 private:
  TalvorApplication(std::unique_ptr<Dialogs> own_dialogs, Dialogs* dialogs);

  // Platform.
  std::unique_ptr<Dialogs> own_dialogs_;
  Dialogs& dialogs_;
  PosixFileSystem fs_;
  PosixSystemInfo system_;
  SystemClock clock_;
  QtShell shell_;
  RandomGenerator random_;
  // Main window.
  TForm1 form1_;
  std::unique_ptr<MainWindowWidget> main_window_;
  // Password window.
  TForm2 form2_;
  std::unique_ptr<PasswordDialog> password_dialog_;
  // About window.
  TForm5 form5_;
  std::unique_ptr<AboutDialog> about_dialog_;
  // Help window.
  TForm6 form6_;
  std::unique_ptr<HelpWindow> help_window_;
  // Name prompt.
  TForm3 form3_;
  std::unique_ptr<NamePromptDialog> name_prompt_;
  // Progress window.
  std::unique_ptr<ProgressDialog> progress_;
};

}  // namespace talvor

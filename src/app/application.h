// The program's objects, created and connected in one place.
#pragma once

#include <memory>
#include <string>

#include "app/about_dialog.h"
#include "app/help_window.h"
#include "app/main_window_widget.h"
#include "app/name_prompt_dialog.h"
#include "app/password_dialog.h"
#include "app/progress_dialog.h"
#include "app/qt_shell.h"
#include "app/qt_worker.h"
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
  // Shows the message boxes with Qt; the file panel shows `start_folder`,
  // and a start file is taken in it.
  explicit TalvorApplication(const std::string& start_folder);
  // Shows them through `dialogs`, which outlives the application.
  TalvorApplication(Dialogs& dialogs, const std::string& start_folder);
  TalvorApplication(const TalvorApplication&) = delete;
  TalvorApplication& operator=(const TalvorApplication&) = delete;
  ~TalvorApplication();

  [[nodiscard]] MainWindowWidget& main_window() noexcept { return *main_window_; }
  [[nodiscard]] PasswordDialog& password_dialog() noexcept { return *password_dialog_; }
  [[nodiscard]] AboutDialog& about_dialog() noexcept { return *about_dialog_; }
  [[nodiscard]] HelpWindowWidget& help_window() noexcept { return *help_window_; }
  [[nodiscard]] NamePromptDialog& name_prompt() noexcept { return *name_prompt_; }
  [[nodiscard]] ProgressDialog& progress() noexcept { return *progress_; }
  [[nodiscard]] MainWindow& main_window_logic() noexcept { return main_logic_; }
  [[nodiscard]] PasswordWindow& password_window_logic() noexcept { return password_logic_; }
  [[nodiscard]] const Worker& worker() const noexcept { return worker_; }

  // Shows the file the program was started with and starts the command it
  // names; what cannot be done is printed on standard error and shown.
  void StartWith(const StartRequest& request);

 private:
  TalvorApplication(std::unique_ptr<Dialogs> own_dialogs, Dialogs* dialogs,
                    const std::string& start_folder);

  // Platform.
  std::unique_ptr<Dialogs> own_dialogs_;
  Dialogs& dialogs_;
  PosixFileSystem fs_;
  PosixSystemInfo system_;
  SystemClock clock_;
  QtShell shell_;
  RandomGenerator random_;
  // Where the commands run.
  QtWorker worker_;
  // Main window.
  MainWindow main_logic_;
  std::unique_ptr<MainWindowWidget> main_window_;
  // Password window.
  PasswordWindow password_logic_;
  std::unique_ptr<PasswordDialog> password_dialog_;
  // About window.
  AboutWindow about_logic_;
  std::unique_ptr<AboutDialog> about_dialog_;
  // Help window.
  HelpWindow help_logic_;
  std::unique_ptr<HelpWindowWidget> help_window_;
  // Name prompt.
  NamePrompt name_prompt_logic_;
  std::unique_ptr<NamePromptDialog> name_prompt_;
  // Progress window.
  std::unique_ptr<ProgressDialog> progress_;
};

}  // namespace talvor

#include "app/application.h"

#include <iostream>

#include "app/qt_dialogs.h"

namespace talvor {

TalvorApplication::TalvorApplication(const std::string& start_folder)
    : TalvorApplication(std::make_unique<QtDialogs>(), nullptr, start_folder) {}

TalvorApplication::TalvorApplication(Dialogs& dialogs, const std::string& start_folder)
    : TalvorApplication(nullptr, &dialogs, start_folder) {}

TalvorApplication::TalvorApplication(std::unique_ptr<Dialogs> own_dialogs, Dialogs* dialogs,
                                     const std::string& start_folder)
    : own_dialogs_(std::move(own_dialogs)),
      dialogs_(dialogs != nullptr ? *dialogs : *own_dialogs_),
      main_logic_(dialogs_, fs_, system_, random_, clock_, shell_, worker_),
      main_window_(std::make_unique<MainWindowWidget>(main_logic_, dialogs_)),
      password_logic_(dialogs_, fs_, random_, clock_, worker_),
      password_dialog_(
          std::make_unique<PasswordDialog>(password_logic_, dialogs_, main_window_.get())),
      about_dialog_(std::make_unique<AboutDialog>(about_logic_, dialogs_, main_window_.get())),
      help_window_(std::make_unique<HelpWindowWidget>(help_logic_, dialogs_, main_window_.get())),
      name_prompt_logic_(fs_),
      name_prompt_(
          std::make_unique<NamePromptDialog>(name_prompt_logic_, dialogs_, main_window_.get())),
      progress_(std::make_unique<ProgressDialog>(main_window_.get())) {
  main_logic_.AttachView(*main_window_);
  password_logic_.AttachView(*password_dialog_);
  about_logic_.AttachView(*about_dialog_);
  help_logic_.AttachView(*help_window_);
  name_prompt_logic_.AttachView(*name_prompt_);
  main_logic_.AttachPasswordWindow(password_logic_);
  main_logic_.AttachAboutWindow(about_logic_);
  main_logic_.AttachHelpWindow(help_logic_);
  main_logic_.AttachNamePrompt(name_prompt_logic_);
  main_logic_.AttachProgressWindow(*progress_);
  password_logic_.AttachProgressWindow(*progress_);

  RunGuarded(dialogs_, [this] { password_logic_.Create(); });
  RunGuarded(dialogs_, [this] { help_logic_.Create(); });
  RunGuarded(dialogs_, [&] { main_logic_.Create(start_folder); });
  main_window_->show();
}

void TalvorApplication::StartWith(const StartRequest& request) {
  RunGuarded(dialogs_, [&] {
    main_logic_.StartWith(
        request, [](const std::string& text) { std::cerr << "zem-talvor: " << text << '\n'; });
  });
}

// A command still running is cancelled first, before the windows it reports
// to go. The secondary windows are children of the main window: they go
// first, and the main window then no longer holds them.
TalvorApplication::~TalvorApplication() {
  worker_.Stop();
}

}  // namespace talvor

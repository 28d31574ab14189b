#include "app/application.h"

#include <QCoreApplication>
#include <iostream>

#include "app/qt_dialogs.h"

namespace talvor {

TalvorApplication::TalvorApplication()
    : TalvorApplication(std::make_unique<QtDialogs>(), nullptr) {}

TalvorApplication::TalvorApplication(Dialogs& dialogs) : TalvorApplication(nullptr, &dialogs) {}

TalvorApplication::TalvorApplication(std::unique_ptr<Dialogs> own_dialogs, Dialogs* dialogs)
    : own_dialogs_(std::move(own_dialogs)),
      dialogs_(dialogs != nullptr ? *dialogs : *own_dialogs_),
      form1_(dialogs_, fs_, system_, random_, clock_, shell_),
      main_window_(std::make_unique<MainWindowWidget>(form1_, dialogs_)),
      form2_(form1_.hand_over(), dialogs_, fs_, random_, clock_),
      password_dialog_(std::make_unique<PasswordDialog>(form2_, dialogs_, main_window_.get())),
      form5_(form1_.hand_over()),
      about_dialog_(std::make_unique<AboutDialog>(form5_, dialogs_, main_window_.get())),
      help_window_(std::make_unique<HelpWindow>(form6_, dialogs_, main_window_.get())),
      form3_(form1_.hand_over(), fs_),
      name_prompt_(std::make_unique<NamePromptDialog>(form3_, dialogs_, main_window_.get())),
      progress_(std::make_unique<ProgressDialog>(main_window_.get())) {
  form1_.AttachView(*main_window_);
  form2_.AttachView(*password_dialog_);
  form5_.AttachView(*about_dialog_);
  form6_.AttachView(*help_window_);
  form3_.AttachView(*name_prompt_);
  form1_.AttachPasswordWindow(form2_);
  form1_.AttachAboutWindow(form5_);
  form1_.AttachHelpWindow(form6_);
  form1_.AttachNamePrompt(form3_);
  form1_.AttachProgressWindow(*progress_);
  form2_.AttachProgressWindow(*progress_);
  // The archive components let the windows repaint while they work.
  form1_.SetProcessMessages([] { QCoreApplication::processEvents(); });

  RunGuarded(dialogs_, [this] { form2_.FormCreate(); });
  RunGuarded(dialogs_, [this] { form6_.FormCreate(); });
  RunGuarded(dialogs_, [this] { form1_.FormCreate(); });
  main_window_->show();
}

void TalvorApplication::StartWith(const StartRequest& request) {
  RunGuarded(dialogs_, [&] {
    form1_.StartWith(request,
                     [](const std::string& text) { std::cerr << "zem-talvor: " << text << '\n'; });
  });
}

// The secondary windows are children of the main window: they go first, and
// the main window then no longer holds them.
TalvorApplication::~TalvorApplication() = default;

}  // namespace talvor

#include "app/application.h"

#include <QCoreApplication>

#include "platform/qt_dialogs.h"

namespace talvor {

TalvorApplication::TalvorApplication()
    : TalvorApplication(std::make_unique<QtDialogs>(), nullptr) {}

TalvorApplication::TalvorApplication(Dialogs& dialogs) : TalvorApplication(nullptr, &dialogs) {}

TalvorApplication::TalvorApplication(std::unique_ptr<Dialogs> own_dialogs, Dialogs* dialogs)
    : own_dialogs_(std::move(own_dialogs)),
      dialogs_(dialogs != nullptr ? *dialogs : *own_dialogs_),
      form1_(dialogs_, fs_, system_, random_, clock_),
      main_window_(std::make_unique<MainWindowWidget>(form1_, dialogs_)),
      routines_(fs_, random_, clock_),
      form2_(form1_.hand_over(), dialogs_, routines_),
      password_dialog_(std::make_unique<PasswordDialog>(form2_, dialogs_, main_window_.get())) {
  form1_.AttachView(*main_window_);
  form2_.AttachView(*password_dialog_);
  form1_.AttachPasswordWindow(form2_);
  // The archive components let the windows repaint while they work.
  form1_.SetProcessMessages([] { QCoreApplication::processEvents(); });

  RunGuarded(dialogs_, [this] { form2_.FormCreate(); });
  RunGuarded(dialogs_, [this] { form1_.FormCreate(); });
  main_window_->show();
}

// The dialog is a child of the main window: it goes first, and the main
// window then no longer holds it.
TalvorApplication::~TalvorApplication() = default;

}  // namespace talvor

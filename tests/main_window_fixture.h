// The main window's logic with its secondary windows, every widget and
// service faked, the file panel in a temporary folder.
#pragma once

#include <string>

#include "fakes.h"
#include "main_window/main_window.h"
#include "test_support.h"

namespace talvor::testing {

class MainWindowFixture {
 protected:
  MainWindowFixture() {
    form1_.AttachView(view_);
    form1_.AttachPasswordWindow(form2_);
    form1_.AttachProgressWindow(progress_);
    form2_.AttachProgressWindow(progress_);
    form2_.AttachView(password_view_);
    form1_.AttachNamePrompt(form3_);
    form3_.AttachView(prompt_view_);
    prompt_view_.on_activate = [this] { form3_.OnActivated(); };
    form1_.AttachAboutWindow(form5_);
    form5_.AttachView(about_view_);
    about_view_.on_activate = [this] { form5_.OnActivated(); };
    form1_.AttachHelpWindow(form6_);
    form6_.AttachView(help_view_);
  }

  // Creates the windows in the program's order, the file panel showing the
  // temporary folder; call when its files are in place.
  void Start() {
    form2_.Create();
    form6_.Create();
    form1_.Create(dir_.path());
  }
  void Run(CommandClick click) {
    RunGuarded(dialogs_, [&] { form1_.RunCommand(click); });
  }
  void Run(void (MainWindow::*handler)()) {
    RunGuarded(dialogs_, [&] { (form1_.*handler)(); });
  }
  // The code of the cipher command the password window was asked for; 0 for
  // none.
  [[nodiscard]] int RequestedCode() const {
    const CipherRequest& request = form2_.request();
    if (request.method == nullptr) return 0;
    return request.direction == Direction::kEncrypt ? request.method->encrypt_code
                                                    : request.method->decrypt_code;
  }

  TempDir dir_;
  FakeDialogs dialogs_;
  PosixFileSystem fs_;
  FakeSystemInfo system_;
  RandomGenerator random_;
  FakeClock clock_;
  FakeShell shell_;
  InlineWorker worker_;
  MainWindow form1_{dialogs_, fs_, system_, random_, clock_, shell_, worker_};
  PasswordWindow form2_{dialogs_, fs_, random_, clock_, worker_};
  FakeMainWindowView view_;
  FakePasswordView password_view_{form2_};
  NamePrompt form3_{fs_};
  AboutWindow form5_;
  HelpWindow form6_;
  FakeNamePromptView prompt_view_;
  FakeAboutView about_view_;
  FakeHelpView help_view_;
  FakeProgressWindow progress_;
};

}  // namespace talvor::testing

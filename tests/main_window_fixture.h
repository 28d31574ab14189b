// The main window's logic with its secondary windows, every widget and
// service faked, in a temporary folder that is the current folder.
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
    prompt_view_.on_activate = [this] { form3_.ws3(); };
    form1_.AttachAboutWindow(form5_);
    form5_.AttachView(about_view_);
    about_view_.on_activate = [this] { form5_.op(); };
    form1_.AttachHelpWindow(form6_);
    form6_.AttachView(help_view_);
  }

  // Creates the windows in the program's order, the file panel showing the
  // temporary folder; call when its files are in place.
  void Start() {
    fs_.SetCurrentDirectory(dir_.path());
    form2_.FormCreate();
    form6_.FormCreate();
    form1_.FormCreate();
  }
  void Run(Handler handler) {
    RunGuarded(dialogs_, [&] { (form1_.*handler)(); });
  }

  TempDir dir_;
  CurrentDirGuard cwd_;
  FakeDialogs dialogs_;
  PosixFileSystem fs_;
  FakeSystemInfo system_;
  RandomGenerator random_;
  FakeClock clock_;
  FakeShell shell_;
  TForm1 form1_{dialogs_, fs_, system_, random_, clock_, shell_};
  TForm2 form2_{form1_.hand_over(), dialogs_, fs_, random_, clock_};
  FakeMainWindowView view_;
  FakePasswordView password_view_{form2_};
  TForm3 form3_{form1_.hand_over(), fs_};
  TForm5 form5_{form1_.hand_over()};
  TForm6 form6_;
  FakeNamePromptView prompt_view_;
  FakeAboutView about_view_;
  FakeHelpView help_view_;
  FakeProgressWindow progress_;
};

}  // namespace talvor::testing

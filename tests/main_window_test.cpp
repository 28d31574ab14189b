#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "fakes.h"
#include "main_window/main_window.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::CurrentDirGuard;
using testing::FakeDialogs;
using testing::FakeMainWindowView;
using testing::FakePasswordView;
using testing::FakeSystemInfo;
using testing::TempDir;
using testing::WriteFile;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    WriteFile(dir_ / "report.txt", "report");
    WriteFile(dir_ / "REPORT.TRP", "4.txt....");
    WriteFile(dir_ / "notes", "notes");
    ::mkdir((dir_ / "sub").c_str(), 0755);
    fs_.SetCurrentDirectory(dir_.path());
    form1_.AttachView(view_);
    form1_.AttachPasswordWindow(form2_);
    form2_.AttachView(password_view_);
    form2_.FormCreate();
    form1_.FormCreate();
  }

  void Select(const std::string& name) { view_.selected = name; }
  void Run(Handler handler) {
    RunGuarded(dialogs_, [&] { (form1_.*handler)(); });
  }

  TempDir dir_;
  CurrentDirGuard cwd_;
  FakeDialogs dialogs_;
  PosixFileSystem fs_;
  FakeSystemInfo system_;
  RandomGenerator random_;
  testing::FakeClock clock_;
  TForm1 form1_{dialogs_, fs_, system_, random_, clock_};
  FileRoutines routines_{fs_, random_, clock_};
  TForm2 form2_{form1_.hand_over(), dialogs_, routines_};
  FakeMainWindowView view_;
  FakePasswordView password_view_{form2_};
};

TEST_F(MainWindowTest, StartUpFillsCaptionStatusLinesAndPanel) {
  EXPECT_EQ(view_.caption, "ZEM Talvor v. 2.0");
  EXPECT_EQ(view_.label3, "Disk size: 1000  free : 250");
  EXPECT_EQ(view_.label4, "Computer name: WORKSTATION");
  EXPECT_EQ(view_.files, (std::vector<std::string>{"REPORT.TRP", "notes", "report.txt"}));
  ASSERT_FALSE(view_.folders.empty());
  EXPECT_EQ(view_.folders.back().label, "sub");
  EXPECT_EQ(form1_.hand_over().OperationCode, 0);
}

TEST(MainWindowStartUpTest, UnobtainableValuesPrintAsMinusOne) {
  TempDir dir;
  CurrentDirGuard cwd;
  FakeDialogs dialogs;
  PosixFileSystem fs;
  FakeSystemInfo system;
  system.size = -1;
  system.free = -1;
  system.name = std::string(80, 'N');
  RandomGenerator random;
  testing::FakeClock clock;
  TForm1 form(dialogs, fs, system, random, clock);
  FakeMainWindowView view;
  form.AttachView(view);
  form.FormCreate();
  EXPECT_EQ(view.label3, "Disk size: -1  free : -1");
  EXPECT_EQ(view.label4, "Computer name: " + std::string(64, 'N'));
}

TEST_F(MainWindowTest, StatusLinesAreComputedOnceForTheStartFolder) {
  const std::string label3 = view_.label3;
  form1_.DirectoryListBox1Change(dir_ / "sub");
  form1_.DirectoryListBox1Change("/");
  EXPECT_EQ(view_.label3, label3);
  EXPECT_EQ(system_.size_paths, std::vector<std::string>{dir_.path()});
}

TEST_F(MainWindowTest, ChangingFolderChangesTheCurrentFolder) {
  form1_.DirectoryListBox1Change(dir_ / "sub");
  EXPECT_EQ(fs_.CurrentDirectory(), dir_ / "sub");
  EXPECT_EQ(form1_.shown_folder(), dir_ / "sub");
  EXPECT_TRUE(view_.files.empty());
  EXPECT_EQ(view_.folders.back().label, "sub");
  EXPECT_TRUE(view_.folders.back().shown);
}

TEST_F(MainWindowTest, FolderThatCannotBeEnteredKeepsThePanelWhereItWas) {
  view_.volume_root = "changed by the user";
  RunGuarded(dialogs_, [&] { form1_.DriveComboBox1Change(dir_ / "missing"); });
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"File not found."});
  EXPECT_EQ(view_.volume_root, "/");
  EXPECT_EQ(form1_.shown_folder(), dir_.path());
  EXPECT_EQ(fs_.CurrentDirectory(), dir_.path());
}

TEST_F(MainWindowTest, PanelSelectionIsFolderSeparatorName) {
  EXPECT_EQ(form1_.PanelSelection(), "");
  Select("report.txt");
  EXPECT_EQ(form1_.PanelSelection(), dir_ / "report.txt");
  form1_.DirectoryListBox1Change("/");
  view_.selected = "etc";
  EXPECT_EQ(form1_.PanelSelection(), "/etc");
}

// Every handler of the toolbar and the menus, with what it needs.
std::vector<std::pair<std::string, std::pair<Command, Handler>>> AllHandlers() {
  std::vector<std::pair<std::string, std::pair<Command, Handler>>> all;
  for (const ToolbarButton& b : ToolbarButtons()) all.push_back({b.name, {b.command, b.handler}});
  for (const MenuEntry& m : MenuEntries()) all.push_back({m.name, {m.command, m.handler}});
  all.push_back({"FileListBox1.otworz", {Command::kOpen, &TForm1::otworz}});
  return all;
}

TEST_F(MainWindowTest, CommandsNeedingASelectionRefuseAnEmptyOne) {
  int checked = 0;
  for (const auto& [name, entry] : AllHandlers()) {
    const auto [command, handler] = entry;
    if (command == Command::kQuit) continue;
    dialogs_.messages.clear();
    const int rebuilds = view_.file_list_rebuilds;
    view_.selected.reset();
    Run(handler);
    if (NeedsSelection(command)) {
      ++checked;
      EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"No files selected!"}) << name;
    } else {
      EXPECT_TRUE(dialogs_.messages.empty()) << name;
    }
    EXPECT_EQ(view_.file_list_rebuilds, rebuilds) << name;
    EXPECT_EQ(password_view_.showings, 0) << name;
    EXPECT_EQ(form1_.hand_over().OperationCode, 0) << name;
    EXPECT_FALSE(view_.quit) << name;
  }
  EXPECT_EQ(checked, 2 * 24);  // 24 commands with a selection check, two routes each
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(MainWindowTest, EmptyFolderCountsAsNoSelection) {
  form1_.DirectoryListBox1Change(dir_ / "sub");
  Run(&TForm1::SpeedButton1Click);
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"No files selected!"});
}

struct HandOverCase {
  const char* name;
  Handler handler;
  std::uint8_t code;
  const char* file;
  const char* refusal;  // nullptr: the password window opens
};

class CipherHandOverTest : public MainWindowTest,
                           public ::testing::WithParamInterface<HandOverCase> {};

TEST_P(CipherHandOverTest, ChecksExtensionThenHandsOver) {
  const HandOverCase& c = GetParam();
  WriteFile(dir_ / c.file, "x");
  form1_.RefreshFileList();
  Select(c.file);
  Run(c.handler);
  if (c.refusal != nullptr) {
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{c.refusal});
    EXPECT_EQ(password_view_.showings, 0);
    EXPECT_EQ(form1_.hand_over().OperationCode, 0);
    return;
  }
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(password_view_.showings, 1);
  EXPECT_EQ(form1_.hand_over().OperationCode, c.code);
  EXPECT_EQ(form1_.hand_over().SelectedPath, dir_ / c.file);
  EXPECT_TRUE(form1_.hand_over().OperationPending);  // the fake user did nothing
}

INSTANTIATE_TEST_SUITE_P(
    Table, CipherHandOverTest,
    ::testing::Values(
        HandOverCase{"TrapToolbar", &TForm1::SpeedButton1Click, 1, "notes", nullptr},
        HandOverCase{"TrapMenu", &TForm1::Szyfrowanie1Click, 1, "report.txt", nullptr},
        HandOverCase{"OrmEncryptNoExt", &TForm1::SpeedButton18Click, 3, "notes", nullptr},
        HandOverCase{"BlfEncrypt", &TForm1::BitBtn2Click, 5, "notes", nullptr},
        HandOverCase{"RnlEncrypt", &TForm1::SzyfrowaniezbiorualgorytmemRijndael1Click, 7, "notes",
                     nullptr},
        HandOverCase{"RandomEncrypt", &TForm1::Losowezabezpieczeniezbioru1Click, 9, "notes",
                     nullptr},
        HandOverCase{"TrapDecrypt", &TForm1::SpeedButton4Click, 2, "x.trp", nullptr},
        HandOverCase{"TrapDecryptMenu", &TForm1::Deszyfrowanie1Click, 2, "x.trp", nullptr},
        HandOverCase{"TrapDecryptUpperCase", &TForm1::SpeedButton4Click, 0, "REPORT.TRP",
                     "File extension must be *.trp"},
        HandOverCase{"TrapDecryptNoExt", &TForm1::Deszyfrowanie1Click, 0, "notes",
                     "File extension must be *.trp"},
        HandOverCase{"OrmDecrypt", &TForm1::BitBtn1Click, 4, "x.orm", nullptr},
        HandOverCase{"OrmDecryptWrong", &TForm1::DeszyfrowaniezbiorualgorytmemORM1Click, 0, "x.trp",
                     "File extension must be *.orm"},
        HandOverCase{"BlfDecryptNoExt", &TForm1::BitBtn3Click, 0, "notes",
                     "File extension must be *.blf"},
        HandOverCase{"BlfDecrypt", &TForm1::DeszyfrowaniezbiorualgorytmemBlowfish1Click, 6, "x.blf",
                     nullptr},
        HandOverCase{"RnlDecryptUpper", &TForm1::SpeedButton20Click, 0, "x.RNL",
                     "File extension must be *.rnl"},
        HandOverCase{"RnlDecrypt", &TForm1::DeszyfrowaniezbiorualgorytmemRijndael1Click, 8, "x.rnl",
                     nullptr},
        HandOverCase{"ErhDecryptNoExt", &TForm1::R1Click, 0, "notes",
                     "File extension must be *.erh"},
        HandOverCase{"ErhDecrypt", &TForm1::SpeedButton22Click, 10, "x.erh", nullptr},
        HandOverCase{"DotInFolderOnly", &TForm1::SpeedButton4Click, 0, "trp",
                     "File extension must be *.trp"}),
    testing::ByName());

TEST_F(MainWindowTest, CancelLeavesTheListAndSelectionAsTheyWere) {
  Select("report.txt");
  const int rebuilds = view_.file_list_rebuilds;
  password_view_.user = [](FakePasswordView& v) { v.ClickCancel(); };
  Run(&TForm1::SpeedButton1Click);
  EXPECT_TRUE(form1_.hand_over().OperationPending);
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
  EXPECT_EQ(view_.selected, std::optional<std::string>("report.txt"));
}

TEST_F(MainWindowTest, FinishedOperationReReadsTheListWithNothingSelected) {
  Select("report.txt");
  password_view_.user = [this](FakePasswordView& v) {
    v.TypeBoth("my secret phrase");
    v.ClickAction(dialogs_);
  };
  Run(&TForm1::SpeedButton1Click);
  EXPECT_FALSE(form1_.hand_over().OperationPending);
  EXPECT_EQ(view_.files,
            (std::vector<std::string>{"REPORT.TRP", "notes", "report.trp", "report.txt"}));
  EXPECT_FALSE(view_.selected.has_value());
  // And back: decrypting report.trp restores report.txt.
  ::unlink((dir_ / "report.txt").c_str());
  form1_.RefreshFileList();
  Select("report.trp");
  Run(&TForm1::Deszyfrowanie1Click);
  EXPECT_EQ(testing::ReadFile(dir_ / "report.txt"), "report");
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(MainWindowTest, FailureInsideTheRoutineIsShownAndNothingIsRefreshed) {
  Select("vanished.txt");  // listed, then gone
  const int rebuilds = view_.file_list_rebuilds;
  password_view_.user = [this](FakePasswordView& v) {
    v.TypeBoth("my secret phrase");
    v.ClickAction(dialogs_);
    v.ClickCancel();
  };
  Run(&TForm1::SpeedButton1Click);
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"File not found."});
  EXPECT_TRUE(form1_.hand_over().OperationPending);
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
}

struct DestroyCase {
  const char* name;
  Handler handler;
  const char* question;
  Answer answer;
};

class DestroyCommandTest : public MainWindowTest,
                           public ::testing::WithParamInterface<DestroyCase> {};

TEST_P(DestroyCommandTest, AsksThenShredsAndReReadsTheList) {
  const DestroyCase& c = GetParam();
  Select("report.txt");
  dialogs_.answers.push_back(c.answer);
  const int rebuilds = view_.file_list_rebuilds;
  Run(c.handler);
  EXPECT_EQ(dialogs_.questions, std::vector<std::string>{c.question + (dir_ / "report.txt") + "?"});
  if (c.answer == Answer::kNo) {
    EXPECT_EQ(testing::ReadFile(dir_ / "report.txt"), "report");
    EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
    EXPECT_EQ(view_.cursor_log, std::vector<bool>{false});
    return;
  }
  EXPECT_FALSE(testing::Exists(dir_ / "report.txt"));
  EXPECT_EQ(view_.files, (std::vector<std::string>{"REPORT.TRP", "notes"}));
  EXPECT_FALSE(view_.selected.has_value());
  EXPECT_EQ(view_.cursor_log, (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(dialogs_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Routes, DestroyCommandTest,
    ::testing::Values(
        DestroyCase{"ToolbarYes", &TForm1::SpeedButton7Click,
                    "Do you really want to destroy the selected file \r", Answer::kYes},
        DestroyCase{"MenuYes", &TForm1::Zniszczeniezbioru1Click,
                    "Do you really want to destroy the selected file\r", Answer::kYes},
        DestroyCase{"ToolbarNo", &TForm1::SpeedButton7Click,
                    "Do you really want to destroy the selected file \r", Answer::kNo},
        DestroyCase{"MenuNo", &TForm1::Zniszczeniezbioru1Click,
                    "Do you really want to destroy the selected file\r", Answer::kNo}),
    testing::ByName());

TEST_F(MainWindowTest, DestroyFailureIsShownAndTheCursorComesBack) {
  ::chmod((dir_ / "report.txt").c_str(), 0444);
  Select("report.txt");
  dialogs_.answers.push_back(Answer::kYes);
  Run(&TForm1::SpeedButton7Click);
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"File access denied."});
  EXPECT_EQ(testing::ReadFile(dir_ / "report.txt"), "report");
  EXPECT_EQ(view_.cursor_log.back(), false);
}

TEST_F(MainWindowTest, DividerDoesNothingAndQuitEndsTheLoop) {
  Run(&TForm1::N1Click);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_FALSE(view_.quit);
  Run(&TForm1::SpeedButton23Click);
  EXPECT_TRUE(view_.quit);
  view_.quit = false;
  Run(&TForm1::Koniecpracyzprogramem1Click);
  EXPECT_TRUE(view_.quit);
}

TEST(CommandTableTest, ToolbarButtonsStandInOneRowLeftToRight) {
  const auto& buttons = ToolbarButtons();
  ASSERT_EQ(buttons.size(), 27U);
  for (std::size_t i = 1; i < buttons.size(); ++i) {
    EXPECT_LT(buttons[i - 1].left, buttons[i].left) << buttons[i].name;
  }
  std::set<std::string> focusable;
  for (const auto& b : buttons) {
    if (b.takes_focus) focusable.insert(b.name);
  }
  EXPECT_EQ(focusable, (std::set<std::string>{"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"}));
}

TEST(CommandTableTest, EveryToolbarCommandHasATwinInTheMenus) {
  for (const ToolbarButton& b : ToolbarButtons()) {
    const auto twin = std::find_if(MenuEntries().begin(), MenuEntries().end(),
                                   [&](const MenuEntry& m) { return m.command == b.command; });
    ASSERT_NE(twin, MenuEntries().end()) << b.name;
    EXPECT_EQ(IsAvailable(b.command), IsAvailable(twin->command));
  }
}

TEST(CommandTableTest, MenusKeepTheirOrder) {
  std::vector<std::string> files, help;
  for (const MenuEntry& m : MenuEntries()) {
    if (m.menu == Menu::kFiles) files.push_back(m.caption);
    if (m.menu == Menu::kHelp) help.push_back(m.caption);
  }
  EXPECT_EQ(files, (std::vector<std::string>{"Open", "Copy", "Rename", "New folder",
                                             "__________________", "Quit"}));
  ASSERT_EQ(help.size(), 3U);
  EXPECT_EQ(help[0], "Help");
  EXPECT_EQ(help[1], "About..");
  EXPECT_EQ(help[2].rfind("Visit ", 0), 0U);
}

}  // namespace
}  // namespace talvor

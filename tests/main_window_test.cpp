#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "fakes.h"
#include "main_window/main_window.h"
#include "main_window_fixture.h"
#include "protect/overwrite_warning.h"
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

class MainWindowTest : public ::testing::Test, protected testing::MainWindowFixture {
 protected:
  using testing::MainWindowFixture::Run;

  MainWindowTest() {
    WriteFile(dir_ / "report.txt", "report");
    WriteFile(dir_ / "REPORT.TRP", "4.txt....");
    WriteFile(dir_ / "notes", "notes");
    ::mkdir((dir_ / "sub").c_str(), 0755);
    Start();
  }

  void Select(const std::string& name) { view_.selected = name; }
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

TEST_F(MainWindowTest, ADroppedFileShowsItsFolderAndIsSelected) {
  WriteFile(dir_ / "sub/inner.txt", "inner");
  form1_.FileDropped(dir_ / "sub/inner.txt");
  EXPECT_EQ(fs_.CurrentDirectory(), dir_ / "sub");
  EXPECT_EQ(view_.files, std::vector<std::string>{"inner.txt"});
  EXPECT_EQ(view_.selected, std::optional<std::string>("inner.txt"));
  // A folder is shown with nothing selected; a name that is gone changes
  // nothing.
  form1_.FileDropped(dir_.path());
  EXPECT_EQ(fs_.CurrentDirectory(), dir_.path());
  EXPECT_FALSE(view_.selected.has_value());
  form1_.FileDropped(dir_ / "gone.txt");
  EXPECT_EQ(fs_.CurrentDirectory(), dir_.path());
  EXPECT_TRUE(dialogs_.errors.empty());
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
  testing::FakeShell shell;
  TForm1 form(dialogs, fs, system, random, clock, shell);
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
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File not found: " + (dir_ / "missing") + "."});
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
    const std::uint8_t code = form1_.hand_over().OperationCode;
    view_.selected.reset();
    Run(handler);
    if (NeedsSelection(command)) {
      ++checked;
      EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"No files selected!"}) << name;
    } else {
      EXPECT_TRUE(dialogs_.messages.empty()) << name;
    }
    EXPECT_EQ(password_view_.showings, 0) << name;
    EXPECT_FALSE(view_.quit) << name;
    if (NeedsSelection(command)) {
      EXPECT_EQ(view_.file_list_rebuilds, rebuilds) << name;
      EXPECT_EQ(form1_.hand_over().OperationCode, code) << name;
      EXPECT_TRUE(dialogs_.questions.empty()) << name;
      EXPECT_TRUE(shell_.properties.empty()) << name;
    }
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
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File not found: " + (dir_ / "vanished.txt") + "."});
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
  // A second name elsewhere: the question says what overwriting cannot do.
  const TempDir elsewhere;
  ASSERT_EQ(::link((dir_ / "report.txt").c_str(), (elsewhere / "report.txt").c_str()), 0);
  const std::string warning = OverwriteWarning(PosixFileSystem().Storage(dir_ / "report.txt"));
  EXPECT_THAT(warning, ::testing::HasSubstr("1 other name (a hard link)"));
  Select("report.txt");
  dialogs_.answers.push_back(c.answer);
  const int rebuilds = view_.file_list_rebuilds;
  Run(c.handler);
  EXPECT_EQ(dialogs_.questions,
            std::vector<std::string>{c.question + (dir_ / "report.txt") + "?\r" + warning});
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
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File access denied: " + (dir_ / "report.txt") + "."});
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

TEST_F(MainWindowTest, OpenAsksTheShellEvenWithoutASelection) {
  Run(&TForm1::otworz);
  Select("report.txt");
  const int rebuilds = view_.file_list_rebuilds;
  Run(&TForm1::Otwarciezbioru1Click);
  EXPECT_EQ(shell_.opened,
            (std::vector<std::string>{"|" + dir_.path(), dir_ / "report.txt" + "|" + dir_.path()}));
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
  EXPECT_TRUE(dialogs_.messages.empty());
}

struct CopyCase {
  const char* name;
  Handler handler;
  const char* title;
  std::size_t size;
};

class CopyCommandTest : public MainWindowTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyCommandTest, CopiesThroughTheSaveDialog) {
  const std::string content = testing::SomeBytes(GetParam().size);
  WriteFile(dir_ / "data.bin", content);
  ::mkdir((dir_ / "sub").c_str(), 0755);
  Select("data.bin");
  dialogs_.save_answer = dir_ / "sub/copy.bin";
  Run(GetParam().handler);
  EXPECT_EQ(dialogs_.save_titles, std::vector<std::string>{GetParam().title + (dir_ / "data.bin")});
  EXPECT_EQ(testing::ReadFile(dir_ / "sub/copy.bin"), content);
  EXPECT_EQ(testing::ReadFile(dir_ / "data.bin"), content);
  EXPECT_EQ(testing::ListNames(dir_ / "sub"), "copy.bin");  // no temporary left
  // The dialog keeps the chosen name for the next Copy or Rename.
  EXPECT_EQ(form1_.SaveDialog1.file_name, dir_ / "sub/copy.bin");
  EXPECT_FALSE(view_.selected.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Routes, CopyCommandTest,
    ::testing::Values(
        CopyCase{"ToolbarEmpty", &TForm1::SpeedButton9Click, "Copy file :  ", 0},
        CopyCase{"MenuOneBlock", &TForm1::Kopiowaniezbioru1Click, "Copy file: ", 10240},
        CopyCase{"ToolbarOneMore", &TForm1::SpeedButton9Click, "Copy file :  ", 10241},
        CopyCase{"MenuLarge", &TForm1::Kopiowaniezbioru1Click, "Copy file: ", 300000}),
    testing::ByName());

TEST_F(MainWindowTest, CopyRefusesTheSourceItselfAndStopsWhenCancelled) {
  Select("report.txt");
  dialogs_.save_answer.reset();
  Run(&TForm1::SpeedButton9Click);
  EXPECT_EQ(testing::ListNames(dir_.path()), "REPORT.TRP notes report.txt sub");
  // The suggested name unchanged is the source itself.
  Select("report.txt");
  dialogs_.save_answer = dir_ / "report.txt";
  Run(&TForm1::SpeedButton9Click);
  ASSERT_EQ(dialogs_.messages.size(), 1U);
  EXPECT_EQ(testing::ReadFile(dir_ / "report.txt"), "report");
  // A read-only source cannot be opened for reading and writing.
  ::chmod((dir_ / "report.txt").c_str(), 0444);
  Select("report.txt");
  dialogs_.save_answer = dir_ / "copy.txt";
  Run(&TForm1::SpeedButton9Click);
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File access denied: " + (dir_ / "report.txt") + "."});
  EXPECT_FALSE(testing::Exists(dir_ / "copy.txt"));
}

TEST_F(MainWindowTest, RenameOffersTheLastNameAndKeepsAReplacedFileInTheTrash) {
  const testing::ScopedEnvironment data_home("XDG_DATA_HOME", (dir_ / "data").c_str());
  testing::WriteFile(dir_ / "copy.txt", "an older copy");
  Select("report.txt");
  dialogs_.save_answer = dir_ / "copy.txt";
  Run(&TForm1::Kopiowaniezbioru1Click);
  EXPECT_EQ(testing::ReadFile(dir_ / "data/Trash/files/copy.txt"), "an older copy");
  // Rename right after Copy offers the copy's name; the copy goes to the
  // trash in its turn.
  Select("notes");
  dialogs_.save_answer = form1_.SaveDialog1.file_name;
  Run(&TForm1::SpeedButton10Click);
  EXPECT_EQ(dialogs_.save_titles.back(), "Rename file : " + (dir_ / "notes"));
  EXPECT_TRUE(dialogs_.errors.empty());
  EXPECT_EQ(testing::ReadFile(dir_ / "copy.txt"), "notes");
  EXPECT_EQ(testing::ReadFile(dir_ / "data/Trash/files/copy.2.txt"), "report");
  Select("report.txt");
  dialogs_.save_answer = dir_ / "sub/renamed.txt";
  Run(&TForm1::Zmiananazwyzbioru1Click);
  EXPECT_EQ(dialogs_.save_titles.back(), "Rename file: " + (dir_ / "report.txt"));
  EXPECT_EQ(testing::ReadFile(dir_ / "sub/renamed.txt"), "report");
  EXPECT_FALSE(testing::Exists(dir_ / "report.txt"));
}

TEST_F(MainWindowTest, NewFolderThroughTheNamePrompt) {
  Run(&TForm1::SpeedButton11Click);
  EXPECT_EQ(form1_.hand_over().OperationCode, 4);
  EXPECT_EQ(prompt_view_.caption, "ZEM Talvor - create new folder.");
  EXPECT_EQ(prompt_view_.prompt, "New folder name: ");
  RunGuarded(dialogs_, [&] { form3_.SpeedButton1Click(); });  // empty name
  EXPECT_TRUE(prompt_view_.open);
  prompt_view_.edit = "sub";  // exists
  RunGuarded(dialogs_, [&] { form3_.SpeedButton1Click(); });
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"I/O error 183: sub."});
  EXPECT_TRUE(prompt_view_.open);
  prompt_view_.edit = "fresh";
  RunGuarded(dialogs_, [&] { form3_.SpeedButton1Click(); });
  EXPECT_TRUE(testing::Exists(dir_ / "fresh"));
  EXPECT_FALSE(prompt_view_.open);
  // Another code leaves the prompt's texts as they are.
  prompt_view_.caption = "unchanged";
  form1_.hand_over().OperationCode = 1;
  form3_.ws3();
  EXPECT_EQ(prompt_view_.caption, "unchanged");
}

struct EraseCase {
  const char* name;
  Handler handler;
  const char* question;
};

class EraseCommandTest : public MainWindowTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseCommandTest, AsksThenDeletes) {
  Select("report.txt");
  dialogs_.answers = {Answer::kNo};
  Run(GetParam().handler);
  EXPECT_TRUE(testing::Exists(dir_ / "report.txt"));
  Select("report.txt");
  dialogs_.answers = {Answer::kYes};
  Run(GetParam().handler);
  EXPECT_EQ(dialogs_.questions[0], GetParam().question + (dir_ / "report.txt") + "?");
  EXPECT_FALSE(testing::Exists(dir_ / "report.txt"));
  EXPECT_FALSE(view_.selected.has_value());
  // A file that is gone meanwhile: the failure is shown, not swallowed.
  Select("vanished.txt");
  dialogs_.answers = {Answer::kYes};
  Run(GetParam().handler);
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File not found: " + (dir_ / "vanished.txt") + "."});
}

INSTANTIATE_TEST_SUITE_P(
    Routes, EraseCommandTest,
    ::testing::Values(EraseCase{"Toolbar", &TForm1::SpeedButton8Click,
                                "Do you really want to erase the selected file \r"},
                      EraseCase{"Menu", &TForm1::Usuniciezbioru1Click,
                                "Do you really want to erase the selected file\r"}),
    testing::ByName());

TEST_F(MainWindowTest, TrashAsksAndReportsAFailureAsErrorMarks) {
  const testing::ScopedEnvironment data_home("XDG_DATA_HOME", (dir_ / "data").c_str());
  Select("report.txt");
  dialogs_.answers = {Answer::kNo};
  Run(&TForm1::SpeedButton12Click);
  EXPECT_TRUE(testing::Exists(dir_ / "report.txt"));
  Select("report.txt");
  dialogs_.answers = {Answer::kYes};
  Run(&TForm1::Przeniesieniezbiorudokosza1Click);
  EXPECT_EQ(dialogs_.questions.back(),
            "Do you really want to delete the selected file \r" + (dir_ / "report.txt") + "?");
  EXPECT_EQ(testing::ReadFile(dir_ / "data/Trash/files/report.txt"), "report");
  // A trash that cannot be made: the file stays, the error says why.
  testing::WriteFile(dir_ / "notes", "notes");
  const testing::ScopedEnvironment no_trash("XDG_DATA_HOME", (dir_ / "notes/data").c_str());
  Select("notes");
  const int rebuilds = view_.file_list_rebuilds;
  dialogs_.answers = {Answer::kYes};
  Run(&TForm1::SpeedButton12Click);
  ASSERT_EQ(dialogs_.errors.size(), 1U);
  EXPECT_EQ(dialogs_.errors[0].rfind("Error!!!\n", 0), 0U) << dialogs_.errors[0];
  EXPECT_EQ(testing::ReadFile(dir_ / "notes"), "notes");
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
}

TEST_F(MainWindowTest, PropertiesAboutAndTheWebEntry) {
  Select("report.txt");
  const int rebuilds = view_.file_list_rebuilds;
  Run(&TForm1::BitBtn4Click);
  EXPECT_EQ(shell_.properties, std::vector<std::string>{dir_ / "report.txt"});
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
  Run(&TForm1::Oprogramie1Click);
  EXPECT_EQ(form1_.hand_over().OperationCode, 10);
  EXPECT_EQ(about_view_.caption, "ZEM TALVOR");
  EXPECT_FALSE(about_view_.line1.empty());
  form5_.SpeedButton1Click();
  EXPECT_FALSE(about_view_.open);
  Run(&TForm1::Stronawww1Click);
  EXPECT_EQ(shell_.addresses, std::vector<std::string>{"https://talvor.example.org/"});
}

TEST_F(MainWindowTest, HelpTopicsAndClose) {
  EXPECT_EQ(help_view_.title, "Help");
  ASSERT_EQ(help_view_.paragraphs.size(), 1U);
  Run(&TForm1::SpeedButton24Click);
  EXPECT_TRUE(help_view_.open);
  const std::pair<const char*, std::size_t> topics[] = {{"Encrypt/Decrypt", 7},
                                                        {"Compression/Decompression", 4},
                                                        {"Random Protection of File.", 3},
                                                        {"Safety", 11},
                                                        {"TRAP", 5},
                                                        {"ORM", 4},
                                                        {"BLOWFISH", 3},
                                                        {"RIJNDAEL", 5}};
  for (int t = 1; t <= 8; ++t) {
    form6_.ShowTopic(t);
    EXPECT_EQ(help_view_.title, topics[t - 1].first);
    EXPECT_EQ(help_view_.paragraphs.size(), topics[t - 1].second) << t;
  }
  form6_.wys4();
  form6_.BitBtn1Click();
  EXPECT_FALSE(help_view_.open);
  Run(&TForm1::Funkcje1Click);
  EXPECT_TRUE(help_view_.paragraphs.empty());  // the introduction comes only once
  EXPECT_EQ(help_view_.title, "Safety");
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

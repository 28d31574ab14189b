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
  EXPECT_EQ(RequestedCode(), 0);
}

TEST_F(MainWindowTest, ADroppedFileShowsItsFolderAndIsSelected) {
  WriteFile(dir_ / "sub/inner.txt", "inner");
  form1_.OnFileDropped(dir_ / "sub/inner.txt");
  EXPECT_EQ(form1_.shown_folder(), dir_ / "sub");
  EXPECT_EQ(view_.files, std::vector<std::string>{"inner.txt"});
  EXPECT_EQ(view_.selected, std::optional<std::string>("inner.txt"));
  // A folder is shown with nothing selected; a name that is gone changes
  // nothing.
  form1_.OnFileDropped(dir_.path());
  EXPECT_EQ(form1_.shown_folder(), dir_.path());
  EXPECT_FALSE(view_.selected.has_value());
  form1_.OnFileDropped(dir_ / "gone.txt");
  EXPECT_EQ(form1_.shown_folder(), dir_.path());
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST(MainWindowStartUpTest, UnobtainableValuesPrintAsMinusOne) {
  TempDir dir;
  FakeDialogs dialogs;
  PosixFileSystem fs;
  FakeSystemInfo system;
  system.size = -1;
  system.free = -1;
  system.name = std::string(80, 'N');
  RandomGenerator random;
  testing::FakeClock clock;
  testing::FakeShell shell;
  InlineWorker worker;
  MainWindow form(dialogs, fs, system, random, clock, shell, worker);
  FakeMainWindowView view;
  form.AttachView(view);
  form.Create(dir.path());
  EXPECT_EQ(view.label3, "Disk size: -1  free : -1");
  EXPECT_EQ(view.label4, "Computer name: " + std::string(64, 'N'));
}

TEST_F(MainWindowTest, StatusLinesAreComputedOnceForTheStartFolder) {
  const std::string label3 = view_.label3;
  form1_.OnFolderChosen(dir_ / "sub");
  form1_.OnFolderChosen("/");
  EXPECT_EQ(view_.label3, label3);
  EXPECT_EQ(system_.size_paths, std::vector<std::string>{dir_.path()});
}

TEST_F(MainWindowTest, ChangingFolderChangesTheShownFolder) {
  form1_.OnFolderChosen(dir_ / "sub");
  EXPECT_EQ(form1_.shown_folder(), dir_ / "sub");
  EXPECT_EQ(form1_.shown_folder(), dir_ / "sub");
  EXPECT_TRUE(view_.files.empty());
  EXPECT_EQ(view_.folders.back().label, "sub");
  EXPECT_TRUE(view_.folders.back().shown);
}

TEST_F(MainWindowTest, FolderThatCannotBeEnteredKeepsThePanelWhereItWas) {
  view_.volume_root = "changed by the user";
  RunGuarded(dialogs_, [&] { form1_.OnDriveChosen(dir_ / "missing"); });
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File not found: " + (dir_ / "missing") + "."});
  EXPECT_EQ(view_.volume_root, "/");
  EXPECT_EQ(form1_.shown_folder(), dir_.path());
  EXPECT_EQ(form1_.shown_folder(), dir_.path());
}

TEST_F(MainWindowTest, PanelSelectionIsFolderSeparatorName) {
  EXPECT_EQ(form1_.PanelSelection(), "");
  Select("report.txt");
  EXPECT_EQ(form1_.PanelSelection(), dir_ / "report.txt");
  form1_.OnFolderChosen("/");
  view_.selected = "etc";
  EXPECT_EQ(form1_.PanelSelection(), "/etc");
}

// Every toolbar button and menu entry, with its row.
std::vector<std::pair<std::string, std::pair<const WindowCommandRow*, Route>>> AllClicks() {
  std::vector<std::pair<std::string, std::pair<const WindowCommandRow*, Route>>> all;
  for (const WindowCommandRow* row : ToolbarRows()) {
    all.push_back({std::string("toolbar ") + row->id, {row, Route::kToolbar}});
  }
  for (const WindowCommandRow& row : WindowCommands()) {
    all.push_back({std::string("menu ") + row.id, {&row, Route::kMenu}});
  }
  return all;
}

TEST_F(MainWindowTest, CommandsNeedingASelectionRefuseAnEmptyOne) {
  int checked = 0;
  for (const auto& [name, entry] : AllClicks()) {
    const auto [row, route] = entry;
    if (row->command == WindowCommand::kQuit) continue;
    dialogs_.messages.clear();
    const int rebuilds = view_.file_list_rebuilds;
    const int code = RequestedCode();
    view_.selected.reset();
    Run({row->command, route});
    if (row->needs_selection) {
      ++checked;
      EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"No files selected!"}) << name;
    } else {
      EXPECT_TRUE(dialogs_.messages.empty()) << name;
    }
    EXPECT_EQ(password_view_.showings, 0) << name;
    EXPECT_FALSE(view_.quit) << name;
    if (row->needs_selection) {
      EXPECT_EQ(view_.file_list_rebuilds, rebuilds) << name;
      EXPECT_EQ(RequestedCode(), code) << name;
      EXPECT_TRUE(dialogs_.questions.empty()) << name;
      EXPECT_TRUE(shell_.properties.empty()) << name;
    }
  }
  EXPECT_EQ(checked, 2 * 24);  // 24 commands with a selection check, two routes each
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(MainWindowTest, EmptyFolderCountsAsNoSelection) {
  form1_.OnFolderChosen(dir_ / "sub");
  Run({WindowCommand::kEncryptTrap, Route::kToolbar});
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"No files selected!"});
}

struct CipherRequestCase {
  const char* name;
  CommandClick handler;
  std::uint8_t code;
  const char* file;
  const char* refusal;  // nullptr: the password window opens
};

class CipherRequestTest : public MainWindowTest,
                          public ::testing::WithParamInterface<CipherRequestCase> {};

TEST_P(CipherRequestTest, ChecksExtensionThenAsksThePasswordWindow) {
  const CipherRequestCase& c = GetParam();
  WriteFile(dir_ / c.file, "x");
  form1_.RefreshFileList();
  Select(c.file);
  Run(c.handler);
  if (c.refusal != nullptr) {
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{c.refusal});
    EXPECT_EQ(password_view_.showings, 0);
    EXPECT_EQ(RequestedCode(), 0);
    return;
  }
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(password_view_.showings, 1);
  EXPECT_EQ(RequestedCode(), c.code);
  EXPECT_EQ(form2_.request().file, dir_ / c.file);
  EXPECT_EQ(form2_.result().status, CipherResult::Status::kCancelled);  // the user did nothing
}

INSTANTIATE_TEST_SUITE_P(
    Table, CipherRequestTest,
    ::testing::Values(
        CipherRequestCase{
            "TrapToolbar", {WindowCommand::kEncryptTrap, Route::kToolbar}, 1, "notes", nullptr},
        CipherRequestCase{
            "TrapMenu", {WindowCommand::kEncryptTrap, Route::kMenu}, 1, "report.txt", nullptr},
        CipherRequestCase{
            "OrmEncryptNoExt", {WindowCommand::kEncryptOrm, Route::kToolbar}, 3, "notes", nullptr},
        CipherRequestCase{
            "BlfEncrypt", {WindowCommand::kEncryptBlowfish, Route::kToolbar}, 5, "notes", nullptr},
        CipherRequestCase{
            "RnlEncrypt", {WindowCommand::kEncryptRijndael, Route::kMenu}, 7, "notes", nullptr},
        CipherRequestCase{
            "RandomEncrypt", {WindowCommand::kEncryptRandom, Route::kMenu}, 9, "notes", nullptr},
        CipherRequestCase{
            "TrapDecrypt", {WindowCommand::kDecryptTrap, Route::kToolbar}, 2, "x.trp", nullptr},
        CipherRequestCase{
            "TrapDecryptMenu", {WindowCommand::kDecryptTrap, Route::kMenu}, 2, "x.trp", nullptr},
        CipherRequestCase{"TrapDecryptUpperCase",
                          {WindowCommand::kDecryptTrap, Route::kToolbar},
                          0,
                          "REPORT.TRP",
                          "File extension must be *.trp"},
        CipherRequestCase{"TrapDecryptNoExt",
                          {WindowCommand::kDecryptTrap, Route::kMenu},
                          0,
                          "notes",
                          "File extension must be *.trp"},
        CipherRequestCase{
            "OrmDecrypt", {WindowCommand::kDecryptOrm, Route::kToolbar}, 4, "x.orm", nullptr},
        CipherRequestCase{"OrmDecryptWrong",
                          {WindowCommand::kDecryptOrm, Route::kMenu},
                          0,
                          "x.trp",
                          "File extension must be *.orm"},
        CipherRequestCase{"BlfDecryptNoExt",
                          {WindowCommand::kDecryptBlowfish, Route::kToolbar},
                          0,
                          "notes",
                          "File extension must be *.blf"},
        CipherRequestCase{
            "BlfDecrypt", {WindowCommand::kDecryptBlowfish, Route::kMenu}, 6, "x.blf", nullptr},
        CipherRequestCase{"RnlDecryptUpper",
                          {WindowCommand::kDecryptRijndael, Route::kToolbar},
                          0,
                          "x.RNL",
                          "File extension must be *.rnl"},
        CipherRequestCase{
            "RnlDecrypt", {WindowCommand::kDecryptRijndael, Route::kMenu}, 8, "x.rnl", nullptr},
        CipherRequestCase{"ErhDecryptNoExt",
                          {WindowCommand::kDecryptRandom, Route::kMenu},
                          0,
                          "notes",
                          "File extension must be *.erh"},
        CipherRequestCase{
            "ErhDecrypt", {WindowCommand::kDecryptRandom, Route::kToolbar}, 10, "x.erh", nullptr},
        CipherRequestCase{"DotInFolderOnly",
                          {WindowCommand::kDecryptTrap, Route::kToolbar},
                          0,
                          "trp",
                          "File extension must be *.trp"}),
    testing::ByName());

TEST_F(MainWindowTest, CancelLeavesTheListAndSelectionAsTheyWere) {
  Select("report.txt");
  const int rebuilds = view_.file_list_rebuilds;
  password_view_.user = [](FakePasswordView& v) { v.ClickCancel(); };
  Run({WindowCommand::kEncryptTrap, Route::kToolbar});
  EXPECT_EQ(form2_.result().status, CipherResult::Status::kCancelled);
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
  EXPECT_EQ(view_.selected, std::optional<std::string>("report.txt"));
}

TEST_F(MainWindowTest, FinishedOperationReReadsTheListWithNothingSelected) {
  Select("report.txt");
  password_view_.user = [this](FakePasswordView& v) {
    v.TypeBoth("my secret phrase");
    v.ClickAction(dialogs_);
  };
  Run({WindowCommand::kEncryptTrap, Route::kToolbar});
  EXPECT_EQ(form2_.result().status, CipherResult::Status::kWritten);
  EXPECT_EQ(view_.files,
            (std::vector<std::string>{"REPORT.TRP", "notes", "report.trp", "report.txt"}));
  EXPECT_FALSE(view_.selected.has_value());
  // And back: decrypting report.trp restores report.txt.
  ::unlink((dir_ / "report.txt").c_str());
  form1_.RefreshFileList();
  Select("report.trp");
  Run({WindowCommand::kDecryptTrap, Route::kMenu});
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
  Run({WindowCommand::kEncryptTrap, Route::kToolbar});
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File not found: " + (dir_ / "vanished.txt") + "."});
  EXPECT_EQ(form2_.result().status, CipherResult::Status::kCancelled);
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
}

struct DestroyCase {
  const char* name;
  CommandClick handler;
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
    ::testing::Values(DestroyCase{"ToolbarYes",
                                  {WindowCommand::kDestroy, Route::kToolbar},
                                  "Do you really want to destroy the selected file \r",
                                  Answer::kYes},
                      DestroyCase{"MenuYes",
                                  {WindowCommand::kDestroy, Route::kMenu},
                                  "Do you really want to destroy the selected file\r",
                                  Answer::kYes},
                      DestroyCase{"ToolbarNo",
                                  {WindowCommand::kDestroy, Route::kToolbar},
                                  "Do you really want to destroy the selected file \r",
                                  Answer::kNo},
                      DestroyCase{"MenuNo",
                                  {WindowCommand::kDestroy, Route::kMenu},
                                  "Do you really want to destroy the selected file\r",
                                  Answer::kNo}),
    testing::ByName());

TEST_F(MainWindowTest, DestroyFailureIsShownAndTheCursorComesBack) {
  ::chmod((dir_ / "report.txt").c_str(), 0444);
  Select("report.txt");
  dialogs_.answers.push_back(Answer::kYes);
  Run({WindowCommand::kDestroy, Route::kToolbar});
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File access denied: " + (dir_ / "report.txt") + "."});
  EXPECT_EQ(testing::ReadFile(dir_ / "report.txt"), "report");
  EXPECT_EQ(view_.cursor_log.back(), false);
}

TEST_F(MainWindowTest, DividerDoesNothingAndQuitEndsTheLoop) {
  Run({WindowCommand::kSeparator, Route::kMenu});
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_FALSE(view_.quit);
  Run({WindowCommand::kQuit, Route::kToolbar});
  EXPECT_TRUE(view_.quit);
  view_.quit = false;
  Run({WindowCommand::kQuit, Route::kMenu});
  EXPECT_TRUE(view_.quit);
}

TEST_F(MainWindowTest, OpenAsksTheShellEvenWithoutASelection) {
  Run(&MainWindow::OnFileActivated);
  Select("report.txt");
  const int rebuilds = view_.file_list_rebuilds;
  Run({WindowCommand::kOpen, Route::kMenu});
  EXPECT_EQ(shell_.opened,
            (std::vector<std::string>{"|" + dir_.path(), dir_ / "report.txt" + "|" + dir_.path()}));
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
  EXPECT_TRUE(dialogs_.messages.empty());
}

struct CopyCase {
  const char* name;
  CommandClick handler;
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
  EXPECT_EQ(form1_.save_dialog.file_name, dir_ / "sub/copy.bin");
  EXPECT_FALSE(view_.selected.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Routes, CopyCommandTest,
    ::testing::Values(
        CopyCase{"ToolbarEmpty", {WindowCommand::kCopy, Route::kToolbar}, "Copy file :  ", 0},
        CopyCase{"MenuOneBlock", {WindowCommand::kCopy, Route::kMenu}, "Copy file: ", 10240},
        CopyCase{"ToolbarOneMore", {WindowCommand::kCopy, Route::kToolbar}, "Copy file :  ", 10241},
        CopyCase{"MenuLarge", {WindowCommand::kCopy, Route::kMenu}, "Copy file: ", 300000}),
    testing::ByName());

TEST_F(MainWindowTest, CopyRefusesTheSourceItselfAndStopsWhenCancelled) {
  Select("report.txt");
  dialogs_.save_answer.reset();
  Run({WindowCommand::kCopy, Route::kToolbar});
  EXPECT_EQ(testing::ListNames(dir_.path()), "REPORT.TRP notes report.txt sub");
  // The suggested name unchanged is the source itself.
  Select("report.txt");
  dialogs_.save_answer = dir_ / "report.txt";
  Run({WindowCommand::kCopy, Route::kToolbar});
  ASSERT_EQ(dialogs_.messages.size(), 1U);
  EXPECT_EQ(testing::ReadFile(dir_ / "report.txt"), "report");
  // A read-only source cannot be opened for reading and writing.
  ::chmod((dir_ / "report.txt").c_str(), 0444);
  Select("report.txt");
  dialogs_.save_answer = dir_ / "copy.txt";
  Run({WindowCommand::kCopy, Route::kToolbar});
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File access denied: " + (dir_ / "report.txt") + "."});
  EXPECT_FALSE(testing::Exists(dir_ / "copy.txt"));
}

TEST_F(MainWindowTest, RenameOffersTheLastNameAndKeepsAReplacedFileInTheTrash) {
  const testing::ScopedEnvironment data_home("XDG_DATA_HOME", (dir_ / "data").c_str());
  testing::WriteFile(dir_ / "copy.txt", "an older copy");
  Select("report.txt");
  dialogs_.save_answer = dir_ / "copy.txt";
  Run({WindowCommand::kCopy, Route::kMenu});
  EXPECT_EQ(testing::ReadFile(dir_ / "data/Trash/files/copy.txt"), "an older copy");
  // Rename right after Copy offers the copy's name; the copy goes to the
  // trash in its turn.
  Select("notes");
  dialogs_.save_answer = form1_.save_dialog.file_name;
  Run({WindowCommand::kRename, Route::kToolbar});
  EXPECT_EQ(dialogs_.save_titles.back(), "Rename file : " + (dir_ / "notes"));
  EXPECT_TRUE(dialogs_.errors.empty());
  EXPECT_EQ(testing::ReadFile(dir_ / "copy.txt"), "notes");
  EXPECT_EQ(testing::ReadFile(dir_ / "data/Trash/files/copy.2.txt"), "report");
  Select("report.txt");
  dialogs_.save_answer = dir_ / "sub/renamed.txt";
  Run({WindowCommand::kRename, Route::kMenu});
  EXPECT_EQ(dialogs_.save_titles.back(), "Rename file: " + (dir_ / "report.txt"));
  EXPECT_EQ(testing::ReadFile(dir_ / "sub/renamed.txt"), "report");
  EXPECT_FALSE(testing::Exists(dir_ / "report.txt"));
}

TEST_F(MainWindowTest, NewFolderThroughTheNamePrompt) {
  Run({WindowCommand::kNewFolder, Route::kToolbar});
  EXPECT_EQ(prompt_view_.caption, "ZEM Talvor - create new folder.");
  EXPECT_EQ(prompt_view_.prompt, "New folder name: ");
  RunGuarded(dialogs_, [&] { form3_.OnOkClicked(); });  // empty name
  EXPECT_TRUE(prompt_view_.open);
  prompt_view_.edit = "sub";  // exists
  RunGuarded(dialogs_, [&] { form3_.OnOkClicked(); });
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"I/O error 183: sub."});
  EXPECT_TRUE(prompt_view_.open);
  prompt_view_.edit = "fresh";
  RunGuarded(dialogs_, [&] { form3_.OnOkClicked(); });
  EXPECT_TRUE(testing::Exists(dir_ / "fresh"));
  EXPECT_FALSE(prompt_view_.open);
  EXPECT_EQ(form3_.result().created, dir_ / "fresh");
  // Made in the folder shown when OK is clicked.
  Run({WindowCommand::kNewFolder, Route::kMenu});
  form1_.OnFolderChosen(dir_ / "sub");
  RunGuarded(dialogs_, [&] { form3_.OnOkClicked(); });
  EXPECT_TRUE(testing::Exists(dir_ / "sub/fresh"));
}

struct EraseCase {
  const char* name;
  CommandClick handler;
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
    ::testing::Values(EraseCase{"Toolbar",
                                {WindowCommand::kErase, Route::kToolbar},
                                "Do you really want to erase the selected file \r"},
                      EraseCase{"Menu",
                                {WindowCommand::kErase, Route::kMenu},
                                "Do you really want to erase the selected file\r"}),
    testing::ByName());

TEST_F(MainWindowTest, TrashAsksAndReportsAFailureAsErrorMarks) {
  const testing::ScopedEnvironment data_home("XDG_DATA_HOME", (dir_ / "data").c_str());
  Select("report.txt");
  dialogs_.answers = {Answer::kNo};
  Run({WindowCommand::kTrash, Route::kToolbar});
  EXPECT_TRUE(testing::Exists(dir_ / "report.txt"));
  Select("report.txt");
  dialogs_.answers = {Answer::kYes};
  Run({WindowCommand::kTrash, Route::kMenu});
  EXPECT_EQ(dialogs_.questions.back(),
            "Do you really want to delete the selected file \r" + (dir_ / "report.txt") + "?");
  EXPECT_EQ(testing::ReadFile(dir_ / "data/Trash/files/report.txt"), "report");
  // A trash that cannot be made: the file stays, the error says why.
  testing::WriteFile(dir_ / "notes", "notes");
  const testing::ScopedEnvironment no_trash("XDG_DATA_HOME", (dir_ / "notes/data").c_str());
  Select("notes");
  const int rebuilds = view_.file_list_rebuilds;
  dialogs_.answers = {Answer::kYes};
  Run({WindowCommand::kTrash, Route::kToolbar});
  ASSERT_EQ(dialogs_.errors.size(), 1U);
  EXPECT_EQ(dialogs_.errors[0].rfind("Error!!!\n", 0), 0U) << dialogs_.errors[0];
  EXPECT_EQ(testing::ReadFile(dir_ / "notes"), "notes");
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
}

TEST_F(MainWindowTest, PropertiesAboutAndTheWebEntry) {
  Select("report.txt");
  const int rebuilds = view_.file_list_rebuilds;
  Run({WindowCommand::kProperties, Route::kToolbar});
  EXPECT_EQ(shell_.properties, std::vector<std::string>{dir_ / "report.txt"});
  EXPECT_EQ(view_.file_list_rebuilds, rebuilds);
  Run({WindowCommand::kAbout, Route::kMenu});
  EXPECT_EQ(about_view_.caption, "ZEM TALVOR");
  EXPECT_FALSE(about_view_.line1.empty());
  form5_.OnCloseClicked();
  EXPECT_FALSE(about_view_.open);
  Run({WindowCommand::kVisitWebSite, Route::kMenu});
  EXPECT_EQ(shell_.addresses, std::vector<std::string>{"https://talvor.example.org/"});
}

TEST_F(MainWindowTest, HelpTopicsAndClose) {
  EXPECT_EQ(help_view_.title, "Help");
  ASSERT_EQ(help_view_.paragraphs.size(), 1U);
  Run({WindowCommand::kHelp, Route::kToolbar});
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
  form6_.ShowTopic(4);
  form6_.OnCloseClicked();
  EXPECT_FALSE(help_view_.open);
  Run({WindowCommand::kHelp, Route::kMenu});
  EXPECT_TRUE(help_view_.paragraphs.empty());  // the introduction comes only once
  EXPECT_EQ(help_view_.title, "Safety");
}

TEST(CommandTableTest, ToolbarButtonsStandInOneRowLeftToRight) {
  const std::vector<const WindowCommandRow*> buttons = ToolbarRows();
  ASSERT_EQ(buttons.size(), 27U);
  for (std::size_t i = 1; i < buttons.size(); ++i) {
    EXPECT_LT(buttons[i - 1]->toolbar.left, buttons[i]->toolbar.left) << buttons[i]->id;
  }
  std::set<std::string> focusable;
  for (const WindowCommandRow* b : buttons) {
    if (b->toolbar.takes_focus) focusable.insert(b->id);
  }
  EXPECT_EQ(focusable, (std::set<std::string>{"decrypt-orm", "encrypt-blowfish", "decrypt-blowfish",
                                              "properties"}));
}

TEST(CommandTableTest, EveryToolbarCommandHasAMenuEntry) {
  for (const WindowCommandRow* b : ToolbarRows()) EXPECT_NE(*b->menu_caption, '\0') << b->id;
}

TEST(CommandTableTest, MenusKeepTheirOrder) {
  std::vector<std::string> files, help;
  for (const WindowCommandRow& m : WindowCommands()) {
    if (m.menu == Menu::kFiles) files.push_back(m.menu_caption);
    if (m.menu == Menu::kHelp) help.push_back(m.menu_caption);
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

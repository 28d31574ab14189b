#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "archive/archive_kinds.h"
#include "fakes.h"
#include "main_window/main_window.h"
#include "main_window_fixture.h"
#include "program_runner.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::CurrentDirGuard;
using testing::FakeDialogs;
using testing::FakeMainWindowView;
using testing::FakePasswordView;
using testing::FakeSystemInfo;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct FormatCase {
  const char* name;
  ArchiveKind kind;
  const char* extension;
  CommandClick create_toolbar;
  CommandClick create_menu;
  CommandClick extract_toolbar;
  CommandClick extract_menu;
};

class ArchiveCommandTest : public ::testing::TestWithParam<FormatCase>,
                           protected testing::MainWindowFixture {
 protected:
  using testing::MainWindowFixture::Run;

  ArchiveCommandTest() {
    WriteFile(dir_ / "report.txt", "the report, " + std::string(3000, 'r'));
    Start();
  }
  void Select(const std::string& name) {
    form1_.RefreshFileList();
    view_.selected = name;
  }
  // The names of an archive's entries, read by the engine.
  std::string Contents(const std::string& archive) {
    std::unique_ptr<ArchiveReader> reader = MakeReader(GetParam().kind, fs_);
    reader->SetArchiveFile(archive);
    std::string names;
    reader->List([&](const ArchiveEntry& e) { names += (names.empty() ? "" : " ") + e.name; });
    return names;
  }
  std::string Archive(const std::string& base) const {
    return dir_ / (base + GetParam().extension);
  }
};

TEST_P(ArchiveCommandTest, CreateBesideTheSourceFromBothRoutes) {
  for (const CommandClick handler : {GetParam().create_toolbar, GetParam().create_menu}) {
    ::unlink(Archive("report").c_str());
    Select("report.txt");
    Run(handler);
    EXPECT_EQ(Contents(Archive("report")), "report.txt");
    EXPECT_FALSE(view_.selected.has_value());  // the list was read again
    EXPECT_NE(std::find(view_.files.begin(), view_.files.end(),
                        "report" + std::string(GetParam().extension)),
              view_.files.end());
    EXPECT_EQ(view_.enabled_log, (std::vector<bool>{false, true}));
    view_.enabled_log.clear();
  }
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_P(ArchiveCommandTest, OverwriteQuestion) {
  WriteFile(dir_ / "other.txt", "other");
  Select("other.txt");
  Run(GetParam().create_toolbar);
  ::rename((dir_ / ("other" + std::string(GetParam().extension))).c_str(),
           Archive("report").c_str());
  const std::string old = ReadFile(Archive("report"));
  Select("report.txt");
  dialogs_.answers = {Answer::kNo};
  Run(GetParam().create_menu);
  EXPECT_EQ(dialogs_.questions, std::vector<std::string>{"File : " + Archive("report") +
                                                         " already exists. Do you want to "
                                                         "overwrite this file?"});
  EXPECT_EQ(ReadFile(Archive("report")), old);
  dialogs_.answers = {Answer::kYes};
  Select("report.txt");
  Run(GetParam().create_toolbar);
  // Replaced: none of the former entries is carried over.
  EXPECT_EQ(Contents(Archive("report")), "report.txt");
}

TEST_P(ArchiveCommandTest, ExtractChecksTheExtensionWithoutLetterCase) {
  Select("report.txt");
  Run(GetParam().create_toolbar);
  std::string upper = GetParam().extension;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ::mkdir((dir_ / "elsewhere").c_str(), 0755);
  ::rename(Archive("report").c_str(), (dir_ / ("elsewhere/DATA" + upper)).c_str());
  WriteFile(dir_ / "report.txt", "changed meanwhile");
  form1_.OnFolderChosen(dir_ / "elsewhere");
  Select("DATA" + upper);
  Run(GetParam().extract_toolbar);
  // Into the shown folder, which holds the archive.
  EXPECT_EQ(ReadFile(dir_ / "elsewhere/report.txt"), "the report, " + std::string(3000, 'r'));
  EXPECT_EQ(ReadFile(dir_ / "report.txt"), "changed meanwhile");
  // Over an existing file, without a question.
  WriteFile(dir_ / "elsewhere/report.txt", "old");
  Select("DATA" + upper);
  Run(GetParam().extract_menu);
  EXPECT_EQ(ReadFile(dir_ / "elsewhere/report.txt"), "the report, " + std::string(3000, 'r'));
  EXPECT_TRUE(dialogs_.questions.empty());
  // A near miss of the extension is refused.
  WriteFile(dir_ / "elsewhere/data.zi", "x");
  Select("data.zi");
  Run(GetParam().extract_toolbar);
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{std::string("File extension must be *") +
                                                        GetParam().extension});
}

TEST_P(ArchiveCommandTest, ArchiveOfItsOwnKindIsNotPackedOverItself) {
  WriteFile(Archive("x"), "not even an archive");
  Select("x" + std::string(GetParam().extension));
  Run(GetParam().create_toolbar);
  EXPECT_EQ(dialogs_.messages.size(), 1U);
  EXPECT_EQ(ReadFile(Archive("x")), "not even an archive");
}

TEST_P(ArchiveCommandTest, EngineFailuresAreShownInOneMessage) {
  // A file that is no archive is refused as such; a BH archive whose entry
  // uses an unknown method is a failure of the engine.
  std::string bad = "no archive of any kind, just text";
  if (GetParam().kind == ArchiveKind::kBh) {
    bad = std::string("BH\x05\x07\x26\x00\x25\x06\x08\x00\x09", 11) + std::string(22, '\0') +
          std::string("\x01\x00\x00\x00x", 5);
  }
  WriteFile(Archive("bad"), bad);
  Select("bad" + std::string(GetParam().extension));
  Run(GetParam().extract_menu);
  ASSERT_EQ(dialogs_.errors.size(), 1U);
  // What is wrong and the file concerned (the archive, or its entry).
  EXPECT_TRUE(dialogs_.errors[0] ==
                  "The file " + Archive("bad") + " is not a CAB, LHA, ZIP or BH archive." ||
              dialogs_.errors[0].rfind("Unsupported compression method: x", 0) == 0)
      << dialogs_.errors[0];
  EXPECT_EQ(ListNames(dir_.path()), "bad" + std::string(GetParam().extension) + " report.txt");
}

INSTANTIATE_TEST_SUITE_P(Formats, ArchiveCommandTest,
                         ::testing::Values(FormatCase{"Cab",
                                                      ArchiveKind::kCab,
                                                      ".cab",
                                                      {WindowCommand::kCreateCab, Route::kToolbar},
                                                      {WindowCommand::kCreateCab, Route::kMenu},
                                                      {WindowCommand::kExtractCab, Route::kToolbar},
                                                      {WindowCommand::kExtractCab, Route::kMenu}},
                                           FormatCase{"Lha",
                                                      ArchiveKind::kLha,
                                                      ".lha",
                                                      {WindowCommand::kCreateLha, Route::kToolbar},
                                                      {WindowCommand::kCreateLha, Route::kMenu},
                                                      {WindowCommand::kExtractLha, Route::kToolbar},
                                                      {WindowCommand::kExtractLha, Route::kMenu}},
                                           FormatCase{"Zip",
                                                      ArchiveKind::kZip,
                                                      ".zip",
                                                      {WindowCommand::kCreateZip, Route::kToolbar},
                                                      {WindowCommand::kCreateZip, Route::kMenu},
                                                      {WindowCommand::kExtractZip, Route::kToolbar},
                                                      {WindowCommand::kExtractZip, Route::kMenu}},
                                           FormatCase{"Bh",
                                                      ArchiveKind::kBh,
                                                      ".bh",
                                                      {WindowCommand::kCreateBh, Route::kToolbar},
                                                      {WindowCommand::kCreateBh, Route::kMenu},
                                                      {WindowCommand::kExtractBh, Route::kToolbar},
                                                      {WindowCommand::kExtractBh, Route::kMenu}}),
                         testing::ByName());

TEST(ArchiveCommandSetupTest, LhaWriterPacksOnlyTheNamedFile) {
  TempDir dir;
  CurrentDirGuard cwd;
  FakeDialogs dialogs;
  PosixFileSystem fs;
  FakeSystemInfo system;
  RandomGenerator random;
  testing::FakeClock clock;
  testing::FakeShell shell;
  InlineWorker worker;
  MainWindow form(dialogs, fs, system, random, clock, shell, worker);
  FakeMainWindowView view;
  form.AttachView(view);
  WriteFile(dir / "a.txt", "top");
  ::mkdir((dir / "old").c_str(), 0755);
  WriteFile(dir / "old/a.txt", "below");
  std::filesystem::current_path(dir.path());
  form.Create(dir.path());
  view.selected = "a.txt";
  form.RunCommand(WindowCommand::kCreateLha, Route::kToolbar);
  std::unique_ptr<ArchiveReader> reader = MakeReader(ArchiveKind::kLha, fs);
  reader->SetArchiveFile(dir / "a.lha");
  int entries = 0;
  reader->List([&](const ArchiveEntry&) { ++entries; });
  EXPECT_EQ(entries, 1);
}

// Unpacking into a folder that another program changes meanwhile. Each
// entry is made in a folder opened one step at a time without following
// links: a folder swapped for a link to somewhere else leads nowhere else.
// A failed unpacking takes away again the folders it made that are still
// empty, never one that was there before.
class UnpackIntoChangingFolderTest : public ::testing::Test {
 protected:
  UnpackIntoChangingFolderTest() {
    for (const char* folder : {"src", "out", "outside"}) ::mkdir((dir_ / folder).c_str(), 0755);
  }
  // Packs the folder src/<top> into <zip> with the zip tool.
  void Pack(const std::string& top, const std::string& zip) {
    const std::string pack = "cd " + (dir_ / "src") + " && zip -qr " + (dir_ / zip) + " " + top;
    ASSERT_EQ(std::system(pack.c_str()), 0);
  }
  testing::TempDir dir_;
  const testing::ScopedEnvironment data_home_{"XDG_DATA_HOME", (dir_ / "data").c_str()};
};

TEST_F(UnpackIntoChangingFolderTest, NoEntryLandsOutsideWhileAFolderIsSwappedForALink) {
  if (std::system("command -v zip >/dev/null 2>&1") != 0) GTEST_SKIP() << "zip is not installed";
  ::mkdir((dir_ / "src/d").c_str(), 0755);
  for (int i = 0; i < 3000; ++i) WriteFile(dir_ / ("src/d/" + std::to_string(i)), "entry");
  Pack("d", "deep.zip");
  const std::string d = dir_ / "out/d";
  const std::string link = dir_ / "out/link";
  ASSERT_EQ(::mkdir(d.c_str(), 0755), 0);
  ASSERT_EQ(::symlink((dir_ / "outside").c_str(), link.c_str()), 0);
  std::atomic<bool> done{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    while (!done) {
      // d is a folder or a link to outside/, never missing.
      if (::renameat2(AT_FDCWD, d.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
      ::sched_yield();
    }
  });
  const testing::Exit exit =
      testing::RunProgram({"unpack", "--to", dir_ / "out", dir_ / "deep.zip"}, dir_.path());
  done = true;
  swapper.join();
  EXPECT_GT(swaps.load(), 0);
  EXPECT_EQ(ListNames(dir_ / "outside"), "") << exit.err;
  EXPECT_EQ(exit.err.find("outside"), std::string::npos) << exit.err;
}

TEST_F(UnpackIntoChangingFolderTest, AFailedUnpackingTakesAwayTheEmptyFoldersItMade) {
  if (std::system("command -v zip >/dev/null 2>&1") != 0) GTEST_SKIP() << "zip is not installed";
  ::mkdir((dir_ / "src/d").c_str(), 0755);
  ::mkdir((dir_ / "src/d/a").c_str(), 0755);
  ::mkdir((dir_ / "src/d/a/b").c_str(), 0755);
  ::mkdir((dir_ / "src/d/a/b/c").c_str(), 0755);
  WriteFile(dir_ / "src/d/a/b/c/x.txt", std::string(20000, 'x'));
  ASSERT_EQ(
      std::system(("cd " + (dir_ / "src") + " && zip -qD " + (dir_ / "bad.zip") + " d/a/b/c/x.txt")
                      .c_str()),
      0);
  // The deflated data starts with a block of the reserved type 3.
  std::string zip = ReadFile(dir_ / "bad.zip");
  const std::size_t data =
      30 + static_cast<unsigned char>(zip[26]) + 256U * static_cast<unsigned char>(zip[27]) +
      static_cast<unsigned char>(zip[28]) + 256U * static_cast<unsigned char>(zip[29]);
  zip[data] = static_cast<char>(0xFF);
  WriteFile(dir_ / "bad.zip", zip);
  // d/ was there; a/b/c/ are made for the entry.
  ::mkdir((dir_ / "out/d").c_str(), 0755);
  const testing::Exit exit =
      testing::RunProgram({"unpack", "--to", dir_ / "out", dir_ / "bad.zip"}, dir_.path());
  EXPECT_NE(exit.status, 0);
  EXPECT_EQ(ListNames(dir_ / "out"), "d") << exit.err;
  EXPECT_EQ(ListNames(dir_ / "out/d"), "") << exit.err;
}

}  // namespace
}  // namespace talvor

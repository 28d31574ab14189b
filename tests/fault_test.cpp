// Faults around the commands of the talvor program and of the main window:
// a full disk, read-only files and folders, a folder reached through a
// symbolic link, names that are no valid UTF-8 and names of the longest
// length, and an input that another program removes, cuts, extends or
// replaces in mid-command. Each
// command either does its work or ends with a message (exit status 1); no
// other file is touched, no partial result appears under a final name and
// no intermediate file is left behind.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "main_window_fixture.h"
#include "memory_console.h"
#include "program_runner.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Command;
using testing::Exit;
using testing::FolderAfter;
using testing::kCommands;
using testing::kNobody;
using testing::kPass;
using testing::Library;
using testing::ListNames;
using testing::MemoryConsole;
using testing::ReadFile;
using testing::RunProgram;
using testing::SmallDisk;
using testing::SomeBytes;
using testing::TempDir;
using testing::With;
using testing::WriteFile;

enum class Fault {
  kFullDisk,
  kReadOnlySource,
  kReadOnlyFolder,
  kFolderThroughLink,
  kNameNotUtf8,
  kLongestName,
};

struct FaultCase {
  const char* name;
  Fault fault;
};

const FaultCase kFaults[] = {
    {"FullDisk", Fault::kFullDisk},
    {"ReadOnlySource", Fault::kReadOnlySource},
    {"ReadOnlyFolder", Fault::kReadOnlyFolder},
    {"FolderThroughLink", Fault::kFolderThroughLink},
    {"NameNotUtf8", Fault::kNameNotUtf8},
    {"LongestName", Fault::kLongestName},
};

// Whether the command is expected to do its work under the fault.
bool Succeeds(const Command& c, Fault fault) {
  const bool lists = std::strcmp(c.args[0].c_str(), "list") == 0;
  switch (fault) {
    case Fault::kFullDisk:  // every result is as large as the free space and more
      return lists;
    case Fault::kReadOnlySource:
      return !c.needs_writable_input;
    case Fault::kReadOnlyFolder:
      return lists;
    default:
      return true;
  }
}

// What the message of a command that fails under the fault must say.
std::string ExpectedWords(Fault fault) {
  return fault == Fault::kFullDisk ? "Disk full" : "denied";
}

class FaultTest : public ::testing::TestWithParam<std::tuple<Command, FaultCase>> {
 protected:
  [[nodiscard]] const Command& command() const { return std::get<0>(GetParam()); }
  [[nodiscard]] Fault fault() const { return std::get<1>(GetParam()).fault; }

  TempDir root_;
};

TEST_P(FaultTest, WorksOrFailsCleanly) {
  const Command& c = command();
  std::string base = "doc";
  if (fault() == Fault::kNameNotUtf8) base = "d\xF6\xFF\xC3(c";
  // No archive records a name that is no UTF-8: packing refuses it in words
  // (nothing is written), so there is no such archive to read either.
  const bool archive_name = fault() == Fault::kNameNotUtf8 &&
                            (c.args[0] == "pack" || c.args[0] == "unpack" || c.args[0] == "list");
  if (archive_name && c.args[0] != "pack") GTEST_SKIP() << "packing refuses the name";
  if (fault() == Fault::kLongestName) base = std::string(255 - 4, 'n');
  // Large enough that no result fits on the small disk beside it.
  Library& library = Library::For(base, 160 << 10);

  ::chmod(root_.path().c_str(), 0755);
  const std::string folder = root_ / "folder";
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  ::chmod(folder.c_str(), 0777);
  std::unique_ptr<SmallDisk> disk;
  if (fault() == Fault::kFullDisk) {
    disk = std::make_unique<SmallDisk>(folder, "256k");
    if (!disk->mounted()) GTEST_SKIP() << "a small disk needs the super-user's mount";
  }
  const std::string in_name = base + "." + c.in;
  const std::string input = library.File(c.in);
  WriteFile(folder + "/" + in_name, input);
  const bool unprivileged = fault() == Fault::kReadOnlySource || fault() == Fault::kReadOnlyFolder;
  if (unprivileged) ::chmod((folder + "/" + in_name).c_str(), 0444);
  if (fault() == Fault::kReadOnlyFolder) ::chmod(folder.c_str(), 0555);

  std::string given = folder + "/" + in_name;
  if (fault() == Fault::kFolderThroughLink) {
    ASSERT_EQ(::symlink("folder", (root_ / "link").c_str()), 0);
    given = root_ / ("link/" + in_name);
  }
  const Exit exit = RunProgram(With(c.args, given.c_str()), root_.path(), unprivileged);
  ::chmod(folder.c_str(), 0777);
  if (exit.status == 125 || exit.status == 126) GTEST_SKIP() << "cannot run the program as nobody";

  const bool works = Succeeds(c, fault()) && !archive_name;
  // Destroying needs room for its longer passes: without it, it refuses
  // before overwriting anything.
  const bool no_room = c.destroys && fault() == Fault::kFullDisk;
  EXPECT_EQ(exit.signal, 0);
  EXPECT_EQ(exit.status, works ? 0 : archive_name || no_room ? 2 : 1) << exit.err;
  EXPECT_EQ(exit.err.find("Sanitizer"), std::string::npos) << exit.err;
  if (!works) {
    const std::string words = archive_name ? "is not valid UTF-8 text"
                              : no_room    ? "free beside"
                                           : ExpectedWords(fault());
    EXPECT_NE(exit.err.find(words), std::string::npos) << exit.err;
  }
  std::string out_base = base;
  const std::string out_name = *c.out == '\0' ? "" : out_base + "." + c.out;

  // What the folder holds: the input (unless destroyed) and the result.
  const std::string names = FolderAfter(in_name, !(c.destroys && works), works ? out_name : "");
  EXPECT_EQ(ListNames(folder), names) << exit.err;
  if (!c.destroys || !works) {
    EXPECT_EQ(ReadFile(folder + "/" + in_name), input);
  }
  if (works && c.restores) {
    EXPECT_EQ(ReadFile(folder + "/" + out_name), library.document());
  }
  if (fault() == Fault::kFolderThroughLink) {
    EXPECT_EQ(ListNames(root_.path()), "folder link");
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, FaultTest,
                         ::testing::Combine(::testing::ValuesIn(kCommands),
                                            ::testing::ValuesIn(kFaults)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) + "_" +
                                  std::get<1>(param_info.param).name;
                         });

// The file system of the machine, with one act of another program at the
// moment the command creates its first file: the command's input vanishes,
// is cut short, grows, or is replaced by another file.
enum class Sabotage { kVanish, kCut, kGrow, kReplace };

class SabotagedFileSystem final : public FileSystem {
 public:
  SabotagedFileSystem(Sabotage sabotage, std::string victim)
      : sabotage_(sabotage), victim_(std::move(victim)) {}

  File OpenExisting(const std::string& p, bool follow) override {
    return fs_.OpenExisting(p, follow);
  }
  File OpenForReading(const std::string& p) override { return fs_.OpenForReading(p); }
  File Create(const std::string& p) override {
    Strike();
    return fs_.Create(p);
  }
  File CreateTemporaryBeside(const std::string& b, std::string* t) override {
    Strike();
    return fs_.CreateTemporaryBeside(b, t);
  }
  File CreateUnnamedBeside(const std::string& b) override {
    Strike();
    return fs_.CreateUnnamedBeside(b);
  }
  std::string CreateTemporaryFolderBeside(const std::string& b) override {
    Strike();
    return fs_.CreateTemporaryFolderBeside(b);
  }
  void RemoveAbandonedTemporaries(const std::string& b) override {
    fs_.RemoveAbandonedTemporaries(b);
  }
  void RemoveDirectory(const std::string& p) override { fs_.RemoveDirectory(p); }
  void Delete(const std::string& p) override { fs_.Delete(p); }
  void Move(const std::string& f, const std::string& t) override { fs_.Move(f, t); }
  void MoveToTrash(const std::string& p) override { fs_.MoveToTrash(p); }
  void CreateDirectory(const std::string& p) override { fs_.CreateDirectory(p); }
  FileInfo Stat(const std::string& p) override { return fs_.Stat(p); }
  std::string EnterableFolder(const std::string& p) override { return fs_.EnterableFolder(p); }
  bool SameFile(const std::string& a, const std::string& b) override { return fs_.SameFile(a, b); }
  StorageFacts Storage(const std::string& p) override { return fs_.Storage(p); }
  void SetLastWriteTime(const std::string& p, std::time_t w) override {
    fs_.SetLastWriteTime(p, w);
  }
  void SetReadOnly(const std::string& p, bool r) override { fs_.SetReadOnly(p, r); }
  std::vector<std::string> ListFiles(const std::string& f) override { return fs_.ListFiles(f); }
  std::vector<std::string> ListDirectories(const std::string& f) override {
    return fs_.ListDirectories(f);
  }

  [[nodiscard]] bool struck() const { return struck_; }

 private:
  void Strike() {
    if (struck_) return;
    struck_ = true;
    switch (sabotage_) {
      case Sabotage::kVanish:
        ::unlink(victim_.c_str());
        break;
      case Sabotage::kCut:
        (void)::truncate(victim_.c_str(),
                         static_cast<off_t>(std::filesystem::file_size(victim_) / 2));
        break;
      case Sabotage::kGrow:
        WriteFile(victim_ + ".more", ReadFile(victim_) + SomeBytes(5000, 9));
        ::rename((victim_ + ".more").c_str(), victim_.c_str());
        break;
      case Sabotage::kReplace:
        WriteFile(victim_ + ".other", "another program's file");
        ::rename((victim_ + ".other").c_str(), victim_.c_str());
        break;
    }
  }

  PosixFileSystem fs_;
  Sabotage sabotage_;
  std::string victim_;
  bool struck_ = false;
};

struct SabotageCase {
  const char* name;
  Sabotage sabotage;
};

class SabotageTest : public ::testing::TestWithParam<std::tuple<Command, SabotageCase>> {
 protected:
  TempDir root_;
  testing::CurrentDirGuard cwd_;
};

TEST_P(SabotageTest, TheCommandEndsCleanly) {
  const Command& c = std::get<0>(GetParam());
  Library& library = Library::For("doc", 64 << 10);
  const std::string folder = root_ / "folder";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string in_name = std::string("doc.") + c.in;
  const std::string out_name = *c.out == '\0' ? "" : std::string("doc.") + c.out;
  WriteFile(folder + "/" + in_name, library.File(c.in));
  SabotagedFileSystem fs(std::get<1>(GetParam()).sabotage, folder + "/" + in_name);
  std::filesystem::current_path(root_.path());
  MemoryConsole console(kPass);
  const int status = RunTalvor(With(c.args, (folder + "/" + in_name).c_str()), console, fs);
  const std::string err = console.err_.str();

  EXPECT_TRUE(status == 0 || status == 1) << status << " " << err;
  if (status != 0) {
    EXPECT_FALSE(err.empty());
  }
  EXPECT_EQ(ListNames(root_.path()), "folder");
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == in_name || (name == out_name && status == 0)) << name << ": " << err;
  }
  if (status == 0 && !out_name.empty()) {
    EXPECT_TRUE(testing::Exists(folder + "/" + out_name)) << "success without a result";
  }
  if (status == 0 && c.restores && fs.struck()) {
    // What was read is the file as it was when the command opened it.
    EXPECT_EQ(ReadFile(folder + "/" + out_name), library.document());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SabotageTest,
    ::testing::Combine(::testing::ValuesIn(kCommands),
                       ::testing::Values(SabotageCase{"Vanish", Sabotage::kVanish},
                                         SabotageCase{"Cut", Sabotage::kCut},
                                         SabotageCase{"Grow", Sabotage::kGrow},
                                         SabotageCase{"Replace", Sabotage::kReplace})),
    [](const auto& param_info) {
      return std::string(std::get<0>(param_info.param).name) + "_" +
             std::get<1>(param_info.param).name;
    });

// The same faults under the commands of the main window.
struct WindowCase {
  const char* name;
  CommandClick handler;
  const char* in;
  const char* out;
  bool password = false;              // runs through the password window
  bool needs_writable_input = false;  // as in Command
  bool removes_input = false;
  bool restores = false;
};

const WindowCase kWindowCommands[] = {
    {"EncryptTrap", {WindowCommand::kEncryptTrap, Route::kToolbar}, "txt", "trp", true, true},
    {"EncryptOrm", {WindowCommand::kEncryptOrm, Route::kToolbar}, "txt", "orm", true},
    {"EncryptBlowfish", {WindowCommand::kEncryptBlowfish, Route::kToolbar}, "txt", "blf", true},
    {"EncryptRijndael", {WindowCommand::kEncryptRijndael, Route::kToolbar}, "txt", "rnl", true},
    {"EncryptRandom", {WindowCommand::kEncryptRandom, Route::kToolbar}, "txt", "erh", true},
    {"DecryptTrap",
     {WindowCommand::kDecryptTrap, Route::kToolbar},
     "trp",
     "txt",
     true,
     true,
     false,
     true},
    {"DecryptOrm",
     {WindowCommand::kDecryptOrm, Route::kToolbar},
     "orm",
     "txt",
     true,
     true,
     false,
     true},
    {"DecryptBlowfish",
     {WindowCommand::kDecryptBlowfish, Route::kToolbar},
     "blf",
     "txt",
     true,
     true,
     false,
     true},
    {"DecryptRijndael",
     {WindowCommand::kDecryptRijndael, Route::kToolbar},
     "rnl",
     "txt",
     true,
     true,
     false,
     true},
    {"DecryptRandom",
     {WindowCommand::kDecryptRandom, Route::kToolbar},
     "erh",
     "txt",
     true,
     true,
     false,
     true},
    {"Destroy", {WindowCommand::kDestroy, Route::kToolbar}, "txt", "", false, true, true},
    {"PackCab", {WindowCommand::kCreateCab, Route::kToolbar}, "txt", "cab"},
    {"UnpackCab",
     {WindowCommand::kExtractCab, Route::kToolbar},
     "cab",
     "txt",
     false,
     false,
     false,
     true},
    {"PackLha", {WindowCommand::kCreateLha, Route::kToolbar}, "txt", "lha"},
    {"UnpackLha",
     {WindowCommand::kExtractLha, Route::kToolbar},
     "lha",
     "txt",
     false,
     false,
     false,
     true},
    {"PackZip", {WindowCommand::kCreateZip, Route::kToolbar}, "txt", "zip"},
    {"UnpackZip",
     {WindowCommand::kExtractZip, Route::kToolbar},
     "zip",
     "txt",
     false,
     false,
     false,
     true},
    {"PackBh", {WindowCommand::kCreateBh, Route::kToolbar}, "txt", "bh"},
    {"UnpackBh",
     {WindowCommand::kExtractBh, Route::kToolbar},
     "bh",
     "txt",
     false,
     false,
     false,
     true},
    {"Copy", {WindowCommand::kCopy, Route::kToolbar}, "txt", "copy", false, true, false, false},
    {"Erase", {WindowCommand::kErase, Route::kToolbar}, "txt", "", false, false, true},
};

bool WindowSucceeds(const WindowCase& c, Fault fault) {
  switch (fault) {
    case Fault::kFullDisk:  // only Erase needs no room
      return c.removes_input && !c.needs_writable_input;
    case Fault::kReadOnlySource:
      return !c.needs_writable_input;
    case Fault::kReadOnlyFolder:
      return false;
    default:
      return true;
  }
}

// Checks permissions as "nobody" while it lives (the super-user passes them
// all); the threads it starts inherit that.
class AsNobody {
 public:
  explicit AsNobody(bool active) : active_(active && ::geteuid() == 0) {
    if (active_) (void)::setfsuid(kNobody);
  }
  AsNobody(const AsNobody&) = delete;
  AsNobody& operator=(const AsNobody&) = delete;
  ~AsNobody() {
    if (active_) (void)::setfsuid(0);
  }

 private:
  bool active_;
};

class WindowFaultTest : public ::testing::TestWithParam<std::tuple<WindowCase, FaultCase>>,
                        protected testing::MainWindowFixture {};

TEST_P(WindowFaultTest, WorksOrShowsTheFailure) {
  const WindowCase& c = std::get<0>(GetParam());
  const Fault fault = std::get<1>(GetParam()).fault;
  std::string base = "doc";
  if (fault == Fault::kNameNotUtf8) base = "d\xF6\xFF\xC3(c";
  if (fault == Fault::kLongestName) base = std::string(255 - 5, 'n');
  // As in FaultTest: packing refuses such a name, so no archive holds one.
  const std::string command = c.name;
  const bool archive_name = fault == Fault::kNameNotUtf8 &&
                            (command.rfind("Pack", 0) == 0 || command.rfind("Unpack", 0) == 0);
  if (archive_name && command.rfind("Unpack", 0) == 0) GTEST_SKIP() << "packing refuses the name";
  Library& library = Library::For(base, 160 << 10);

  ::chmod(dir_.path().c_str(), 0755);
  const std::string folder = dir_ / "folder";
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  ::chmod(folder.c_str(), 0777);
  std::unique_ptr<SmallDisk> disk;
  if (fault == Fault::kFullDisk) {
    disk = std::make_unique<SmallDisk>(folder, "256k");
    if (!disk->mounted()) GTEST_SKIP() << "a small disk needs the super-user's mount";
  }
  const std::string in_name = base + "." + c.in;
  const std::string input = library.File(c.in);
  WriteFile(folder + "/" + in_name, input);
  if (fault == Fault::kReadOnlySource || fault == Fault::kReadOnlyFolder) {
    ::chmod((folder + "/" + in_name).c_str(), 0444);
  }
  if (fault == Fault::kReadOnlyFolder) ::chmod(folder.c_str(), 0555);
  std::string shown = folder;
  if (fault == Fault::kFolderThroughLink) {
    ASSERT_EQ(::symlink("folder", (dir_ / "link").c_str()), 0);
    shown = dir_ / "link";
  }
  form2_.Create();
  form6_.Create();
  form1_.Create(shown);
  form1_.RefreshFileList();
  view_.selected = in_name;

  std::string out_name = *c.out == '\0' ? "" : base + "." + c.out;
  if (std::string(c.out) == "copy") {
    out_name = "copy.txt";
    dialogs_.save_answer = shown + "/" + out_name;
  }
  dialogs_.answers = {Answer::kYes};
  password_view_.user = [this](testing::FakePasswordView& v) {
    v.TypeBoth("a faulty afternoon");
    v.ClickAction(dialogs_);
    if (v.open) v.ClickCancel();
  };
  {
    const AsNobody nobody(fault == Fault::kReadOnlyFolder);
    MainWindowFixture::Run(c.handler);
  }
  ::chmod(folder.c_str(), 0777);

  const bool works = WindowSucceeds(c, fault) && !archive_name;
  std::string shown_text;
  for (const std::string& e : dialogs_.errors) shown_text += e + "|";
  for (const std::string& m : dialogs_.messages) shown_text += m + "|";
  EXPECT_EQ(shown_text.empty(), works) << shown_text;
  // Destroying needs room for its longer passes: without it, it refuses
  // before overwriting anything.
  const bool no_room = c.removes_input && c.needs_writable_input && fault == Fault::kFullDisk;
  if (!works) {
    const std::string words = archive_name ? "is not valid UTF-8 text"
                              : no_room    ? "free beside"
                                           : ExpectedWords(fault);
    EXPECT_NE(shown_text.find(words), std::string::npos) << shown_text;
  }

  const std::string names =
      FolderAfter(in_name, !(c.removes_input && works), works ? out_name : "");
  EXPECT_EQ(ListNames(folder), names) << shown_text;
  if (!(c.removes_input && works)) {
    EXPECT_EQ(ReadFile(folder + "/" + in_name), input);
  }
  if (works && c.restores) {
    EXPECT_EQ(ReadFile(folder + "/" + out_name), library.document());
  }
  if (works && std::string(c.out) == "copy") {
    EXPECT_EQ(ReadFile(folder + "/" + out_name), input);
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, WindowFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kWindowCommands),
                                            ::testing::ValuesIn(kFaults)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) + "_" +
                                  std::get<1>(param_info.param).name;
                         });

}  // namespace
}  // namespace talvor

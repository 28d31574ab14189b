// A result that takes the name of an existing file: the file that was there
// goes to the desktop's trash, its content intact, just before, through
// talvor and through the windows alike; the result is right, and talvor
// says what it replaced.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "main_window_fixture.h"
#include "memory_console.h"
#include "platform/replacing_file.h"
#include "program_runner.h"

namespace talvor {
namespace {

using testing::Command;
using testing::kCommands;
using testing::kDecrypt;
using testing::kEncrypt;
using testing::kPass;
using testing::Library;
using testing::ReadFile;
using testing::With;
using testing::WriteFile;

constexpr char kOlder[] = "an older file, edited by its user";

struct ReplaceCase {
  const char* name;
  std::vector<std::string> args;  // talvor's, before the file
  CommandClick handler;           // the window's
  const char* in;                 // the command works on doc.<in>
  const char* out;                // and writes doc.<out>, which is there already
  bool restores;                  // its result is the document again
};

const ReplaceCase kCases[] = {
    {"EncryptTrap",
     With(kEncrypt, "trap"),
     {WindowCommand::kEncryptTrap, Route::kToolbar},
     "txt",
     "trp",
     false},
    {"EncryptOrm",
     With(kEncrypt, "orm"),
     {WindowCommand::kEncryptOrm, Route::kToolbar},
     "txt",
     "orm",
     false},
    {"EncryptBlowfish",
     With(kEncrypt, "blowfish"),
     {WindowCommand::kEncryptBlowfish, Route::kToolbar},
     "txt",
     "blf",
     false},
    {"EncryptRijndael",
     With(kEncrypt, "rijndael"),
     {WindowCommand::kEncryptRijndael, Route::kToolbar},
     "txt",
     "rnl",
     false},
    {"EncryptRandom",
     With(kEncrypt, "random"),
     {WindowCommand::kEncryptRandom, Route::kToolbar},
     "txt",
     "erh",
     false},
    {"DecryptTrap", kDecrypt, {WindowCommand::kDecryptTrap, Route::kToolbar}, "trp", "txt", true},
    {"DecryptOrm", kDecrypt, {WindowCommand::kDecryptOrm, Route::kToolbar}, "orm", "txt", true},
    {"DecryptBlowfish",
     kDecrypt,
     {WindowCommand::kDecryptBlowfish, Route::kToolbar},
     "blf",
     "txt",
     true},
    {"DecryptRijndael",
     kDecrypt,
     {WindowCommand::kDecryptRijndael, Route::kToolbar},
     "rnl",
     "txt",
     true},
    {"DecryptRandom",
     kDecrypt,
     {WindowCommand::kDecryptRandom, Route::kToolbar},
     "erh",
     "txt",
     true},
    {"PackCab",
     {"pack", "--yes", "--format", "cab"},
     {WindowCommand::kCreateCab, Route::kToolbar},
     "txt",
     "cab",
     false},
    {"PackLha",
     {"pack", "--yes", "--format", "lha"},
     {WindowCommand::kCreateLha, Route::kToolbar},
     "txt",
     "lha",
     false},
    {"PackZip",
     {"pack", "--yes", "--format", "zip"},
     {WindowCommand::kCreateZip, Route::kToolbar},
     "txt",
     "zip",
     false},
    {"PackBh",
     {"pack", "--yes", "--format", "bh"},
     {WindowCommand::kCreateBh, Route::kToolbar},
     "txt",
     "bh",
     false},
    {"UnpackCab", {"unpack"}, {WindowCommand::kExtractCab, Route::kToolbar}, "cab", "txt", true},
    {"UnpackLha", {"unpack"}, {WindowCommand::kExtractLha, Route::kToolbar}, "lha", "txt", true},
    {"UnpackZip", {"unpack"}, {WindowCommand::kExtractZip, Route::kToolbar}, "zip", "txt", true},
    {"UnpackBh", {"unpack"}, {WindowCommand::kExtractBh, Route::kToolbar}, "bh", "txt", true},
};

enum class Front { kTalvor, kWindows };

class ReplaceTest : public ::testing::TestWithParam<std::tuple<ReplaceCase, Front>>,
                    protected testing::MainWindowFixture {
 protected:
  const testing::ScopedEnvironment data_home_{"XDG_DATA_HOME", (dir_ / "data").c_str()};
};

TEST_P(ReplaceTest, TheReplacedFileIsInTheTrash) {
  const ReplaceCase& c = std::get<0>(GetParam());
  Library& library = Library::For("doc", 64 << 10);
  const std::string in = std::string("doc.") + c.in;
  const std::string out = std::string("doc.") + c.out;
  WriteFile(dir_ / in, library.File(c.in));
  WriteFile(dir_ / out, kOlder);
  if (std::get<1>(GetParam()) == Front::kTalvor) {
    testing::MemoryConsole console(kPass);
    ASSERT_EQ(RunTalvor(With(c.args, (dir_ / in).c_str()), console, fs_), 0) << console.err_.str();
    EXPECT_NE(
        console.err_.str().find((dir_ / out) + " replaced; the previous file is in the trash\n"),
        std::string::npos)
        << console.err_.str();
  } else {
    Start();
    view_.selected = in;
    dialogs_.answers = {Answer::kYes};  // packing asks before it replaces
    password_view_.user = [this](testing::FakePasswordView& v) {
      v.TypeBoth(std::string(kPass, std::strlen(kPass) - 1));
      v.ClickAction(dialogs_);
    };
    MainWindowFixture::Run(c.handler);
    EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
  }
  EXPECT_EQ(ReadFile(dir_ / ("data/Trash/files/" + out)), kOlder);
  if (c.restores) {
    EXPECT_EQ(ReadFile(dir_ / out), library.document());
  } else {
    EXPECT_EQ(ReadFile(dir_ / out).size(), library.File(c.out).size());
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, ReplaceTest,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(Front::kTalvor, Front::kWindows)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) +
                                  (std::get<1>(param_info.param) == Front::kTalvor ? "_Talvor"
                                                                                   : "_Windows");
                         });

// Where no trash can take the file, it stays as it is and the new file is
// not kept: the command fails and says why.
TEST_F(ReplaceTest, WithoutATrashNothingIsReplaced) {
  Library& library = Library::For("doc", 64 << 10);
  WriteFile(dir_ / "doc.blf", library.File("blf"));
  WriteFile(dir_ / "doc.txt", kOlder);
  const testing::ScopedEnvironment no_trash("XDG_DATA_HOME", (dir_ / "doc.txt/data").c_str());
  testing::MemoryConsole console(kPass);
  EXPECT_EQ(RunTalvor({"decrypt", "--passphrase-file", "-", dir_ / "doc.blf"}, console, fs_), 1);
  EXPECT_NE(console.err_.str().find("it was left as it is, and the new file was not kept"),
            std::string::npos)
      << console.err_.str();
  EXPECT_EQ(ReadFile(dir_ / "doc.txt"), kOlder);
  EXPECT_EQ(testing::ListNames(dir_.path()), "doc.blf doc.txt");
}

// The same on a stick and on a bind mount, by the program itself. A FAT
// stick through FUSE has neither hard links nor renames that refuse to
// replace (nor exchange), nor unnamed files; a bind mount is the file system
// of the home trash at another mount, which no rename crosses. Each time the
// old file goes to the trash of that mount and the result is written.
enum class Mount { kFat, kBind };

class MountedReplaceTest : public ::testing::TestWithParam<std::tuple<Command, Mount>> {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs the administrator";
    ASSERT_EQ(::mkdir(stick_.c_str(), 0755), 0);
    if (std::get<1>(GetParam()) == Mount::kBind) {
      ASSERT_EQ(::mkdir((dir_ / "real").c_str(), 0755), 0);
      if (::mount((dir_ / "real").c_str(), stick_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
      }
    } else {
      if (::access("/dev/fuse", R_OK | W_OK) != 0 ||
          std::system("command -v fusefat mkfs.vfat >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "FUSE or fusefat is not available here";
      }
      const std::string image = dir_ / "stick.img";
      const std::string make = "truncate -s 16M " + image + " && mkfs.vfat " + image +
                               " >/dev/null && fusefat -o rw+ " + image + " " + stick_ +
                               " >/dev/null 2>&1";
      if (std::system(make.c_str()) != 0) GTEST_SKIP() << "cannot mount a FAT image here";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(stick_.c_str(), MNT_DETACH);
  }

  testing::TempDir dir_;
  const std::string stick_ = dir_ / "stick";
  const testing::ScopedEnvironment data_home_{"XDG_DATA_HOME", (dir_ / "data").c_str()};
  bool mounted_ = false;
};

TEST_P(MountedReplaceTest, TheOldFileGoesToTheTrashOfItsMount) {
  const Command& c = std::get<0>(GetParam());
  Library& library = Library::For("doc", 64 << 10);
  const std::string in = std::string("doc.") + c.in;
  const std::string out = std::string("doc.") + c.out;
  WriteFile(stick_ + "/" + in, library.File(c.in));
  WriteFile(stick_ + "/" + out, kOlder);
  const testing::Exit exit = testing::RunProgram(With(c.args, in.c_str()), stick_);
  EXPECT_EQ(exit.status, 0) << exit.err;
  EXPECT_EQ(ReadFile(stick_ + "/.Trash-0/files/" + out), kOlder) << exit.err;
  EXPECT_NE(ReadFile(stick_ + "/.Trash-0/info/" + out + ".trashinfo").find("\nPath=" + out + "\n"),
            std::string::npos);
  if (c.restores) {
    EXPECT_EQ(ReadFile(stick_ + "/" + out), library.document());
  } else {
    EXPECT_EQ(ReadFile(stick_ + "/" + out).size(), library.File(c.out).size());
  }
  EXPECT_EQ(testing::ListNames(stick_),
            ".Trash-0 " + std::string(in < out ? in + " " + out : out + " " + in));
}

std::vector<Command> Writing() {
  std::vector<Command> writing;
  for (const Command& c : kCommands) {
    if (*c.out != '\0' && !c.destroys) writing.push_back(c);
  }
  return writing;
}

INSTANTIATE_TEST_SUITE_P(Commands, MountedReplaceTest,
                         ::testing::Combine(::testing::ValuesIn(Writing()),
                                            ::testing::Values(Mount::kFat, Mount::kBind)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) +
                                  (std::get<1>(param_info.param) == Mount::kFat ? "_Fat" : "_Bind");
                         });

// Rename onto another file system over a file of the target's name: the
// copy takes the name whole, the old file is in the trash of its mount, and
// only then does the source go.
TEST(MoveAcrossMountsTest, TheCopyTakesTheNameAndTheOldFileIsKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs the administrator";
  testing::TempDir dir;
  const std::string other = dir / "other";
  ASSERT_EQ(::mkdir(other.c_str(), 0755), 0);
  if (::mount("tmpfs", other.c_str(), "tmpfs", 0, "size=4m") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  WriteFile(dir / "a.txt", "the new text");
  WriteFile(other + "/a.txt", "the old text");
  PosixFileSystem fs;
  Job job;
  MoveReplacing(fs, dir / "a.txt", other + "/a.txt", job);
  EXPECT_EQ(ReadFile(other + "/a.txt"), "the new text");
  EXPECT_EQ(ReadFile(other + "/.Trash-0/files/a.txt"), "the old text");
  EXPECT_FALSE(testing::Exists(dir / "a.txt"));
  ::umount2(other.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace talvor

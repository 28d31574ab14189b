#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/replacing_file.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::ScopedEnvironment;
using testing::TempDir;
using testing::WriteFile;

std::string RealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  std::string result = real != nullptr ? real : path;
  std::free(real);
  return result;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A temporary home; the files to trash are made in work/.
class TrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir(home_.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(work_.c_str(), 0700), 0);
  }
  void TearDown() override {
    for (const std::string& mount : mounts_) ::umount2(mount.c_str(), MNT_DETACH);
    for (const std::string& folder : read_only_) ::chmod(folder.c_str(), 0700);
  }

  // Takes the right to write in `folder` away: with a read-only mount for the
  // administrator, whom permissions do not stop. False when that cannot be.
  [[nodiscard]] bool MakeReadOnly(const std::string& folder) {
    if (::geteuid() != 0) {
      read_only_.push_back(folder);
      return ::chmod(folder.c_str(), 0500) == 0;
    }
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounts_.push_back(folder);
    const unsigned long read_only = MS_REMOUNT | MS_BIND | MS_RDONLY;
    return ::mount(nullptr, folder.c_str(), nullptr, read_only, nullptr) == 0;
  }

  TempDir dir_;
  const std::string home_ = dir_ / "home";
  const std::string work_ = dir_ / "work";
  const std::string trash_ = dir_ / "data/Trash";
  ScopedEnvironment home_env_{"HOME", home_.c_str()};
  ScopedEnvironment data_env_{"XDG_DATA_HOME", (dir_ / "data").c_str()};
  FreedesktopTrash trash_bin_;
  std::vector<std::string> mounts_;
  std::vector<std::string> read_only_;
};

TEST_F(TrashTest, MovesTheFileAndRecordsWhereItWasAndWhen) {
  // Three hours east of UTC: a date written in UTC is caught.
  const ScopedEnvironment zone("TZ", "TST-3");
  const std::string name = "a b%\xC5\x82.txt";
  WriteFile(work_ + "/" + name, "content");
  trash_bin_.MoveToTrash(work_ + "/" + name);

  EXPECT_FALSE(Exists(work_ + "/" + name));
  EXPECT_EQ(ReadFile(trash_ + "/files/" + name), "content");
  for (const std::string& folder : {trash_, trash_ + "/files", trash_ + "/info"}) {
    EXPECT_EQ(ModeOf(folder) & 0777, 0700U) << folder;
  }
  const std::string info = ReadFile(trash_ + "/info/" + name + ".trashinfo");
  std::smatch match;
  ASSERT_TRUE(
      std::regex_match(info, match, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(.*)\n")))
      << info;
  EXPECT_EQ(match[1], RealPath(work_) + "/a%20b%25%C5%82.txt");
  std::tm when{};
  const std::string date = match[2];
  const char* end = ::strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S", &when);
  ASSERT_TRUE(end != nullptr && *end == '\0') << date;
  when.tm_isdst = -1;
  EXPECT_LT(std::abs(std::difftime(std::mktime(&when), std::time(nullptr))), 60.0) << date;
}

struct ClashCase {
  const char* name;
  const char* file;
  const char* second;           // the name the second file of that name gets
  const char* first = nullptr;  // the first's, when not the file's own
};

class TrashClashTest : public TrashTest, public ::testing::WithParamInterface<ClashCase> {};

TEST_P(TrashClashTest, ASecondFileOfTheSameNameGetsItsOwnEntry) {
  const ClashCase& c = GetParam();
  for (const char* folder : {"/one", "/two"}) {
    ASSERT_EQ(::mkdir((work_ + folder).c_str(), 0700), 0);
    WriteFile(work_ + folder + "/" + c.file, folder);
    trash_bin_.MoveToTrash(work_ + folder + "/" + c.file);
  }
  EXPECT_EQ(ReadFile(trash_ + "/files/" + (c.first != nullptr ? c.first : c.file)), "/one");
  EXPECT_EQ(ReadFile(trash_ + "/files/" + c.second), "/two");
  const std::string info = ReadFile(trash_ + "/info/" + c.second + ".trashinfo");
  // The whole name, "ł" escaped as a URL escapes it.
  const std::string name = std::regex_replace(c.file, std::regex("\xC5\x82"), "%C5%82");
  EXPECT_NE(info.find("\nPath=" + RealPath(work_) + "/two/" + name + "\n"), std::string::npos)
      << info;
}

// Names of 250 bytes: their entries are cut so that "<entry>.trashinfo"
// fits in 255 bytes, on a character boundary, the extension kept.
const std::string kLong = std::string(246, 'x') + ".txt";
const std::string kLongFirst = std::string(241, 'x') + ".txt";
const std::string kLongSecond = std::string(239, 'x') + ".2.txt";
const std::string kWide = [] {
  std::string wide;
  for (int i = 0; i < 123; ++i) wide += "\xC5\x82";  // "ł", two bytes
  return wide + ".txt";
}();
const std::string kWideFirst = kWide.substr(0, 240) + ".txt";
const std::string kWideSecond = kWide.substr(0, 238) + ".2.txt";

INSTANTIATE_TEST_SUITE_P(Names, TrashClashTest,
                         ::testing::Values(ClashCase{"Extension", "a.txt", "a.2.txt"},
                                           ClashCase{"TwoExtensions", "x.tar.gz", "x.tar.2.gz"},
                                           ClashCase{"NoExtension", "notes", "notes.2"},
                                           ClashCase{"Hidden", ".profile", ".profile.2"},
                                           ClashCase{"Long", kLong.c_str(), kLongSecond.c_str(),
                                                     kLongFirst.c_str()},
                                           ClashCase{"LongUtf8", kWide.c_str(), kWideSecond.c_str(),
                                                     kWideFirst.c_str()}),
                         testing::ByName());

TEST_F(TrashTest, ATrashedFileWhoseInfoWasLostIsNotReplaced) {
  ASSERT_EQ(::mkdir((dir_ / "data").c_str(), 0700), 0);
  for (const char* folder : {"", "/files", "/info"}) {
    ASSERT_EQ(::mkdir((trash_ + folder).c_str(), 0700), 0);
  }
  WriteFile(trash_ + "/files/a.txt", "old");
  WriteFile(work_ + "/a.txt", "new");
  trash_bin_.MoveToTrash(work_ + "/a.txt");
  EXPECT_EQ(ReadFile(trash_ + "/files/a.txt"), "old");
  EXPECT_EQ(ReadFile(trash_ + "/files/a.2.txt"), "new");
  EXPECT_EQ(ListNames(trash_ + "/info"), "a.2.txt.trashinfo");
}

TEST_F(TrashTest, ASymbolicLinkIsMovedAsALink) {
  WriteFile(work_ + "/target", "target");
  ASSERT_EQ(::symlink("target", (work_ + "/link").c_str()), 0);
  trash_bin_.MoveToTrash(work_ + "/link");
  EXPECT_EQ(ReadFile(work_ + "/target"), "target");
  EXPECT_TRUE(S_ISLNK(ModeOf(trash_ + "/files/link")));
  EXPECT_FALSE(Exists(work_ + "/link"));
}

struct HomeCase {
  const char* name;
  const char* data_home;  // $XDG_DATA_HOME; nullptr: not set
  const char* trash;      // where the trash is, in the test's folder
};

class HomeTrashTest : public TrashTest, public ::testing::WithParamInterface<HomeCase> {};

TEST_P(HomeTrashTest, IsFoundFromTheEnvironment) {
  const HomeCase& c = GetParam();
  const std::string data_home =
      c.data_home != nullptr && c.data_home[0] == '/' ? dir_ / (c.data_home + 1) : "";
  const ScopedEnvironment env("XDG_DATA_HOME", data_home.empty() ? c.data_home : data_home.c_str());
  WriteFile(work_ + "/a.txt", "a");
  trash_bin_.MoveToTrash(work_ + "/a.txt");
  EXPECT_TRUE(Exists(dir_ / c.trash + "/files/a.txt"));
  EXPECT_TRUE(Exists(dir_ / c.trash + "/info/a.txt.trashinfo"));
}

INSTANTIATE_TEST_SUITE_P(
    Environment, HomeTrashTest,
    ::testing::Values(HomeCase{"DataHome", "/elsewhere/data", "elsewhere/data/Trash"},
                      HomeCase{"NoDataHome", nullptr, "home/.local/share/Trash"},
                      HomeCase{"EmptyDataHome", "", "home/.local/share/Trash"},
                      HomeCase{"RelativeDataHomeIgnored", "data", "home/.local/share/Trash"}),
    testing::ByName());

TEST_F(TrashTest, AMissingFileOrARelativeNameIsAnIoErrorAndNothingIsWritten) {
  // A relative name is never taken from the working folder.
  WriteFile(work_ + "/a.txt", "keep");
  testing::CurrentDirGuard cwd;
  ASSERT_EQ(::chdir(work_.c_str()), 0);
  for (const auto& [path, code] : {std::pair{work_ + "/missing.txt", io_code::kFileNotFound},
                                   std::pair{std::string("a.txt"), io_code::kInvalidFilename}}) {
    try {
      trash_bin_.MoveToTrash(path);
      ADD_FAILURE() << "no failure: " << path;
    } catch (const Failure& e) {
      EXPECT_EQ(e.kind(), FailureKind::kIo);
      EXPECT_EQ(e.code(), code) << path;
    }
  }
  EXPECT_EQ(ReadFile(work_ + "/a.txt"), "keep");
  EXPECT_FALSE(Exists(dir_ / "data"));
}

enum class Breakage { kTrashIsAFile, kInfoReadOnly, kFilesReadOnly, kFolderReadOnly };

struct FailureCase {
  const char* name;
  Breakage breakage;
  bool unavailable;  // TrashUnavailable, not just any failure
};

class TrashFailureTest : public TrashTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TrashFailureTest, LeavesTheFileWhereItWas) {
  const FailureCase& c = GetParam();
  WriteFile(work_ + "/a.txt", "keep");
  ASSERT_EQ(::mkdir((dir_ / "data").c_str(), 0700), 0);
  if (c.breakage == Breakage::kTrashIsAFile) {
    WriteFile(trash_, "");
  } else {
    for (const char* folder : {"", "/files", "/info"}) {
      ASSERT_EQ(::mkdir((trash_ + folder).c_str(), 0700), 0);
    }
    const std::string folder = c.breakage == Breakage::kInfoReadOnly    ? trash_ + "/info"
                               : c.breakage == Breakage::kFilesReadOnly ? trash_ + "/files"
                                                                        : work_;
    if (!MakeReadOnly(folder)) GTEST_SKIP() << "cannot make " << folder << " read-only here";
  }
  try {
    trash_bin_.MoveToTrash(work_ + "/a.txt");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& e) {
    if (e.kind() == FailureKind::kTrashUnavailable) {
      EXPECT_NE(std::string(e.what()).find(RealPath(work_) + "/a.txt"), std::string::npos)
          << e.what();
    } else {
      EXPECT_FALSE(c.unavailable) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(work_ + "/a.txt"), "keep");
  if (c.breakage != Breakage::kTrashIsAFile) {
    EXPECT_EQ(ListNames(trash_ + "/info"), "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Breakages, TrashFailureTest,
    ::testing::Values(FailureCase{"TrashIsAFile", Breakage::kTrashIsAFile, true},
                      FailureCase{"InfoReadOnly", Breakage::kInfoReadOnly, true},
                      FailureCase{"FilesReadOnly", Breakage::kFilesReadOnly, false},
                      FailureCase{"FolderReadOnly", Breakage::kFolderReadOnly, false}),
    testing::ByName());

// Files on a file system of their own: a small tmpfs, mounted when the tests
// run as the administrator.
enum class SharedTrash { kNone, kSticky, kNotSticky, kLink };
enum class UserTrash { kNone, kPlainFile, kOthers };

struct TopCase {
  const char* name;
  SharedTrash shared;  // what $topdir/.Trash is
  UserTrash own;       // what $topdir/.Trash-$uid is
  const char* trash;   // the trash used, less the user's number; nullptr for none
};

class TopTrashTest : public TrashTest, public ::testing::WithParamInterface<TopCase> {
 protected:
  void SetUp() override {
    TrashTest::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a second file system needs the administrator";
    ASSERT_EQ(::mkdir(volume_.c_str(), 0755), 0);
    if (::mount("tmpfs", volume_.c_str(), "tmpfs", 0, "size=1m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    mounts_.push_back(volume_);
  }
  const std::string volume_ = dir_ / "volume";
};

TEST_P(TopTrashTest, UsesTheTrashOfTheFileSystem) {
  const TopCase& c = GetParam();
  const std::string uid = std::to_string(::geteuid());
  ASSERT_EQ(::mkdir((volume_ + "/dir").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((volume_ + "/sticky").c_str(), 01777), 0);
  ASSERT_EQ(::chmod((volume_ + "/sticky").c_str(), 01777), 0);
  const std::string shared = volume_ + "/.Trash";
  const int made = c.shared == SharedTrash::kSticky
                       ? ::rename((volume_ + "/sticky").c_str(), shared.c_str())
                   : c.shared == SharedTrash::kNotSticky ? ::mkdir(shared.c_str(), 0777)
                   : c.shared == SharedTrash::kLink      ? ::symlink("sticky", shared.c_str())
                                                         : 0;
  ASSERT_EQ(made, 0);
  const std::string own = volume_ + "/.Trash-" + uid;
  if (c.own == UserTrash::kPlainFile) WriteFile(own, "");
  if (c.own == UserTrash::kOthers) {
    ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
  }
  const std::string file = volume_ + "/dir/a b.txt";
  WriteFile(file, "a");

  if (c.trash == nullptr) {
    EXPECT_TRUE(testing::RaisesFailure(FailureKind::kTrashUnavailable,
                                       [&] { trash_bin_.MoveToTrash(file); }));
    EXPECT_EQ(ReadFile(file), "a");
  } else {
    trash_bin_.MoveToTrash(file);
    const std::string trash = volume_ + "/" + c.trash + uid;
    EXPECT_EQ(ModeOf(trash) & 0777, 0700U);
    EXPECT_EQ(ReadFile(trash + "/files/a b.txt"), "a");
    const std::string info = ReadFile(trash + "/info/a b.txt.trashinfo");
    EXPECT_EQ(info.substr(0, info.find("\nDeletionDate=")), "[Trash Info]\nPath=dir/a%20b.txt");
  }
  EXPECT_FALSE(Exists(trash_)) << "the home trash is on another file system";
  if (c.shared == SharedTrash::kLink) {
    EXPECT_EQ(ListNames(volume_ + "/sticky"), "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, TopTrashTest,
    ::testing::Values(
        TopCase{"MakesTheUsersTrash", SharedTrash::kNone, UserTrash::kNone, ".Trash-"},
        TopCase{"UsesAStickySharedTrash", SharedTrash::kSticky, UserTrash::kNone, ".Trash/"},
        TopCase{"SharedTrashNotSticky", SharedTrash::kNotSticky, UserTrash::kNone, ".Trash-"},
        TopCase{"SharedTrashALink", SharedTrash::kLink, UserTrash::kNone, ".Trash-"},
        TopCase{"UsersTrashAFile", SharedTrash::kNone, UserTrash::kPlainFile, nullptr},
        TopCase{"UsersTrashNotTheirs", SharedTrash::kNotSticky, UserTrash::kOthers, nullptr}),
    testing::ByName());

// A bind mount shows a folder of the home trash's file system at another
// mount, which a rename cannot cross: the mount has a trash of its own.
TEST_F(TrashTest, ABindMountHasTheTrashOfItsMount) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs the administrator";
  const std::string bound = dir_ / "bound";
  ASSERT_EQ(::mkdir(bound.c_str(), 0755), 0);
  if (::mount(work_.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
  }
  mounts_.push_back(bound);
  WriteFile(bound + "/a.txt", "a");
  trash_bin_.MoveToTrash(bound + "/a.txt");
  const std::string trash = bound + "/.Trash-" + std::to_string(::geteuid());
  EXPECT_EQ(ReadFile(trash + "/files/a.txt"), "a");
  const std::string info = ReadFile(trash + "/info/a.txt.trashinfo");
  EXPECT_EQ(info.substr(0, info.find("\nDeletionDate=")), "[Trash Info]\nPath=a.txt");
}

// Another program (a second run) changes the target while the result is
// written: it vanishes, appears, or is another file. The result takes the
// name, and whatever was there at that moment is in the trash.
struct MeanwhileCase {
  const char* name;
  const char* before;   // the target when the result begins; nullptr: none
  const char* during;   // the target another program leaves; nullptr: none
  const char* trashed;  // what is then in the trash; nullptr: nothing
};

class ReplacedMeanwhileTest : public TrashTest,
                              public ::testing::WithParamInterface<MeanwhileCase> {};

TEST_P(ReplacedMeanwhileTest, TheResultTakesTheNameAndNothingIsLost) {
  const MeanwhileCase& c = GetParam();
  const std::string target = work_ + "/s.blf";
  if (c.before != nullptr) WriteFile(target, c.before);
  PosixFileSystem fs;
  Job job;
  ReplacingFile out(fs, target, job);
  out.file().Write("new", 3);
  ::unlink(target.c_str());
  if (c.during != nullptr) WriteFile(target, c.during);
  out.Commit();
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(ListNames(work_), "s.blf");
  if (c.trashed == nullptr) {
    EXPECT_FALSE(Exists(trash_ + "/files/s.blf"));
  } else {
    EXPECT_EQ(ReadFile(trash_ + "/files/s.blf"), c.trashed);
  }
}

INSTANTIATE_TEST_SUITE_P(Changes, ReplacedMeanwhileTest,
                         ::testing::Values(MeanwhileCase{"Vanished", "old", nullptr, nullptr},
                                           MeanwhileCase{"Appeared", nullptr, "other", "other"},
                                           MeanwhileCase{"Replaced", "old", "other", "other"}),
                         testing::ByName());

}  // namespace
}  // namespace talvor

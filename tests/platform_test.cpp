#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/dialogs.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/random_generator.h"
#include "platform/replacing_file.h"
#include "platform/system_info.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct PathCase {
  const char* path;
  const char* ext;
  const char* name;
  const char* dir;
  const char* with_trp;
};

class PathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTest, SplitsAndChangesExtension) {
  const PathCase& c = GetParam();
  EXPECT_EQ(ExtractFileExt(c.path), c.ext);
  EXPECT_EQ(ExtractFileName(c.path), c.name);
  EXPECT_EQ(ExtractFileDir(c.path), c.dir);
  EXPECT_EQ(ChangeFileExt(c.path, ".trp"), c.with_trp);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PathTest,
    ::testing::Values(PathCase{"/a/report.txt", ".txt", "report.txt", "/a", "/a/report.trp"},
                      PathCase{"/a/notes", "", "notes", "/a", "/a/notes.trp"},
                      PathCase{"/a.b/notes", "", "notes", "/a.b", "/a.b/notes.trp"},
                      PathCase{"/a/x.tar.gz", ".gz", "x.tar.gz", "/a", "/a/x.tar.trp"},
                      PathCase{"/a/REPORT.TRP", ".TRP", "REPORT.TRP", "/a", "/a/REPORT.trp"},
                      PathCase{"/a/trailing.", ".", "trailing.", "/a", "/a/trailing.trp"},
                      PathCase{"/root.txt", ".txt", "root.txt", "/", "/root.trp"},
                      PathCase{"plain.doc", ".doc", "plain.doc", "", "plain.trp"}));

TEST(PathTest, JoinAddsOneSeparator) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/", "b"), "/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(AbsolutePath("x/./y", "/base"), "/base/x/y");
  EXPECT_EQ(AbsolutePath("/abs//z", "/base"), "/abs/z");
}

TEST(IoErrorTest, TextsByCode) {
  const std::pair<int, const char*> table[] = {
      {2, "File not found"},          {3, "Invalid filename"},          {4, "Too many open files"},
      {5, "File access denied"},      {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"}, {183, "I/O error 183"},           {32, "I/O error 32"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(IoErrorText(code), text) << code;
}

TEST(IoErrorTest, PlatformErrorsMapToTheSameMessages) {
  EXPECT_EQ(IoErrorText(IoCodeFromErrno(ENOENT)), "File not found");
  EXPECT_EQ(IoErrorText(IoCodeFromErrno(EACCES)), "File access denied");
  EXPECT_EQ(IoErrorText(IoCodeFromErrno(EROFS)), "File access denied");
  EXPECT_EQ(IoErrorText(IoCodeFromErrno(ENOSPC)), "Disk full");
  EXPECT_EQ(IoErrorText(IoCodeFromErrno(EEXIST)), "I/O error 183");
  // EIO must not read as "File access denied" (code 5).
  EXPECT_NE(IoCodeFromErrno(EIO), 5);
}

TEST(ErrorDisplayTest, AppendsDotOnlyAfterCharactersSortingAfterDot) {
  EXPECT_EQ(ErrorDisplayText("Error!!!"), "Error!!!");
  EXPECT_EQ(ErrorDisplayText("I/O error 32"), "I/O error 32.");
  EXPECT_EQ(ErrorDisplayText("File not found"), "File not found.");
  EXPECT_EQ(ErrorDisplayText("Done."), "Done.");
  EXPECT_EQ(ErrorDisplayText("Why?"), "Why?.");
  EXPECT_EQ(ErrorDisplayText(""), "");
}

class RecordingDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string&) override {}
  Answer AskYesNo(const std::string&) override { return Answer::kNo; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool ExecuteSaveDialog(SaveDialogState&) override { return false; }
  std::vector<std::string> errors;
};

TEST(RunGuardedTest, ShowsAFailureAndCarriesOn) {
  RecordingDialogs dialogs;
  RunGuarded(dialogs, [] { RaiseIoError(io_code::kFileNotFound); });
  RunGuarded(dialogs, [] { throw Failure(FailureKind::kIo, "Error!!!"); });
  RunGuarded(dialogs, [] {});
  EXPECT_EQ(dialogs.errors, (std::vector<std::string>{"File not found.", "Error!!!"}));
}

TEST(RandomGeneratorTest, KnownSequence) {
  RandomGenerator gen;
  gen.set_state(12345);
  const std::pair<std::uint32_t, std::uint32_t> draws[] = {
      {77, 29}, {33, 9}, {11, 0}, {1, 0}, {1000, 633}};
  for (const auto& [range, expected] : draws) EXPECT_EQ(gen.Random(range), expected) << range;
  EXPECT_EQ(gen.state(), 0xA23886DAU);
  gen.set_state(0xFFFFFFFFU);
  EXPECT_EQ(gen.Random(0), 0U);
  EXPECT_EQ(gen.state(), 0xF7F77BFCU);  // the step wraps modulo 2^32
}

TEST(RandomGeneratorTest, BulkStatesFollowTheSameSequence) {
  for (const std::size_t count : {0, 1, 7, 8, 9, 16, 17, 1000}) {
    RandomGenerator one;
    RandomGenerator bulk;
    one.set_state(0xDEADBEEF);
    bulk.set_state(0xDEADBEEF);
    std::vector<std::uint32_t> states(count);
    bulk.NextStates(states.data(), count);
    for (std::size_t i = 0; i < count; ++i) {
      (void)one.Random(1);
      ASSERT_EQ(states[i], one.state()) << count << " at " << i;
    }
    EXPECT_EQ(bulk.state(), one.state()) << count;
    EXPECT_EQ(bulk.Random(77), one.Random(77));
  }
}

TEST(RandomGeneratorTest, DrawsStayInRange) {
  RandomGenerator gen;
  gen.set_state(12345);
  for (std::uint32_t range : {1U, 2U, 11U, 33U, 77U, 1000000U}) {
    for (int i = 0; i < 2000; ++i) EXPECT_LT(gen.Random(range), range);
  }
}

// The buffered file against a plain string model, over random mixes of
// reads, writes, seeks and truncations that cross buffer boundaries.
TEST(FileTest, BufferedOperationsMatchAModel) {
  TempDir dir;
  PosixFileSystem fs;
  std::mt19937 gen(7);
  for (int round = 0; round < 6; ++round) {
    const std::string path = dir / ("f" + std::to_string(round));
    std::string model = testing::SomeBytes(gen() % (3 * File::kBufferSize), round);
    WriteFile(path, model);
    File file = fs.OpenExisting(path);
    std::int64_t pos = 0;
    for (int step = 0; step < 400; ++step) {
      const std::size_t n = gen() % 3 == 0 ? gen() % (2 * File::kBufferSize) : gen() % 64;
      switch (gen() % 6) {
        case 0: {
          std::string got(n, '\0');
          const std::size_t read = file.Read(got.data(), n);
          const std::size_t expect =
              pos >= static_cast<std::int64_t>(model.size())
                  ? 0
                  : std::min<std::size_t>(n, model.size() - static_cast<std::size_t>(pos));
          ASSERT_EQ(read, expect);
          ASSERT_EQ(got.substr(0, read), model.substr(static_cast<std::size_t>(pos), read));
          pos += static_cast<std::int64_t>(read);
          break;
        }
        case 1:
        case 2: {
          const std::string data = testing::SomeBytes(n, step);
          file.Write(data.data(), n);
          if (model.size() < static_cast<std::size_t>(pos) + n) model.resize(pos + n, '\0');
          model.replace(static_cast<std::size_t>(pos), n, data);
          pos += static_cast<std::int64_t>(n);
          break;
        }
        case 3: {
          const int b = file.ReadByte();
          if (pos < static_cast<std::int64_t>(model.size())) {
            ASSERT_EQ(b, static_cast<unsigned char>(model[pos]));
            ++pos;
          } else {
            ASSERT_EQ(b, -1);
          }
          break;
        }
        case 4:
          pos = model.empty() ? 0 : static_cast<std::int64_t>(gen() % (model.size() + 1));
          file.Seek(pos);
          break;
        default:
          if (gen() % 8 == 0) {
            file.Truncate();
            model.resize(static_cast<std::size_t>(pos));
          } else {
            file.WriteByte(static_cast<std::uint8_t>(step));
            if (model.size() <= static_cast<std::size_t>(pos)) model.resize(pos + 1, '\0');
            model[static_cast<std::size_t>(pos)] = static_cast<char>(step);
            ++pos;
          }
      }
      ASSERT_EQ(file.Position(), pos);
      ASSERT_EQ(file.Size(), static_cast<std::int64_t>(model.size()));
      ASSERT_EQ(file.Eof(), pos >= static_cast<std::int64_t>(model.size()));
    }
    file.Close();
    ASSERT_EQ(ReadFile(path), model) << "round " << round;
  }
}

TEST(FileTest, ReadExactPastTheEndRaises) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / "a", "abc");
  File file = fs.OpenExisting(dir / "a");
  char buf[4];
  try {
    file.ReadExact(buf, 4);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "Read beyond end of file: " + (dir / "a"));
  }
}

TEST(FileSystemTest, OpenFailuresCarryTheFileLayerTexts) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / "ro", "x");
  ::chmod((dir / "ro").c_str(), 0444);
  ::mkdir((dir / "sub").c_str(), 0755);
  const std::pair<std::string, const char*> table[] = {
      {dir / "missing", "File not found"},
      {dir / "ro", "File access denied"},  // also for the administrator
      {dir / "sub", "File access denied"},
      {dir / "nofolder/x", "File not found"},
      {"", "File not found"},
  };
  for (const auto& [path, text] : table) {
    try {
      (void)fs.OpenExisting(path);
      ADD_FAILURE() << path << " opened";
    } catch (const Failure& e) {
      EXPECT_EQ(e.kind(), FailureKind::kIo);
      EXPECT_EQ(std::string(e.what()), path.empty() ? text : std::string(text) + ": " + path);
    }
  }
  // A read-only file can still be read, and is not emptied by Create.
  EXPECT_NO_THROW((void)fs.OpenForReading(dir / "ro"));
  EXPECT_TRUE(testing::RaisesFailure(FailureKind::kIo, [&] { (void)fs.Create(dir / "ro"); }));
  EXPECT_EQ(ReadFile(dir / "ro"), "x");
}

TEST(FileSystemTest, MoveRefusesAnExistingTarget) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / "a", "A");
  WriteFile(dir / "b", "B");
  try {
    fs.Move(dir / "a", dir / "b");
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "I/O error 183: " + (dir / "b"));
  }
  EXPECT_EQ(ReadFile(dir / "b"), "B");
  EXPECT_EQ(ReadFile(dir / "a"), "A");
}

TEST(FileSystemTest, ListsFilesAndFoldersApart) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / "b.txt", "");
  WriteFile(dir / ".hidden", "");
  ::mkdir((dir / "folder").c_str(), 0755);
  ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
  EXPECT_EQ(fs.ListFiles(dir.path()), (std::vector<std::string>{".hidden", "b.txt", "dangling"}));
  EXPECT_EQ(fs.ListDirectories(dir.path()), (std::vector<std::string>{"folder"}));
}

TEST(ReplacingFileTest, AppearsOnlyWhenCommitted) {
  TempDir dir;
  PosixFileSystem fs;
  Job job;
  WriteFile(dir / "target", "old");
  {
    ReplacingFile out(fs, dir / "target", job);
    out.file().Write("new", 3);
    if (fs.CreateUnnamedBeside(dir / "target").IsOpen()) {
      // Nothing under a name while the work goes on: a killed process
      // leaves nothing behind.
      EXPECT_EQ(ListNames(dir.path()), "target");
    }
    // Dropped without Commit: as after a failure.
  }
  EXPECT_EQ(ListNames(dir.path()), "target");
  EXPECT_EQ(ReadFile(dir / "target"), "old");
  {
    ReplacingFile out(fs, dir / "target", job);
    out.file().Write("new", 3);
    out.Commit();
  }
  EXPECT_EQ(ListNames(dir.path()), "target");
  EXPECT_EQ(ReadFile(dir / "target"), "new");
}

TEST(FileSystemTest, MovesAcrossDevicesKeepingModeAndTimeAndNeverReplacing) {
  struct stat shm {};
  struct stat tmp {};
  if (::stat("/dev/shm", &shm) != 0 || !S_ISDIR(shm.st_mode) || ::access("/dev/shm", W_OK) != 0) {
    GTEST_SKIP() << "no writable /dev/shm for a second device";
  }
  TempDir dir;
  TempDir other("/dev/shm");
  if (::stat(dir.path().c_str(), &tmp) != 0 || tmp.st_dev == shm.st_dev) {
    GTEST_SKIP() << "the temporary folder and /dev/shm share one device";
  }
  PosixFileSystem fs;
  WriteFile(dir / "from", std::string(3 << 20, 'x') + "end");
  ::chmod((dir / "from").c_str(), 0640);
  const struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
  ::utimensat(AT_FDCWD, (dir / "from").c_str(), times, 0);
  WriteFile(other / "taken", "keep");
  EXPECT_TRUE(
      testing::RaisesFailure(FailureKind::kIo, [&] { fs.Move(dir / "from", other / "taken"); }));
  EXPECT_EQ(ReadFile(other / "taken"), "keep");
  EXPECT_EQ(ListNames(dir.path()), "from");
  EXPECT_EQ(ListNames(other.path()), "taken");

  fs.Move(dir / "from", other / "to");
  EXPECT_EQ(ListNames(dir.path()), "");
  EXPECT_EQ(ListNames(other.path()), "taken to");
  EXPECT_EQ(ReadFile(other / "to"), std::string(3 << 20, 'x') + "end");
  struct stat st {};
  ASSERT_EQ(::stat((other / "to").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
}

TEST(FileSystemTest, RemovesOnlyTheTemporariesOfEndedProcesses) {
  TempDir dir;
  PosixFileSystem fs;
  // A process that has ended: its number is free (until reused).
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dead = ".talvor-work-" + std::to_string(child) + "-a1B2c3";
  const std::string mine = fs.CreateTemporaryFolderBeside(dir / "x");
  const std::string running = ".talvor-work-1-zzzzzz";  // init never ends
  const std::string nested = ".talvor-work-" + std::to_string(child) + "-nested";
  for (const std::string& name : {dead, running, nested, std::string(".talvor-work-12x-abcdef"),
                                  std::string(".talvor-work-" + std::to_string(child))}) {
    ASSERT_EQ(::mkdir((dir / name).c_str(), 0700), 0) << name;
    WriteFile(dir / (name + "/data.lha"), "intermediate");
  }
  ASSERT_EQ(::symlink("/etc/passwd", (dir / (dead + "/link")).c_str()), 0);
  ASSERT_EQ(::mkdir((dir / (nested + "/inner")).c_str(), 0700), 0);
  WriteFile(mine + "/stream", "in use");
  // Temporary files: of the ended process, of a running one, of this one,
  // a link that looks like one, and a user's file that only starts alike.
  const std::string dead_file = ".talvor-" + std::to_string(child) + "-doc.trp.Ab12Cd";
  WriteFile(dir / dead_file, "half a result");
  WriteFile(dir / ".talvor-1-doc.trp.Ab12Cd", "being written");
  std::string own_file;
  { File f = fs.CreateTemporaryBeside(dir / "doc.trp", &own_file); }
  ASSERT_EQ(::symlink("/etc/passwd", (dir / (".talvor-" + std::to_string(child) + "-l")).c_str()),
            0);
  WriteFile(dir / ".talvor-notes.txt", "the user's");
  const std::string users = ".talvor-" + std::to_string(child) + "-plan";  // no unique ending
  WriteFile(dir / users, "the user's too");

  fs.RemoveAbandonedTemporaries(dir / "x");
  const std::string left = ListNames(dir.path());
  EXPECT_EQ(left.find(dead), std::string::npos);
  EXPECT_NE(left.find(ExtractFileName(mine)), std::string::npos);
  EXPECT_NE(left.find(running), std::string::npos);
  EXPECT_NE(left.find(".talvor-work-12x-abcdef"), std::string::npos);
  // Anything but files inside: left as it is, apart from the files.
  EXPECT_NE(left.find(nested), std::string::npos);
  EXPECT_TRUE(Exists("/etc/passwd"));
  EXPECT_EQ(ReadFile(mine + "/stream"), "in use");
  EXPECT_EQ(left.find(dead_file), std::string::npos);
  EXPECT_NE(left.find(".talvor-1-doc.trp.Ab12Cd"), std::string::npos);
  EXPECT_NE(left.find(ExtractFileName(own_file)), std::string::npos);
  EXPECT_NE(left.find(".talvor-" + std::to_string(child) + "-l"), std::string::npos);
  EXPECT_NE(left.find(".talvor-notes.txt"), std::string::npos);
  EXPECT_NE(left.find(users), std::string::npos);
}

TEST(ReplacingFileTest, RefusesAReadOnlyTarget) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / "target", "old");
  ::chmod((dir / "target").c_str(), 0444);
  Job job;
  EXPECT_TRUE(
      testing::RaisesFailure(FailureKind::kIo, [&] { ReplacingFile(fs, dir / "target", job); }));
  EXPECT_EQ(ListNames(dir.path()), "target");
}

TEST(SystemInfoTest, VolumesComeFromRealStorageOnly) {
  const std::string table =
      "proc /proc proc rw 0 0\n"
      "/dev/vda1 / ext4 rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "/dev/sdb1 /media/my\\040stick vfat rw 0 0\n"
      "/dev/vda2 /boot/efi vfat rw 0 0\n"
      "server:/x /mnt/share nfs4 rw 0 0\n";
  const std::vector<Volume> volumes = VolumesFromMountTable(table);
  ASSERT_EQ(volumes.size(), 3U);
  EXPECT_EQ(volumes[0].root, "/");
  EXPECT_EQ(volumes[1].root, "/media/my stick");
  EXPECT_EQ(volumes[2].root, "/mnt/share");
}

}  // namespace
}  // namespace talvor

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fakes.h"
#include "platform/failure.h"
#include "protect/shred_file.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Exists;
using testing::FakeClock;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// An independent model of the passes: what the file must hold after each.
class ShredModel {
 public:
  explicit ShredModel(std::uint32_t start) : state_(start) {}

  std::vector<std::string> Passes(std::size_t n) {
    std::vector<std::string> after(8);
    std::string file(n, '\0');
    for (auto& c : file) c = static_cast<char>(Draw(77) + 1);
    after[1] = file;
    after[2] = std::string(n, '?');
    after[3] = std::string(n, '1');
    after[4] = std::string(n, '2');
    file.assign(4 * n, '\0');
    for (std::size_t j = 1; j <= n; ++j) {
      const std::uint32_t v = Draw(static_cast<std::uint32_t>(j));
      for (int k = 0; k < 4; ++k) file[4 * (j - 1) + k] = static_cast<char>(v >> (8 * k));
    }
    after[5] = file;
    for (auto& c : file) c = static_cast<char>(Draw(33));
    after[6] = file;
    for (auto& c : file) c = static_cast<char>(static_cast<std::int32_t>(Draw(11)) - 1);
    after[7] = file;
    return after;
  }

 private:
  std::uint32_t Draw(std::uint32_t range) {
    state_ = static_cast<std::uint32_t>(state_ * 0x08088405ULL + 1);
    return static_cast<std::uint32_t>((std::uint64_t{state_} * range) >> 32);
  }
  std::uint32_t state_;
};

class ShredTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  TempDir dir_;
  PosixFileSystem fs_;
  RandomGenerator random_;
  Job job_;
  FakeClock clock_;
};

TEST_P(ShredTest, PassesInOrderThenTruncationsThenDeletion) {
  const std::size_t n = GetParam();
  const std::string path = dir_ / "victim.doc";
  WriteFile(path, testing::SomeBytes(n));
  const std::uint32_t start = static_cast<std::uint32_t>(clock_.counter);
  const std::vector<std::string> expected = ShredModel(start).Passes(n);
  std::vector<int> passes_seen;
  bool opened = false;
  ShredHooks hooks;
  hooks.opened = [&] { opened = true; };
  hooks.pass_done = [&](int pass) {
    passes_seen.push_back(pass);
    ASSERT_EQ(ReadFile(path), expected[pass]) << "after pass " << pass;
  };
  ShredFile(fs_, random_, clock_, path, job_, hooks);
  EXPECT_TRUE(opened);
  EXPECT_EQ(passes_seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(Exists(path));
  if (n >= 1) {
    EXPECT_EQ(expected[5].substr(0, 4), std::string(4, '\0'));  // Random(1) is 0
  }
}

TEST_P(ShredTest, AnOpenFileGetsTheSamePassesAndStaysOpen) {
  const std::size_t n = GetParam();
  const std::string path = dir_ / "work";
  WriteFile(path, testing::SomeBytes(n));
  const std::vector<std::string> expected =
      ShredModel(static_cast<std::uint32_t>(clock_.counter)).Passes(n);
  File file = fs_.OpenExisting(path, false);
  file.Seek(static_cast<std::int64_t>(n / 3));  // wherever the caller left it
  int passes = 0;
  ShredHooks hooks;
  hooks.pass_done = [&](int pass) {
    ++passes;
    ASSERT_EQ(ReadFile(path), expected[pass]) << "after pass " << pass;
  };
  ShredOpenFile(file, random_, clock_, job_, hooks);
  EXPECT_EQ(passes, 7);
  EXPECT_TRUE(file.IsOpen());
  file.Close();
  EXPECT_EQ(ReadFile(path), expected[7].substr(0, n / 20));
}

// 0, 1, 41 bytes, and sizes across the routine's internal buffer.
INSTANTIATE_TEST_SUITE_P(Sizes, ShredTest, ::testing::Values(0, 1, 41, 4096, (1 << 20) + 3));

TEST(ShredTruncationTest, CutsToHalfThenToATwentieth) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  Job job;
  const std::string path = dir / "n41";
  WriteFile(path, std::string(41, 'x'));
  // Watch the size when the file is about to be deleted: keep a second name.
  ASSERT_EQ(::link(path.c_str(), (dir / "watch").c_str()), 0);
  ShredFile(fs, random, clock, path, job);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(ReadFile(dir / "watch").size(), 2U);  // 41 * 4 -> 20 -> 2
}

TEST(ShredRefusalTest, ReadOnlyFileIsUnchanged) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  Job job;
  WriteFile(dir / "ro", "keep me");
  ::chmod((dir / "ro").c_str(), 0444);
  try {
    ShredFile(fs, random, clock, dir / "ro", job);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "File access denied: " + (dir / "ro"));
  }
  EXPECT_EQ(ReadFile(dir / "ro"), "keep me");
}

TEST(ShredRefusalTest, SymbolicLinkIsNeverFollowed) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  Job job;
  WriteFile(dir / "precious", "keep me");
  ASSERT_EQ(::symlink((dir / "precious").c_str(), (dir / "link").c_str()), 0);
  EXPECT_TRUE(testing::RaisesFailure(FailureKind::kRefused,
                                     [&] { ShredFile(fs, random, clock, dir / "link", job); }));
  EXPECT_EQ(ReadFile(dir / "precious"), "keep me");
  EXPECT_TRUE(Exists(dir / "link"));
}

TEST(ShredRefusalTest, MissingFile) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  Job job;
  try {
    ShredFile(fs, random, clock, dir / "gone", job);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "File not found: " + (dir / "gone"));
  }
}

// Where Destroy could not finish (no room for the longer passes, a name that
// cannot be removed), it refuses before the first byte is overwritten.
struct StopCase {
  const char* name;
  std::size_t size;
  // Before the file is written, and after: each makes the folder a place
  // where Destroy cannot finish, or says why this machine cannot (skipped).
  std::string (*before)(const std::string& dir);
  std::string (*after)(const std::string& dir);
  void (*undo)(const std::string& dir);
  const char* expected;  // a part of the refusal
};

std::string Nothing(const std::string&) {
  return {};
}

// Sets or clears a chattr(1) mark on the folder.
std::string MarkFolder(const std::string& dir, int mark, bool on) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | mark : flags & ~mark;
  done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) ::close(fd);
  return done ? "" : "this file system or user cannot mark folders append-only";
}

const StopCase kStopCases[] = {
    {"AppendOnlyFolder", 100, Nothing,
     [](const std::string& dir) { return MarkFolder(dir, FS_APPEND_FL, true); },
     [](const std::string& dir) { (void)MarkFolder(dir, FS_APPEND_FL, false); },
     "could not be removed afterwards (the folder "},
    {"FolderNotWritable", 100,
     [](const std::string&) {
       return std::string(::geteuid() == 0 ? "the administrator may change any folder" : "");
     },
     [](const std::string& dir) {
       ::chmod(dir.c_str(), 0555);
       return std::string();
     },
     [](const std::string& dir) { ::chmod(dir.c_str(), 0755); },
     "could not be removed afterwards (you may not change the folder "},
    {"NoRoomForThePasses", 400000,
     [](const std::string& dir) {
       return std::string(::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") == 0
                              ? ""
                              : "a small tmpfs cannot be mounted here");
     },
     Nothing, [](const std::string& dir) { ::umount(dir.c_str()); }, "KB are free"},
};

class ShredStopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(ShredStopTest, RefusesBeforeOverwritingAnything) {
  const StopCase& c = GetParam();
  TempDir dir;
  const std::string folder = dir / "place";
  const std::string path = folder + "/f";
  const std::string content(c.size, 'k');
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  if (const std::string skip = c.before(folder); !skip.empty()) GTEST_SKIP() << skip;
  WriteFile(path, content);
  if (const std::string skip = c.after(folder); !skip.empty()) {
    c.undo(folder);
    GTEST_SKIP() << skip;
  }
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  Job job;
  std::string message;
  try {
    ShredFile(fs, random, clock, path, job);
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kRefused);
    message = e.what();
  }
  const std::string left = ReadFile(path);
  c.undo(folder);
  EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_EQ(left, content);
}

INSTANTIATE_TEST_SUITE_P(Places, ShredStopTest, ::testing::ValuesIn(kStopCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace talvor

#include <gtest/gtest.h>
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
  ShredFile(fs_, random_, clock_, path, hooks);
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
  ShredOpenFile(file, random_, clock_, hooks);
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
  const std::string path = dir / "n41";
  WriteFile(path, std::string(41, 'x'));
  // Watch the size when the file is about to be deleted: keep a second name.
  ASSERT_EQ(::link(path.c_str(), (dir / "watch").c_str()), 0);
  ShredFile(fs, random, clock, path);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(ReadFile(dir / "watch").size(), 2U);  // 41 * 4 -> 20 -> 2
}

TEST(ShredRefusalTest, ReadOnlyFileIsUnchanged) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  WriteFile(dir / "ro", "keep me");
  ::chmod((dir / "ro").c_str(), 0444);
  try {
    ShredFile(fs, random, clock, dir / "ro");
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "File access denied: " + (dir / "ro"));
  }
  EXPECT_EQ(ReadFile(dir / "ro"), "keep me");
}

TEST(ShredRefusalTest, SymbolicLinkIsNeverFollowed) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  WriteFile(dir / "precious", "keep me");
  ASSERT_EQ(::symlink((dir / "precious").c_str(), (dir / "link").c_str()), 0);
  EXPECT_THROW(ShredFile(fs, random, clock, dir / "link"), RefusedInput);
  EXPECT_EQ(ReadFile(dir / "precious"), "keep me");
  EXPECT_TRUE(Exists(dir / "link"));
}

TEST(ShredRefusalTest, MissingFile) {
  TempDir dir;
  PosixFileSystem fs;
  RandomGenerator random;
  FakeClock clock;
  try {
    ShredFile(fs, random, clock, dir / "gone");
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found: " + (dir / "gone"));
  }
}

}  // namespace
}  // namespace talvor

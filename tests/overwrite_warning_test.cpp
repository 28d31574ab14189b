#include "protect/overwrite_warning.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::TempDir;
using testing::WriteFile;

struct WarningCase {
  const char* name;
  StorageFacts facts;
  const char* reasons;  // what follows the sentence's opening; "" for no warning
};

class OverwriteWarningTest : public ::testing::TestWithParam<WarningCase> {};

TEST_P(OverwriteWarningTest, NamesEveryReasonAndNothingElse) {
  const std::string expected = GetParam().reasons;
  EXPECT_EQ(OverwriteWarning(GetParam().facts),
            expected.empty() ? "" : "Overwriting may not do all it should here: " + expected);
}

INSTANTIATE_TEST_SUITE_P(
    Storage, OverwriteWarningTest,
    ::testing::Values(
        WarningCase{"PlainExt4", {"ext4", "rw,relatime", false, false, 1}, ""},
        WarningCase{"Ext4OrderedData", {"ext4", "rw,data=ordered", false, false, 1}, ""},
        WarningCase{"UnknownNothingFound", {}, ""},
        WarningCase{"Ext4JournalledData",
                    {"ext4", "rw,data=journal,errors=remount-ro", false, false, 1},
                    "ext4 is mounted with data=journal, so the old content also passes through "
                    "its journal."},
        WarningCase{"Btrfs",
                    {"btrfs", "rw", false, false, 1},
                    "btrfs writes changes to new places (copy-on-write)."},
        WarningCase{"Sshfs",
                    {"fuse.sshfs", "rw", false, false, 1},
                    "the file lies on a FUSE file system (fuse.sshfs), which decides itself where "
                    "writes go."},
        WarningCase{"Flash",
                    {"xfs", "rw", true, false, 1},
                    "the device reports itself as flash, which writes changes to new cells."},
        WarningCase{"Reflink",
                    {"xfs", "rw", false, true, 1},
                    "parts of the file are shared with another file (a reflink copy), which "
                    "keeps them."},
        WarningCase{"TmpfsWithTwoMoreNames",
                    {"tmpfs", "rw", false, false, 3},
                    "the file lies in memory (tmpfs), parts of which may be in swap; and the file "
                    "has 2 other names (hard links), which will go on showing the overwritten "
                    "content."}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// What the machine itself says: the names of a file, and memory.
TEST(StorageTest, FindsHardLinksAndMemory) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / "a", "abc");
  EXPECT_EQ(fs.Storage(dir / "a").links, 1U);
  EXPECT_FALSE(fs.Storage(dir / "a").fs_type.empty());
  ASSERT_EQ(::link((dir / "a").c_str(), (dir / "b").c_str()), 0);
  EXPECT_THAT(OverwriteWarning(fs.Storage(dir / "a")),
              ::testing::HasSubstr("the file has 1 other name (a hard link)"));
  EXPECT_EQ(fs.Storage(dir / "missing").links, 1U);  // nothing found, nothing claimed

  struct statfs shm {};
  if (::statfs("/dev/shm", &shm) != 0 || shm.f_type != 0x01021994) {
    GTEST_SKIP() << "/dev/shm is not a tmpfs here";
  }
  TempDir memory("/dev/shm");
  WriteFile(memory / "a", "abc");
  EXPECT_EQ(fs.Storage(memory / "a").fs_type, "tmpfs");
  EXPECT_THAT(OverwriteWarning(fs.Storage(memory / "a")), ::testing::HasSubstr("(tmpfs)"));
}

}  // namespace
}  // namespace talvor

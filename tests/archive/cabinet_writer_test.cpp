// The cabinet library's writer: our cabinets read back by our reader and by
// cabextract, 7-Zip and gcab; what it refuses; failures that must leave
// nothing behind.
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "archive/cab/cabinet.h"
#include "archive/cabinet_test_support.h"
#include "test_support.h"

namespace talvor::cabinet_testing {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
namespace fs = std::filesystem;

// --- our cabinets --------------------------------------------------------------

struct WriteCase {
  std::string name;
  std::uint16_t compression;
  std::vector<std::size_t> sizes;
};

class OurCabinet : public ::testing::TestWithParam<WriteCase> {
 protected:
  void SetUp() override {
    const std::vector<std::size_t>& sizes = GetParam().sizes;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      members_.push_back({i % 2 == 0 ? "file" + std::to_string(i) + ".txt"
                                     : "dir\\sub " + std::to_string(i) + "\\data.bin",
                          Content(sizes[i], static_cast<unsigned>(i)), 0x20,
                          kSomeTime + static_cast<std::uint32_t>(i)});
    }
    cabinet_ = MakeCabinet(dir_, members_, GetParam().compression);
  }

  TempDir dir_;
  std::vector<Member> members_;
  std::string cabinet_;
};

TEST_P(OurCabinet, OurReaderReadsItBack) {
  const std::unique_ptr<CabinetSession> session = MakeCabinetLibrary()->Open(cabinet_);
  ASSERT_EQ(session->Files().size(), members_.size());
  for (std::size_t i = 0; i < members_.size(); ++i) {
    const CabinetEntry& entry = session->Files()[i];
    EXPECT_EQ(entry.name, members_[i].name);
    EXPECT_EQ(entry.size, members_[i].content.size());
    EXPECT_EQ(entry.dos_time, members_[i].dos_time);
    EXPECT_EQ(entry.compression, GetParam().compression);
    EXPECT_TRUE(Extract(*session, i, dir_ / "out") == members_[i].content) << entry.name;
  }
}

// cabextract checks the data blocks' checksums and sets the files' times;
// 7-Zip and gcab read the cabinet too.
TEST_P(OurCabinet, OtherProgramsReadIt) {
  if (!Have("cabextract") || !Have("7z") || !Have("gcab")) {
    GTEST_SKIP() << "cabextract, 7z or gcab is not installed";
  }
  const Outcome test = RunProgram("cabextract -t " + Quote(cabinet_));
  EXPECT_NE(test.output.find("All done, no errors"), std::string::npos) << test.output;
  EXPECT_NE(RunProgram("7z t " + Quote(cabinet_)).output.find("Everything is Ok"),
            std::string::npos);
  std::string names;
  for (const Member& m : members_) names += m.name + "\n";
  EXPECT_EQ(RunProgram("gcab -t " + Quote(cabinet_)).output, names);
  fs::create_directories(dir_ / "g");
  ASSERT_EQ(RunProgram("TZ=UTC cabextract -q -d " + Quote(dir_ / "c") + " " + Quote(cabinet_) +
                       " && gcab -x -C " + Quote(dir_ / "g") + " " + Quote(cabinet_))
                .status,
            0);
  for (std::size_t i = 0; i < members_.size(); ++i) {
    const std::string name = Slashes(members_[i].name);
    EXPECT_TRUE(ReadFile(dir_ / ("c/" + name)) == members_[i].content) << name;
    EXPECT_TRUE(ReadFile(dir_ / ("g/" + name)) == members_[i].content) << name;
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / ("c/" + name)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kSomeTimeUtc + 2 * static_cast<std::time_t>(i)) << name;
  }
}

// Blocks of 32 KiB run across files; 32768 and 32769 bytes end a block
// exactly or just after; noise is kept as stored Deflate blocks.
INSTANTIATE_TEST_SUITE_P(
    Cabinets, OurCabinet,
    ::testing::Values(WriteCase{"MsZipOneFile", kMsZip, {5000}},
                      WriteCase{"MsZipSeveralFiles", kMsZip, {1000, 40000, 70000, 0, 12, 33000}},
                      WriteCase{"MsZipEmptyFile", kMsZip, {0}},
                      WriteCase{"MsZipOneBlock", kMsZip, {32768}},
                      WriteCase{"MsZipOneBlockAndAByte", kMsZip, {32769}},
                      WriteCase{"MsZipNoise", kMsZip, {0, 100000}},
                      WriteCase{"MsZipSeveralMiB", kMsZip, {3 << 20, (1 << 20) + 7, 2 << 20}},
                      WriteCase{"StoredSeveralFiles", kStored, {1000, 40000, 70000, 0, 12}},
                      WriteCase{"StoredEmptyFile", kStored, {0}},
                      WriteCase{"StoredOneBlock", kStored, {32768}},
                      WriteCase{"StoredOneBlockAndAByte", kStored, {32769}},
                      WriteCase{"StoredSeveralMiB", kStored, {3 << 20, (1 << 20) + 7}}),
    testing::ByName());

// Names are code-page bytes (Windows-1250, 852); attributes and times, the
// extremes of the MS-DOS date included, are kept as given.
TEST(OurCabinetRecords, NamesAttributesAndTimesSurvive) {
  TempDir dir;
  const std::vector<Member> members = {
      {"P\x9F\xED"
       "li\x9A \x9Elu\x9Dou\x9Dk\xFD k\xF9\xF2.txt",
       "1250", 0x00, 0x00210000},
      {"\x8A\x9E\xA7\xAC\xFD\xD8 \xA0\xA1\xA2\xA3.txt", "852", 0x21, 0xFF9FBF7D},
      {"slo\x9Eka\\\xE8\xE9\xEC\xF8.dat", "nested", 0x06, 0xFFFFFFFF},
      {"utf-8 \xC5\xBE", "flagged", 0xA0, kSomeTime},
      {std::string(255, 'n'), "the longest name", 0x60, kSomeTime}};
  const std::string cabinet = MakeCabinet(dir, members, kMsZip);
  const std::unique_ptr<CabinetSession> session = MakeCabinetLibrary()->Open(cabinet);
  ASSERT_EQ(session->Files().size(), members.size());
  std::string names;
  for (std::size_t i = 0; i < members.size(); ++i) {
    EXPECT_EQ(session->Files()[i].name, members[i].name);
    EXPECT_EQ(session->Files()[i].attributes, members[i].attributes) << members[i].name;
    EXPECT_EQ(session->Files()[i].dos_time, members[i].dos_time) << members[i].name;
    EXPECT_EQ(Extract(*session, i, dir / "out"), members[i].content);
    names += members[i].name + "\n";
  }
  if (Have("gcab")) {
    EXPECT_EQ(RunProgram("gcab -t " + Quote(cabinet)).output, names);
  }
}

// --- what the writer refuses -------------------------------------------------

struct RefusalCase {
  std::string name;
  std::string source;  // in the test's folder
  std::string stored_name;
  std::uint16_t compression;
  int code;
  int type;
};

class WriterRefusal : public ::testing::TestWithParam<RefusalCase> {};

// The refused file leaves no trace in the cabinet made after it.
TEST_P(WriterRefusal, RaisesAndGoesOn) {
  const RefusalCase& c = GetParam();
  TempDir dir;
  WriteFile(dir / "good", "good data");
  fs::create_directories(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);  // would block a reader
  const std::unique_ptr<CabinetBuilder> builder = Builder(dir.path());
  const std::optional<CabinetError> error = ErrorOf(
      [&] { builder->AddFile(dir / c.source, c.stored_name, 0x20, kSomeTime, c.compression); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), c.code) << error->what();
  EXPECT_EQ(error->type(), c.type) << error->what();
  builder->AddFile(dir / "good", "good.txt", 0x20, kSomeTime, kMsZip);
  builder->Flush();
  EXPECT_EQ(ExtractAll(dir / "test.cab", dir / "x"), (Contents{{"good.txt", "good data"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, WriterRefusal,
    ::testing::Values(RefusalCase{"MissingSource", "missing", "a", kMsZip, 1, ENOENT},
                      RefusalCase{"FolderAsSource", "folder", "a", kMsZip, 1, EISDIR},
                      RefusalCase{"PipeAsSource", "pipe", "a", kMsZip, 1, EACCES},
                      RefusalCase{"NameTooLong", "good", std::string(256, 'n'), kMsZip, 9, 0},
                      RefusalCase{"EmptyName", "good", "", kMsZip, 9, 0},
                      RefusalCase{"Lzx", "good", "a", cabinet_compression::kLzx | 21 << 8, 5, 0},
                      RefusalCase{"Quantum", "good", "a", cabinet_compression::kQuantum | 4 << 4, 5,
                                  0}),
    testing::ByName());

// A file that takes the cabinet over its size limit is refused after some of
// its blocks were made; they are taken out again.
TEST(WriterRefusal, FileOverTheSizeLimitIsTakenOutAgain) {
  TempDir dir;
  const Contents kept = {{"text", Content(150000, 3)}, {"tail", Content(20000, 6)}};
  WriteFile(dir / "text", kept.at("text"));
  WriteFile(dir / "noise", Content(300000, 1));
  WriteFile(dir / "tail", kept.at("tail"));
  const std::unique_ptr<CabinetBuilder> builder = Builder(dir.path(), 200000);
  builder->AddFile(dir / "text", "text", 0x20, kSomeTime, kMsZip);
  const auto error =
      ErrorOf([&] { builder->AddFile(dir / "noise", "n", 0x20, kSomeTime, kMsZip); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), 9);
  builder->AddFile(dir / "tail", "tail", 0x20, kSomeTime, kMsZip);
  builder->Flush();
  EXPECT_LE(fs::file_size(dir / "test.cab"), 200000U);
  EXPECT_EQ(ExtractAll(dir / "test.cab", dir / "x"), kept);
}

// --- failures leave nothing behind ---------------------------------------------

// No folder, a read-only cabinet, no file: nothing is written, an old cabinet
// stays as it was.
TEST(WriterFailure, RefusedFlushLeavesNothing) {
  TempDir dir;
  WriteFile(dir / "source", "data");
  const auto flush_error = [&](const std::string& folder, bool add) {
    const std::unique_ptr<CabinetBuilder> builder = Builder(folder);
    if (add) builder->AddFile(dir / "source", "source", 0x20, kSomeTime, kMsZip);
    return ErrorOf([&] { builder->Flush(); });
  };
  auto error = flush_error(dir / "missing", true);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), 6);
  EXPECT_EQ(error->type(), ENOENT);
  WriteFile(dir / "test.cab", "old");
  ::chmod((dir / "test.cab").c_str(), 0444);
  error = flush_error(dir.path(), true);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), 6);
  ::chmod((dir / "test.cab").c_str(), 0644);
  error = flush_error(dir.path(), false);  // readers refuse a cabinet without files
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), 9);
  EXPECT_EQ(ReadFile(dir / "test.cab"), "old");
  EXPECT_EQ(ListNames(dir.path()), "source test.cab");
}

// A write that fails half-way (the process's file-size limit stands in for a
// full disk) keeps the old cabinet; Flush can be tried again.
TEST(WriterFailure, FailedWriteKeepsTheOldCabinetAndCanBeRetried) {
  TempDir dir;
  WriteFile(dir / "test.cab", "old");
  WriteFile(dir / "source", Content(20000, 0));
  const std::unique_ptr<CabinetBuilder> builder = Builder(dir.path());
  builder->AddFile(dir / "source", "source", 0x20, kSomeTime, kMsZip);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  rlimit limit = old_limit;
  limit.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const std::optional<CabinetError> error = ErrorOf([&] { builder->Flush(); });
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), 6);
  EXPECT_EQ(error->type(), EFBIG);
  EXPECT_EQ(ReadFile(dir / "test.cab"), "old");
  EXPECT_EQ(ListNames(dir.path()), "source test.cab");
  builder->Flush();
  EXPECT_EQ(ExtractAll(dir / "test.cab", dir / "x").at("source"), Content(20000, 0));
}

// The blocks wait in a temporary file without a name: a builder dropped
// without Flush, even a process that dies, leaves no file anywhere.
TEST(WriterFailure, DroppedBuilderLeavesNothing) {
  TempDir sources;
  TempDir temp;
  TempDir dir;
  WriteFile(sources / "source", Content(500000, 0));
  const std::string old_tmpdir = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
  ::setenv("TMPDIR", temp.path().c_str(), 1);
  {
    const std::unique_ptr<CabinetBuilder> builder = Builder(dir.path());
    builder->AddFile(sources / "source", "source", 0x20, kSomeTime, kMsZip);
    EXPECT_EQ(ListNames(temp.path()), "");
    bool open_there = false;  // the blocks' file, open but without a name
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      open_there |= fs::read_symlink(fd.path(), ec).string().starts_with(temp.path() + "/");
    }
    EXPECT_TRUE(open_there);
  }
  old_tmpdir.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", old_tmpdir.c_str(), 1);
  EXPECT_EQ(ListNames(dir.path()), "");
}

}  // namespace
}  // namespace talvor::cabinet_testing

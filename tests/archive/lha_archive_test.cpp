#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "archive/archive_kinds.h"
#include "archive/archive_test_support.h"
#include "archive/crc.h"
#include "archive/dos_time.h"
#include "archive/lha/lha_archive.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ErrorLog;
using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

std::string Text(std::size_t size) {
  std::string text;
  const char* words[] = {"lorem ", "ipsum ", "dolor ", "sit ", "amet, ", "consectetur\n"};
  for (std::size_t i = 0; text.size() < size; ++i) text += words[(i * 7 + i / 3) % 6];
  text.resize(size);
  return text;
}

class LhaTest : public ::testing::Test {
 protected:
  int Pack(const std::string& file, const std::string& archive, bool recurse = true) {
    LhaWriter lha(fs_);
    log_.Attach(lha);
    lha.RecurseDirs = recurse;
    lha.SetArchiveFile(archive);
    lha.FileSpec = {file};
    return lha.Compress();
  }
  int Unpack(const std::string& archive, const std::string& folder) {
    LhaReader unlha(fs_);
    log_.Attach(unlha);
    unlha.SetArchiveFile(archive);
    unlha.FileSpec = {"*.*"};
    unlha.SetExtractDir(folder);
    return unlha.Extract();
  }
  std::vector<LhaHeader> Headers(const std::string& archive) {
    File f = fs_.OpenForReading(archive);
    std::vector<LhaHeader> all;
    LhaHeader h;
    for (std::int64_t at = 0; ReadLhaHeader(f, at, h); at = h.next_offset) all.push_back(h);
    return all;
  }

  TempDir dir_;
  PosixFileSystem fs_;
  ErrorLog log_;
};

TEST_F(LhaTest, TextFileGetsALevel0Lh6Header) {
  WriteFile(dir_ / "notes.txt", Text(1000));
  ASSERT_EQ(Pack(dir_ / "notes.txt", dir_ / "notes.lha"), 1);
  EXPECT_TRUE(log_.events.empty());
  const std::string archive = ReadFile(dir_ / "notes.lha");
  ASSERT_GT(archive.size(), 33U);
  EXPECT_EQ(static_cast<unsigned char>(archive[0]), 31);
  EXPECT_EQ(archive.substr(2, 5), "-lh6-");
  EXPECT_EQ(archive[20], 0);  // level
  EXPECT_EQ(archive[21], 9);
  EXPECT_EQ(archive.substr(22, 9), "notes.txt");
  unsigned sum = 0;
  for (std::size_t i = 2; i <= 32; ++i) sum += static_cast<unsigned char>(archive[i]);
  EXPECT_EQ(static_cast<unsigned char>(archive[1]), sum & 0xFF);
  const std::uint16_t crc =
      Crc16(0, reinterpret_cast<const std::uint8_t*>(Text(1000).data()), 1000);
  EXPECT_EQ(static_cast<unsigned char>(archive[31]) | static_cast<unsigned char>(archive[32]) << 8,
            crc);
  // A zero byte, the end mark, after the last entry.
  const std::vector<LhaHeader> headers = Headers(dir_ / "notes.lha");
  ASSERT_EQ(headers.size(), 1U);
  EXPECT_EQ(headers[0].next_offset + 1, static_cast<std::int64_t>(archive.size()));
  EXPECT_EQ(archive.back(), '\0');
  EXPECT_LT(headers[0].packed_size, 1000U);
}

struct StoreCase {
  const char* name;
  std::string file;
  std::string content;
};

class LhaStoreTest : public LhaTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(LhaStoreTest, StoredWithoutCompression) {
  WriteFile(dir_ / GetParam().file, GetParam().content);
  ASSERT_EQ(Pack(dir_ / GetParam().file, dir_ / "out.lha"), 1);
  const std::vector<LhaHeader> h = Headers(dir_ / "out.lha");
  ASSERT_EQ(h.size(), 1U);
  EXPECT_EQ(h[0].method, "-lh0-");
  EXPECT_EQ(h[0].packed_size, GetParam().content.size());
  EXPECT_EQ(h[0].original_size, GetParam().content.size());
  if (GetParam().content.empty()) {
    EXPECT_EQ(h[0].crc, 0);
  }
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "out.lha", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / ("x/" + GetParam().file)), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(Files, LhaStoreTest,
                         ::testing::Values(StoreCase{"Random", "noise.bin", SomeBytes(50000)},
                                           StoreCase{"Empty", "empty.txt", ""},
                                           StoreCase{"ZipUpperCase", "backup.ZIP", Text(20000)},
                                           StoreCase{"Rar", "old.rar", Text(20000)},
                                           // Compression that cannot pay for the header is dropped.
                                           StoreCase{"Tiny", "a.txt", "abc"}),
                         testing::ByName());

TEST_F(LhaTest, RoundTripsThroughOurReaderAndIndependentOnes) {
  const std::string content = Text(300000) + SomeBytes(40000) + std::string(70000, 'z');
  WriteFile(dir_ / "mixed.dat", content);
  ASSERT_EQ(Pack(dir_ / "mixed.dat", dir_ / "mixed.lha"), 1);
  EXPECT_EQ(Headers(dir_ / "mixed.lha")[0].method, "-lh6-");
  const std::vector<std::pair<std::string, std::vector<std::string>>> readers = {
      {"ours", {}},
      {"lha", {"lha", "xq", dir_ / "mixed.lha"}},
      {"7z", {"7z", "x", "-y", dir_ / "mixed.lha"}},
      {"bsdtar", {"bsdtar", "-xf", dir_ / "mixed.lha"}},
  };
  for (const auto& [name, argv] : readers) {
    const std::string out = dir_ / ("out-" + name);
    ::mkdir(out.c_str(), 0755);
    if (argv.empty()) {
      EXPECT_EQ(Unpack(dir_ / "mixed.lha", out), 1);
    } else if (!testing::HaveProgram(argv[0])) {
      std::cout << "[  SKIPPED ] " << name << " is not installed\n";
      continue;
    } else if (name == "bsdtar") {
      // This reader needs the end-of-archive byte that our archives, like the
      // archives of the program they replace, do not carry.
      WriteFile(dir_ / "marked.lha", ReadFile(dir_ / "mixed.lha") + std::string(1, '\0'));
      EXPECT_EQ(testing::RunProgram({"bsdtar", "-xf", dir_ / "marked.lha"}, out), 0) << name;
    } else {
      EXPECT_EQ(testing::RunProgram(argv, out), 0) << name;
    }
    EXPECT_EQ(ReadFile(out + "/mixed.dat"), content) << name;
  }
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(LhaTest, NonAsciiNamesAreStoredInTheOemCodePage) {
  const std::string name = "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87.txt";  // zażółć.txt
  WriteFile(dir_ / name, Text(500));
  ASSERT_EQ(Pack(dir_ / name, dir_ / "pl.lha"), 1);
  EXPECT_EQ(Headers(dir_ / "pl.lha")[0].raw_name, "za\xBE\xA2\x88\x86.txt");
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "pl.lha", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / ("x/" + name)), Text(500));
}

TEST_F(LhaTest, RecursionFollowsTheComponentSetting) {
  WriteFile(dir_ / "a.txt", "top");
  ::mkdir((dir_ / "old").c_str(), 0755);
  WriteFile(dir_ / "old/a.txt", "below");
  // The component's own default descends...
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "all.lha"), 2);
  const std::vector<LhaHeader> h = Headers(dir_ / "all.lha");
  ASSERT_EQ(h.size(), 2U);
  EXPECT_EQ(ReadFile(dir_ / "all.lha").find("old\\a.txt") != std::string::npos, true);
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "all.lha", dir_ / "x"), 2);
  EXPECT_EQ(ReadFile(dir_ / "x/old/a.txt"), "below");
  // ...the system's writers do not.
  std::unique_ptr<ArchiveWriter> writer = MakeWriter(ArchiveKind::kLha, fs_);
  writer->SetArchiveFile(dir_ / "one.lha");
  writer->FileSpec = {dir_ / "a.txt"};
  EXPECT_EQ(writer->Compress(), 1);
  EXPECT_EQ(Headers(dir_ / "one.lha").size(), 1U);
}

TEST_F(LhaTest, UpdatingKeepsEntriesAndLeavesSameNamesAlone) {
  WriteFile(dir_ / "a.txt", "first a");
  WriteFile(dir_ / "b.txt", "first b");
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "arc.lha"), 1);
  // As other programs write it: no end mark. It is added to all the same,
  // and ends with one.
  const std::string first = ReadFile(dir_ / "arc.lha");
  WriteFile(dir_ / "arc.lha", first.substr(0, first.size() - 1));
  WriteFile(dir_ / "a.txt", "changed a, and longer");
  EXPECT_EQ(Pack(dir_ / "a.txt", dir_ / "arc.lha"), 0);
  EXPECT_EQ(log_.Codes(), (std::vector<int>{25270, 25268}));
  EXPECT_EQ(log_.events[0].extra, "OnReplaceFile");
  ASSERT_EQ(Pack(dir_ / "b.txt", dir_ / "arc.lha"), 1);
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "arc.lha", dir_ / "x"), 2);
  EXPECT_EQ(ReadFile(dir_ / "x/a.txt"), "first a");
  EXPECT_EQ(ReadFile(dir_ / "x/b.txt"), "first b");
  EXPECT_EQ(ReadFile(dir_ / "arc.lha").back(), '\0');
  EXPECT_EQ(Headers(dir_ / "arc.lha").size(), 2U);
}

TEST_F(LhaTest, FailuresGoToTheErrorEventAndLeaveNoArchive) {
  EXPECT_EQ(Pack(dir_ / "missing.txt", dir_ / "m.lha"), 0);
  EXPECT_EQ(log_.Codes(), std::vector<int>{25268});
  EXPECT_FALSE(Exists(dir_ / "m.lha"));
  log_.events.clear();
  WriteFile(dir_ / "a.txt", "x");
  EXPECT_EQ(Pack(dir_ / "a.txt", dir_ / "no/such/folder/a.lha"), 0);
  EXPECT_EQ(log_.Codes(), std::vector<int>{25158});
  EXPECT_EQ(ListNames(dir_.path()), "a.txt");
}

TEST_F(LhaTest, LongNamesGetALevel2HeaderThatReadersAccept) {
  const std::string name = std::string(240, 'n') + ".txt";
  WriteFile(dir_ / name, Text(3000));
  ASSERT_EQ(Pack(dir_ / name, dir_ / "long.lha"), 1);
  const std::vector<LhaHeader> h = Headers(dir_ / "long.lha");
  ASSERT_EQ(h.size(), 1U);
  EXPECT_EQ(h[0].level, 2);
  EXPECT_EQ(h[0].raw_name, name);
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "long.lha", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / ("x/" + name)), Text(3000));
  if (testing::HaveProgram("lha")) {
    ::mkdir((dir_ / "y").c_str(), 0755);
    EXPECT_EQ(testing::RunProgram({"lha", "xq", dir_ / "long.lha"}, dir_ / "y"), 0);
    EXPECT_EQ(ReadFile(dir_ / ("y/" + name)), Text(3000));
  }
}

TEST_F(LhaTest, ExtractedFilesGetTheStoredTime) {
  const std::uint32_t stamp =
      (45U << 25) | (6U << 21) | (15U << 16) | (13U << 11) | (37U << 5) | 11U;
  WriteFile(dir_ / "t.lzh",
            testing::Level0Entry("-lh0-", "t.txt", "abc", 3,
                                 Crc16(0, reinterpret_cast<const std::uint8_t*>("abc"), 3), stamp));
  ASSERT_EQ(Unpack(dir_ / "t.lzh", dir_.path()), 1);
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "t.txt").c_str(), &st), 0);
  EXPECT_EQ(DosTimeFromUnix(st.st_mtime), stamp);  // 2025-06-15 13:37:22
}

// Hostile and damaged archives: refused entries, the others still extracted.
struct HostileCase {
  const char* name;
  std::string archive;
  std::vector<int> codes;
  std::string listing;  // what the extract folder holds afterwards
};

class LhaHostileTest : public LhaTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(LhaHostileTest, NothingEscapesTheExtractFolder) {
  ::mkdir((dir_ / "out").c_str(), 0755);
  ::mkdir((dir_ / "elsewhere").c_str(), 0755);
  ASSERT_EQ(::symlink((dir_ / "elsewhere").c_str(), (dir_ / "out/link").c_str()), 0);
  WriteFile(dir_ / "in.lzh", GetParam().archive);
  Unpack(dir_ / "in.lzh", dir_ / "out");
  EXPECT_EQ(log_.Codes(), GetParam().codes);
  EXPECT_EQ(ListNames(dir_ / "out"), GetParam().listing);
  EXPECT_EQ(ListNames(dir_ / "elsewhere"), "");
  EXPECT_EQ(ListNames(dir_.path()), "elsewhere in.lzh out");
}

const std::string kOk = testing::StoredEntry("ok.txt", "fine");

INSTANTIATE_TEST_SUITE_P(
    Archives, LhaHostileTest,
    ::testing::
        Values(HostileCase{"DotDot",
                           testing::StoredEntry("..\\evil.txt", "x") + kOk,
                           {25114},
                           "link ok.txt"},
               HostileCase{"DotDotInside",
                           testing::StoredEntry("a\\..\\..\\evil.txt", "x") + kOk,
                           {25114},
                           "link ok.txt"},
               // A leading separator or drive is removed: the entry lands inside.
               HostileCase{"Absolute",
                           testing::StoredEntry("\\abs.txt", "x") + kOk,
                           {},
                           "abs.txt link ok.txt"},
               HostileCase{"Drive",
                           testing::StoredEntry("C:\\drive.txt", "x") + kOk,
                           {},
                           "drive.txt link ok.txt"},
               HostileCase{"ThroughLink",
                           testing::StoredEntry("link\\evil.txt", "x") + kOk,
                           {25114},
                           "link ok.txt"},
               HostileCase{
                   "OntoLink", testing::StoredEntry("link", "x") + kOk, {25114}, "link ok.txt"},
               HostileCase{"CrcMismatch",
                           testing::Level0Entry("-lh0-", "bad.txt", "data", 4, 0x1234) + kOk,
                           {25151},
                           "bad.txt link ok.txt"},
               HostileCase{"UnknownMethod",
                           testing::Level0Entry("-lh3-", "m.txt", "data", 4, 0) + kOk,
                           {25326},
                           "link ok.txt"},
               HostileCase{"OtherFamily",
                           testing::Level0Entry("-pm3-", "m.txt", "data", 4, 0) + kOk,
                           {25326},
                           "link ok.txt"},
               HostileCase{"ControlCharacters",
                           testing::StoredEntry("a\x1b]2;x\x07.txt", "x") + kOk,
                           {},
                           "a_]2;x_.txt link ok.txt"},
               HostileCase{"UnknownMethodAlone",
                           testing::Level0Entry("-lh9-", "m.txt", "data", 4, 0),
                           {25326},
                           "link"},
               HostileCase{"ShortHeaderSize",
                           kOk + std::string("\x05\x00-lh0-", 7) + std::string(20, '\0'),
                           {25114},
                           "link ok.txt"},
               HostileCase{"TruncatedStored",
                           kOk + testing::Level0Entry("-lh0-", "cut.txt", "only", 1000, 0),
                           {25151},
                           "link ok.txt"},
               HostileCase{"HugeDeclaredSize",
                           kOk + testing::Level0Entry("-lh5-", "bomb.txt", std::string(30, '\xFF'),
                                                      0xFFFFFFFFU, 0),
                           {25151},
                           "link ok.txt"},
               HostileCase{
                   "BadChecksum",
                   [] {
                     std::string e = testing::StoredEntry("x.txt", "x");
                     e[1] = static_cast<char>(e[1] + 1);
                     return kOk + e;
                   }(),
                   {25114},
                   "link ok.txt"}),
    testing::ByName());

}  // namespace
}  // namespace talvor

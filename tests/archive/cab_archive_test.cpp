#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive/archive_kinds.h"
#include "archive/archive_test_support.h"
#include "archive/cab/cab_archive.h"
#include "archive/dos_time.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ErrorLog;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::uint32_t U16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

class CabTest : public ::testing::Test {
 protected:
  int Pack(const std::string& file, const std::string& archive) {
    CabWriter cab(fs_, DefaultCabinetLibrary());
    log_.Attach(cab);
    cab.RecurseDirs = false;
    cab.SetCompressMethod(PackingMethod::kDeflate);  // a method cabinets lack: ignored
    cab.SetArchiveFile(archive);
    cab.FileSpec = {file};
    return cab.Compress();
  }
  int Unpack(const std::string& archive, const std::string& folder) {
    CabReader reader(fs_, DefaultCabinetLibrary());
    log_.Attach(reader);
    reader.SetArchiveFile(archive);
    reader.FileSpec = {"*.*"};
    reader.SetExtractDir(folder);
    return reader.Extract();
  }
  std::vector<ArchiveEntry> Entries(const std::string& archive) {
    CabReader reader(fs_, DefaultCabinetLibrary());
    log_.Attach(reader);
    reader.SetArchiveFile(archive);
    std::vector<ArchiveEntry> all;
    reader.List([&](const ArchiveEntry& e) { all.push_back(e); });
    return all;
  }

  TempDir dir_;
  PosixFileSystem fs_;
  ErrorLog log_;
};

TEST_F(CabTest, OneMsZipFolderWithTheFileAndItsTimeAndAttributes) {
  WriteFile(dir_ / "readme.txt", std::string(5000, 'r'));
  const std::time_t when =
      UnixFromDosTime((44U << 25) | (3U << 21) | (9U << 16) | (8U << 11) | (30U << 5));
  fs_.SetLastWriteTime(dir_ / "readme.txt", when);
  ::chmod((dir_ / "readme.txt").c_str(), 0444);
  ASSERT_EQ(Pack(dir_ / "readme.txt", dir_ / "readme.cab"), 1);
  const std::string cab = ReadFile(dir_ / "readme.cab");
  EXPECT_EQ(cab.substr(0, 4), "MSCF");
  EXPECT_EQ(U16(cab, 26), 1U);      // folders
  EXPECT_EQ(U16(cab, 28), 1U);      // files
  EXPECT_EQ(U16(cab, 36 + 6), 1U);  // the folder's compression: MSZIP
  const std::vector<ArchiveEntry> entries = Entries(dir_ / "readme.cab");
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].name, "readme.txt");
  EXPECT_EQ(entries[0].method, "MsZIP");
  EXPECT_EQ(entries[0].dos_time, DosTimeFromUnix(when));
  EXPECT_EQ(entries[0].attributes, 0x21);  // read-only and archive
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "readme.cab", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / "x/readme.txt"), std::string(5000, 'r'));
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(CabTest, AnExistingCabinetIsReplacedAndZipFilesAreCompressed) {
  std::string zipish;
  for (int i = 0; i < 2000; ++i) zipish += "PK compressible " + std::to_string(i % 10);
  WriteFile(dir_ / "a.zip", zipish);
  WriteFile(dir_ / "b.txt", "second");
  ASSERT_EQ(Pack(dir_ / "a.zip", dir_ / "out.cab"), 1);
  EXPECT_LT(ReadFile(dir_ / "out.cab").size(), zipish.size() / 4);  // no store list
  ASSERT_EQ(Pack(dir_ / "b.txt", dir_ / "out.cab"), 1);
  const std::vector<ArchiveEntry> entries = Entries(dir_ / "out.cab");
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].name, "b.txt");
}

TEST_F(CabTest, IndependentReadersAcceptOurCabinets) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "line " + std::to_string(i) + "\n";
  WriteFile(dir_ / "big.txt", text);
  ASSERT_EQ(Pack(dir_ / "big.txt", dir_ / "big.cab"), 1);
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{"cabextract", "-t", dir_ / "big.cab"},
        std::vector<std::string>{"7z", "t", dir_ / "big.cab"}}) {
    if (!testing::HaveProgram(argv[0])) continue;
    EXPECT_EQ(testing::RunProgram(argv, dir_.path()), 0) << argv[0];
  }
}

TEST_F(CabTest, NothingEscapesTheExtractFolder) {
  ::mkdir((dir_ / "out").c_str(), 0755);
  ::mkdir((dir_ / "elsewhere").c_str(), 0755);
  ASSERT_EQ(::symlink((dir_ / "elsewhere").c_str(), (dir_ / "out/link").c_str()), 0);
  WriteFile(dir_ / "data", "x");
  CabinetParameters params;
  params.cabinet_name = "evil.cab";
  params.cabinet_path = dir_.path();
  std::unique_ptr<CabinetBuilder> builder = DefaultCabinetLibrary().Create(params);
  for (const char* name : {"..\\up.txt", "link\\in.txt", "\\abs.txt", "ok.txt"}) {
    builder->AddFile(dir_ / "data", name, 0x20, 0x5A210000, cabinet_compression::kMsZip);
  }
  builder->Flush();
  Unpack(dir_ / "evil.cab", dir_ / "out");
  EXPECT_EQ(log_.Codes(), (std::vector<int>{25114, 25114}));
  EXPECT_EQ(ListNames(dir_ / "out"), "abs.txt link ok.txt");
  EXPECT_EQ(ListNames(dir_ / "elsewhere"), "");
}

TEST_F(CabTest, DamagedCabinetsEndInAnErrorEvent) {
  WriteFile(dir_ / "a.txt", std::string(100000, 'a'));
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "a.cab"), 1);
  std::string cab = ReadFile(dir_ / "a.cab");
  WriteFile(dir_ / "cut.cab", cab.substr(0, cab.size() / 2));
  WriteFile(dir_ / "junk.cab", "MSCF and nothing of a cabinet after it");
  for (const char* name : {"cut.cab", "junk.cab"}) {
    log_.events.clear();
    const std::string out = dir_ / (std::string("x-") + name);
    ::mkdir(out.c_str(), 0755);
    Unpack(dir_ / name, out);
    EXPECT_FALSE(log_.events.empty()) << name;
    EXPECT_EQ(ListNames(out), "") << name;
  }
}

// Inputs the fuzzer once found crashing the reader.
TEST_F(CabTest, FuzzFindingsStayFixed) {
  const std::string data = TALVOR_TEST_DATA;
  for (const char* name : {"regression_null_file_read.cab"}) {
    log_.events.clear();
    const std::string out = dir_ / name;
    ::mkdir(out.c_str(), 0755);
    Unpack(data + "/cab/" + name, out);
    EXPECT_FALSE(log_.events.empty()) << name;
  }
}

}  // namespace
}  // namespace talvor

// Every archive reader against hostile archives: names that climb out of the
// extract folder, links, duplicates, sizes and counts that lie, and valid
// archives cut short or with a byte flipped at every offset. Whatever an
// archive says, nothing may appear outside the extract folder, no symbolic
// link may appear inside it, and no file may grow past the size its entry
// declares.
//
// The fixtures are made by tests/data/hostile/make_fixtures.py.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_kinds.h"
#include "archive/archive_test_support.h"
#include "archive/cab/cabinet.h"
#include "platform/path.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ErrorLog;
using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

const std::string kHostileData = std::string(TALVOR_TEST_DATA) + "/hostile";
// The absolute name the fixtures aim at.
const char kAbsoluteTarget[] = "/tmp/talvor_hostile_escape.txt";
const char kCanaryText[] = "the canary sings";
// What a single archive may add to the process's peak memory.
constexpr long kMaxPeakGrowthKiB = 256 * 1024;

ArchiveKind KindOf(const std::string& file) {
  const std::string folder = file.substr(0, file.find('/'));
  if (folder == "lha") return ArchiveKind::kLha;
  if (folder == "zip") return ArchiveKind::kZip;
  if (folder == "bh") return ArchiveKind::kBh;
  return ArchiveKind::kCab;
}

const char* ExtensionOf(ArchiveKind kind) {
  switch (kind) {
    case ArchiveKind::kLha:
      return ".lzh";
    case ArchiveKind::kZip:
      return ".zip";
    case ArchiveKind::kBh:
      return ".bh";
    case ArchiveKind::kCab:
      return ".cab";
  }
  return "";
}

long PeakMemoryKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The last part of a stored name as it would be written: not "." or empty,
// no drive, control characters as "_".
std::string WrittenFileName(const std::string& stored) {
  std::string name;
  for (std::size_t start = 0; start <= stored.size();) {
    const std::size_t slash = std::min(stored.find('/', start), stored.size());
    const std::string part = stored.substr(start, slash - start);
    if (!part.empty() && part != ".") name = part;
    start = slash + 1;
  }
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
    name.erase(0, 2);
  }
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  }
  return name;
}

// What one extraction left behind.
struct Outcome {
  std::vector<int> codes;  // of the error events, in order
  std::string listing;     // the extract folder: "a/ a/b.txt=4 c.txt=9", sorted
};

// A folder holding the archive, a canary file, a sibling folder and the
// extract folder. Run() extracts an archive into a fresh extract folder and
// checks what must hold for any archive at all.
class Sandbox {
 public:
  explicit Sandbox(ArchiveKind kind)
      : kind_(kind), input_(parent_ / (std::string("in") + ExtensionOf(kind))) {
    WriteFile(parent_ / "canary", kCanaryText);
    fs::create_directory(parent_ / "sibling");
  }

  // What the extract folder holds afterwards.
  Outcome Run(const std::string& archive) {
    const std::string out = parent_ / "out";
    fs::remove_all(out);
    fs::create_directory(out);
    WriteFile(input_, archive);
    const long peak_before = PeakMemoryKiB();

    // What the entries declare, by the name their file gets.
    std::map<std::string, std::uint64_t> declared;
    {
      const std::unique_ptr<ArchiveReader> lister = MakeReader(kind_, files_);
      lister->SetArchiveFile(input_);
      lister->List([&](const ArchiveEntry& e) {
        std::uint64_t& size = declared[WrittenFileName(e.name)];
        size = std::max(size, e.original_size);
      });
    }

    Outcome outcome;
    const std::unique_ptr<ArchiveReader> reader = MakeReader(kind_, files_);
    ErrorLog log;
    log.Attach(*reader);
    reader->SetArchiveFile(input_);
    reader->FileSpec = {"*.*"};
    reader->CreateStoredDirs = true;
    reader->SetExtractDir(out);
    (void)reader->Extract();
    outcome.codes = log.Codes();

    EXPECT_LE(PeakMemoryKiB() - peak_before, kMaxPeakGrowthKiB);
    EXPECT_EQ(ListNames(parent_.path()),
              std::string("canary in") + ExtensionOf(kind_) + " out sibling");
    EXPECT_EQ(ReadFile(parent_ / "canary"), kCanaryText);
    EXPECT_EQ(ListNames(parent_ / "sibling"), "");
    EXPECT_FALSE(Exists(kAbsoluteTarget));

    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
      const std::string relative = fs::relative(entry.path(), out).string();
      const fs::file_status status = entry.symlink_status();
      if (fs::is_symlink(status)) {
        ADD_FAILURE() << "a symbolic link was made: " << relative;
        names.push_back(relative + "@");
      } else if (fs::is_directory(status)) {
        names.push_back(relative + "/");
      } else {
        const std::uintmax_t size = fs::file_size(entry.path());
        names.push_back(relative + "=" + std::to_string(size));
        const auto found = declared.find(entry.path().filename().string());
        if (found == declared.end()) {
          ADD_FAILURE() << "no entry declares " << relative;
        } else {
          EXPECT_LE(size, found->second) << relative << " grew past its declared size";
        }
      }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) outcome.listing += (outcome.listing.empty() ? "" : " ") + n;
    return outcome;
  }

 private:
  ArchiveKind kind_;
  TempDir parent_;
  std::string input_;
  PosixFileSystem files_;
};

// ---------------------------------------------------------------------------
// The fixtures, with what becomes of each.

struct HostileFixture {
  std::string file;  // below tests/data/hostile
  std::vector<int> codes;
  std::string listing;
};

void PrintTo(const HostileFixture& f, std::ostream* os) {
  *os << f.file;
}

constexpr int kBadHeader = archive_error::kBadFileHeader;
constexpr int kBadOffset = archive_error::kBadLocalHeaderOffset;
constexpr int kWriting = archive_error::kErrorWriting;
constexpr int kCrc = archive_error::kCrcFailure;
constexpr int kOpening = archive_error::kErrorOpening;

class HostileFixtureTest : public ::testing::TestWithParam<HostileFixture> {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kHostileData)) {
      GTEST_SKIP() << "no hostile archives at " << kHostileData
                   << " (tests/data/hostile/make_fixtures.py makes them)";
    }
  }
};

TEST_P(HostileFixtureTest, NothingEscapesAndNothingGrows) {
  const HostileFixture& f = GetParam();
  const std::string path = kHostileData + "/" + f.file;
  ASSERT_TRUE(fs::is_regular_file(path)) << path;
  Sandbox sandbox(KindOf(f.file));
  const Outcome outcome = sandbox.Run(ReadFile(path));
  EXPECT_EQ(outcome.codes, f.codes);
  EXPECT_EQ(outcome.listing, f.listing);
}

std::string FixtureName(const ::testing::TestParamInfo<HostileFixture>& info) {
  std::string name = info.param.file.substr(0, info.param.file.rfind('.'));
  for (char& c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
  }
  return name;
}

const std::vector<HostileFixture> kFixtures = {
    // LHA. A leading separator or drive is dropped; "name|target" link
    // entries (-lhd-) are taken as folders, never made into links.
    {"lha/absolute_backslash.lzh", {}, "abs.txt=1 ok.txt=4"},
    {"lha/absolute_slash.lzh", {}, "ok.txt=4 tmp/ tmp/talvor_hostile_escape.txt=1"},
    {"lha/dotdot.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/dotdot_after_folder.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/dotdot_slash.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/drive_backslash.lzh", {}, "drive.txt=1 ok.txt=4"},
    {"lha/drive_dotdot.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/drive_relative.lzh", {}, "drive.txt=1 ok.txt=4"},
    {"lha/duplicate_names.lzh", {}, "ok.txt=4 same.txt=7"},
    {"lha/file_then_folder_of_same_name.lzh", {kWriting}, "d=4 ok.txt=4"},
    {"lha/folder_then_file_of_same_name.lzh", {kOpening}, "d/ ok.txt=4"},
    // Sizes that lie: the output stops at the declared size, or the entry
    // fails and its file does not appear.
    {"lha/huge_declared_lh5.lzh", {kCrc}, "ok.txt=4"},
    {"lha/huge_declared_stored.lzh", {kCrc}, "ok.txt=4"},
    {"lha/level2_folder_absolute.lzh", {}, "ok.txt=4 tmp/ tmp/abs.txt=1"},
    {"lha/level2_folder_climbs.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/level2_folder_climbs_late.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/level2_name_climbs.lzh", {kBadHeader}, "ok.txt=4"},
    {"lha/lh5_bomb.lzh", {}, "bomb.txt=4096 ok.txt=4"},
    {"lha/lh6_bomb.lzh", {}, "bomb.txt=4096 ok.txt=4"},
    {"lha/lh7_bomb_huge_declared.lzh", {kCrc}, "ok.txt=4"},
    {"lha/packed_past_end.lzh", {kCrc}, "ok.txt=4"},
    {"lha/packed_past_end_lh5.lzh", {kCrc}, "ok.txt=4"},
    {"lha/symlink_absolute_target.lzh", {}, "lnk/ lnk/evil.txt=1 lnk|/ lnk|/tmp/ ok.txt=4"},
    {"lha/symlink_then_write_through.lzh", {kBadHeader}, "lnk/ lnk/evil.txt=1 ok.txt=4"},
    // ZIP. Entries with a UNIX link mode come out as files holding the
    // target; nothing is written through them.
    {"zip/absolute_backslash.zip", {}, "abs.txt=1 ok.txt=4"},
    {"zip/absolute_slash.zip", {}, "ok.txt=4 tmp/ tmp/talvor_hostile_escape.txt=1"},
    {"zip/deflate_bomb.zip", {kCrc}, "ok.txt=4"},
    {"zip/deflate_bomb_huge_declared.zip", {kCrc}, "ok.txt=4"},
    {"zip/deflate_bomb_zip64_declared.zip", {kCrc}, "ok.txt=4"},
    {"zip/dotdot.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/dotdot_after_folder.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/dotdot_after_folder_backslash.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/dotdot_backslash.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/dotdot_deep.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/dotdot_only.zip", {kBadHeader, kBadHeader}, "ok.txt=4"},
    {"zip/drive_backslash.zip", {}, "drive.txt=1 ok.txt=4"},
    {"zip/drive_dotdot.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/drive_relative.zip", {}, "drive.txt=1 ok.txt=4"},
    {"zip/duplicate_names.zip", {}, "ok.txt=4 same.txt=7"},
    {"zip/empty_and_dot_names.zip", {kBadHeader, kBadHeader, kBadHeader}, "a=1 ok.txt=4"},
    {"zip/entry_count_far_too_large.zip", {kBadHeader}, "ok.txt=4"},
    {"zip/file_then_folder_of_same_name.zip", {kWriting}, "d=4 ok.txt=4"},
    {"zip/folder_then_file_of_same_name.zip", {kOpening}, "d/ ok.txt=4"},
    {"zip/huge_declared_deflate.zip", {kCrc}, "ok.txt=4"},
    {"zip/huge_declared_stored.zip", {kCrc}, "ok.txt=4"},
    {"zip/huge_declared_zip64.zip", {kCrc}, "ok.txt=4"},
    {"zip/local_name_climbs.zip", {}, "ok.txt=4 safe.txt=1"},
    {"zip/local_offset_past_end.zip", {kBadOffset}, "ok.txt=4"},
    {"zip/zip64_local_offset_near_2_63.zip", {kBadOffset}, "ok.txt=4"},
    {"zip/nul_in_name.zip", {}, "nul=1 ok.txt=4"},  // the name ends at NUL, as unzip has it
    {"zip/packed_past_end.zip", {kCrc}, "ok.txt=4"},
    {"zip/packed_past_end_deflate.zip", {kCrc}, "ok.txt=4"},
    {"zip/packed_claims_more_than_the_file.zip", {kCrc}, "big.txt=10 ok.txt=4"},
    {"zip/symlink_absolute_target.zip", {kWriting}, "lnk=4 ok.txt=4"},
    {"zip/symlink_onto_existing_name.zip", {}, "ok.txt=10"},
    {"zip/symlink_then_write_through.zip", {kWriting}, "lnk=2 ok.txt=4"},
    {"zip/zip64_entry_count_far_too_large.zip", {kBadHeader}, "ok.txt=4"},
    // BH: "\" separates folders as "/" does.
    {"bh/absolute_backslash.bh", {}, "abs.txt=1 ok.txt=4"},
    {"bh/absolute_slash.bh", {}, "ok.txt=4 tmp/ tmp/talvor_hostile_escape.txt=1"},
    {"bh/deflate_bomb.bh", {kCrc}, "ok.txt=4"},
    {"bh/deflate_bomb_huge_declared.bh", {kCrc}, "ok.txt=4"},
    {"bh/dotdot.bh", {kBadHeader}, "ok.txt=4"},
    {"bh/dotdot_after_folder.bh", {kBadHeader}, "ok.txt=4"},
    {"bh/dotdot_slash.bh", {kBadHeader}, "ok.txt=4"},
    {"bh/drive_backslash.bh", {}, "drive.txt=1 ok.txt=4"},
    {"bh/drive_relative.bh", {}, "drive.txt=1 ok.txt=4"},
    {"bh/duplicate_names.bh", {}, "ok.txt=4 same.txt=7"},
    {"bh/file_then_folder_of_same_name.bh", {kWriting}, "d=4 ok.txt=4"},
    {"bh/folder_then_file_of_same_name.bh", {kOpening}, "d/ ok.txt=4"},
    {"bh/huge_declared_deflate.bh", {kCrc}, "ok.txt=4"},
    {"bh/huge_declared_stored.bh", {kCrc}, "ok.txt=4"},
    {"bh/lh6_bomb.bh", {}, "bomb.txt=4096 ok.txt=4"},
    {"bh/long_name_skipped.bh", {kBadHeader}, "ok.txt=4"},
    {"bh/packed_past_end.bh", {kCrc}, "ok.txt=4"},
    {"bh/packed_past_end_deflate.bh", {kCrc}, "ok.txt=4"},
    // Cabinets. A damaged data block takes every file of its folder with it;
    // a next cabinet is looked for beside the archive only.
    {"cab/absolute_backslash.cab", {}, "abs.txt=1 ok.txt=4"},
    {"cab/absolute_slash.cab", {}, "ok.txt=4 tmp/ tmp/talvor_hostile_escape.txt=1"},
    {"cab/block_count_far_too_large.cab", {}, "ok.txt=4"},
    {"cab/block_past_end.cab", {kCrc, kCrc}, ""},
    {"cab/continued_from_missing_cabinet.cab", {kCrc, kCrc}, ""},
    {"cab/dotdot.cab", {kBadHeader}, "ok.txt=4"},
    {"cab/dotdot_after_folder.cab", {kBadHeader}, "ok.txt=4"},
    {"cab/dotdot_slash.cab", {kBadHeader}, "ok.txt=4"},
    {"cab/drive_backslash.cab", {}, "drive.txt=1 ok.txt=4"},
    {"cab/drive_relative.cab", {}, "drive.txt=1 ok.txt=4"},
    {"cab/duplicate_names.cab", {}, "ok.txt=4 same.txt=7"},
    {"cab/file_count_far_too_large.cab", {kBadHeader}, ""},
    {"cab/file_past_folder_end.cab", {kCrc}, "ok.txt=4"},
    {"cab/file_then_folder_of_same_name.cab", {kWriting}, "d=4 ok.txt=4"},
    {"cab/folder_count_far_too_large.cab", {kBadHeader}, ""},
    {"cab/folder_index_out_of_range.cab", {kBadHeader}, ""},
    {"cab/huge_declared_file.cab", {kCrc}, "ok.txt=4"},
    {"cab/mszip_block_larger_than_declared.cab", {}, "bomb.txt=100 ok.txt=4"},
    {"cab/mszip_bomb.cab", {}, "bomb.txt=4096"},
    {"cab/next_cabinet_is_canary.cab", {}, "ok.txt=4"},
    {"cab/next_cabinet_outside.cab", {}, "ok.txt=4"},
    {"cab/utf8_dotdot.cab", {kBadHeader}, "ok.txt=4"},
};

INSTANTIATE_TEST_SUITE_P(Archives, HostileFixtureTest, ::testing::ValuesIn(kFixtures), FixtureName);

// Every file of the fixture folders has its row above.
TEST(HostileFixtureTableTest, EveryFixtureHasARow) {
  if (!fs::is_directory(kHostileData)) GTEST_SKIP() << "no hostile archives at " << kHostileData;
  std::vector<std::string> rows;
  for (const char* folder : {"lha", "zip", "bh", "cab"}) {
    for (const fs::directory_entry& e : fs::directory_iterator(kHostileData + "/" + folder)) {
      rows.push_back(std::string(folder) + "/" + e.path().filename().string());
    }
  }
  std::vector<std::string> table;
  for (const HostileFixture& f : kFixtures) table.push_back(f.file);
  std::sort(rows.begin(), rows.end());
  std::sort(table.begin(), table.end());
  EXPECT_EQ(rows, table);
}

// ---------------------------------------------------------------------------
// Valid archives cut short at an offset, and with the byte at that offset
// inverted: listed and extracted, each into a folder of its own.

struct DamagedCase {
  std::string name;
  ArchiveKind kind;
  std::string source;  // below tests/data; empty: a cabinet made here
};

// Two MSZIP files, one in a folder, from the cabinet writer.
std::string SmallCabinet() {
  const TempDir dir;
  std::string text;
  for (int i = 0; text.size() < 900; ++i) text += "cabinet line " + std::to_string(i * 7) + "\n";
  WriteFile(dir / "a.txt", text);
  WriteFile(dir / "b.txt", "short");
  CabinetParameters params;
  params.cabinet_name = "small.cab";
  params.cabinet_path = dir.path();
  const std::unique_ptr<CabinetBuilder> builder = DefaultCabinetLibrary().Create(params);
  builder->AddFile(dir / "a.txt", "a.txt", 0x20, 0x5A210000, cabinet_compression::kMsZip);
  builder->AddFile(dir / "b.txt", "sub\\b.txt", 0x20, 0x5A210000, cabinet_compression::kMsZip);
  builder->Flush();
  return ReadFile(dir / "small.cab");
}

void PrintTo(const DamagedCase& c, std::ostream* os) {
  *os << c.name;
}

// Every offset near the two ends, where the headers and directories lie;
// every fifth in between, where the compressed data lies (the readers' fuzz
// targets go through the codecs at length).
std::vector<std::size_t> OffsetsToDamage(std::size_t size) {
  constexpr std::size_t kDense = 192;
  constexpr std::size_t kStride = 5;
  std::vector<std::size_t> offsets;
  for (std::size_t at = 0; at < size; ++at) {
    if (at < kDense || at + kDense >= size || at % kStride == 0) offsets.push_back(at);
  }
  return offsets;
}

class DamagedArchiveTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedArchiveTest, CutOrFlippedAnywhere) {
  const DamagedCase& c = GetParam();
  const std::string path = std::string(TALVOR_TEST_DATA) + "/" + c.source;
  if (!c.source.empty() && !fs::is_regular_file(path)) GTEST_SKIP() << "no archive at " << path;
  const std::string archive = c.source.empty() ? SmallCabinet() : ReadFile(path);
  ASSERT_GT(archive.size(), 64U);
  // Whole, it extracts without a complaint.
  Sandbox sandbox(c.kind);
  const Outcome whole = sandbox.Run(archive);
  EXPECT_EQ(whole.codes, std::vector<int>{});
  ASSERT_FALSE(whole.listing.empty());
  for (const std::size_t at : OffsetsToDamage(archive.size())) {
    if (HasFailure()) break;  // the first damaged archive that fails tells enough
    SCOPED_TRACE("offset " + std::to_string(at));
    (void)sandbox.Run(archive.substr(0, at));
    std::string flipped = archive;
    flipped[at] = static_cast<char>(flipped[at] ^ 0xFF);
    (void)sandbox.Run(flipped);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, DamagedArchiveTest,
    ::testing::Values(DamagedCase{"Lha", ArchiveKind::kLha, "lha/lh6_text.lha"},
                      DamagedCase{"Zip", ArchiveKind::kZip, "zip/deflate_text.zip"},
                      DamagedCase{"Bh", ArchiveKind::kBh, "bh/deflate_text.bh"},
                      DamagedCase{"Cab", ArchiveKind::kCab, ""}),
    testing::ByName());

// ---------------------------------------------------------------------------
// Faults of one class through every format's writer and reader.

class EveryFormatTest : public ::testing::TestWithParam<ArchiveKind> {
 protected:
  int Pack(const std::string& source, const std::string& archive) {
    const std::unique_ptr<ArchiveWriter> writer = MakeWriter(GetParam(), fs_);
    log_.Attach(*writer);
    return PackNewArchive(*writer, source, archive);
  }
  [[nodiscard]] std::unique_ptr<ArchiveReader> Reader(const std::string& archive,
                                                      const std::string& to) {
    std::unique_ptr<ArchiveReader> reader = MakeReader(GetParam(), fs_);
    log_.Attach(*reader);
    reader->SetArchiveFile(archive);
    reader->FileSpec = {"*.*"};
    reader->SetExtractDir(to);
    return reader;
  }
  [[nodiscard]] std::string Archive(const std::string& stem) const {
    return dir_ / (stem + ExtensionOf(GetParam()));
  }

  PosixFileSystem fs_;
  ErrorLog log_;
  TempDir dir_;
};

// A file's name is its name: letter case counts, "*" and "?" are letters.
TEST_P(EveryFormatTest, PacksExactlyTheNamedFile) {
  ::mkdir((dir_ / "in").c_str(), 0755);
  ::mkdir((dir_ / "out").c_str(), 0755);
  for (const char* name : {"notes.txt", "NOTES.TXT", "star*q?.txt", "starXqY.txt"}) {
    WriteFile(dir_ / "in/" + name, name);
  }
  for (const std::string name : {"notes.txt", "star*q?.txt"}) {
    ASSERT_EQ(Pack(dir_ / "in/" + name, Archive("one")), 1) << name;
    std::vector<std::string> names;
    Reader(Archive("one"), dir_ / "out")->List([&](const ArchiveEntry& e) {
      names.push_back(e.name);
    });
    EXPECT_EQ(names, std::vector<std::string>{name});
  }
  EXPECT_EQ(log_.Codes(), std::vector<int>{});
}

// An entry never replaces the archive being read, whatever its name.
TEST_P(EveryFormatTest, AnEntryNeverReplacesTheArchive) {
  ::mkdir((dir_ / "in").c_str(), 0755);
  const std::string name = ExtractFileName(Archive("self"));
  WriteFile(dir_ / "in/" + name, "the entry");
  ASSERT_EQ(Pack(dir_ / "in/" + name, Archive("self")), 1);
  const std::string before = ReadFile(Archive("self"));
  EXPECT_EQ(Reader(Archive("self"), dir_.path())->Extract(), 0);
  EXPECT_EQ(ReadFile(Archive("self")), before);
  EXPECT_EQ(log_.Codes(), std::vector<int>{archive_error::kErrorWriting});
}

// Damaged data never replaces a file and is reported naming the entry; Test
// finds the same without writing anything.
TEST_P(EveryFormatTest, ADamagedEntryNeverReplacesAFile) {
  ::mkdir((dir_ / "in").c_str(), 0755);
  ::mkdir((dir_ / "out").c_str(), 0755);
  // Data that does not compress lies in the archive as it is.
  const std::string data = testing::SomeBytes(6000, 7);
  WriteFile(dir_ / "in/data.bin", data);
  ASSERT_EQ(Pack(dir_ / "in/data.bin", Archive("a")), 1);
  const auto test = [&] {
    std::vector<bool> verdicts;
    const int sound = Reader(Archive("a"), dir_ / "out")->Test([&](const ArchiveEntry&, bool ok) {
      verdicts.push_back(ok);
    });
    EXPECT_EQ(testing::ListNames(dir_ / "out"), "");
    return std::make_pair(sound, verdicts);
  };
  EXPECT_EQ(test(), std::make_pair(1, std::vector<bool>{true}));
  std::string archive = ReadFile(Archive("a"));
  const std::size_t at = archive.find(data.substr(0, 64));
  ASSERT_NE(at, std::string::npos);
  archive[at + 3000] = static_cast<char>(archive[at + 3000] ^ 0x55);
  WriteFile(Archive("a"), archive);
  EXPECT_EQ(test(), std::make_pair(0, std::vector<bool>{false}));
  WriteFile(dir_ / "out/data.bin", "kept");
  EXPECT_EQ(Reader(Archive("a"), dir_ / "out")->Extract(), 0);
  EXPECT_EQ(ReadFile(dir_ / "out/data.bin"), "kept");
  ASSERT_EQ(log_.events.size(), 2U);
  for (const ArchiveError& e : log_.events) {
    EXPECT_EQ(e.code, archive_error::kCrcFailure) << ArchiveErrorLine(e);
    EXPECT_NE(ArchiveErrorLine(e).find("data.bin"), std::string::npos) << ArchiveErrorLine(e);
  }
}

// The desktop's readers (libarchive's bsdtar, 7-Zip, lhasa) read every
// archive the writers make, entry for entry.
TEST_P(EveryFormatTest, OtherReadersReadIt) {
  if (GetParam() == ArchiveKind::kBh) GTEST_SKIP() << "no other program reads BH";
  const std::vector<std::string> names = {"a.txt", "b.bin"};
  ::mkdir((dir_ / "in").c_str(), 0755);
  WriteFile(dir_ / "in/a.txt", std::string(5000, 'a') + "end");
  WriteFile(dir_ / "in/b.bin", testing::SomeBytes(3000, 3));
  const std::unique_ptr<ArchiveWriter> writer = MakeWriter(GetParam(), fs_);
  log_.Attach(*writer);
  writer->SetArchiveFile(Archive("made"));
  writer->FileSpec = {dir_ / "in/a.txt", dir_ / "in/b.bin"};
  ASSERT_EQ(writer->Compress(), 2);
  std::vector<std::vector<std::string>> readers = {{"bsdtar", "-xf", Archive("made")},
                                                   {"7z", "x", "-y", Archive("made")}};
  if (GetParam() == ArchiveKind::kLha) readers.push_back({"lhasa", "xq", Archive("made")});
  for (const std::vector<std::string>& argv : readers) {
    if (!testing::HaveProgram(argv[0])) continue;
    const std::string out = dir_ / ("by-" + argv[0]);
    ::mkdir(out.c_str(), 0755);
    EXPECT_EQ(testing::RunProgram(argv, out), 0) << argv[0];
    for (const std::string& name : names) {
      EXPECT_EQ(ReadFile(out + "/" + name), ReadFile(dir_ / "in/" + name)) << argv[0];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormatTest,
                         ::testing::Values(ArchiveKind::kLha, ArchiveKind::kZip, ArchiveKind::kBh,
                                           ArchiveKind::kCab));

// A file larger than the format holds is refused in words, before a byte
// of it is read (the file is sparse).
class TooLargeTest : public EveryFormatTest {};

TEST_P(TooLargeTest, RefusedInWords) {
  WriteFile(dir_ / "big.bin", "");
  ASSERT_EQ(::truncate((dir_ / "big.bin").c_str(), (std::int64_t{4} << 30) + 1), 0);
  EXPECT_EQ(Pack(dir_ / "big.bin", Archive("big")), 0);
  ASSERT_EQ(log_.events.size(), 1U);
  const std::string line = ArchiveErrorLine(log_.events[0]);
  EXPECT_NE(line.find("GiB"), std::string::npos) << line;
  EXPECT_EQ(line.find("error 9"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Formats, TooLargeTest,
                         ::testing::Values(ArchiveKind::kLha, ArchiveKind::kBh, ArchiveKind::kCab));

}  // namespace
}  // namespace talvor

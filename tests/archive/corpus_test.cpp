// Every archive of the corpus of other programs' archives, read as the
// commands read it: its kind judged by content, whatever its name, and every
// entry unpacked. What unpacks must be byte-identical to what the manifest
// lists; what is damaged or holds methods the engine does not decode must be
// reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "archive/archive_kinds.h"
#include "archive/archive_test_support.h"
#include "test_support.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
using testing::ErrorLog;
using testing::ReadFile;
using testing::TempDir;

const std::string kCorpus = TALVOR_CORPUS;

struct Row {
  std::string file;
  std::string facts;    // what it exercises
  std::string outcome;  // the expected outcome
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.file;
}

std::vector<Row> Rows() {
  const auto rows = testing::CorpusRows(kCorpus, "");
  std::vector<Row> out;
  if (!rows) return out;
  for (const std::vector<std::string>& cols : *rows) {
    const std::string& format = cols[1];
    if ((format != "LHA" && format != "ZIP" && format != "CAB") ||
        cols[0].find("/raw_streams/") != std::string::npos || cols[0].ends_with(".txt") ||
        cols[4].starts_with("part of a multi-volume set") || cols[4].starts_with("data file")) {
      continue;
    }
    out.push_back({cols[0], cols[2], cols[4]});
  }
  return out;
}

// Where the engine knowingly ends with an error although other programs
// read the archive, and why.
const std::map<std::string, std::string> kRefused = {
    {"cab/cabextract_dirwalk-vulns.cab", "names that climb out of the extract folder"},
    {"zip/sharpcompress_Zip.Evil.zip", "a name that climbs out of the extract folder"},
    {"cab/gcab_CVE-2014-9732.cab", "a cabinet size short of its data"},
    {"lha/libarchive_oversize_header.lzh", "its last header declares an impossible size"},
    {"lha/libarchive_symlink_missing_target.lzh", "its second header is too short for its name"},
    {"zip/libarchive_zip_extra_padding.zip", "no end of central directory record"},
    {"zip/zip2_zip64_magic_in_filename_5.zip", "a name that is empty up to its NUL byte"},
};

// Methods (or encryption) the engine does not decode: reported, the other
// entries unpacked. (LHA's -lh2- and -lh3-, which lhasa
// does not decode either, are not decoded.)
bool HasForeignMethod(const Row& row) {
  static const std::regex kForeign(
      "bzip2|lzma|ppmd|xz|zstd|winzip-aes|encrypted\\(|method7|method200|LHARK|"
      "-lh2-|-lh3-");
  return std::regex_search(row.facts, kForeign) || row.outcome.find("LHARK") != std::string::npos;
}

class CorpusArchive : public ::testing::TestWithParam<Row> {};

TEST_P(CorpusArchive, UnpacksAsOtherProgramsDoOrSaysWhy) {
  const Row& row = GetParam();
  const std::string path = kCorpus + "/" + row.file;
  PosixFileSystem fs;
  const std::optional<ArchiveKindInfo> kind = ArchiveKindOfContent(fs, path);
  const bool must_fail = row.outcome.starts_with("must fail");
  if (!kind) {
    EXPECT_TRUE(must_fail) << "not recognised by its content";
    return;
  }
  TempDir out;
  const std::unique_ptr<ArchiveReader> reader = MakeReader(kind->kind, fs);
  ErrorLog log;
  log.Attach(*reader);
  reader->SetArchiveFile(path);
  reader->FileSpec = {"*.*"};
  reader->SetExtractDir(out.path());
  (void)reader->Extract();
  if (must_fail || kRefused.count(row.file) != 0) {
    EXPECT_FALSE(log.events.empty()) << "should report an error";
    return;
  }
  if (!row.outcome.starts_with("OK:")) return;  // a policy note: either is sound
  std::set<int> allowed;
  if (HasForeignMethod(row)) allowed.insert(archive_error::kUnsupportedMethod);
  for (const ArchiveError& e : log.events) {
    EXPECT_TRUE(allowed.count(e.code) != 0) << ArchiveErrorLine(e);
  }
  // Every file unpacked whole: looked for by content, as names in other code
  // pages come out under other spellings.
  std::multiset<std::string> got;
  for (const auto& f : fs::recursive_directory_iterator(out.path())) {
    if (f.is_regular_file()) got.insert(testing::Sha256Hex(ReadFile(f.path().string())));
  }
  static const std::regex kFile("\\((\\d+) B, sha256:([0-9a-f]{64})\\)");
  for (auto it = std::sregex_iterator(row.outcome.begin(), row.outcome.end(), kFile);
       it != std::sregex_iterator(); ++it) {
    const auto found = got.find((*it)[2].str());
    if (found != got.end()) {
      got.erase(found);
    } else {
      EXPECT_FALSE(allowed.empty()) << "missing: " << it->str();
    }
  }
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name = info.param.file;
  for (char& c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusArchive, ::testing::ValuesIn(Rows()), RowName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusArchive);

// A split set whose other parts are not beside it: the missing part named.
TEST(CorpusSplitSet, NamesTheMissingPart) {
  const std::string set = kCorpus + "/zip/set_gen_infozip_split/gen_split.zip";
  if (!testing::Exists(set)) GTEST_SKIP() << "no corpus at " << kCorpus;
  TempDir dir;
  fs::copy_file(set, dir / "gen_split.zip");
  PosixFileSystem fs;
  const std::unique_ptr<ArchiveReader> reader = MakeReader(ArchiveKind::kZip, fs);
  ErrorLog log;
  log.Attach(*reader);
  reader->SetArchiveFile(dir / "gen_split.zip");
  reader->FileSpec = {"*.*"};
  EXPECT_EQ(reader->Extract(), 0);
  ASSERT_EQ(log.events.size(), 1U);
  EXPECT_NE(ArchiveErrorLine(log.events[0]).find("gen_split.z01"), std::string::npos)
      << ArchiveErrorLine(log.events[0]);
}

TEST(CorpusPresent, HasEveryFormat) {
  if (!testing::Exists(kCorpus + "/MANIFEST.tsv")) GTEST_SKIP() << "no corpus at " << kCorpus;
  EXPECT_GT(Rows().size(), 300U);
}

}  // namespace
}  // namespace talvor

// The cabinet library's reader: what is no cabinet, files read in their
// order, the corpus (other programs' cabinets, sets, damaged and hostile
// ones) and cabinet sets.
#include <mspack.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "archive/cab/cabinet.h"
#include "archive/cabinet_test_support.h"
#include "test_support.h"

namespace talvor::cabinet_testing {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
namespace fs = std::filesystem;

// --- reading --------------------------------------------------------------------

TEST(Reader, RefusesWhatIsNoCabinet) {
  TempDir dir;
  fs::create_directories(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  WriteFile(dir / "text", "this is not a cabinet at all, but a text");
  WriteFile(dir / "empty", "");
  WriteFile(dir / "cut", std::string("MSCF\0\0\0\0", 8));
  const std::unique_ptr<CabinetLibrary> library = MakeCabinetLibrary();
  EXPECT_TRUE(library->Available());
  const std::vector<std::tuple<std::string, int, int>> cases = {
      {"missing", 1, MSPACK_ERR_OPEN}, {"folder", 1, MSPACK_ERR_OPEN},
      {"pipe", 1, MSPACK_ERR_OPEN},    {"text", 2, MSPACK_ERR_SIGNATURE},
      {"empty", 4, MSPACK_ERR_READ},   {"cut", 4, MSPACK_ERR_READ}};
  for (const auto& c : cases) {
    const std::string path = dir / std::get<0>(c);
    EXPECT_FALSE(library->IsCabinet(path)) << path;
    const auto error = ErrorOf([&] { (void)library->Open(path); });
    ASSERT_TRUE(error.has_value()) << path;
    EXPECT_EQ(error->code(), std::get<1>(c)) << path;
    EXPECT_EQ(error->type(), std::get<2>(c)) << path;
  }
  EXPECT_TRUE(library->IsCabinet(MakeCabinet(dir, {{"a", "b"}}, kMsZip)));
}

// Files taken in their order are decoded on from where the one before ended:
// once block 0 is damaged, only going back to an earlier file notices it.
TEST(Reader, ExtractsInOrderWithoutStartingTheFolderAgain) {
  TempDir dir;
  std::vector<Member> members;
  for (unsigned i = 0; i < 8; ++i) {
    members.push_back({"f" + std::to_string(i), Content(300000, i * 3)});
  }
  const std::string cabinet = MakeCabinet(dir, members, kMsZip);
  const std::unique_ptr<CabinetSession> session = MakeCabinetLibrary()->Open(cabinet);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(Extract(*session, i, dir / "o") == members[i].content);
  }
  const std::string head = ReadFile(cabinet).substr(36, 4);  // CFFOLDER.coffCabStart
  std::streamoff first_block = 0;
  for (int i = 3; i >= 0; --i) first_block = first_block << 8 | static_cast<unsigned char>(head[i]);
  std::fstream file(cabinet, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(first_block + 100);
  file.write("damage", 6);
  file.close();
  for (std::size_t i = 3; i < members.size(); ++i) {
    EXPECT_TRUE(Extract(*session, i, dir / "o") == members[i].content) << i;
  }
  const auto error = ErrorOf([&] { (void)Extract(*session, 0, dir / "o"); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code(), 4);
  EXPECT_EQ(error->type(), MSPACK_ERR_CHECKSUM);
}

// --- the corpus -------------------------------------------------------------------

const std::string kCorpus = TALVOR_CORPUS;

struct CorpusCase {
  std::string name;
  std::string file;
  std::string facts;    // the manifest's "what it exercises"
  std::string outcome;  // and its "expected outcome"
};

void PrintTo(const CorpusCase& c, std::ostream* os) {
  *os << c.file;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\\\") == 0) {
      out += '\\';
      ++i;
    } else if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// "OK: a/; a/b (5 B, sha256:...); c (0 B, sha256:...)": name -> size and
// hash of the files (folders are no files in a cabinet).
std::map<std::string, std::string> ExpectedFiles(const std::string& outcome) {
  std::map<std::string, std::string> files;
  std::stringstream list(outcome.substr(4));
  for (std::string item; std::getline(list, item, ';');) {
    if (item.front() == ' ') item.erase(0, 1);
    const std::size_t open = item.rfind(" (");
    const std::size_t hash = item.find(" B, sha256:", open);
    if (open == std::string::npos || hash == std::string::npos) continue;
    files[Unescape(item.substr(0, open))] =
        item.substr(open + 2, hash - open - 2) + " " + item.substr(hash + 11, 64);
  }
  return files;
}

std::vector<CorpusCase> CorpusCases() {
  std::vector<CorpusCase> cases;
  std::ifstream manifest(kCorpus + "/MANIFEST.tsv");
  for (std::string line; std::getline(manifest, line);) {
    std::vector<std::string> columns;
    std::stringstream row(line);
    for (std::string column; std::getline(row, column, '\t');) columns.push_back(column);
    if (columns.size() < 5 || columns[1] != "CAB" || !columns[0].ends_with(".cab") ||
        columns[4].starts_with("part of a multi-volume set")) {
      continue;
    }
    std::string name = columns[0].substr(4, columns[0].size() - 8);
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    cases.push_back({name, columns[0], columns[2], columns[4]});
  }
  return cases;
}

class Corpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(Corpus, ReadsAsExpected) {
  const CorpusCase& c = GetParam();
  const std::string path = kCorpus + "/" + c.file;
  TempDir dir;
  // A cabinet size short of the data behind it.
  if (c.file == "cab/gcab_CVE-2014-9732.cab") {
    const auto error = ErrorOf([&] { (void)MakeCabinetLibrary()->Open(path); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 4) << error->what();
    return;
  }
  if (c.outcome.starts_with("OK:")) {
    const std::unique_ptr<CabinetSession> session = MakeCabinetLibrary()->Open(path);
    std::map<std::string, std::string> got;
    for (std::size_t i = 0; i < session->Files().size(); ++i) {
      const std::string data = Extract(*session, i, dir / "out");
      got[Slashes(session->Files()[i].name)] = std::to_string(data.size()) + " " + Sha256(data);
    }
    if (c.outcome.find(" files/links") != std::string::npos) {  // names listed elsewhere
      EXPECT_EQ(session->Files().size(), std::stoul(c.facts.substr(c.facts.find("files=") + 6)));
    } else {
      EXPECT_EQ(got, ExpectedFiles(c.outcome));
    }
    return;
  }
  // It must fail: at Open, or for some files ("every file" when it says so).
  std::unique_ptr<CabinetSession> session;
  if (const auto error = ErrorOf([&] { session = MakeCabinetLibrary()->Open(path); })) {
    EXPECT_TRUE(error->code() == 2 || error->code() == 4) << error->what();
    return;
  }
  std::size_t failures = 0;
  for (std::size_t i = 0; i < session->Files().size(); ++i) {
    if (const auto error = ErrorOf([&] { (void)Extract(*session, i, dir / "out"); })) {
      EXPECT_TRUE(error->code() == 4 || error->code() == 7) << error->what();
      ++failures;
    }
  }
  if (c.outcome.find("every file") != std::string::npos ||
      c.outcome.find("extraction must fail") != std::string::npos) {
    EXPECT_EQ(failures, session->Files().size());
  } else {
    EXPECT_GT(failures, 0U);
  }
}

INSTANTIATE_TEST_SUITE_P(Cabinets, Corpus, ::testing::ValuesIn(CorpusCases()), testing::ByName());
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Corpus);

TEST(CorpusPresent, HasCabinets) {
  if (!Exists(kCorpus + "/MANIFEST.tsv")) GTEST_SKIP() << "no corpus at " << kCorpus;
  EXPECT_GT(CorpusCases().size(), 50U);
}

// --- cabinet sets ------------------------------------------------------------------

class CabinetSet : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Exists(kParts)) GTEST_SKIP() << "no corpus at " << kCorpus;
  }
  // Copies the five cabinets, the later ones under names made by `rename`.
  template <typename Rename>
  void CopyParts(Rename rename) {
    for (const char n : std::string("12345")) {
      const std::string part = "cabd_multi_basic_pt" + std::string(1, n) + ".cab";
      fs::copy_file(kParts + "/" + part, dir_ / (n == '1' ? part : rename(part)));
    }
  }
  std::string First() const { return dir_ / "cabd_multi_basic_pt1.cab"; }

  const std::string kParts = kCorpus + "/cab/set_libmspack_multi_basic";
  TempDir dir_;
};

// The names of the next cabinets are MS-DOS names: case does not count.
TEST_F(CabinetSet, NamesDifferingInCaseAreFound) {
  CopyParts([](std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
  });
  const Contents contents = ExtractAll(First(), dir_ / "out");
  ASSERT_EQ(contents.size(), 3U);
  EXPECT_EQ(Sha256(contents.at("test3.txt")),
            "b3f519a92c19190ad11bce9d02e6a7525284c795c10ceb0c059bdbc53c8098e7");
}

// A set that names an earlier cabinet as its next one is not followed round.
TEST_F(CabinetSet, CircularSetEnds) {
  CopyParts([](const std::string& name) { return name; });
  std::string second = ReadFile(dir_ / "cabd_multi_basic_pt2.cab");
  const std::size_t at = second.find("cabd_multi_basic_pt3.cab");
  ASSERT_NE(at, std::string::npos);
  second[at + 18] = '1';  // "cabd_multi_basic_pt1.cab"
  WriteFile(dir_ / "cabd_multi_basic_pt2.cab", second);
  EXPECT_LE(MakeCabinetLibrary()->Open(First())->Files().size(), 3U);
}

}  // namespace
}  // namespace talvor::cabinet_testing

// The cabinet library: our cabinets read by cabextract, 7-Zip, gcab and our
// reader; the reader on the corpus (other programs' cabinets, sets, damaged
// and hostile ones); failures that must leave nothing behind.
#include "archive/cab/cabinet.h"

#include <mspack.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "platform/file_system.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;

constexpr std::uint16_t kStored = cabinet_compression::kNone;
constexpr std::uint16_t kMsZip = cabinet_compression::kMsZip;
// 2021-06-15 13:45:00
constexpr std::uint32_t kSomeTime = (2021 - 1980) << 25 | 6 << 21 | 15 << 16 | 13 << 11 | 45 << 5;
constexpr std::time_t kSomeTimeUtc = 1623764700;

// Words, with runs of zeros (key % 3 == 2) or noise only (key % 3 == 1).
std::string Content(std::size_t n, unsigned key) {
  if (key % 3 == 1) return testing::SomeBytes(n, key);
  static const char* const kWords[] = {"cabinet", "folder", "the", "block", "of",
                                       "data",    "and",    "\n",  "name",  "{ x = y; }"};
  std::mt19937 rng(key);
  std::string out;
  while (out.size() < n) out += std::string(kWords[rng() % std::size(kWords)]) + " ";
  out.resize(n);
  for (std::size_t i = 0; key % 3 == 2 && i < n; i += 3000) {
    std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i), std::min<std::size_t>(1200, n - i),
                '\0');
  }
  return out;
}

std::string Sha256(const std::string& data) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += "0123456789abcdef"[digest[i] >> 4];
    hex += "0123456789abcdef"[digest[i] & 15];
  }
  return hex;
}

struct Outcome {
  int status = -1;
  std::string output;
};

Outcome RunProgram(const std::string& command) {
  Outcome result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
    result.output.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Have(const std::string& program) {
  return RunProgram("command -v " + program).status == 0;
}

std::string Slashes(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

struct Member {
  std::string name;  // as stored
  std::string content;
  std::uint16_t attributes = 0x20;
  std::uint32_t dos_time = kSomeTime;
};

std::unique_ptr<CabinetBuilder> Builder(const std::string& folder, std::uint32_t max_size = 0) {
  CabinetParameters params;
  params.cabinet_path = folder;
  params.cabinet_name = "test.cab";
  if (max_size != 0) params.max_cabinet_size = max_size;
  return MakeCabinetLibrary()->Create(params);
}

// The sources go to `dir`/in (removed again), the cabinet to `dir`/test.cab.
std::string MakeCabinet(const TempDir& dir, const std::vector<Member>& members,
                        std::uint16_t compression) {
  fs::create_directories(dir / "in");
  const std::unique_ptr<CabinetBuilder> builder = Builder(dir.path());
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    WriteFile(dir / ("in/" + std::to_string(i)), m.content);
    builder->AddFile(dir / ("in/" + std::to_string(i)), m.name, m.attributes, m.dos_time,
                     compression);
  }
  builder->Flush();
  fs::remove_all(dir / "in");
  return dir / "test.cab";
}

std::string Extract(CabinetSession& session, std::size_t index, const std::string& scratch) {
  PosixFileSystem files;
  File out = files.Create(scratch);
  session.Extract(index, out);
  out.Close();
  return ReadFile(scratch);
}

Contents ExtractAll(const std::string& cabinet, const std::string& scratch) {
  const std::unique_ptr<CabinetSession> session = MakeCabinetLibrary()->Open(cabinet);
  Contents contents;
  for (std::size_t i = 0; i < session->Files().size(); ++i) {
    contents[Slashes(session->Files()[i].name)] = Extract(*session, i, scratch);
  }
  return contents;
}

template <typename Call>
std::optional<CabinetError> ErrorOf(Call call) {
  try {
    call();
  } catch (const CabinetError& e) {
    return e;
  }
  return std::nullopt;
}

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
  // Cabinets after other bytes are found by a search only; Open reads a
  // cabinet, it does not search a file for one.
  if (c.file == "cab/libmspack_search_tricky1.cab" || c.file == "cab/cabextract_search.cab" ||
      c.file == "cab/gcab_CVE-2014-9732.cab") {
    const auto error = ErrorOf([&] { (void)MakeCabinetLibrary()->Open(path); });
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->code() == 2 || error->code() == 4) << error->what();
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
}  // namespace talvor

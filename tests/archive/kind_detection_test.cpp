// Telling an archive's kind by its content: every archive is known under any
// name, and what is no archive is not taken for one. The readers' own
// judgement (ArchiveReader::DetectType, seen through ArcType) agrees.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive_kinds.h"
#include "archive/kind_detection.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

const std::string kTestData = TALVOR_TEST_DATA;

// Writes `content` as `name` in `dir` and judges it both ways.
void ExpectKind(const TempDir& dir, const std::string& name, const std::string& content,
                std::optional<ArchiveKind> expected) {
  PosixFileSystem fs;
  const std::string path = dir / name;
  WriteFile(path, content);
  const std::optional<ArchiveKindInfo> found = ArchiveKindOfContent(fs, path);
  EXPECT_EQ(found ? std::optional(found->kind) : std::nullopt, expected) << name;
  const std::unique_ptr<ArchiveReader> reader = MakeReader(ArchiveKind::kZip, fs);
  reader->SetArchiveFile(path);
  EXPECT_EQ(reader->ArcType(), ArcTypeOf(expected)) << name;
}

// Packs `content`, stored as `name`, into a new archive of `kind`; returns
// the archive's bytes.
std::string Packed(ArchiveKind kind, const std::string& name, const std::string& content) {
  const TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir / name, content);
  const std::unique_ptr<ArchiveWriter> writer = MakeWriter(kind, fs);
  const std::string archive = dir / ("packed" + writer->DefaultExt());
  if (PackNewArchive(*writer, dir / name, archive) != 1) return {};
  return ReadFile(archive);
}

std::string Text(std::size_t size) {
  std::string text;
  while (text.size() < size) text += "the quick brown fox jumps over the lazy dog\n";
  text.resize(size);
  return text;
}

// --- archives under misleading names ------------------------------------------

struct ArchiveCase {
  std::string name;
  ArchiveKind kind;
  std::function<std::string()> bytes;
};

void PrintTo(const ArchiveCase& c, std::ostream* os) {
  *os << c.name;
}

class ArchiveUnderAnyName : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveUnderAnyName, IsKnownByItsContent) {
  const std::string bytes = GetParam().bytes();
  ASSERT_FALSE(bytes.empty());
  const TempDir dir;
  for (const char* name : {"archive.dat", "archive.lzs", "archive", "archive.lha", "archive.zip",
                           "archive.cab", "archive.bh"}) {
    ExpectKind(dir, name, bytes, GetParam().kind);
  }
}

std::vector<ArchiveCase> ArchiveCases() {
  std::vector<ArchiveCase> cases;
  // Every fixture of the tests.
  for (const auto& [folder, kind] : {std::pair{"lha", ArchiveKind::kLha},
                                     {"zip", ArchiveKind::kZip},
                                     {"bh", ArchiveKind::kBh},
                                     {"cab", ArchiveKind::kCab}}) {
    for (const auto& file : std::filesystem::directory_iterator(kTestData + "/" + folder)) {
      const std::string path = file.path().string();
      std::string name = "Fixture_" + std::string(folder) + "_" + file.path().stem().string();
      cases.push_back({std::move(name), kind, [path] { return ReadFile(path); }});
    }
  }
  // What this program writes, and archives whose content fits two kinds.
  const auto made = [](ArchiveKind kind) {
    return [kind] { return Packed(kind, "a.txt", Text(5000)); };
  };
  cases.push_back({"MadeLha", ArchiveKind::kLha, made(ArchiveKind::kLha)});
  cases.push_back({"MadeZip", ArchiveKind::kZip, made(ArchiveKind::kZip)});
  cases.push_back({"MadeBh", ArchiveKind::kBh, made(ArchiveKind::kBh)});
  cases.push_back({"MadeCab", ArchiveKind::kCab, made(ArchiveKind::kCab)});
  cases.push_back({"EmptyZipIsItsEndRecord", ArchiveKind::kZip,
                   [] { return std::string("PK\x05\x06", 4) + std::string(18, '\0'); }});
  cases.push_back({"ZipBehindOtherData", ArchiveKind::kZip,
                   [] { return SomeBytes(3000) + Packed(ArchiveKind::kZip, "a.txt", Text(500)); }});
  // A ZIP kept as it is inside another archive ends with a ZIP end record:
  // the header at the start decides.
  cases.push_back({"LhaHoldingAZip", ArchiveKind::kLha, [] {
                     return Packed(ArchiveKind::kLha, "inner.zip",
                                   Packed(ArchiveKind::kZip, "a.txt", Text(500)));
                   }});
  cases.push_back({"BhHoldingAZip", ArchiveKind::kBh, [] {
                     return Packed(ArchiveKind::kBh, "inner.zip",
                                   Packed(ArchiveKind::kZip, "a.txt", Text(500)));
                   }});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Detection, ArchiveUnderAnyName, ::testing::ValuesIn(ArchiveCases()),
                         testing::ByName());

// --- content and name together --------------------------------------------------

struct NamedCase {
  std::string name;
  std::string file_name;
  std::string content;
  std::optional<ArchiveKind> expected;
};

void PrintTo(const NamedCase& c, std::ostream* os) {
  *os << c.name;
}

class ContentAndName : public ::testing::TestWithParam<NamedCase> {};

TEST_P(ContentAndName, DecideTheKind) {
  const TempDir dir;
  ExpectKind(dir, GetParam().file_name, GetParam().content, GetParam().expected);
}

// `bytes` with the byte at `at` set to `value`.
std::string Patched(std::string bytes, std::size_t at, char value) {
  bytes.at(at) = value;
  return bytes;
}

const std::string kLhaTiny = ReadFile(kTestData + "/lha/lh0_tiny.lha");
const std::string kCabinet = ReadFile(kTestData + "/cab/regression_null_file_read.cab");
const std::string kZeroByte(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Detection, ContentAndName,
    ::testing::Values(
        // An empty LHA archive is one zero byte: only an LHA name makes it one.
        NamedCase{"ZeroByteNamedLha", "empty.lha", kZeroByte, ArchiveKind::kLha},
        NamedCase{"ZeroByteNamedLzhInCapitals", "EMPTY.LZH", kZeroByte, ArchiveKind::kLha},
        NamedCase{"ZeroByteNamedZip", "empty.zip", kZeroByte, std::nullopt},
        NamedCase{"ZeroByteUnnamed", "empty.dat", kZeroByte, std::nullopt},
        // No archive, whatever the name says.
        NamedCase{"Text", "notes.zip", Text(3000), std::nullopt},
        NamedCase{"EmptyFile", "empty.lha", "", std::nullopt},
        NamedCase{"RandomBytes", "noise.cab", SomeBytes(70000), std::nullopt},
        NamedCase{"ZipSignatureCut", "cut.zip", "PK\x03", std::nullopt},
        NamedCase{"ZipEndRecordCut", "cut.zip", std::string("PK\x05\x06\0\0\0\0", 8), std::nullopt},
        NamedCase{"CabinetSignatureCut", "cut.cab", "MSC", std::nullopt},
        NamedCase{"BhSignatureCut", "cut.bh", "BH\x05", std::nullopt},
        // Behind its signature a damaged header: under its own kind's name an
        // archive of that kind, whose reader says what is wrong; under
        // another name no archive.
        NamedCase{"ZipLocalHeaderCut", "cut.zip", std::string("PK\x03\x04", 4), ArchiveKind::kZip},
        NamedCase{"ZipLocalHeaderCutUnnamed", "cut.dat", std::string("PK\x03\x04", 4),
                  std::nullopt},
        NamedCase{"CabinetHeaderCut", "cut.cab", kCabinet.substr(0, 30), ArchiveKind::kCab},
        NamedCase{"CabinetWithoutFolders", "odd.cab", Patched(kCabinet, 26, '\0'),
                  ArchiveKind::kCab},
        NamedCase{"CabinetWithoutFoldersAsZip", "odd.zip", Patched(kCabinet, 26, '\0'),
                  std::nullopt},
        NamedCase{"BhHeaderCut", "cut.bh", std::string("BH\x05\x07", 4) + std::string(20, '\0'),
                  ArchiveKind::kBh},
        NamedCase{"LhaHeaderCut", "cut.lha", kLhaTiny.substr(0, 20), ArchiveKind::kLha},
        NamedCase{"LhaChecksumWrong", "odd.lzh",
                  Patched(kLhaTiny, 1, static_cast<char>(kLhaTiny[1] + 1)), ArchiveKind::kLha},
        NamedCase{"LhaChecksumWrongAsBh", "odd.bh",
                  Patched(kLhaTiny, 1, static_cast<char>(kLhaTiny[1] + 1)), std::nullopt},
        NamedCase{"LhaUnknownMethodFamily", "odd.lha", Patched(kLhaTiny, 3, 'x'),
                  ArchiveKind::kLha},
        NamedCase{"LhaLevelBeyond3", "odd.dat", Patched(kLhaTiny, 20, '\4'), std::nullopt}),
    testing::ByName());

}  // namespace
}  // namespace talvor

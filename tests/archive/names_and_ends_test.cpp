// A file's name goes into an archive as it is or the file is refused in
// words before anything is written; an entry whose data does not end where
// its header says is damaged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_kinds.h"
#include "archive/archive_test_support.h"
#include "archive/crc.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/text.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ErrorLog;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class ArchiveFixture {
 protected:
  ArchiveFixture() {
    ::mkdir((dir_ / "in").c_str(), 0755);
    ::mkdir((dir_ / "out").c_str(), 0755);
  }
  int Pack(ArchiveKind kind, const std::string& source) {
    const std::unique_ptr<ArchiveWriter> writer = MakeWriter(kind, fs_);
    log_.Attach(*writer);
    return PackNewArchive(*writer, source, Archive(kind));
  }
  std::unique_ptr<ArchiveReader> Reader(ArchiveKind kind) {
    std::unique_ptr<ArchiveReader> reader = MakeReader(kind, fs_);
    log_.Attach(*reader);
    reader->SetArchiveFile(Archive(kind));
    reader->FileSpec = {"*.*"};
    reader->SetExtractDir(dir_ / "out");
    return reader;
  }
  [[nodiscard]] std::string Archive(ArchiveKind kind) const {
    return dir_ / (std::string("made") + ArchiveKindInfoOf(kind).extension);
  }

  PosixFileSystem fs_;
  ErrorLog log_;
  TempDir dir_;
};

struct NameCase {
  const char* name;
  ArchiveKind kind;
  const char* file;
  bool recorded;  // or refused
};

class NameTest : public ::testing::TestWithParam<NameCase>, protected ArchiveFixture {};

TEST_P(NameTest, RecordedExactlyOrRefusedInWords) {
  const NameCase& c = GetParam();
  const std::string source = dir_ / "in/" + c.file;
  WriteFile(source, "what the file holds");
  if (!c.recorded) {
    try {
      (void)Pack(c.kind, source);
      ADD_FAILURE() << "not refused";
    } catch (const Failure& e) {
      EXPECT_EQ(e.kind(), FailureKind::kRefused);
      const std::string text = e.what();
      EXPECT_NE(text.find("\"" + source + "\""), std::string::npos) << text;
      EXPECT_NE(text.find("cannot be recorded in a"), std::string::npos) << text;
    }
    EXPECT_FALSE(testing::Exists(Archive(c.kind)));
    EXPECT_EQ(testing::ListNames(dir_.path()), "in out");
    return;
  }
  ASSERT_EQ(Pack(c.kind, source), 1);
  std::vector<std::string> names;
  Reader(c.kind)->List([&](const ArchiveEntry& e) { names.push_back(e.name); });
  EXPECT_EQ(names, std::vector<std::string>{c.file});
  EXPECT_EQ(Reader(c.kind)->Extract(), 1);
  EXPECT_EQ(ReadFile(dir_ / "out/" + c.file), "what the file holds");
  EXPECT_EQ(log_.Codes(), std::vector<int>{});
  // The desktop's readers find the same name where it is UTF-8 (they read
  // code-page names as another code page).
  if (c.kind != ArchiveKind::kCab || OemCodePage().Encode(c.file)) return;
  const std::vector<std::vector<std::string>> readers = {{"cabextract", "-q", Archive(c.kind)},
                                                         {"7z", "x", "-y", Archive(c.kind)}};
  for (const std::vector<std::string>& argv : readers) {
    if (!testing::HaveProgram(argv[0])) continue;
    const std::string out = dir_ / ("by-" + argv[0]);
    ::mkdir(out.c_str(), 0755);
    EXPECT_EQ(testing::RunProgram(argv, out), 0) << argv[0];
    EXPECT_EQ(ReadFile(out + "/" + c.file), "what the file holds") << argv[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, NameTest,
    ::testing::Values(NameCase{"LhaCyrillic", ArchiveKind::kLha, "тест.txt", false},
                      NameCase{"LhaNotUtf8", ArchiveKind::kLha, "lat\xe9.txt", false},
                      NameCase{"LhaNoBreakSpace", ArchiveKind::kLha, "a\u00A0b.txt", false},
                      NameCase{"LhaBackslash", ArchiveKind::kLha, "a\\b.txt", false},
                      NameCase{"LhaPolish", ArchiveKind::kLha, "żółw.txt", true},
                      NameCase{"BhChinese", ArchiveKind::kBh, "報告.txt", false},
                      NameCase{"BhNotUtf8", ArchiveKind::kBh, "lat\xe9.txt", false},
                      NameCase{"BhPolish", ArchiveKind::kBh, "żółw.txt", true},
                      NameCase{"CabCyrillic", ArchiveKind::kCab, "тест.txt", true},
                      NameCase{"CabChinese", ArchiveKind::kCab, "報告.txt", true},
                      NameCase{"CabPolish", ArchiveKind::kCab, "żółw.txt", true},
                      NameCase{"CabNotUtf8", ArchiveKind::kCab, "lat\xe9.txt", false},
                      NameCase{"ZipCyrillic", ArchiveKind::kZip, "тест.txt", true},
                      NameCase{"ZipNotUtf8", ArchiveKind::kZip, "lat\xe9.txt", false}),
    testing::ByName());

// ---------------------------------------------------------------------------

struct EndCase {
  const char* name;
  ArchiveKind kind;
  bool text;  // compressible text, or bytes that are stored as they are
};

// Rewrites the header of the only entry so that it declares the first
// `size` bytes of `data` (size and CRC), leaving the data as it was.
void Declare(ArchiveKind kind, std::string& archive, const std::string& data, std::uint32_t size) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(archive.data());
  const auto* plain = reinterpret_cast<const std::uint8_t*>(data.data());
  const std::uint32_t crc32 = Crc32(0, plain, size);
  switch (kind) {
    case ArchiveKind::kZip: {
      StoreLittleEndian32(crc32, bytes + 14);
      StoreLittleEndian32(size, bytes + 22);
      const std::size_t central = archive.find("PK\x01\x02");
      StoreLittleEndian32(crc32, bytes + central + 16);
      StoreLittleEndian32(size, bytes + central + 24);
      break;
    }
    case ArchiveKind::kBh:
      StoreLittleEndian32(crc32, bytes + 23);
      StoreLittleEndian32(size, bytes + 19);
      break;
    default: {  // a level-0 LHA header
      StoreLittleEndian32(size, bytes + 11);
      StoreLittleEndian16(Crc16(0, plain, size), bytes + 22 + bytes[21]);
      std::uint32_t sum = 0;
      for (std::size_t i = 2; i < std::size_t{bytes[0]} + 2; ++i) sum += bytes[i];
      bytes[1] = static_cast<std::uint8_t>(sum);
    }
  }
}

class DataEndTest : public ::testing::TestWithParam<EndCase>, protected ArchiveFixture {};

TEST_P(DataEndTest, DataLongerThanTheHeaderSaysIsDamage) {
  const EndCase& c = GetParam();
  std::string data;
  while (data.size() < 60000) data += "line " + std::to_string(data.size()) + "\n";
  if (!c.text) data = testing::SomeBytes(6000, 9);
  WriteFile(dir_ / "in/data.txt", data);
  ASSERT_EQ(Pack(c.kind, dir_ / "in/data.txt"), 1);
  std::string archive = ReadFile(Archive(c.kind));
  Declare(c.kind, archive, data, 100);
  WriteFile(Archive(c.kind), archive);
  EXPECT_EQ(Reader(c.kind)->Test([](const ArchiveEntry&, bool) {}), 0);
  EXPECT_EQ(Reader(c.kind)->Extract(), 0);
  EXPECT_EQ(testing::ListNames(dir_ / "out"), "");
  ASSERT_EQ(log_.events.size(), 2U);
  for (const ArchiveError& e : log_.events) {
    EXPECT_NE(ArchiveErrorLine(e).find("the entry is damaged: its data goes on past the 100 bytes"),
              std::string::npos)
        << ArchiveErrorLine(e);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DataEndTest,
                         ::testing::Values(EndCase{"ZipDeflate", ArchiveKind::kZip, true},
                                           EndCase{"BhDeflate", ArchiveKind::kBh, true},
                                           EndCase{"LhaStored", ArchiveKind::kLha, false}),
                         testing::ByName());

// Names are whole paths: a relative one is never taken from the working
// folder, whatever that holds.
class RelativeNameTest : public ::testing::TestWithParam<ArchiveKind>, protected ArchiveFixture {};

TEST_P(RelativeNameTest, NamesNothing) {
  const ArchiveKind kind = GetParam();
  if (!CanWrite(kind) || !CanRead(kind)) GTEST_SKIP() << "no cabinet library";
  WriteFile(dir_ / "in/a.txt", "abc");
  ASSERT_EQ(Pack(kind, dir_ / "in/a.txt"), 1);
  const testing::CurrentDirGuard cwd;
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  const std::string relative_archive = ExtractFileName(Archive(kind));

  const std::unique_ptr<ArchiveWriter> writer = MakeWriter(kind, fs_);
  log_.Attach(*writer);
  writer->SetArchiveFile("new" + std::string(ArchiveKindInfoOf(kind).extension));
  writer->FileSpec = {"in/a.txt"};
  EXPECT_EQ(writer->Compress(), 0);
  const std::unique_ptr<ArchiveReader> reader = Reader(kind);
  reader->SetArchiveFile(relative_archive);
  EXPECT_EQ(reader->ArcType(), ArchiveType::kNotAvailable);
  reader->SetArchiveFile(Archive(kind));
  reader->SetExtractDir("out");
  EXPECT_EQ(reader->Extract(), 0);
  EXPECT_EQ(log_.Codes(),
            std::vector<int>({archive_error::kInvalidDirectory, archive_error::kInvalidDirectory}));
  EXPECT_EQ(testing::ListNames(dir_.path()), "in " + relative_archive + " out");
  EXPECT_EQ(testing::ListNames(dir_ / "out"), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, RelativeNameTest,
                         ::testing::Values(ArchiveKind::kLha, ArchiveKind::kZip, ArchiveKind::kBh,
                                           ArchiveKind::kCab));

}  // namespace
}  // namespace talvor

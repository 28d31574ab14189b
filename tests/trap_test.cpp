#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/failure.h"
#include "protect/trap.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

struct MaskCase {
  std::string passphrase;
  std::uint8_t mask;
};

class TrapMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(TrapMaskTest, MaskFromPassphrase) {
  EXPECT_EQ(TrapMask(GetParam().passphrase), GetParam().mask);
}

std::string Pattern300() {
  std::string p;
  for (int i = 0; i < 300; ++i) p.push_back(static_cast<char>((i * 7 + 3) % 256));
  return p;
}

INSTANTIATE_TEST_SUITE_P(Values, TrapMaskTest,
                         ::testing::Values(
                             // 20 characters adding up to 1000: S = 21357, mask 0xA6.
                             MaskCase{std::string(20, '2'), 0xA6},
                             // The empty pass phrase and any of exactly 256 characters: S = 1357.
                             MaskCase{"", 0x8F}, MaskCase{std::string(256, 'A'), 0x8F},
                             MaskCase{std::string(256, 'Z'), 0x8F},
                             MaskCase{"MY SECRET PHRASE", 0xFD},
                             // Code-page bytes above 127 count as 0 to 255.
                             MaskCase{std::string(14, '\xA5'), 0x53},
                             // From 257 characters on only the first L mod 256 are summed.
                             MaskCase{Pattern300(), 0xDD},
                             MaskCase{Pattern300().substr(0, 44) + std::string(256, 'Z'), 0xDD},
                             MaskCase{std::string(401, 'Z'), 0x20}));

class TrapFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  PosixFileSystem fs_;
  Job job_;
  const std::string pass_ = "MY SECRET PHRASE";  // mask 0xFD
};

TEST_F(TrapFileTest, WritesHeaderThenMaskedBody) {
  WriteFile(dir_ / "report.txt", std::string("AB\x00\xFFz", 5));
  EXPECT_EQ(EncryptTrp(fs_, dir_ / "report.txt", pass_, job_), dir_ / "report.trp");
  const std::string expected = std::string("4.txt") + char('A' ^ 0xFD) + char('B' ^ 0xFD) +
                               char(0x00 ^ 0xFD) + char(0xFF ^ 0xFD) + char('z' ^ 0xFD);
  EXPECT_EQ(ReadFile(dir_ / "report.trp"), expected);
  EXPECT_EQ(ListNames(dir_.path()), "report.trp report.txt");  // the source stays
}

TEST_F(TrapFileTest, RoundTripsOverEdgeSizes) {
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{(3 << 20) + 17}}) {
    const std::string content = SomeBytes(size, static_cast<unsigned>(size));
    WriteFile(dir_ / "data.bin", content);
    EncryptTrp(fs_, dir_ / "data.bin", pass_, job_);
    EXPECT_EQ(ReadFile(dir_ / "data.trp").size(), size + 5);
    ::unlink((dir_ / "data.bin").c_str());
    EXPECT_EQ(DecryptTrp(fs_, dir_ / "data.trp", pass_, job_), dir_ / "data.bin");
    EXPECT_EQ(ReadFile(dir_ / "data.bin"), content) << size;
  }
}

TEST_F(TrapFileTest, NameWithoutExtension) {
  WriteFile(dir_ / "notes", "hello");
  EncryptTrp(fs_, dir_ / "notes", pass_, job_);
  EXPECT_EQ(ReadFile(dir_ / "notes.trp").substr(0, 1), "0");
  ::unlink((dir_ / "notes").c_str());
  EXPECT_EQ(DecryptTrp(fs_, dir_ / "notes.trp", pass_, job_), dir_ / "notes");
  EXPECT_EQ(ReadFile(dir_ / "notes"), "hello");
}

TEST_F(TrapFileTest, WrongPassphraseGivesRightNameAndLengthWrongContent) {
  WriteFile(dir_ / "a.txt", "secret content");
  EncryptTrp(fs_, dir_ / "a.txt", pass_, job_);
  DecryptTrp(fs_, dir_ / "a.trp", "ANOTHER PASS PHRASE", job_);
  const std::string got = ReadFile(dir_ / "a.txt");
  EXPECT_EQ(got.size(), 14U);
  EXPECT_NE(got, "secret content");
}

TEST_F(TrapFileTest, SecondEncryptionReplacesTheFirst) {
  WriteFile(dir_ / "a.txt", "text");
  WriteFile(dir_ / "a.doc", "document");
  EncryptTrp(fs_, dir_ / "a.txt", pass_, job_);
  EncryptTrp(fs_, dir_ / "a.doc", pass_, job_);
  EXPECT_EQ(ReadFile(dir_ / "a.trp").substr(0, 5), "4.doc");
  EXPECT_EQ(ListNames(dir_.path()), "a.doc a.trp a.txt");
}

TEST_F(TrapFileTest, DecryptionReplacesAnExistingFile) {
  WriteFile(dir_ / "a.txt", "original");
  EncryptTrp(fs_, dir_ / "a.txt", pass_, job_);
  WriteFile(dir_ / "a.txt", "changed meanwhile, and longer");
  DecryptTrp(fs_, dir_ / "a.trp", pass_, job_);
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "original");
}

// Damaged or unusable input: the message, and nothing written.
struct BadInputCase {
  const char* name;
  std::string trp_content;
  const char* message;
};

class TrapBadInputTest : public TrapFileTest, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(TrapBadInputTest, FailsWithMessageAndWritesNothing) {
  WriteFile(dir_ / "in.trp", GetParam().trp_content);
  try {
    DecryptTrp(fs_, dir_ / "in.trp", pass_, job_);
    FAIL() << "no failure";
  } catch (const Failure& e) {
    // A failure of the file layer names the file after its text.
    EXPECT_THAT(e.what(), ::testing::StartsWith(GetParam().message));
  }
  EXPECT_EQ(ListNames(dir_.path()), "in.trp");
}

INSTANTIATE_TEST_SUITE_P(
    Headers, TrapBadInputTest,
    ::testing::Values(
        BadInputCase{"Empty", "", "Read beyond end of file"},
        BadInputCase{"ShortExtension", "4.tx", "Read beyond end of file"},
        BadInputCase{"Letter", "x.txtabc", "'x' is not a valid integer value"},
        BadInputCase{"Sign", "-1", "'-' is not a valid integer value"},
        BadInputCase{"Blank", " 1", "' ' is not a valid integer value"},
        BadInputCase{"HighByte", "\xB9", "'\xC4\x85' is not a valid integer value"},
        // A hostile header must not send the result to another folder.
        BadInputCase{"Separator", "4./../body", "The file records an extension that is not valid"},
        BadInputCase{"NoDot", "3abcbody", "The file records an extension that is not valid"}),
    testing::ByName());

TEST_F(TrapFileTest, RefusesExtensionsTheCountCannotDescribe) {
  WriteFile(dir_ / "a.abcdefghi", "x");  // 10 characters, dot included
  WriteFile(dir_ / "b.abcdefgh", "x");   // 9: fits
  EXPECT_TRUE(testing::RaisesFailure(FailureKind::kRefused,
                                     [&] { EncryptTrp(fs_, dir_ / "a.abcdefghi", pass_, job_); }));
  EXPECT_EQ(EncryptTrp(fs_, dir_ / "b.abcdefgh", pass_, job_), dir_ / "b.trp");
  EXPECT_EQ(ListNames(dir_.path()), "a.abcdefghi b.abcdefgh b.trp");
}

TEST_F(TrapFileTest, ExtensionIsRecordedInTheCentralEuropeanCodePage) {
  WriteFile(dir_ / "plik.\xC5\xBC\xC3\xB3\xC5\x82", "zawarto\xC5\x9B\xC4\x87");  // plik.żół
  EncryptTrp(fs_, dir_ / "plik.\xC5\xBC\xC3\xB3\xC5\x82", pass_, job_);
  EXPECT_EQ(ReadFile(dir_ / "plik.trp").substr(0, 5), "4.\xBF\xF3\xB3");
  ::unlink((dir_ / "plik.\xC5\xBC\xC3\xB3\xC5\x82").c_str());
  DecryptTrp(fs_, dir_ / "plik.trp", pass_, job_);
  EXPECT_EQ(ReadFile(dir_ / "plik.\xC5\xBC\xC3\xB3\xC5\x82"), "zawarto\xC5\x9B\xC4\x87");
}

TEST_F(TrapFileTest, SourceFailuresLeaveNoResult) {
  WriteFile(dir_ / "ro.txt", "x");
  ::chmod((dir_ / "ro.txt").c_str(), 0444);
  try {
    EncryptTrp(fs_, dir_ / "ro.txt", pass_, job_);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "File access denied: " + (dir_ / "ro.txt"));
  }
  try {
    EncryptTrp(fs_, dir_ / "missing.txt", pass_, job_);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "File not found: " + (dir_ / "missing.txt"));
  }
  EXPECT_EQ(ListNames(dir_.path()), "ro.txt");
}

TEST_F(TrapFileTest, ReadOnlyResultIsNotReplaced) {
  WriteFile(dir_ / "a.txt", "new");
  WriteFile(dir_ / "a.trp", "old");
  ::chmod((dir_ / "a.trp").c_str(), 0444);
  EXPECT_TRUE(testing::RaisesFailure(FailureKind::kIo,
                                     [&] { EncryptTrp(fs_, dir_ / "a.txt", pass_, job_); }));
  EXPECT_EQ(ReadFile(dir_ / "a.trp"), "old");
  EXPECT_EQ(ListNames(dir_.path()), "a.trp a.txt");
}

}  // namespace
}  // namespace talvor

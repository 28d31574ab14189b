#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "fakes.h"
#include "platform/failure.h"
#include "protect/library_ciphers.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::CurrentDirGuard;
using testing::Exists;
using testing::ListNames;
using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

const std::string kPass = "MY SECRET PHRASE";

struct MethodCase {
  const char* name;
  const LibraryCipher* cipher;
  const char* extension;
};

class LibraryCipherTest : public ::testing::TestWithParam<MethodCase> {
 protected:
  LibraryCipherTest() { std::filesystem::current_path(dir_.path()); }

  std::string Encrypt(const std::string& path, const std::string& pass = kPass) {
    return EncryptWithLibrary(services_, *GetParam().cipher, path, pass);
  }
  std::string Decrypt(const std::string& path, const std::string& pass = kPass) {
    return DecryptWithLibrary(services_, *GetParam().cipher, path, pass);
  }
  std::string Result(const std::string& base) const { return dir_ / (base + GetParam().extension); }

  TempDir dir_;
  CurrentDirGuard cwd_;
  PosixFileSystem fs_;
  RandomGenerator random_;
  testing::FakeClock clock_;
  Job job_;
  RoutineServices services_{fs_, random_, clock_, job_};
};

TEST_P(LibraryCipherTest, RoundTripsOverEdgeSizes) {
  for (const std::size_t size : {0, 1, 7, 8, 15, 16, 17, (2 << 20) + 9}) {
    const std::string content = SomeBytes(size, static_cast<unsigned>(size) + 3);
    WriteFile(dir_ / "data.txt", content);
    EXPECT_EQ(Encrypt(dir_ / "data.txt"), Result("data"));
    const std::size_t body =
        GetParam().cipher == &kRijndaelCipher ? 16 * (size / 16 + 1) : 8 * (size / 8 + 2);
    EXPECT_EQ(ReadFile(Result("data")).size(), 5 + body) << size;
    ::unlink((dir_ / "data.txt").c_str());
    EXPECT_EQ(Decrypt(Result("data")), dir_ / "data.txt");
    EXPECT_EQ(ReadFile(dir_ / "data.txt"), content) << size;
    EXPECT_EQ(ListNames(dir_.path()), "data" + std::string(GetParam().extension) + " data.txt");
  }
}

TEST_P(LibraryCipherTest, SevenByteFileAndMaskedHeader) {
  WriteFile(dir_ / "a.txt", "1234567");
  Encrypt(dir_ / "a.txt");
  const std::string out = ReadFile(Result("a"));
  ASSERT_EQ(out.size(), 5U + 16U);
  EXPECT_EQ(out.substr(0, 5),
            std::string("4") + char('.' ^ 7) + char('t' ^ 7) + char('x' ^ 7) + char('t' ^ 7));
  EXPECT_EQ(ListNames(dir_.path()), "a" + std::string(GetParam().extension) + " a.txt");
}

TEST_P(LibraryCipherTest, NameWithoutExtension) {
  WriteFile(dir_ / "notes", "some notes");
  Encrypt(dir_ / "notes");
  EXPECT_EQ(ReadFile(Result("notes")).substr(0, 1), "0");
  ::unlink((dir_ / "notes").c_str());
  EXPECT_EQ(Decrypt(Result("notes")), dir_ / "notes");
  EXPECT_EQ(ReadFile(dir_ / "notes"), "some notes");
}

TEST_P(LibraryCipherTest, WrongPassphraseWritesNothing) {
  WriteFile(dir_ / "a.txt", "the secret text, long enough for a few blocks");
  Encrypt(dir_ / "a.txt");
  WriteFile(dir_ / "a.txt", "a file the user still has");
  // Never refused with the right pass phrase, refused with wrong ones.
  int refused = 0;
  for (const char* wrong : {"WRONG PASSPHRASE 1", "WRONG PASSPHRASE 2", "WRONG PASSPHRASE 3"}) {
    try {
      Decrypt(Result("a"), wrong);
    } catch (const Failure& e) {
      EXPECT_EQ(e.kind(), FailureKind::kWrongPassphrase);
      EXPECT_STREQ(e.what(), "Wrong password or damaged file");
      ++refused;
    }
    EXPECT_EQ(ListNames(dir_.path()), "a" + std::string(GetParam().extension) + " a.txt");
  }
  EXPECT_EQ(refused, 3);
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "a file the user still has");
  Decrypt(Result("a"));
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "the secret text, long enough for a few blocks");
}

// The routines stream between the user's file and the result: a file of the
// name a working file once had is neither used nor refused.
TEST_P(LibraryCipherTest, AFileNamedTempTmpIsNeverTouched) {
  WriteFile(dir_ / "a.txt", "text");
  WriteFile(dir_ / "temp.tmp", "the user's own file");
  Encrypt(dir_ / "a.txt");
  ::unlink((dir_ / "a.txt").c_str());
  Decrypt(Result("a"));
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "text");
  EXPECT_EQ(ReadFile(dir_ / "temp.tmp"), "the user's own file");
  EXPECT_EQ(ListNames(dir_.path()), "a" + std::string(GetParam().extension) + " a.txt temp.tmp");
}

TEST_P(LibraryCipherTest, LongExtensionIsRefusedBeforeAnythingIsWritten) {
  WriteFile(dir_ / "a.abcdefgh", "x");  // 9 characters, dot included
  EXPECT_TRUE(testing::RaisesFailure(FailureKind::kRefused, [&] { Encrypt(dir_ / "a.abcdefgh"); }));
  WriteFile(dir_ / "b.abcdefg", "x");  // 8: fits
  Encrypt(dir_ / "b.abcdefg");
  EXPECT_EQ(ListNames(dir_.path()), "a.abcdefgh b.abcdefg b" + std::string(GetParam().extension));
}

TEST_P(LibraryCipherTest, DamagedFilesGiveAMessageAndNoResult) {
  const std::string path = Result("d");
  const std::pair<std::string, std::string> table[] = {
      {"", "Read beyond end of file"},
      {"x", "'x' is not a valid integer value"},
      {"4.tx", "Read beyond end of file"},
      {std::string("4") + char('.' ^ 7) + char('t' ^ 7) + char('x' ^ 7) + char('t' ^ 7) + "short",
       "Invalid file format"},
  };
  for (const auto& [content, message] : table) {
    WriteFile(path, content);
    try {
      Decrypt(path);
      ADD_FAILURE() << "no failure for " << content;
    } catch (const Failure& e) {
      // A failure of the file layer names the file after its text.
      EXPECT_THAT(e.what(), ::testing::StartsWith(message));
    }
    EXPECT_EQ(ListNames(dir_.path()), "d" + std::string(GetParam().extension));
  }
}

TEST_P(LibraryCipherTest, SourceFailures) {
  try {
    Encrypt(dir_ / "missing.txt");
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + (dir_ / "missing.txt") + "\". No such file or directory");
  }
  EXPECT_EQ(ListNames(dir_.path()), "");
}

INSTANTIATE_TEST_SUITE_P(Methods, LibraryCipherTest,
                         ::testing::Values(MethodCase{"Orm", &kOrmCipher, ".orm"},
                                           MethodCase{"Blowfish", &kBlowfishCipher, ".blf"},
                                           MethodCase{"Rijndael", &kRijndaelCipher, ".rnl"}),
                         testing::ByName());

class OrmLayoutTest : public LibraryCipherTest {};

// The ORM body is the Triple-DES stream with every byte XOR 5, and the RNL
// body the plain Rijndael stream: deciphering the bodies with the library
// gives the source back.
TEST_F(OrmLayoutTest, BodiesAreTheLibraryStreams) {
  WriteFile(dir_ / "a.txt", "payload bytes");
  EncryptWithLibrary(services_, kOrmCipher, dir_ / "a.txt", kPass);
  EncryptWithLibrary(services_, kRijndaelCipher, dir_ / "a.txt", kPass);
  std::string orm = ReadFile(dir_ / "a.orm").substr(5);
  for (char& c : orm) c = static_cast<char>(c ^ 5);
  WriteFile(dir_ / "orm.body", orm);
  WriteFile(dir_ / "rnl.body", ReadFile(dir_ / "a.rnl").substr(5));
  std::uint8_t key[16];
  DeriveKeyFromPassphrase(key, 16, kPass);
  TripleDesFileCBC(fs_, dir_ / "orm.body", dir_ / "orm.plain", key, false, clock_);
  RijndaelFileECB(fs_, dir_ / "rnl.body", dir_ / "rnl.plain", key, 16, false);
  EXPECT_EQ(ReadFile(dir_ / "orm.plain"), "payload bytes");
  EXPECT_EQ(ReadFile(dir_ / "rnl.plain"), "payload bytes");
}

TEST_F(OrmLayoutTest, RenamedBlowfishFileIsTakenAsAWrongKeyByRijndael) {
  WriteFile(dir_ / "a.txt", "payload bytes");
  EncryptWithLibrary(services_, kBlowfishCipher, dir_ / "a.txt", kPass);
  ::rename((dir_ / "a.blf").c_str(), (dir_ / "b.rnl").c_str());
  // The cipher's verdict on the stray bytes: a wrong key or a damaged file.
  try {
    (void)DecryptWithLibrary(services_, kRijndaelCipher, dir_ / "b.rnl", kPass);
    ADD_FAILURE() << "decrypted";
  } catch (const Failure& e) {
    EXPECT_TRUE(e.kind() == FailureKind::kWrongPassphrase || e.kind() == FailureKind::kDamaged)
        << e.what();
  }
  EXPECT_EQ(ListNames(dir_.path()), "a.txt b.rnl");
}

}  // namespace
}  // namespace talvor

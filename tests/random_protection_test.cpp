#include <gtest/gtest.h>
#include <unistd.h>

#include <array>

#include "archive/crc.h"
#include "archive/dos_time.h"
#include "archive/lha/lha_archive.h"
#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "fakes.h"
#include "platform/path.h"
#include "protect/erh_archive.h"
#include "protect/random_protection.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

const std::string kPass = "MY SECRET PHRASE";

// A clock whose readings jump about, as a real counter's low bits do.
class JumpingClock : public testing::FakeClock {
 public:
  std::uint64_t PerformanceCounter() override { return (counter += 0x9E3779B97F4A7C15ULL) >> 7; }
};

TEST(PickProtectionChoiceTest, ChoicesFollowTheExpectedDistribution) {
  RandomGenerator random;
  JumpingClock clock;
  std::array<int, 6> counts{};
  constexpr int kPicks = 30000;
  for (int i = 0; i < kPicks; ++i) {
    const int k = PickProtectionChoice(random, clock);
    ASSERT_GE(k, 1);
    ASSERT_LE(k, 5);
    ++counts[static_cast<std::size_t>(k)];
  }
  const double expected[] = {0, 0.228, 0.228, 0.201, 0.180, 0.163};
  for (int k = 1; k <= 5; ++k) {
    EXPECT_NEAR(counts[static_cast<std::size_t>(k)] / static_cast<double>(kPicks), expected[k],
                0.015)
        << "choice " << k;
  }
}

TEST(PickProtectionChoiceTest, AClockThatStandsStillDoesNotHang) {
  RandomGenerator random;
  testing::FakeClock clock;
  clock.has_counter = false;
  for (int i = 0; i < 100; ++i) (void)PickProtectionChoice(random, clock);
}

TEST(EffectivePassphraseTest, Combinations) {
  EXPECT_EQ(EffectivePassphrase(1, "P").view(), "bqty81mP");
  EXPECT_EQ(EffectivePassphrase(2, "P").view(), "lumkddd3316P");
  EXPECT_EQ(EffectivePassphrase(3, "P").view(), "P82hjotnc5yyfre");
  EXPECT_EQ(EffectivePassphrase(4, "P").view(), "77712gjkPPWWPhhh29");
  EXPECT_EQ(EffectivePassphrase(5, "P").view(), "t442P");
  EXPECT_EQ(EffectivePassphrase(0, "P").view(), "P");
  EXPECT_EQ(EffectivePassphrase(9, "P").view(), "P");
}

class RandomProtectionTest : public ::testing::Test {
 protected:
  // The archive inside an .erh file, and its one entry's data.
  static std::string Unmasked(const std::string& erh) {
    std::string lha = erh;
    for (char& c : lha) c = static_cast<char>(c ^ 5);
    return lha;
  }

  TempDir dir_;
  PosixFileSystem fs_;
  RandomGenerator random_;
  JumpingClock clock_;
  Job job_;
  RoutineServices services_{fs_, random_, clock_, job_};
  RandomProtection protection_{services_};
};

TEST_F(RandomProtectionTest, RoundTripsAndLeavesOnlyTheResult) {
  for (const std::size_t size : {0, 1, 15, 16, 17, (3 << 20) + 7}) {
    const std::string content = size > 1000 ? SomeBytes(size) : std::string(size, 'q');
    WriteFile(dir_ / "report.txt", content);
    EXPECT_EQ(protection_.EncryptErh(dir_ / "report.txt", kPass), dir_ / "report.erh");
    EXPECT_EQ(ListNames(dir_.path()), "report.erh report.txt");
    ::unlink((dir_ / "report.txt").c_str());
    EXPECT_EQ(protection_.DecryptErh(dir_ / "report.erh", kPass), dir_ / "report.txt");
    EXPECT_EQ(ReadFile(dir_ / "report.txt"), content) << size;
    EXPECT_EQ(ListNames(dir_.path()), "report.erh report.txt");
  }
}

TEST_F(RandomProtectionTest, TheErhIsAMaskedLhaArchiveOfTheXxrLayer) {
  WriteFile(dir_ / "empty.txt", "");
  protection_.EncryptErh(dir_ / "empty.txt", kPass);
  const std::string lha = Unmasked(ReadFile(dir_ / "empty.erh"));
  // One level-0 entry named empty.xxr, stored: enciphered data does not shrink.
  ASSERT_GT(lha.size(), 22U);
  EXPECT_EQ(lha.substr(2, 5), "-lh0-");
  EXPECT_EQ(lha.substr(21, 10), std::string("\x09", 1) + "empty.xxr");
  const std::string xxr = lha.substr(33);
  ASSERT_EQ(xxr.size(), 1U + (1 + 4) + 16);  // choice, header, one final block
  EXPECT_GE(xxr[0], '1');
  EXPECT_LE(xxr[0], '5');
  EXPECT_EQ(xxr.substr(1, 5),
            std::string("4") + char('.' ^ 7) + char('t' ^ 7) + char('x' ^ 7) + char('t' ^ 7));
}

TEST_F(RandomProtectionTest, EveryCombinationDecrypts) {
  WriteFile(dir_ / "a.doc", "content of a document");
  for (int choice = 1; choice <= 5; ++choice) {
    protection_.BuildErh(dir_ / "a.doc", EffectivePassphrase(choice, kPass).view(), choice);
    EXPECT_EQ(Unmasked(ReadFile(dir_ / "a.erh"))[29], '0' + choice);  // after a 29-byte header
    ::unlink((dir_ / "a.doc").c_str());
    protection_.DecryptErh(dir_ / "a.erh", kPass);
    EXPECT_EQ(ReadFile(dir_ / "a.doc"), "content of a document") << choice;
  }
}

// An .erh file as another writer of the format would make it, built here
// from its documented layers.
TEST_F(RandomProtectionTest, HandMadeErhFilesDecrypt) {
  const std::string plain = "made by hand, layer by layer";
  WriteFile(dir_ / "plain.bin", plain);
  for (int choice = 1; choice <= 5; ++choice) {
    std::uint8_t key[16];
    DeriveKeyFromPassphrase(key, 16, EffectivePassphrase(choice, kPass).view());
    RijndaelFileECB(fs_, dir_ / "plain.bin", dir_ / "stream", key, 16, true);
    std::string xxr = std::string(1, static_cast<char>('0' + choice)) + "4" + char('.' ^ 7) +
                      char('b' ^ 7) + char('i' ^ 7) + char('n' ^ 7) + ReadFile(dir_ / "stream");
    const std::string name = "hand.xxr";
    std::string entry;
    entry.push_back(static_cast<char>(name.size() + 22));
    entry.push_back(0);
    entry += "-lh0-";
    for (int i = 0; i < 2; ++i) {
      const auto size = static_cast<std::uint32_t>(xxr.size());
      for (int k = 0; k < 4; ++k) entry.push_back(static_cast<char>(size >> (8 * k)));
    }
    entry += std::string("\x00\x00\x21\x5A\x20\x00", 6);  // time, attributes, level 0
    entry.push_back(static_cast<char>(name.size()));
    entry += name;
    const std::uint16_t crc =
        Crc16(0, reinterpret_cast<const std::uint8_t*>(xxr.data()), xxr.size());
    entry.push_back(static_cast<char>(crc & 0xFF));
    entry.push_back(static_cast<char>(crc >> 8));
    unsigned sum = 0;
    for (std::size_t i = 2; i < entry.size(); ++i) sum += static_cast<unsigned char>(entry[i]);
    entry[1] = static_cast<char>(sum);
    std::string erh = entry + xxr + std::string(1, '\0');  // with an end-of-archive byte
    for (char& c : erh) c = static_cast<char>(c ^ 5);
    WriteFile(dir_ / "hand.erh", erh);
    EXPECT_EQ(protection_.DecryptErh(dir_ / "hand.erh", kPass), dir_ / "hand.bin");
    EXPECT_EQ(ReadFile(dir_ / "hand.bin"), plain) << choice;
    ::unlink((dir_ / "hand.bin").c_str());
    ::unlink((dir_ / "stream").c_str());
  }
}

TEST_F(RandomProtectionTest, FailuresLeaveNothingBehind) {
  WriteFile(dir_ / "doc.txt", "the original");
  protection_.EncryptErh(dir_ / "doc.txt", kPass);
  WriteFile(dir_ / "doc.txt", "the user's newer version");
  try {
    protection_.DecryptErh(dir_ / "doc.erh", "NOT THE PASS PHRASE");
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kWrongPassphrase);
    EXPECT_STREQ(e.what(), "Wrong password or damaged file");
  }
  EXPECT_EQ(ReadFile(dir_ / "doc.txt"), "the user's newer version");
  EXPECT_EQ(ListNames(dir_.path()), "doc.erh doc.txt");
  // A damaged file.
  WriteFile(dir_ / "junk.erh", SomeBytes(5000));
  EXPECT_THROW(protection_.DecryptErh(dir_ / "junk.erh", kPass), std::exception);
  EXPECT_EQ(ListNames(dir_.path()), "doc.erh doc.txt junk.erh");
  // A source that cannot be read.
  EXPECT_THROW(protection_.EncryptErh(dir_ / "missing.txt", kPass), std::exception);
  EXPECT_EQ(ListNames(dir_.path()), "doc.erh doc.txt junk.erh");
}

TEST_F(RandomProtectionTest, ARenamedErhFileStillDecrypts) {
  WriteFile(dir_ / "before.txt", "kept under another name");
  protection_.EncryptErh(dir_ / "before.txt", kPass);
  ::unlink((dir_ / "before.txt").c_str());
  ASSERT_EQ(::rename((dir_ / "before.erh").c_str(), (dir_ / "after.erh").c_str()), 0);
  EXPECT_EQ(protection_.DecryptErh(dir_ / "after.erh", kPass), dir_ / "after.txt");
  EXPECT_EQ(ReadFile(dir_ / "after.txt"), "kept under another name");
  EXPECT_EQ(ListNames(dir_.path()), "after.erh after.txt");

  // With two entries and neither of them the expected one, nothing is guessed.
  TempDir parts;
  WriteFile(parts / "one.xxr", "1");
  WriteFile(parts / "two.xxr", "2");
  LhaWriter lha(fs_);
  lha.SetArchiveFile(parts / "two.lha");
  lha.FileSpec = {parts / "one.xxr", parts / "two.xxr"};
  ASSERT_EQ(lha.Compress(), 2);
  std::string erh = ReadFile(parts / "two.lha");
  for (char& c : erh) c = static_cast<char>(c ^ 5);
  WriteFile(dir_ / "other.erh", erh);
  try {
    protection_.DecryptErh(dir_ / "other.erh", kPass);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(std::string(e.what()), "The file \"" + (dir_ / "other.erh") +
                                         "\" was not made by random protection: its archive "
                                         "holds 2 files and none of them is \"other.xxr\".");
  }
  EXPECT_EQ(ListNames(dir_.path()), "after.erh after.txt other.erh");
}

TEST_F(RandomProtectionTest, FilesWithTheIntermediateNamesAreNeverTouched) {
  WriteFile(dir_ / "report.txt", "report");
  WriteFile(dir_ / "report.lha", "the user's archive");
  WriteFile(dir_ / "report.xxr", "the user's xxr");
  WriteFile(dir_ / "temp.tmp", "the user's temp");
  protection_.EncryptErh(dir_ / "report.txt", kPass);
  ::unlink((dir_ / "report.txt").c_str());
  protection_.DecryptErh(dir_ / "report.erh", kPass);
  EXPECT_EQ(ReadFile(dir_ / "report.txt"), "report");
  EXPECT_EQ(ReadFile(dir_ / "report.lha"), "the user's archive");
  EXPECT_EQ(ReadFile(dir_ / "report.xxr"), "the user's xxr");
  EXPECT_EQ(ReadFile(dir_ / "temp.tmp"), "the user's temp");
  EXPECT_EQ(ListNames(dir_.path()), "report.erh report.lha report.txt report.xxr temp.tmp");
}

// Names the archive's code page cannot hold, and names with characters that
// mean something to archives or to the file scanner.
TEST_F(RandomProtectionTest, EveryNameRoundTrips) {
  for (const std::string name : {"\xE6\xB5\x8B\xE8\xAF\x95", "q\\1", "tab\there", "new\nline",
                                 "carriage\rreturn", "star*q?", "\xFF\xFE"}) {
    WriteFile(dir_ / (name + ".txt"), "payload of " + name);
    protection_.EncryptErh(dir_ / (name + ".txt"), kPass);
    ::unlink((dir_ / (name + ".txt")).c_str());
    EXPECT_EQ(protection_.DecryptErh(dir_ / (name + ".erh"), kPass), dir_ / (name + ".txt"));
    EXPECT_EQ(ReadFile(dir_ / (name + ".txt")), "payload of " + name);
    ::unlink((dir_ / (name + ".txt")).c_str());
    ::unlink((dir_ / (name + ".erh")).c_str());
  }
  EXPECT_EQ(ListNames(dir_.path()), "");
}

TEST(RepeatWatchTest, SeesABlockRepeatedWithinTheCodersReachOnly) {
  for (const auto& [gap, seen] : {std::pair{1, true}, {1024, true}, {1025, false}}) {
    std::string blocks = SomeBytes(16 * (gap + 1), static_cast<unsigned>(gap));
    blocks.replace(16 * gap, 16, blocks.substr(0, 16));
    RepeatWatch watch;
    EXPECT_EQ(watch.Add(reinterpret_cast<const std::uint8_t*>(blocks.data()), gap + 1), seen)
        << gap;
  }
}

// The .erh file is, byte for byte, what the LHA writer makes of the layer
// written out as a file of its own (dated as the entry), masked: stored
// where the enciphered data cannot shrink, -lh6- where repeated blocks let
// it, with a level-2 header for a long name.
struct LayoutCase {
  const char* name;
  std::string source;
  std::string content;
  const char* method;
};

std::string WithRepeatedBlock(std::string content) {
  content.replace(16 * 100, 16, content.substr(0, 16));
  return content;
}

class ErhLayoutTest : public RandomProtectionTest,
                      public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ErhLayoutTest, IsTheLhaWritersArchiveOfTheLayer) {
  const LayoutCase& c = GetParam();
  const std::string source = dir_ / c.source;
  WriteFile(source, c.content);
  const int choice = 3;
  const std::string erh = Unmasked(
      ReadFile(protection_.BuildErh(source, EffectivePassphrase(choice, kPass).view(), choice)));
  ASSERT_GT(erh.size(), 22U);
  EXPECT_EQ(erh.substr(2, 5), c.method);

  TempDir parts;
  std::uint8_t key[16];
  DeriveKeyFromPassphrase(key, 16, EffectivePassphrase(choice, kPass).view());
  RijndaelFileECB(fs_, source, parts / "stream", key, 16, true);
  std::string xxr = "3" + std::to_string(ExtractFileExt(source).size());
  for (const char ch : ExtractFileExt(source)) xxr.push_back(static_cast<char>(ch ^ 7));
  const std::string layer = parts / (ExtractFileName(ChangeFileExt(source, "")) + ".xxr");
  WriteFile(layer, xxr + ReadFile(parts / "stream"));
  ::unlink((parts / "stream").c_str());
  const auto stamp = static_cast<std::uint32_t>(
      static_cast<std::uint8_t>(erh[15]) | static_cast<std::uint8_t>(erh[16]) << 8 |
      static_cast<std::uint8_t>(erh[17]) << 16 |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(erh[18])) << 24);
  fs_.SetLastWriteTime(layer,
                       erh[20] == 0 ? UnixFromDosTime(stamp) : static_cast<std::time_t>(stamp));
  LhaWriter lha(fs_);
  lha.WriteEndMarker = false;  // random protection's archive ends with its entry
  lha.SetArchiveFile(parts / "layer.lha");
  lha.FileSpec = {layer};
  ASSERT_EQ(lha.Compress(), 1);
  EXPECT_EQ(erh, ReadFile(parts / "layer.lha"));
}

INSTANTIATE_TEST_SUITE_P(
    Contents, ErhLayoutTest,
    ::testing::Values(
        LayoutCase{"RandomBytes", "report.txt", SomeBytes(70000), "-lh0-"},
        LayoutCase{"Zeros", "zeros.bin", std::string(50000, '\0'), "-lh6-"},
        LayoutCase{"OneRepeatedBlock", "once.dat", WithRepeatedBlock(SomeBytes(9000)), "-lh0-"},
        LayoutCase{"Empty", "empty.txt", "", "-lh0-"},
        LayoutCase{"LongName", std::string(240, 'n') + ".txt", SomeBytes(100), "-lh0-"},
        LayoutCase{"HiddenName", ".profile", "x", "-lh0-"}),
    testing::ByName());

}  // namespace
}  // namespace talvor

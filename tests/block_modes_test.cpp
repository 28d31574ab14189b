#include <gtest/gtest.h>

#include <cstring>

#include "cipher/block_modes.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

// A toy block cipher, enough to watch the framing: enciphering adds `key`
// to every byte and rotates the block by one byte; deciphering undoes it.
struct ToyKey {
  std::uint8_t add;
  std::size_t block;
};

void ToyEncipher(const void* context, std::uint8_t* blocks, std::size_t count) {
  const auto& k = *static_cast<const ToyKey*>(context);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* b = blocks + i * k.block;
    const std::uint8_t first = b[0];
    std::memmove(b, b + 1, k.block - 1);
    b[k.block - 1] = first;
    for (std::size_t j = 0; j < k.block; ++j) b[j] = static_cast<std::uint8_t>(b[j] + k.add);
  }
}

void ToyDecipher(const void* context, std::uint8_t* blocks, std::size_t count) {
  const auto& k = *static_cast<const ToyKey*>(context);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* b = blocks + i * k.block;
    for (std::size_t j = 0; j < k.block; ++j) b[j] = static_cast<std::uint8_t>(b[j] - k.add);
    const std::uint8_t last = b[k.block - 1];
    std::memmove(b + 1, b, k.block - 1);
    b[0] = last;
  }
}

// The chained routines a mode may bring, written block by block.
void ToyChainEncipher(const void* context, std::uint8_t* blocks, std::size_t count,
                      std::uint8_t* chain) {
  const auto& k = *static_cast<const ToyKey*>(context);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* b = blocks + i * k.block;
    XorBytes(b, chain, k.block);
    ToyEncipher(context, b, 1);
    std::memcpy(chain, b, k.block);
  }
}

void ToyChainDecipher(const void* context, std::uint8_t* blocks, std::size_t count,
                      std::uint8_t* chain) {
  const auto& k = *static_cast<const ToyKey*>(context);
  std::uint8_t cipher[16];
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* b = blocks + i * k.block;
    std::memcpy(cipher, b, k.block);
    ToyDecipher(context, b, 1);
    XorBytes(b, chain, k.block);
    std::memcpy(chain, cipher, k.block);
  }
}

void Identity(const void*, std::uint8_t*, std::size_t) {}

class FramingTest : public ::testing::Test {
 protected:
  std::string Encipher(const std::string& plain, const BlockMode& mode) {
    WriteFile(dir_ / "plain", plain);
    {
      File in = fs_.OpenForReading(dir_ / "plain");
      File out = fs_.Create(dir_ / "cipher");
      EncipherStream(in, out, mode, iv_);
      out.Close();
    }
    return ReadFile(dir_ / "cipher");
  }
  std::string Decipher(const std::string& cipher, const BlockMode& mode) {
    WriteFile(dir_ / "cipher", cipher);
    File in = fs_.OpenForReading(dir_ / "cipher");
    File out = fs_.Create(dir_ / "plain");
    DecipherStream(in, out, mode);
    out.Close();
    return ReadFile(dir_ / "plain");
  }

  TempDir dir_;
  PosixFileSystem fs_;
  std::uint8_t iv_[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
};

struct SizeCase {
  std::size_t plain;
  std::size_t cbc;  // enciphered size with B = 8 and a header block
  std::size_t ecb;  // with B = 16, no header block
};

class FramingSizeTest : public FramingTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(FramingSizeTest, SizesAndRoundTrips) {
  const SizeCase& c = GetParam();
  const std::string plain = SomeBytes(c.plain, static_cast<unsigned>(c.plain));
  ToyKey k8{77, 8};
  ToyKey k16{201, 16};
  const BlockMode cbc_enc{8, true, ToyEncipher, &k8, nullptr, nullptr};
  const BlockMode cbc_dec{8, true, ToyDecipher, &k8, nullptr};
  const BlockMode ecb_enc{16, false, ToyEncipher, &k16, nullptr};
  const BlockMode ecb_dec{16, false, ToyDecipher, &k16, nullptr};
  const std::string cbc = Encipher(plain, cbc_enc);
  EXPECT_EQ(cbc.size(), c.cbc);
  EXPECT_EQ(Decipher(cbc, cbc_dec), plain);
  // The same bytes when the mode chains by itself, across buffer bounds.
  const BlockMode cbc_enc_run{8, true, ToyEncipher, &k8, ToyChainEncipher, nullptr};
  const BlockMode cbc_dec_run{8, true, ToyDecipher, &k8, nullptr, ToyChainDecipher};
  EXPECT_EQ(Encipher(plain, cbc_enc_run), cbc);
  EXPECT_EQ(Decipher(cbc, cbc_dec_run), plain);
  const std::string ecb = Encipher(plain, ecb_enc);
  EXPECT_EQ(ecb.size(), c.ecb);
  EXPECT_EQ(Decipher(ecb, ecb_dec), plain);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FramingSizeTest,
    ::testing::Values(SizeCase{0, 16, 16}, SizeCase{1, 16, 16}, SizeCase{7, 16, 16},
                      SizeCase{8, 24, 16}, SizeCase{15, 24, 16}, SizeCase{16, 32, 32},
                      SizeCase{17, 32, 32},
                      // Across the framing's internal buffer.
                      SizeCase{65536, 65552, 65552}, SizeCase{65536 + 11, 65560, 65552},
                      SizeCase{(1 << 20) - 8, (1 << 20) + 8, 1 << 20},
                      SizeCase{1 << 20, (1 << 20) + 16, (1 << 20) + 16},
                      SizeCase{(1 << 20) + 8, (1 << 20) + 24, (1 << 20) + 16},
                      SizeCase{(3 << 20) + 5, (3 << 20) + 16, (3 << 20) + 16}));

// A stream handed over in pieces of any size gives the bytes the whole file
// gives, in either direction, whether the mode chains by itself or not.
TEST_F(FramingTest, PiecesOfAnySizeGiveTheSameStream) {
  ToyKey k8{77, 8};
  ToyKey k16{201, 16};
  const BlockMode modes[][2] = {
      {{8, true, ToyEncipher, &k8, nullptr, nullptr}, {8, true, ToyDecipher, &k8, nullptr}},
      {{8, true, ToyEncipher, &k8, ToyChainEncipher, nullptr},
       {8, true, ToyDecipher, &k8, nullptr, ToyChainDecipher}},
      {{16, false, ToyEncipher, &k16, nullptr}, {16, false, ToyDecipher, &k16, nullptr}}};
  const std::string plain = SomeBytes(5000, 9);
  for (const auto& [enc, dec] : modes) {
    const std::string whole = Encipher(plain, enc);
    for (const std::size_t piece : {1, 3, 8, 15, 16, 17, 999}) {
      const auto run = [&](const BlockMode& mode, bool encrypt, std::string input) {
        std::string out;
        BlockStream stream(mode, encrypt, iv_, [&out](std::uint8_t* data, std::size_t n) {
          out.append(reinterpret_cast<const char*>(data), n);
        });
        for (std::size_t at = 0; at < input.size(); at += piece) {
          stream.Process(reinterpret_cast<std::uint8_t*>(input.data()) + at,
                         std::min(piece, input.size() - at));
        }
        stream.Finish();
        return out;
      };
      EXPECT_EQ(run(enc, true, plain), whole) << piece;
      EXPECT_EQ(run(dec, false, whole + "junk"), plain) << piece;
    }
  }
}

TEST_F(FramingTest, FinalBlockCarriesTailZerosAndCount) {
  ToyKey none{0, 16};
  const BlockMode ecb{16, false, Identity, &none, nullptr};
  const std::string plain = "0123456789abcdefXYZ";
  const std::string out = Encipher(plain, ecb);
  ASSERT_EQ(out.size(), 32U);
  EXPECT_EQ(out.substr(0, 16), plain.substr(0, 16));
  EXPECT_EQ(out.substr(16), std::string("XYZ") + std::string(12, '\0') + '\x03');
  // A whole number of blocks still gets a final block, with count 0.
  EXPECT_EQ(Encipher(plain.substr(0, 16), ecb).substr(16), std::string(16, '\0'));
}

TEST_F(FramingTest, ChainingStartsFromTheEncipheredIv) {
  ToyKey none{0, 8};
  const BlockMode cbc{8, true, Identity, &none, nullptr};
  const std::string plain = "ABCDEFGHijklmnop";
  const std::string out = Encipher(plain, cbc);
  ASSERT_EQ(out.size(), 32U);
  std::string expected(reinterpret_cast<const char*>(iv_), 8);  // header: E(IV) = IV here
  for (int block = 0; block < 2; ++block) {
    for (int i = 0; i < 8; ++i) {
      expected.push_back(static_cast<char>(plain[8 * block + i] ^ expected[8 * block + i]));
    }
  }
  for (int i = 0; i < 8; ++i) expected.push_back(expected[16 + i]);  // F = 0.., count 0
  EXPECT_EQ(out, expected);
}

TEST_F(FramingTest, EqualBlocksGiveEqualCipherBlocksOnlyWithoutChaining) {
  ToyKey k8{3, 8};
  ToyKey k16{3, 16};
  const std::string plain(64, 'A');
  const std::string ecb = Encipher(plain, {16, false, ToyEncipher, &k16, nullptr});
  EXPECT_EQ(ecb.substr(0, 16), ecb.substr(16, 16));
  const std::string cbc = Encipher(plain, {8, true, ToyEncipher, &k8, nullptr});
  EXPECT_NE(cbc.substr(8, 8), cbc.substr(16, 8));
}

struct DamageCase {
  const char* name;
  std::size_t block;
  std::string cipher;  // as the reader finds it (identity cipher)
  const char* message;
};

class FramingDamageTest : public FramingTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(FramingDamageTest, RefusesWithMessage) {
  const DamageCase& c = GetParam();
  ToyKey none{0, c.block};
  const BlockMode mode{c.block, c.block == 8, Identity, &none, nullptr};
  try {
    (void)Decipher(c.cipher, mode);
    FAIL() << "no failure";
  } catch (const Failure& e) {
    // Only a final block can tell of a wrong pass phrase.
    EXPECT_EQ(e.kind(), std::string(c.message) == kInvalidFileFormat
                            ? FailureKind::kDamaged
                            : FailureKind::kWrongPassphrase);
    EXPECT_STREQ(e.what(), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FramingDamageTest,
    ::testing::Values(DamageCase{"CbcEmpty", 8, "", "Invalid file format"},
                      DamageCase{"CbcHeaderOnly", 8, std::string(8, '\0'), "Invalid file format"},
                      DamageCase{"CbcFifteen", 8, std::string(15, '\0'), "Invalid file format"},
                      DamageCase{"EcbFifteen", 16, std::string(15, '\0'), "Invalid file format"},
                      // A count above B - 1: what most wrong keys give.
                      DamageCase{"CountTooLarge", 16, std::string(15, '\0') + '\x10',
                                 "Wrong password or damaged file"},
                      DamageCase{"CountFar", 16, std::string(15, '\0') + '\xFF',
                                 "Wrong password or damaged file"},
                      // Padding between the data and the count must be zero.
                      DamageCase{"PaddingNotZero", 16,
                                 std::string("AB") + '\x01' + std::string(12, '\0') + '\x02',
                                 "Wrong password or damaged file"},
                      DamageCase{"CbcPaddingNotZero", 8,
                                 std::string(8, '\0') + std::string("A") + '\x07' +
                                     std::string(5, '\0') + '\x01',
                                 "Wrong password or damaged file"}),
    testing::ByName());

TEST_F(FramingTest, TrailingPartialBlockIsIgnored) {
  ToyKey k{9, 16};
  const BlockMode enc{16, false, ToyEncipher, &k, nullptr};
  const BlockMode dec{16, false, ToyDecipher, &k, nullptr};
  const std::string cipher = Encipher("hello", enc);
  EXPECT_EQ(Decipher(cipher + "junk", dec), "hello");
}

TEST_F(FramingTest, FileOperationsReportOpenAndCreateFailures) {
  const std::uint8_t key[16] = {};
  try {
    RijndaelFileECB(fs_, dir_ / "missing", dir_ / "out", key, 16, true);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + (dir_ / "missing") + "\". No such file or directory");
  }
  WriteFile(dir_ / "in", "x");
  try {
    RijndaelFileECB(fs_, dir_ / "in", dir_ / "no/such/folder", key, 16, true);
    FAIL();
  } catch (const Failure& e) {
    EXPECT_EQ(e.kind(), FailureKind::kIo);
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + (dir_ / "no/such/folder") +
                                         "\". No such file or directory");
  }
}

TEST(XorBytesTest, AllLengths) {
  for (std::size_t n = 0; n <= 19; ++n) {
    std::string a = testing::SomeBytes(n, 1);
    const std::string b = testing::SomeBytes(n, 2);
    std::string expected = a;
    for (std::size_t i = 0; i < n; ++i) expected[i] = static_cast<char>(a[i] ^ b[i]);
    XorBytes(reinterpret_cast<std::uint8_t*>(a.data()),
             reinterpret_cast<const std::uint8_t*>(b.data()), n);
    EXPECT_EQ(a, expected) << n;
  }
}

}  // namespace
}  // namespace talvor

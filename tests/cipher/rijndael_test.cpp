// Rijndael against FIPS-197 Appendix C and against OpenSSL's AES, on both the
// table path and the AES-NI path.
#include "cipher/rijndael.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include "cipher/cipher_test_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace talvor {

namespace {

Bytes Transform(const Bytes& key, std::int32_t key_size, Bytes data, bool encrypt) {
  RijndaelContext context;
  RijndaelInit(key.data(), key_size, context, encrypt);
  RijndaelBlocks(context, data.data(), data.size() / 16);
  return data;
}

// OpenSSL as the independent reference: AES-ECB without padding.
Bytes OpenSslEcb(const Bytes& key, const Bytes& data, bool encrypt) {
  const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                             : key.size() == 24 ? EVP_aes_192_ecb()
                                                : EVP_aes_256_ecb();
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(data.size() + 16);
  int len = 0;
  int tail = 0;
  EXPECT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), nullptr, encrypt ? 1 : 0), 1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &len, data.data(), static_cast<int>(data.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + len, &tail), 1);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<std::size_t>(len + tail));
  return out;
}

class RijndaelPathTest : public ::testing::TestWithParam<RijndaelPath> {
 protected:
  void SetUp() override {
    if (GetParam() == RijndaelPath::kHardware && !HardwareAesAvailable()) {
      GTEST_SKIP() << "processor without AES instructions";
    }
    SetRijndaelPath(GetParam());
  }
  void TearDown() override { SetRijndaelPath(RijndaelPath::kAuto); }
  bool Hardware() const { return GetParam() == RijndaelPath::kHardware; }
};

struct Fips197Vector {
  const char* key;
  const char* ciphertext;
  const char* last_round_key;
  int rounds;
};

// FIPS-197 Appendix C: plaintext 00112233...ff under keys 000102...; the last
// round key is the final round[Nr].k_sch line of each example.
const Fips197Vector kFips197[] = {
    {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a",
     "13111d7fe3944a17f307a78b4d2b30c5", 10},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191",
     "a4970a331a78dc09c418c271e3a41d5d", 12},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "8ea2b7ca516745bfeafc49904b496089", "24fc79ccbf0979e9371ac23c6d68de36", 14},
};

TEST_P(RijndaelPathTest, Fips197AppendixC) {
  const Bytes plaintext = FromHex("00112233445566778899aabbccddeeff");
  for (const Fips197Vector& v : kFips197) {
    SCOPED_TRACE(v.key);
    const Bytes key = FromHex(v.key);
    const auto key_size = static_cast<std::int32_t>(key.size());
    for (const bool encrypt : {true, false}) {
      RijndaelContext context;
      RijndaelInit(key.data(), key_size, context, encrypt);
      // kTable must really run the tables, and kHardware the instructions.
      EXPECT_EQ(context.UseHardware, Hardware());
      EXPECT_EQ(context.Rounds, v.rounds);
      // The expanded key is kept as bytes in order.
      EXPECT_EQ(
          0, std::memcmp(context.RoundKeys + 4 * v.rounds, FromHex(v.last_round_key).data(), 16));
      Bytes block = encrypt ? plaintext : FromHex(v.ciphertext);
      RijndaelBlock(context, block.data());
      EXPECT_EQ(block, encrypt ? FromHex(v.ciphertext) : plaintext);
    }
  }
}

struct KeySizeCase {
  std::int32_t size;
  int rounds;
  std::size_t effective;  // leading key bytes that count, zero-padded to 16; 0 for Nk 5 and 7
};

std::vector<KeySizeCase> KeySizeCases() {
  std::vector<KeySizeCase> cases;
  for (std::int32_t size = 0; size <= 19; ++size) {
    cases.push_back({size, 10, static_cast<std::size_t>(size < 16 ? size : 16)});
  }
  // Nk 5 and 7 lie outside FIPS-197: tables only, checked by round trip.
  cases.insert(cases.end(), {{-5, 10, 0},
                             {20, 11, 0},
                             {23, 11, 0},
                             {24, 12, 24},
                             {27, 12, 24},
                             {28, 13, 0},
                             {32, 14, 32},
                             {33, 14, 32},
                             {100, 14, 32},
                             {240, 14, 32}});
  return cases;
}

TEST_P(RijndaelPathTest, KeySizesAreClamped) {
  std::mt19937 rng(197);
  const Bytes key = RandomBytes(rng, 240);
  const Bytes data = RandomBytes(rng, 16 * 9);
  for (const KeySizeCase& c : KeySizeCases()) {
    SCOPED_TRACE(c.size);
    RijndaelContext context;
    RijndaelInit(key.data(), c.size, context, true);
    EXPECT_EQ(context.Rounds, c.rounds);
    const Bytes enciphered = Transform(key, c.size, data, true);
    EXPECT_EQ(Transform(key, c.size, enciphered, false), data);
    if (c.rounds % 2 == 0) {
      Bytes effective(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(c.effective));
      effective.resize(c.effective < 16 ? 16 : c.effective, 0);
      EXPECT_EQ(enciphered, OpenSslEcb(effective, data, true));
    } else {
      EXPECT_FALSE(context.UseHardware);
      EXPECT_NE(enciphered, Transform(key, 16, data, true));
    }
  }
}

TEST_P(RijndaelPathTest, AgreesWithOpenSslOnRandomKeysAndData) {
  std::mt19937 rng(2001);
  for (const std::size_t key_size : {16u, 24u, 32u}) {
    for (int trial = 0; trial < 4; ++trial) {
      SCOPED_TRACE(key_size);
      const Bytes key = RandomBytes(rng, key_size);
      const Bytes data = RandomBytes(rng, 16 * 300);
      const auto size = static_cast<std::int32_t>(key_size);
      EXPECT_EQ(Transform(key, size, data, true), OpenSslEcb(key, data, true));
      EXPECT_EQ(Transform(key, size, data, false), OpenSslEcb(key, data, false));
    }
  }
}

TEST_P(RijndaelPathTest, ManyBlocksMatchOneAtATime) {
  std::mt19937 rng(8);
  for (const std::size_t count : {1u, 4u, 7u, 8u, 9u, 12u, 33u}) {
    for (const bool encrypt : {true, false}) {
      SCOPED_TRACE(::testing::Message() << count << (encrypt ? " encrypt" : " decrypt"));
      const Bytes key = RandomBytes(rng, 16);
      // One spare block after the data must stay untouched.
      Bytes data = RandomBytes(rng, 16 * (count + 1));
      Bytes expected = data;
      RijndaelContext context;
      RijndaelInit(key.data(), 16, context, encrypt);
      for (std::size_t i = 0; i < count; ++i) RijndaelBlock(context, expected.data() + 16 * i);
      RijndaelBlocks(context, data.data(), count);
      EXPECT_EQ(data, expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, RijndaelPathTest,
                         ::testing::Values(RijndaelPath::kTable, RijndaelPath::kHardware),
                         [](const auto& param_info) {
                           return param_info.param == RijndaelPath::kTable ? "Table" : "Hardware";
                         });

TEST(RijndaelPath, AutoPicksHardwareWhereAvailable) {
  SetRijndaelPath(RijndaelPath::kAuto);
  const Bytes key(16, 0x42);
  RijndaelContext context;
  RijndaelInit(key.data(), 16, context, true);
  EXPECT_EQ(context.UseHardware, HardwareAesAvailable());
}

}  // namespace
}  // namespace talvor

// Known answers come from kdf_reference.py, a separate model of the derivation.
#include "cipher/key_derivation.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>

namespace talvor {
namespace {

std::string Hex(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

std::string DeriveHex(std::string_view passphrase, std::int32_t size = 16) {
  std::uint8_t key[256];
  DeriveKeyFromPassphrase(key, size, passphrase);
  return Hex(key, static_cast<std::size_t>(size));
}

std::string LongPassphrase() {  // the bytes 0..255, then "wrap"
  std::string text(256, '\0');
  for (int i = 0; i < 256; ++i) text[i] = static_cast<char>(i);
  return text + "wrap";
}

KeyDigestContext Absorb(std::string_view phrase) {
  KeyDigestContext context;
  KeyDigestInit(context);
  KeyDigestUpdate(context, reinterpret_cast<const std::uint8_t*>(phrase.data()),
                  static_cast<std::int32_t>(phrase.size()));
  return context;
}

TEST(MixingStepTest, KnownAnswers) {
  std::array<std::uint32_t, 4> x = {1, 2, 3, 4};
  MixQuad(x.data());
  EXPECT_EQ(x, (std::array<std::uint32_t, 4>{0x03F37DC9, 0xF96D90F7, 0xFCF0EB44, 0xC9E4E3BB}));
  x = {0xFFFFFFFF, 0x80000000, 0x12345678, 0xDEADBEEF};
  MixQuad(x.data());
  EXPECT_EQ(x, (std::array<std::uint32_t, 4>{0xDFFFE75C, 0x2EE6A197, 0xC5C8A30A, 0x7BFEEDD5}));

  std::array<std::uint32_t, 8> m = {1, 2, 3, 4, 5, 6, 7, 8};
  SubkeyMix(m.data());
  EXPECT_EQ(m, (std::array<std::uint32_t, 8>{0x04795161, 0x04691D3B, 0x40647E64, 0x0000100F,
                                             0x40442D18, 0x00102425, 0x04691D36, 0x4054695C}));
}

struct MixCipherCase {
  std::int32_t requested_steps;
  std::int32_t steps;
  const char* enciphered;  // key 00..0F, block 64..73
};

class MixCipherTest : public ::testing::TestWithParam<MixCipherCase> {};

TEST_P(MixCipherTest, KnownAnswerAndInverse) {
  std::uint8_t key[16], plain[16], block[16];
  for (int i = 0; i < 16; ++i) {
    key[i] = static_cast<std::uint8_t>(i);
    plain[i] = block[i] = static_cast<std::uint8_t>(0x64 + i);
  }
  MixCipherContext forward, backward;
  MixCipherInit(key, forward, GetParam().requested_steps, true);
  MixCipherInit(key, backward, GetParam().requested_steps, false);
  EXPECT_EQ(forward.Steps, GetParam().steps);
  MixCipherBlock(forward, block);
  EXPECT_EQ(Hex(block, 16), GetParam().enciphered);
  MixCipherBlock(backward, block);
  EXPECT_EQ(std::memcmp(block, plain, 16), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MixCipherTest,
    ::testing::Values(MixCipherCase{4, 4, "ddd735b0de18cbb5d33ad5b584ed9e12"},
                      MixCipherCase{-3, 4, "ddd735b0de18cbb5d33ad5b584ed9e12"},
                      MixCipherCase{8, 8, "9b4051ce90abed112ee3eb2e9242d064"},
                      MixCipherCase{16, 16, "3b229702205226a2729976102656e2a1"},
                      MixCipherCase{INT32_MAX, 16, "3b229702205226a2729976102656e2a1"}));

TEST(DeriveKeyTest, KnownKeys) {
  const struct {
    std::string passphrase;
    const char* key;
  } cases[] = {
      {"", "0bd132aa831c56ac1f92e61084a342d2"},
      {"a", "845eb2948758dc943b8a2f887491032e"},
      {"A", "8ffc52b981104a1869b57f3b691859c2"},
      {"abcdefgh", "0cb74ff73a8f99b21dee99f6c97540da"},
      {"MY SECRET PHRASE", "ce2c88a762c815d1b5634656633602ef"},
      {"pass\xE9phrase\xFF", "07e979bd023206e0a7c00177624bb0c3"},
      {LongPassphrase(), "61426256c388c790a9e42dd9d03879a0"},
  };
  for (const auto& c : cases) EXPECT_EQ(DeriveHex(c.passphrase), c.key) << c.passphrase;
  EXPECT_EQ(DeriveHex("", 256).substr(480), "a8b34ee987a83998930bb607c9ee4e3e");
  EXPECT_NE(DeriveHex("Secret"), DeriveHex("secret"));
}

// Deciphered again, the final digest must be the pi bytes XOR the pass phrase
// XOR a single 01 right after it, and the groups of eight must be complete.
class ClosingPadTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ClosingPadTest, PadFollowsThePassphrase) {
  const std::string& phrase = GetParam();
  KeyDigestContext context = Absorb(phrase);
  EXPECT_EQ(context.KeyIndex, static_cast<std::int32_t>(phrase.size() % 8));
  std::uint8_t out[16];
  KeyDigestFinal(context, out, 16);
  EXPECT_EQ(std::memcmp(out, context.Digest, 16), 0);
  EXPECT_EQ(context.KeyIndex, 0);
  EXPECT_EQ(context.DigestIndex, static_cast<std::int32_t>(phrase.size() / 8 + 1) * 8);

  MixCipherContext backward;
  MixCipherInit(context.Key, backward, 8, false);
  for (int block = 0; block < 16; ++block) MixCipherBlock(backward, context.Digest + 16 * block);
  std::uint8_t expected[256];
  std::memcpy(expected, kPiDigestBytes, 256);
  for (std::size_t i = 0; i < phrase.size(); ++i)
    expected[i] ^= static_cast<std::uint8_t>(phrase[i]);
  expected[phrase.size()] ^= 0x01;
  EXPECT_EQ(std::memcmp(context.Digest, expected, 256), 0);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ClosingPadTest,
                         ::testing::Values("", "1", "1234567", "12345678", "123456789",
                                           "123456789012345", "1234567890123456"));

TEST(SideStateTest, StirredOncePerGroupOfEight) {
  KeyDigestContext context = Absorb("");
  KeyDigestFinal(context, nullptr, 0);
  EXPECT_EQ(Hex(context.Key, 16), "718ac19b57c6c2b0450175c7bfe838ff");
  context = Absorb("abcdefgh");
  KeyDigestFinal(context, nullptr, 0);
  EXPECT_EQ(Hex(context.Key, 16), "f9c1b6c74c7eb24dd7756ad4ec7e4620");
}

TEST(KeyDigestTest, NonPositiveCountChangesNothing) {
  const KeyDigestContext before = Absorb("x");
  for (std::int32_t count : {0, -1, INT32_MIN}) {
    KeyDigestContext after = before;
    KeyDigestUpdate(after, before.Digest, count);
    EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0) << count;
  }
}

class OutputSizeTest : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(OutputSizeTest, WritesMinOfSizeAnd256AndKeepsTheRest) {
  const std::int32_t size = GetParam();
  std::uint8_t full[256], buffer[300];
  DeriveKeyFromPassphrase(full, 256, "prefix");
  std::memset(buffer, 0xA5, sizeof buffer);
  DeriveKeyFromPassphrase(buffer, size, "prefix");
  const int written = size <= 0 ? 0 : (size < 256 ? size : 256);
  EXPECT_EQ(std::memcmp(buffer, full, written), 0);
  for (int i = written; i < 300; ++i) ASSERT_EQ(buffer[i], 0xA5) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, OutputSizeTest,
                         ::testing::Values(INT32_MIN, -1, 0, 1, 8, 15, 16, 100, 255, 256, 257,
                                           300));

TEST(DeriveKeyTest, EveryByteOfALongPassphraseCounts) {
  const std::string base = LongPassphrase() + std::string(40, 'x');
  EXPECT_EQ(Absorb(base).DigestIndex, 300 - 256);
  const std::string reference = DeriveHex(base);
  for (std::size_t i = 0; i < base.size(); ++i) {
    std::string changed = base;
    changed[i] = static_cast<char>(changed[i] ^ 0x80);
    ASSERT_NE(DeriveHex(changed), reference) << "byte " << i;
  }
}

}  // namespace
}  // namespace talvor

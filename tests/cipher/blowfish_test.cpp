// Known answers come from kdf_reference.py, a separate model of the keying
// and the block operation with its own computation of pi.
#include "cipher/blowfish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "cipher/key_derivation.h"

namespace talvor {
namespace {

using Block = std::array<std::uint8_t, 8>;
using Key = std::array<std::uint8_t, 16>;

Block Transform(const BlowfishContext& context, Block block, bool encrypt) {
  BlowfishBlock(context, block.data(), encrypt);
  return block;
}

Block Xor(Block a, const Block& b) {
  for (int i = 0; i < 8; ++i) a[i] ^= b[i];
  return a;
}

Block Pattern(int n) {
  Block block;
  for (int i = 0; i < 8; ++i) block[i] = static_cast<std::uint8_t>(n * 37 + i * 101 + 5);
  return block;
}

TEST(BlowfishTablesTest, DigitsOfPi) {
  EXPECT_EQ(kBlowfishInitialP[0], 0x243F6A88U);
  EXPECT_EQ(kBlowfishInitialP[1], 0x85A308D3U);
  EXPECT_EQ(kBlowfishInitialP[17], 0x8979FB1BU);
  EXPECT_EQ(kBlowfishInitialS[0][0], 0xD1310BA6U);
  EXPECT_EQ(kBlowfishInitialS[3][255], 0x3AC372E6U);
  // Position-weighted sums over each whole box catch damaged or shifted entries.
  const std::uint32_t sums[4] = {0x846B1F84U, 0xDE7403E9U, 0x7742A1B0U, 0x204A40F2U};
  for (int k = 0; k < 4; ++k) {
    std::uint32_t sum = 0;
    for (std::uint32_t j = 0; j < 256; ++j) sum += (j + 1) * kBlowfishInitialS[k][j];
    EXPECT_EQ(sum, sums[k]) << "S-box " << k;
  }
  // The digest's initial bytes are the same digits: P, then the start of S-box 0.
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t word = i < 72 ? kBlowfishInitialP[i / 4] : kBlowfishInitialS[0][i / 4 - 18];
    ASSERT_EQ(kPiDigestBytes[i], static_cast<std::uint8_t>(word >> (24 - 8 * (i % 4)))) << i;
  }
}

TEST(BlowfishKnownAnswerTest, MatchesReferenceModel) {
  const struct {
    const char* passphrase;  // keyed as the password window does
    Block zero_enciphered;
    std::uint32_t p0, p17;  // after keying
  } cases[] = {
      {"", {0xD7, 0x4C, 0x64, 0x62, 0x88, 0x3F, 0xFB, 0x0D}, 0x06927E44, 0x29C949DD},
      {"a", {0xE9, 0xCC, 0xEB, 0xED, 0xB0, 0xB5, 0xBF, 0x09}, 0x891DFE7A, 0xDDBF8219},
      {"MY SECRET PHRASE",
       {0xDA, 0xF6, 0x99, 0xA7, 0xF5, 0x7C, 0x2F, 0xEC},
       0xC36FC449,
       0x2F884A9D},
  };
  for (const auto& c : cases) {
    Key key;
    DeriveKeyFromPassphrase(key.data(), 16, c.passphrase);
    BlowfishContext context;
    BlowfishInit(key.data(), context);
    EXPECT_EQ(context.P[0], c.p0) << c.passphrase;
    EXPECT_EQ(context.P[17], c.p17) << c.passphrase;
    EXPECT_EQ(Transform(context, Block{}, true), c.zero_enciphered) << c.passphrase;
    EXPECT_EQ(Transform(context, c.zero_enciphered, false), Block{}) << c.passphrase;
  }
}

class BlowfishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeriveKeyFromPassphrase(key_.data(), 16, "block properties");
    BlowfishInit(key_.data(), context_);
    mask_ = Transform(context_, Block{}, true);
  }
  Key key_;
  BlowfishContext context_;
  Block mask_;
};

// The block operation XORs the masks in; the sixteen rounds carried out one
// by one must come to the same for every key and block.
TEST(BlowfishRoundsTest, TheRoundsComeToTheMasks) {
  std::uint32_t x = 12345;
  const auto next = [&x] { return x = x * 1664525U + 1013904223U; };
  for (const char* passphrase : {"", "a", "MY SECRET PHRASE", "block properties", "ZZZZ"}) {
    Key key;
    DeriveKeyFromPassphrase(key.data(), 16, passphrase);
    BlowfishContext context;
    BlowfishInit(key.data(), context);
    for (int n = 0; n < 2000; ++n) {
      const std::uint32_t left = next();
      const std::uint32_t right = next();
      ASSERT_TRUE(BlowfishRoundsAgree(context, left, right, true)) << passphrase << " " << n;
      ASSERT_TRUE(BlowfishRoundsAgree(context, left, right, false)) << passphrase << " " << n;
    }
  }
}

TEST_F(BlowfishTest, BothDirectionsXorWithTheEncipheredZeroBlock) {
  for (int n = 0; n < 32; ++n) {
    EXPECT_EQ(Transform(context_, Pattern(n), true), Xor(Pattern(n), mask_));
    EXPECT_EQ(Transform(context_, Pattern(n), false), Xor(Pattern(n), mask_));
  }
}

TEST_F(BlowfishTest, OneBitDifferenceStaysOneBit) {
  const Block base = Pattern(3);
  const Block enciphered = Transform(context_, base, true);
  for (int bit = 0; bit < 64; ++bit) {
    Block flip{};
    flip[bit / 8] = static_cast<std::uint8_t>(1U << (bit % 8));
    EXPECT_EQ(Xor(Transform(context_, Xor(base, flip), true), enciphered), flip) << bit;
  }
}

TEST_F(BlowfishTest, MaskIsTheLittleEndianXorOfEvenAndOddPEntries) {
  std::uint32_t even = 0, odd = 0;
  for (int i = 0; i < 18; i += 2) even ^= context_.P[i];
  for (int i = 1; i < 18; i += 2) odd ^= context_.P[i];
  Block expected;
  for (int i = 0; i < 4; ++i) {
    expected[i] = static_cast<std::uint8_t>(even >> (8 * i));
    expected[4 + i] = static_cast<std::uint8_t>(odd >> (8 * i));
  }
  EXPECT_EQ(mask_, expected);
}

TEST_F(BlowfishTest, SBoxChangesAfterKeyingChangeNothing) {
  BlowfishContext changed = context_;
  for (auto& box : changed.S)
    for (std::uint32_t& entry : box) entry = entry * 2654435761U + 12345U;
  for (std::uint32_t n = 0; n < 8; ++n) {
    EXPECT_TRUE(BlowfishRoundsAgree(changed, n * 0x9E3779B9U, ~n, true));
    EXPECT_TRUE(BlowfishRoundsAgree(changed, n * 0x9E3779B9U, ~n, false));
  }
}

TEST_F(BlowfishTest, EachPEntryChangesItsOwnHalf) {
  for (int i = 0; i < 18; ++i) {
    BlowfishContext changed = context_;
    changed.P[i] ^= 0x00000100U;  // byte 1 of the word
    // The rounds then agree with the masks only when that half's mask
    // takes the same change.
    EXPECT_FALSE(BlowfishRoundsAgree(changed, 0, 0, true)) << "P[" << i << "]";
    (i % 2 == 0 ? changed.left_mask : changed.right_mask) ^= 0x00000100U;
    EXPECT_TRUE(BlowfishRoundsAgree(changed, 0, 0, true)) << "P[" << i << "]";
    EXPECT_TRUE(BlowfishRoundsAgree(changed, 0, 0, false)) << "P[" << i << "]";
  }
}

// All 16 key bytes go into the P-array, but since the rounds only XOR P
// entries into the halves, the block result is an affine function of the key
// in which bytes 8..15 cancel out: each bit of key bytes 0..7 flips exactly one
// bit of the result, and bytes 8..15 flip none. Stored files depend on this.
TEST_F(BlowfishTest, KeyBytesReachTheResultAsTheScheduleDictates) {
  for (int i = 0; i < 16; ++i) {
    for (std::uint8_t bit : {0x01, 0x80}) {
      Key changed_key = key_;
      changed_key[i] ^= bit;
      BlowfishContext changed;
      BlowfishInit(changed_key.data(), changed);
      EXPECT_NE(std::memcmp(changed.P, context_.P, sizeof changed.P), 0) << "key byte " << i;
      Block difference{};
      if (i < 8) difference[i < 4 ? 3 - i : 11 - i] = bit;  // big-endian words, read back little
      EXPECT_EQ(Xor(Transform(changed, Block{}, true), mask_), difference) << "key byte " << i;
    }
  }
}

TEST_F(BlowfishTest, ChainedRunMatchesBlockByBlockCbc) {
  std::vector<std::uint8_t> blocks(8 * 100);
  for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<std::uint8_t>(i * 37 + 5);
  std::vector<std::uint8_t> expected = blocks;
  Block chain = Pattern(4);
  for (std::size_t i = 0; i < expected.size(); i += 8) {
    BlowfishBlockCBC(context_, chain.data(), expected.data() + i, true);
    std::copy_n(expected.data() + i, 8, chain.begin());
  }
  Block run_chain = Pattern(4);
  std::vector<std::uint8_t> each = blocks;
  BlowfishChainEncipher(context_, blocks.data(), 100, run_chain.data());
  EXPECT_EQ(blocks, expected);
  EXPECT_EQ(run_chain, chain);
  // Deciphering the run gives the plain blocks back, the chain ends on the
  // last enciphered block as the block-by-block loop leaves it.
  std::vector<std::uint8_t> plain = expected;
  Block back_chain = Pattern(4);
  for (std::size_t i = 0; i < plain.size(); i += 8) {
    Block cipher;
    std::copy_n(plain.data() + i, 8, cipher.begin());
    BlowfishBlockCBC(context_, back_chain.data(), plain.data() + i, false);
    back_chain = cipher;
  }
  Block run_back = Pattern(4);
  BlowfishChainDecipher(context_, blocks.data(), 100, run_back.data());
  EXPECT_EQ(blocks, plain);
  EXPECT_EQ(run_back, back_chain);
  EXPECT_EQ(run_back, chain);
  // And the blocks each on their own.
  std::vector<std::uint8_t> run = each;
  BlowfishBlocks(context_, run.data(), 100);
  for (std::size_t i = 0; i < each.size(); i += 8) BlowfishBlock(context_, each.data() + i, false);
  EXPECT_EQ(run, each);
}

TEST_F(BlowfishTest, CbcXorsTheChainAndLeavesItAlone) {
  const Block chain = Pattern(7);
  Block chain_copy = chain, block = Pattern(9);
  BlowfishBlockCBC(context_, chain_copy.data(), block.data(), true);
  EXPECT_EQ(block, Xor(Xor(Pattern(9), chain), mask_));
  EXPECT_EQ(chain_copy, chain);
  BlowfishBlockCBC(context_, chain_copy.data(), block.data(), false);
  EXPECT_EQ(block, Pattern(9));
  EXPECT_EQ(chain_copy, chain);
}

}  // namespace
}  // namespace talvor

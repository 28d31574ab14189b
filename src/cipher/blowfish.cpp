#include "cipher/blowfish.h"

#include "platform/byte_order.h"

#include <cstring>

namespace talvor {
namespace {

std::uint32_t RoundFunction(const BlowfishContext& context, std::uint32_t x) noexcept {
  const std::uint32_t a = context.S[0][x >> 24];
  const std::uint32_t b = context.S[1][(x >> 16) & 0xFF];
  const std::uint32_t c = context.S[2][(x >> 8) & 0xFF];
  const std::uint32_t d = context.S[3][x & 0xFF];
  return ((a + b) ^ c) + d;
}

// The rounds on a pair of words. The round function sees only the halves as
// they were on entry, so each of FL and FR enters its half eight times; the
// rounds are still carried out one by one as they are laid out.
void Encipher(const BlowfishContext& context, std::uint32_t& left, std::uint32_t& right) noexcept {
  const std::uint32_t fl = RoundFunction(context, left);
  const std::uint32_t fr = RoundFunction(context, right);
  std::uint32_t l = left ^ context.P[0];
  std::uint32_t r = right;
  for (int i = 1; i < 16; i += 2) {
    r ^= context.P[i] ^ fl;
    l ^= context.P[i + 1] ^ fr;
  }
  r ^= context.P[17];
  left = l;
  right = r;
}

void Decipher(const BlowfishContext& context, std::uint32_t& left, std::uint32_t& right) noexcept {
  const std::uint32_t fl = RoundFunction(context, left);
  const std::uint32_t fr = RoundFunction(context, right);
  std::uint32_t l = left;
  std::uint32_t r = right ^ context.P[17];
  for (int i = 16; i > 0; i -= 2) {
    l ^= context.P[i] ^ fr;
    r ^= context.P[i - 1] ^ fl;
  }
  l ^= context.P[0];
  left = l;
  right = r;
}

}  // namespace

void BlowfishInit(const std::uint8_t key[16], BlowfishContext& context) noexcept {
  std::memcpy(context.P, kBlowfishInitialP, sizeof context.P);
  std::memcpy(context.S, kBlowfishInitialS, sizeof context.S);

  // Key bytes are taken cyclically, the first of each four most significant.
  int k = 0;
  for (int i = 0; i < 18; ++i) {
    std::uint32_t word = 0;
    for (int j = 0; j < 4; ++j) {
      word = word << 8 | key[k];
      k = (k + 1) % 16;
    }
    context.P[i] ^= word;
  }

  // Each encipherment uses the tables as they stand after the previous one.
  std::uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    Encipher(context, l, r);
    context.P[i] = l;
    context.P[i + 1] = r;
  }
  for (auto& box : context.S) {
    for (int j = 0; j < 256; j += 2) {
      Encipher(context, l, r);
      box[j] = l;
      box[j + 1] = r;
    }
  }
  context.left_mask = 0;
  context.right_mask = 0;
  for (int i = 0; i < 18; i += 2) {
    context.left_mask ^= context.P[i];
    context.right_mask ^= context.P[i + 1];
  }
}

namespace {

// A block is two little-endian halves, and the block operation XORs each
// with its mask. XOR works byte by byte, so the masks laid out as bytes act
// on a block loaded as one native 64-bit word whatever the machine's order.
std::uint64_t MaskWord(const BlowfishContext& context) noexcept {
  std::uint8_t bytes[8];
  StoreLittleEndian32(context.left_mask, bytes);
  StoreLittleEndian32(context.right_mask, bytes + 4);
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, 8);
  return word;
}

std::uint64_t LoadWord(const std::uint8_t* bytes) noexcept {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, 8);
  return word;
}

void StoreWord(std::uint64_t word, std::uint8_t* bytes) noexcept {
  std::memcpy(bytes, &word, 8);
}

}  // namespace

void BlowfishBlocks(const BlowfishContext& context, std::uint8_t* blocks,
                    std::size_t count) noexcept {
  const std::uint64_t mask = MaskWord(context);
  for (std::size_t i = 0; i < count; ++i) {
    StoreWord(LoadWord(blocks + 8 * i) ^ mask, blocks + 8 * i);
  }
}

void BlowfishChainEncipher(const BlowfishContext& context, std::uint8_t* blocks, std::size_t count,
                           std::uint8_t chain[8]) noexcept {
  const std::uint64_t mask = MaskWord(context);
  std::uint64_t word = LoadWord(chain);
  for (std::size_t i = 0; i < count; ++i) {
    word ^= LoadWord(blocks + 8 * i) ^ mask;
    StoreWord(word, blocks + 8 * i);
  }
  StoreWord(word, chain);
}

void BlowfishChainDecipher(const BlowfishContext& context, std::uint8_t* blocks, std::size_t count,
                           std::uint8_t chain[8]) noexcept {
  const std::uint64_t mask = MaskWord(context);
  std::uint64_t previous = LoadWord(chain);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t word = LoadWord(blocks + 8 * i);
    StoreWord(word ^ mask ^ previous, blocks + 8 * i);
    previous = word;
  }
  StoreWord(previous, chain);
}

void BlowfishBlock(const BlowfishContext& context, std::uint8_t block[8],
                   bool /*encrypt*/) noexcept {
  // The rounds of Encipher and Decipher, as they come out (see left_mask).
  BlowfishBlocks(context, block, 1);
}

bool BlowfishRoundsAgree(const BlowfishContext& context, std::uint32_t left, std::uint32_t right,
                         bool encrypt) noexcept {
  std::uint32_t l = left;
  std::uint32_t r = right;
  if (encrypt) {
    Encipher(context, l, r);
  } else {
    Decipher(context, l, r);
  }
  return l == (left ^ context.left_mask) && r == (right ^ context.right_mask);
}

void BlowfishBlockCBC(const BlowfishContext& context, const std::uint8_t chain[8],
                      std::uint8_t block[8], bool encrypt) noexcept {
  if (encrypt) {
    for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
    BlowfishBlock(context, block, true);
  } else {
    BlowfishBlock(context, block, false);
    for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
  }
}

}  // namespace talvor

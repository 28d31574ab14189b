// The BLOWFISH method's 64-bit block cipher: Blowfish's tables and key
// schedule, sixteen Feistel rounds whose round function takes the halves as
// they were on entry to the block (not as published Blowfish does), and
// little-endian halves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/secret.h"

namespace talvor {

struct BlowfishContext {
  // The key schedule is overwritten when the context goes.
  ~BlowfishContext() { SecureWipe(this, sizeof *this); }
  std::uint32_t P[18];
  std::uint32_t S[4][256];
  // What the sixteen rounds come to: each round-function value enters its
  // half eight times and cancels, so a block's left half is XORed with
  // P[0] ^ P[2] ^ ... ^ P[16] and its right half with P[1] ^ P[3] ^ ... ^
  // P[17], enciphering and deciphering alike. Set by BlowfishInit.
  std::uint32_t left_mask;
  std::uint32_t right_mask;
};

// The hexadecimal digits of pi: the initial P-array and S-boxes.
extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];

void BlowfishInit(const std::uint8_t key[16], BlowfishContext& context) noexcept;
// Whether the sixteen rounds, carried out one by one, give what the masks
// give for this pair of halves (for tests).
[[nodiscard]] bool BlowfishRoundsAgree(const BlowfishContext& context, std::uint32_t left,
                                       std::uint32_t right, bool encrypt) noexcept;
// Transforms one 8-byte block in place.
void BlowfishBlock(const BlowfishContext& context, std::uint8_t block[8], bool encrypt) noexcept;
// Transforms `count` consecutive blocks in place, each on its own (either
// direction: they come to the same).
void BlowfishBlocks(const BlowfishContext& context, std::uint8_t* blocks,
                    std::size_t count) noexcept;
// CBC encipherment of `count` consecutive blocks in place: each block gets
// the chain XORed in and is enciphered, and becomes the chain.
void BlowfishChainEncipher(const BlowfishContext& context, std::uint8_t* blocks, std::size_t count,
                           std::uint8_t chain[8]) noexcept;
// CBC decipherment of `count` consecutive blocks in place: each block is
// deciphered and gets the enciphered block before it (first: `chain`) XORed
// in; `chain` becomes the last enciphered block.
void BlowfishChainDecipher(const BlowfishContext& context, std::uint8_t* blocks, std::size_t count,
                           std::uint8_t chain[8]) noexcept;
// Enciphering XORs `chain` into the block and then enciphers; deciphering
// deciphers and then XORs `chain` in. `chain` is only read.
void BlowfishBlockCBC(const BlowfishContext& context, const std::uint8_t chain[8],
                      std::uint8_t block[8], bool encrypt) noexcept;

}  // namespace talvor

// The BLOWFISH method's 64-bit block cipher: Blowfish's tables and key
// schedule, sixteen Feistel rounds whose round function takes the halves as
// they were on entry to the block (not as published Blowfish does), and
// little-endian halves.
#pragma once

#include <cstdint>

namespace talvor {

struct BlowfishContext {
  std::uint32_t P[18];
  std::uint32_t S[4][256];
};

// The hexadecimal digits of pi: the initial P-array and S-boxes.
extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];

void BlowfishInit(const std::uint8_t key[16], BlowfishContext& context) noexcept;
// Transforms one 8-byte block in place.
void BlowfishBlock(const BlowfishContext& context, std::uint8_t block[8], bool encrypt) noexcept;
// Enciphering XORs `chain` into the block and then enciphers; deciphering
// deciphers and then XORs `chain` in. `chain` is only read.
void BlowfishBlockCBC(const BlowfishContext& context, const std::uint8_t chain[8],
                      std::uint8_t block[8], bool encrypt) noexcept;

}  // namespace talvor

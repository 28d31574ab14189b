// DES (FIPS 46-3) and two-key Triple-DES, encipher-decipher-encipher with
// K1, K2, K1 (NIST SP 800-67 keying option 2). Blocks are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/secret.h"

namespace talvor {

struct DesContext {
  // The subkeys are overwritten when the context goes.
  ~DesContext() { SecureWipe(this, sizeof *this); }
  std::uint32_t Subkeys[32];  // sixteen 48-bit subkeys, ordered for the direction
  bool Encrypt;
};

struct TripleDesContext {
  DesContext First;   // K1, the given direction
  DesContext Second;  // K2, the opposite direction
};

void DesInit(const std::uint8_t key[8], DesContext& context, bool encrypt) noexcept;
void DesBlock(const DesContext& context, std::uint8_t block[8]) noexcept;

// K1 = key bytes 0..7, K2 = bytes 8..15.
void TripleDesInit(const std::uint8_t key[16], TripleDesContext& context, bool encrypt) noexcept;
void TripleDesBlock(const TripleDesContext& context, std::uint8_t block[8]) noexcept;
// Enciphering (First.Encrypt set): XOR `chain` in, then TripleDesBlock;
// deciphering: TripleDesBlock, then XOR `chain` in. `chain` is only read.
// CBC enciphering of `count` consecutive blocks in place (First.Encrypt
// set), `chain` the previous enciphered block, updated to the last one.
void TripleDesChainEncipher(const TripleDesContext& context, std::uint8_t* blocks,
                            std::size_t count, std::uint8_t chain[8]) noexcept;
void TripleDesBlockCBC(const TripleDesContext& context, const std::uint8_t chain[8],
                       std::uint8_t block[8]) noexcept;

}  // namespace talvor

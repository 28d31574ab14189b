// Key derivation from pass phrases: a 2048-bit digest state initialised from
// the digits of pi absorbs the pass phrase while a 128-bit side state is
// stirred after every 8 bytes; at the end the state is enciphered with a
// small 128-bit Feistel cipher (the mixing cipher) keyed by the side state,
// and its leading bytes are the key. No salt, no iterations.
#pragma once

#include <cstdint>
#include <string_view>

namespace talvor {

struct KeyDigestContext {
  std::int32_t DigestIndex;  // next byte of Digest to take input, 0..255
  std::uint8_t Digest[256];  // the 2048-bit state
  std::int32_t KeyIndex;     // next byte of Key to take input, 0..7
  std::uint8_t Key[16];      // the side state (four little-endian words)
};

struct MixCipherContext {
  bool Encrypt;
  std::int32_t Steps;            // 4..16
  std::uint32_t Subkeys[16][2];  // (lo, hi) per step
};

// The mixing step on four words (eight add-rotate-xor lines).
void MixQuad(std::uint32_t x[4]) noexcept;
// The eight-word mixing step (as in the ISAAC generator's initialisation).
void SubkeyMix(std::uint32_t m[8]) noexcept;

void KeyDigestInit(KeyDigestContext& context) noexcept;
// A count of 0 or less changes nothing.
void KeyDigestUpdate(KeyDigestContext& context, const std::uint8_t* data,
                     std::int32_t count) noexcept;
// Writes min(size, 256) bytes (nothing for size <= 0).
void KeyDigestFinal(KeyDigestContext& context, std::uint8_t* out, std::int32_t size) noexcept;

void MixCipherInit(const std::uint8_t key[16], MixCipherContext& context, std::int32_t steps,
                   bool encrypt) noexcept;
void MixCipherBlock(const MixCipherContext& context, std::uint8_t block[16]) noexcept;

// Fills min(size, 256) bytes of `key` from the pass phrase (bytes of the
// 8-bit code page, taken as they are); the rest of a larger buffer is kept.
void DeriveKeyFromPassphrase(std::uint8_t* key, std::int32_t size,
                             std::string_view passphrase) noexcept;

// The first 256 bytes of the fractional part of pi, most significant first.
extern const std::uint8_t kPiDigestBytes[256];

}  // namespace talvor

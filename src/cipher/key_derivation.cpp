#include "cipher/key_derivation.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <cstring>

#include "platform/secret.h"

namespace talvor {
namespace {

constexpr std::uint32_t kInitialKeyWord = 0x55555555U;
constexpr std::uint8_t kClosingPad[8] = {0x01, 0, 0, 0, 0, 0, 0, 0};
constexpr std::uint32_t kSubkeySalts[4] = {0x55555555U, 0xAAAAAAAAU, 0x33333333U, 0xCCCCCCCCU};
constexpr std::int32_t kDigestSteps = 8;
constexpr std::int32_t kMinSteps = 4;
constexpr std::int32_t kMaxSteps = 16;

// Stirs the side state once its eight input bytes are complete: the key words
// go into the mixer in reverse order and come back in forward order.
void StirKey(std::uint8_t key[16]) noexcept {
  std::uint32_t x[4] = {LoadLittleEndian32(key + 12), LoadLittleEndian32(key + 8),
                        LoadLittleEndian32(key + 4), LoadLittleEndian32(key)};
  for (int round = 0; round < 4; ++round) MixQuad(x);
  for (int i = 0; i < 4; ++i) StoreLittleEndian32(x[i], key + 4 * i);
  SecureWipe(x);
}

}  // namespace

void MixQuad(std::uint32_t x[4]) noexcept {
  std::uint32_t x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3];
  // clang-format off
  x0 += x3; x3 += x0; x0 ^= x0 >> 7;
  x1 += x0; x0 += x1; x1 ^= x1 << 13;
  x2 += x1; x1 += x2; x2 ^= x2 >> 17;
  x3 += x2; x2 += x3; x3 ^= x3 << 9;
  x0 += x3; x3 += x0; x0 ^= x0 >> 3;
  x1 += x0; x0 += x1; x1 ^= x1 << 7;
  x2 += x1; x1 += x2; x2 ^= x3 >> 15;  // shifts x3, not x2: stored keys depend on it
  x3 += x2; x2 += x3; x3 ^= x3 << 11;
  // clang-format on
  x[0] = x0;
  x[1] = x1;
  x[2] = x2;
  x[3] = x3;
}

void SubkeyMix(std::uint32_t m[8]) noexcept {
  // clang-format off
  m[0] ^= m[1] << 11; m[3] += m[0]; m[1] += m[2];
  m[1] ^= m[2] >> 2;  m[4] += m[1]; m[2] += m[3];
  m[2] ^= m[3] << 8;  m[5] += m[2]; m[3] += m[4];
  m[3] ^= m[4] >> 16; m[6] += m[3]; m[4] += m[5];
  m[4] ^= m[5] << 10; m[7] += m[4]; m[5] += m[6];
  m[5] ^= m[6] >> 4;  m[0] += m[5]; m[6] += m[7];
  m[6] ^= m[7] << 8;  m[1] += m[6]; m[7] += m[0];
  m[7] ^= m[0] >> 9;  m[2] += m[7]; m[0] += m[1];
  // clang-format on
}

void KeyDigestInit(KeyDigestContext& context) noexcept {
  context.DigestIndex = 0;
  std::memcpy(context.Digest, kPiDigestBytes, sizeof context.Digest);
  context.KeyIndex = 0;
  for (int i = 0; i < 4; ++i) StoreLittleEndian32(kInitialKeyWord, context.Key + 4 * i);
}

void KeyDigestUpdate(KeyDigestContext& context, const std::uint8_t* data,
                     std::int32_t count) noexcept {
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint8_t b = data[i];
    context.Digest[context.DigestIndex] ^= b;
    if (++context.DigestIndex == 256) context.DigestIndex = 0;
    context.Key[context.KeyIndex] ^= b;
    if (++context.KeyIndex == 8) {
      StirKey(context.Key);
      context.KeyIndex = 0;
    }
  }
}

void KeyDigestFinal(KeyDigestContext& context, std::uint8_t* out, std::int32_t size) noexcept {
  // The pad always completes the current group of eight, so the side state is
  // stirred once more however long the input was.
  KeyDigestUpdate(context, kClosingPad, 8 - context.KeyIndex);

  MixCipherContext cipher;
  MixCipherInit(context.Key, cipher, kDigestSteps, true);
  for (int block = 0; block < 16; ++block) MixCipherBlock(cipher, context.Digest + 16 * block);
  SecureWipe(cipher);

  if (size > 0) std::memcpy(out, context.Digest, static_cast<std::size_t>(std::min(size, 256)));
}

void MixCipherInit(const std::uint8_t key[16], MixCipherContext& context, std::int32_t steps,
                   bool encrypt) noexcept {
  context.Encrypt = encrypt;
  context.Steps = std::max(kMinSteps, std::min(kMaxSteps, steps));

  const std::uint32_t k0 = LoadLittleEndian32(key), k1 = LoadLittleEndian32(key + 4),
                      k2 = LoadLittleEndian32(key + 8), k3 = LoadLittleEndian32(key + 12);
  for (int group = 0; group < 4; ++group) {
    const std::uint32_t s = kSubkeySalts[group];
    std::uint32_t m[8] = {k0, s, k1, s, k2, s, k3, s};
    for (int round = 0; round < 8; ++round) SubkeyMix(m);
    for (int j = 0; j < 4; ++j) {
      context.Subkeys[4 * group + j][0] = m[2 * j];
      context.Subkeys[4 * group + j][1] = m[2 * j + 1];
    }
    SecureWipe(m);
  }

  if (!encrypt) {
    for (std::int32_t lo = 0, hi = context.Steps - 1; lo < hi; ++lo, --hi) {
      std::swap(context.Subkeys[lo][0], context.Subkeys[hi][0]);
      std::swap(context.Subkeys[lo][1], context.Subkeys[hi][1]);
    }
  }
}

void MixCipherBlock(const MixCipherContext& context, std::uint8_t block[16]) noexcept {
  // The right half is the first eight bytes, the left half the last eight.
  std::uint32_t r0 = LoadLittleEndian32(block), r1 = LoadLittleEndian32(block + 4);
  std::uint32_t l0 = LoadLittleEndian32(block + 8), l1 = LoadLittleEndian32(block + 12);
  for (std::int32_t step = 0; step < context.Steps; ++step) {
    std::uint32_t x[4] = {r0, context.Subkeys[step][0], r1, context.Subkeys[step][1]};
    MixQuad(x);
    std::swap(x[0], x[2]);
    std::swap(x[1], x[3]);
    MixQuad(x);
    const std::uint32_t t0 = l0 ^ x[0] ^ x[1];
    const std::uint32_t t1 = l1 ^ x[2] ^ x[3];
    l0 = r0;
    l1 = r1;
    r0 = t0;
    r1 = t1;
  }
  // The halves are written back without the final exchange.
  StoreLittleEndian32(l0, block);
  StoreLittleEndian32(l1, block + 4);
  StoreLittleEndian32(r0, block + 8);
  StoreLittleEndian32(r1, block + 12);
}

void DeriveKeyFromPassphrase(std::uint8_t* key, std::int32_t size,
                             std::string_view passphrase) noexcept {
  KeyDigestContext context;
  KeyDigestInit(context);
  // Pass-phrase characters are absorbed as unsigned bytes of the 8-bit code page.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(passphrase.data());
  std::size_t remaining = passphrase.size();
  while (remaining > 0) {
    constexpr std::size_t kChunk = 1U << 30;
    const std::size_t chunk = std::min(remaining, kChunk);
    KeyDigestUpdate(context, bytes, static_cast<std::int32_t>(chunk));
    bytes += chunk;
    remaining -= chunk;
  }
  KeyDigestFinal(context, key, size);
  SecureWipe(context);
}

}  // namespace talvor

// DES as in FIPS 46-3 and two-key Triple-DES (NIST SP 800-67, keying
// option 2).
//
// Bits are numbered as in FIPS 46-3: bit 1 is the most significant bit of a
// block half, of a key byte, of a table entry. For speed:
//  - IP and IP^-1 are done by a sequence of masked bit-group exchanges on the
//    two big-endian block halves. The sequence leaves each half rotated left
//    by one bit, and the rounds keep that rotation throughout: then every
//    six-bit group of the expansion E lies in the low six bits of one byte of
//    either the half or the half rotated right by four.
//  - S-box and permutation P are merged into eight 64-entry tables (kSp),
//    whose entries are already rotated to match.
//  - Each subkey is stored as its eight six-bit groups, one per byte, groups
//    1, 3, 5, 7 in the first word and 2, 4, 6, 8 in the second (most
//    significant byte first), lined up with the bytes of the expanded half.
#include "cipher/des.h"

#include "platform/secret.h"

namespace talvor {
namespace {

// FIPS 46-3: the selection functions S1..S8, each row 0..3 of 16 entries.
constexpr std::uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// FIPS 46-3: the permutation P, output bit i taken from input bit kP[i-1].
constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// FIPS 46-3 key schedule: permuted choice 1 (C then D, from key bits 1..64)
// and permuted choice 2 (from bits 1..56 of C and D joined).
constexpr std::uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                   10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                   63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                   14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr std::uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr bool SBoxRowsArePermutations() {
  for (const auto& box : kSBoxes) {
    for (int row = 0; row < 4; ++row) {
      unsigned seen = 0;
      for (int col = 0; col < 16; ++col) seen |= 1u << box[16 * row + col];
      if (seen != 0xFFFF) return false;
    }
  }
  return true;
}
static_assert(SBoxRowsArePermutations());

constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) {
  return (x << n) | (x >> ((32 - n) & 31));
}
constexpr std::uint32_t RotateRight(std::uint32_t x, int n) {
  return (x >> n) | (x << ((32 - n) & 31));
}

// kSp[k][v]: S-box k+1 applied to the six-bit group v (v's most significant
// bit is the group's first bit), its four output bits put in place as bits
// 4k+1..4k+4 of the f input to P, then P, then rotated left by one bit.
struct SpTables {
  std::uint32_t sp[8][64];
};

constexpr SpTables MakeSpTables() {
  SpTables t{};
  for (int k = 0; k < 8; ++k) {
    for (int v = 0; v < 64; ++v) {
      const int row = ((v >> 4) & 2) | (v & 1);
      const int col = (v >> 1) & 0xF;
      const std::uint32_t s = kSBoxes[k][16 * row + col];
      const std::uint32_t before_p = s << (28 - 4 * k);
      std::uint32_t after_p = 0;
      for (int i = 0; i < 32; ++i) {
        const std::uint32_t bit = (before_p >> (32 - kP[i])) & 1;
        after_p |= bit << (31 - i);
      }
      t.sp[k][v] = RotateLeft(after_p, 1);
    }
  }
  return t;
}

constexpr SpTables kSp = MakeSpTables();

inline std::uint32_t LoadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline void StoreBigEndian(std::uint8_t* p, std::uint32_t x) {
  p[0] = static_cast<std::uint8_t>(x >> 24);
  p[1] = static_cast<std::uint8_t>(x >> 16);
  p[2] = static_cast<std::uint8_t>(x >> 8);
  p[3] = static_cast<std::uint8_t>(x);
}

// Exchanges the bits of `a >> shift` selected by `mask` with the same bits of `b`.
inline void ExchangeBits(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
  const std::uint32_t diff = ((a >> shift) ^ b) & mask;
  b ^= diff;
  a ^= diff << shift;
}

// IP: on return left and right hold L0 and R0, each rotated left by one bit.
inline void InitialPermutation(std::uint32_t& left, std::uint32_t& right) {
  ExchangeBits(left, right, 4, 0x0F0F0F0F);
  ExchangeBits(left, right, 16, 0x0000FFFF);
  ExchangeBits(right, left, 2, 0x33333333);
  ExchangeBits(right, left, 8, 0x00FF00FF);
  right = RotateLeft(right, 1);
  ExchangeBits(left, right, 0, 0xAAAAAAAA);
  left = RotateLeft(left, 1);
}

// IP^-1: the steps of InitialPermutation undone in reverse order. Takes the
// pre-output halves (R16, L16), rotated as the rounds leave them.
inline void FinalPermutation(std::uint32_t& left, std::uint32_t& right) {
  left = RotateRight(left, 1);
  ExchangeBits(left, right, 0, 0xAAAAAAAA);
  right = RotateRight(right, 1);
  ExchangeBits(right, left, 8, 0x00FF00FF);
  ExchangeBits(right, left, 2, 0x33333333);
  ExchangeBits(left, right, 16, 0x0000FFFF);
  ExchangeBits(left, right, 4, 0x0F0F0F0F);
}

// f(R, K) of FIPS 46-3 on the rotated half `r`, with the subkey pair `k`.
inline std::uint32_t Feistel(std::uint32_t r, const std::uint32_t* k) {
  const std::uint32_t odd = RotateRight(r, 4) ^ k[0];  // groups 1, 3, 5, 7
  const std::uint32_t even = r ^ k[1];                 // groups 2, 4, 6, 8
  return kSp.sp[0][(odd >> 24) & 0x3F] ^ kSp.sp[2][(odd >> 16) & 0x3F] ^
         kSp.sp[4][(odd >> 8) & 0x3F] ^ kSp.sp[6][odd & 0x3F] ^ kSp.sp[1][(even >> 24) & 0x3F] ^
         kSp.sp[3][(even >> 16) & 0x3F] ^ kSp.sp[5][(even >> 8) & 0x3F] ^ kSp.sp[7][even & 0x3F];
}

// The sixteen rounds on rotated halves; ends with the halves exchanged, as
// the pre-output block R16 L16 has them.
inline void Rounds(const DesContext& context, std::uint32_t& left, std::uint32_t& right) {
  const std::uint32_t* k = context.Subkeys;
  for (int round = 0; round < 16; round += 2, k += 4) {
    left ^= Feistel(right, k);
    right ^= Feistel(left, k + 2);
  }
  const std::uint32_t t = left;
  left = right;
  right = t;
}

}  // namespace

void DesInit(const std::uint8_t key[8], DesContext& context, bool encrypt) noexcept {
  context = DesContext{};
  context.Encrypt = encrypt;

  // C and D as 28-bit numbers, their bit 1 most significant.
  std::uint32_t c = 0;
  std::uint32_t d = 0;
  for (int i = 0; i < 28; ++i) {
    const int bit_c = kPc1[i] - 1;
    const int bit_d = kPc1[28 + i] - 1;
    c = (c << 1) | ((key[bit_c / 8] >> (7 - bit_c % 8)) & 1u);
    d = (d << 1) | ((key[bit_d / 8] >> (7 - bit_d % 8)) & 1u);
  }
  for (int round = 0; round < 16; ++round) {
    const int n = kRotations[round];
    c = ((c << n) | (c >> (28 - n))) & 0x0FFFFFFF;
    d = ((d << n) | (d >> (28 - n))) & 0x0FFFFFFF;
    std::uint32_t groups[8] = {};
    for (int i = 0; i < 48; ++i) {
      const int bit = kPc2[i];  // 1..56
      const std::uint32_t value = bit <= 28 ? (c >> (28 - bit)) & 1 : (d >> (56 - bit)) & 1;
      groups[i / 6] = (groups[i / 6] << 1) | value;
    }
    const int slot = encrypt ? round : 15 - round;
    context.Subkeys[2 * slot] =
        (groups[0] << 24) | (groups[2] << 16) | (groups[4] << 8) | groups[6];
    context.Subkeys[2 * slot + 1] =
        (groups[1] << 24) | (groups[3] << 16) | (groups[5] << 8) | groups[7];
    SecureWipe(groups);
  }
  SecureWipe(c);
  SecureWipe(d);
}

void DesBlock(const DesContext& context, std::uint8_t block[8]) noexcept {
  std::uint32_t left = LoadBigEndian(block);
  std::uint32_t right = LoadBigEndian(block + 4);
  InitialPermutation(left, right);
  Rounds(context, left, right);
  FinalPermutation(left, right);
  StoreBigEndian(block, left);
  StoreBigEndian(block + 4, right);
}

void TripleDesInit(const std::uint8_t key[16], TripleDesContext& context, bool encrypt) noexcept {
  DesInit(key, context.First, encrypt);
  DesInit(key + 8, context.Second, !encrypt);
}

// The three DES steps share one IP and one IP^-1: between two steps, IP^-1
// followed by IP cancels.
void TripleDesBlock(const TripleDesContext& context, std::uint8_t block[8]) noexcept {
  std::uint32_t left = LoadBigEndian(block);
  std::uint32_t right = LoadBigEndian(block + 4);
  InitialPermutation(left, right);
  Rounds(context.First, left, right);
  Rounds(context.Second, left, right);
  Rounds(context.First, left, right);
  FinalPermutation(left, right);
  StoreBigEndian(block, left);
  StoreBigEndian(block + 4, right);
}

// The chain stays in the permuted domain: IP(P ^ C) = IP(P) ^ IP(C), and
// IP(C) is the state the rounds left, so only the rounds lie on the path
// from one block to the next.
void TripleDesChainEncipher(const TripleDesContext& context, std::uint8_t* blocks,
                            std::size_t count, std::uint8_t chain[8]) noexcept {
  std::uint32_t chain_left = LoadBigEndian(chain);
  std::uint32_t chain_right = LoadBigEndian(chain + 4);
  InitialPermutation(chain_left, chain_right);
  for (std::size_t i = 0; i < count; ++i, blocks += 8) {
    std::uint32_t left = LoadBigEndian(blocks);
    std::uint32_t right = LoadBigEndian(blocks + 4);
    InitialPermutation(left, right);
    left ^= chain_left;
    right ^= chain_right;
    Rounds(context.First, left, right);
    Rounds(context.Second, left, right);
    Rounds(context.First, left, right);
    chain_left = left;
    chain_right = right;
    FinalPermutation(left, right);
    StoreBigEndian(blocks, left);
    StoreBigEndian(blocks + 4, right);
  }
  FinalPermutation(chain_left, chain_right);
  StoreBigEndian(chain, chain_left);
  StoreBigEndian(chain + 4, chain_right);
}

void TripleDesBlockCBC(const TripleDesContext& context, const std::uint8_t chain[8],
                       std::uint8_t block[8]) noexcept {
  if (context.First.Encrypt) {
    for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
    TripleDesBlock(context, block);
  } else {
    TripleDesBlock(context, block);
    for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
  }
}

}  // namespace talvor

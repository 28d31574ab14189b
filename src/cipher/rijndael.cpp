// Rijndael / AES (FIPS-197). Two interchangeable implementations share one
// expanded key: a table-driven one that runs anywhere, and one on the AES
// instructions of x86 processors (AES-NI), picked at run time.
//
// State words hold four consecutive block bytes in memory order (column j of
// the FIPS-197 state is bytes 4j..4j+3), so blocks and round keys are loaded
// with memcpy and no byte swapping happens on either byte order; the tables
// are built to match the processor's byte order instead.
#include "cipher/rijndael.h"

#include <atomic>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define TALVOR_HAVE_AESNI 1
#include <emmintrin.h>  // SSE2
#include <wmmintrin.h>  // AES-NI
#else
#define TALVOR_HAVE_AESNI 0
#endif

namespace talvor {
namespace {

// ---------------------------------------------------------------------------
// Tables, computed at compile time from arithmetic in GF(2^8) modulo
// x^8 + x^4 + x^3 + x + 1 (FIPS-197 section 4).

constexpr std::uint8_t Xtime(std::uint8_t a) {
  return static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) != 0 ? 0x1B : 0x00));
}

constexpr std::uint8_t GfMultiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  while (b != 0) {
    if ((b & 1) != 0) product ^= a;
    a = Xtime(a);
    b = static_cast<std::uint8_t>(b >> 1);
  }
  return product;
}

// Bit position of state row `row` (0..3) inside a state word.
constexpr unsigned RowShift(unsigned row) {
  return std::endian::native == std::endian::little ? 8 * row : 24 - 8 * row;
}

constexpr std::uint32_t Column(std::uint8_t row0, std::uint8_t row1, std::uint8_t row2,
                               std::uint8_t row3) {
  return (std::uint32_t{row0} << RowShift(0)) | (std::uint32_t{row1} << RowShift(1)) |
         (std::uint32_t{row2} << RowShift(2)) | (std::uint32_t{row3} << RowShift(3));
}

struct Tables {
  std::uint8_t sbox[256];
  std::uint8_t inv_sbox[256];
  std::uint8_t rcon[11];  // rcon[i] = x^(i-1), i = 1..10
  // enc[r][x]: S-box(x) multiplied into MixColumns column r, i.e. the
  // contribution of an input byte in row r to its output column.
  std::uint32_t enc[4][256];
  // dec[r][x]: x multiplied into InvMixColumns column r.
  std::uint32_t dec[4][256];
};

constexpr Tables MakeTables() {
  Tables t{};
  // Powers of the generator 0x03 give logarithms, and with them inverses.
  std::uint8_t power[255] = {};
  std::uint8_t log[256] = {};
  std::uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    log[x] = static_cast<std::uint8_t>(i);
    x = GfMultiply(x, 0x03);
  }
  for (int a = 0; a < 256; ++a) {
    const std::uint8_t inverse = a == 0 ? 0 : power[(255 - log[a]) % 255];
    // Affine transformation of FIPS-197 equation 5.1.
    std::uint8_t s = 0x63;
    for (int shift = 0; shift < 5; ++shift) {
      s ^= static_cast<std::uint8_t>((inverse << shift) | (inverse >> ((8 - shift) & 7)));
    }
    t.sbox[a] = s;
    t.inv_sbox[s] = static_cast<std::uint8_t>(a);
  }
  std::uint8_t r = 1;
  for (int i = 1; i <= 10; ++i) {
    t.rcon[i] = r;
    r = Xtime(r);
  }
  for (int a = 0; a < 256; ++a) {
    const std::uint8_t s = t.sbox[a];
    const std::uint8_t s2 = GfMultiply(s, 2);
    const std::uint8_t s3 = GfMultiply(s, 3);
    t.enc[0][a] = Column(s2, s, s, s3);
    t.enc[1][a] = Column(s3, s2, s, s);
    t.enc[2][a] = Column(s, s3, s2, s);
    t.enc[3][a] = Column(s, s, s3, s2);
    const auto v = static_cast<std::uint8_t>(a);
    const std::uint8_t e = GfMultiply(v, 0x0E);
    const std::uint8_t b = GfMultiply(v, 0x0B);
    const std::uint8_t d = GfMultiply(v, 0x0D);
    const std::uint8_t n = GfMultiply(v, 0x09);
    t.dec[0][a] = Column(e, n, d, b);
    t.dec[1][a] = Column(b, e, n, d);
    t.dec[2][a] = Column(d, b, e, n);
    t.dec[3][a] = Column(n, d, b, e);
  }
  return t;
}

constexpr Tables kTables = MakeTables();

static_assert(kTables.sbox[0x00] == 0x63 && kTables.sbox[0x53] == 0xED, "FIPS-197 figure 7");
static_assert(kTables.inv_sbox[0x63] == 0x00 && kTables.rcon[10] == 0x36);

// Byte of state row `row` in a state word.
template <unsigned row>
inline unsigned Row(std::uint32_t word) {
  return (word >> RowShift(row)) & 0xFF;
}

inline std::uint32_t LoadWord(const std::uint8_t* p) {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

inline void StoreWord(std::uint8_t* p, std::uint32_t w) {
  std::memcpy(p, &w, 4);
}

// ---------------------------------------------------------------------------
// Table path.

// One full round's output column: the ShiftRows diagonal starting at column
// a (rows 0..3 of columns a, b, c, d) through SubBytes and MixColumns.
inline std::uint32_t EncryptColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                   std::uint32_t d) {
  return kTables.enc[0][Row<0>(a)] ^ kTables.enc[1][Row<1>(b)] ^ kTables.enc[2][Row<2>(c)] ^
         kTables.enc[3][Row<3>(d)];
}

inline std::uint32_t SubColumn(const std::uint8_t* box, std::uint32_t a, std::uint32_t b,
                               std::uint32_t c, std::uint32_t d) {
  return Column(box[Row<0>(a)], box[Row<1>(b)], box[Row<2>(c)], box[Row<3>(d)]);
}

inline std::uint32_t InvMixColumn(std::uint32_t w) {
  return kTables.dec[0][Row<0>(w)] ^ kTables.dec[1][Row<1>(w)] ^ kTables.dec[2][Row<2>(w)] ^
         kTables.dec[3][Row<3>(w)];
}

void EncryptTable(const RijndaelContext& context, std::uint8_t* block) {
  const std::uint32_t* rk = context.RoundKeys;
  std::uint32_t s0 = LoadWord(block) ^ rk[0];
  std::uint32_t s1 = LoadWord(block + 4) ^ rk[1];
  std::uint32_t s2 = LoadWord(block + 8) ^ rk[2];
  std::uint32_t s3 = LoadWord(block + 12) ^ rk[3];
  for (int round = 1; round < context.Rounds; ++round) {
    rk += 4;
    const std::uint32_t t0 = EncryptColumn(s0, s1, s2, s3) ^ rk[0];
    const std::uint32_t t1 = EncryptColumn(s1, s2, s3, s0) ^ rk[1];
    const std::uint32_t t2 = EncryptColumn(s2, s3, s0, s1) ^ rk[2];
    const std::uint32_t t3 = EncryptColumn(s3, s0, s1, s2) ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const std::uint8_t* box = kTables.sbox;
  StoreWord(block, SubColumn(box, s0, s1, s2, s3) ^ rk[0]);
  StoreWord(block + 4, SubColumn(box, s1, s2, s3, s0) ^ rk[1]);
  StoreWord(block + 8, SubColumn(box, s2, s3, s0, s1) ^ rk[2]);
  StoreWord(block + 12, SubColumn(box, s3, s0, s1, s2) ^ rk[3]);
}

// FIPS-197 section 5.3, the inverse cipher in its direct form.
void DecryptTable(const RijndaelContext& context, std::uint8_t* block) {
  const std::uint8_t* box = kTables.inv_sbox;
  const std::uint32_t* rk = context.RoundKeys + 4 * context.Rounds;
  std::uint32_t s0 = LoadWord(block) ^ rk[0];
  std::uint32_t s1 = LoadWord(block + 4) ^ rk[1];
  std::uint32_t s2 = LoadWord(block + 8) ^ rk[2];
  std::uint32_t s3 = LoadWord(block + 12) ^ rk[3];
  // InvShiftRows moves row r right by r columns: output column j takes row r
  // from column j - r. InvSubBytes comes along with it.
  std::uint32_t t0 = SubColumn(box, s0, s3, s2, s1);
  std::uint32_t t1 = SubColumn(box, s1, s0, s3, s2);
  std::uint32_t t2 = SubColumn(box, s2, s1, s0, s3);
  std::uint32_t t3 = SubColumn(box, s3, s2, s1, s0);
  for (int round = context.Rounds - 1; round >= 1; --round) {
    rk -= 4;
    s0 = InvMixColumn(t0 ^ rk[0]);
    s1 = InvMixColumn(t1 ^ rk[1]);
    s2 = InvMixColumn(t2 ^ rk[2]);
    s3 = InvMixColumn(t3 ^ rk[3]);
    t0 = SubColumn(box, s0, s3, s2, s1);
    t1 = SubColumn(box, s1, s0, s3, s2);
    t2 = SubColumn(box, s2, s1, s0, s3);
    t3 = SubColumn(box, s3, s2, s1, s0);
  }
  rk -= 4;
  StoreWord(block, t0 ^ rk[0]);
  StoreWord(block + 4, t1 ^ rk[1]);
  StoreWord(block + 8, t2 ^ rk[2]);
  StoreWord(block + 12, t3 ^ rk[3]);
}

// ---------------------------------------------------------------------------
// Hardware path. HardwareKeys holds Rounds + 1 round keys in the order they
// are applied: the expanded key itself for enciphering; for deciphering the
// keys in reverse with InvMixColumns applied to the middle ones, as the
// AESDEC instruction expects (FIPS-197 section 5.3.5). Both give exactly the
// results of the tables.

#if TALVOR_HAVE_AESNI

#define TALVOR_AESNI __attribute__((target("aes,sse2")))

TALVOR_AESNI void PrepareHardwareKeys(RijndaelContext& context) {
  const auto* expanded = reinterpret_cast<const std::uint8_t*>(context.RoundKeys);
  const int rounds = context.Rounds;
  if (context.Encrypt) {
    std::memcpy(context.HardwareKeys, expanded, 16 * static_cast<std::size_t>(rounds + 1));
    return;
  }
  auto* out = reinterpret_cast<__m128i*>(context.HardwareKeys);
  const auto* in = reinterpret_cast<const __m128i*>(expanded);
  _mm_store_si128(out, _mm_loadu_si128(in + rounds));
  for (int i = 1; i < rounds; ++i) {
    _mm_store_si128(out + i, _mm_aesimc_si128(_mm_loadu_si128(in + rounds - i)));
  }
  _mm_store_si128(out + rounds, _mm_loadu_si128(in));
}

// Enciphers or deciphers `n` independent blocks in one pass through the
// rounds, so that the processor overlaps their AES instructions.
template <int n, bool encrypt>
TALVOR_AESNI inline void HardwareBlocks(const RijndaelContext& context, std::uint8_t* blocks) {
  const auto* keys = reinterpret_cast<const __m128i*>(context.HardwareKeys);
  auto* data = reinterpret_cast<__m128i*>(blocks);
  const int rounds = context.Rounds;
  __m128i state[n];
  __m128i key = _mm_load_si128(keys);
#pragma GCC unroll 8
  for (int i = 0; i < n; ++i) state[i] = _mm_xor_si128(_mm_loadu_si128(data + i), key);
  for (int round = 1; round < rounds; ++round) {
    key = _mm_load_si128(keys + round);
#pragma GCC unroll 8
    for (int i = 0; i < n; ++i) {
      state[i] = encrypt ? _mm_aesenc_si128(state[i], key) : _mm_aesdec_si128(state[i], key);
    }
  }
  key = _mm_load_si128(keys + rounds);
#pragma GCC unroll 8
  for (int i = 0; i < n; ++i) {
    state[i] = encrypt ? _mm_aesenclast_si128(state[i], key) : _mm_aesdeclast_si128(state[i], key);
    _mm_storeu_si128(data + i, state[i]);
  }
}

template <bool encrypt>
TALVOR_AESNI void HardwareRun(const RijndaelContext& context, std::uint8_t* blocks,
                              std::size_t count) {
  for (; count >= 8; count -= 8, blocks += 8 * 16) HardwareBlocks<8, encrypt>(context, blocks);
  if (count >= 4) {
    HardwareBlocks<4, encrypt>(context, blocks);
    count -= 4;
    blocks += 4 * 16;
  }
  for (; count > 0; --count, blocks += 16) HardwareBlocks<1, encrypt>(context, blocks);
}

bool DetectHardwareAes() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse2");
}

#endif  // TALVOR_HAVE_AESNI

std::atomic<RijndaelPath> g_path{RijndaelPath::kAuto};

}  // namespace

bool HardwareAesAvailable() noexcept {
#if TALVOR_HAVE_AESNI
  static const bool available = DetectHardwareAes();
  return available;
#else
  return false;
#endif
}

void SetRijndaelPath(RijndaelPath path) noexcept {
  g_path.store(path, std::memory_order_relaxed);
}

void RijndaelInit(const std::uint8_t* key, std::int32_t key_size, RijndaelContext& context,
                  bool encrypt) noexcept {
  context = RijndaelContext{};
  context.Encrypt = encrypt;
  const std::int32_t size = key_size < 0 ? 0 : key_size;
  auto* w = reinterpret_cast<std::uint8_t*>(context.RoundKeys);  // word i = bytes 4i..4i+3
  if (size > 0) std::memcpy(w, key, static_cast<std::size_t>(size < 240 ? size : 240));

  int nk = size / 4;
  if (nk < 4) nk = 4;
  if (nk > 8) nk = 8;
  context.Rounds = nk + 6;

  // FIPS-197 section 5.2, byte by byte. Nk 5 and 7 lie outside FIPS-197;
  // they follow the same rule, with the extra SubWord only for Nk = 8.
  const int words = 4 * (context.Rounds + 1);
  for (int i = nk; i < words; ++i) {
    std::uint8_t temp[4];
    std::memcpy(temp, w + 4 * (i - 1), 4);
    if (i % nk == 0) {
      const std::uint8_t first = temp[0];
      temp[0] = static_cast<std::uint8_t>(kTables.sbox[temp[1]] ^ kTables.rcon[i / nk]);
      temp[1] = kTables.sbox[temp[2]];
      temp[2] = kTables.sbox[temp[3]];
      temp[3] = kTables.sbox[first];
    } else if (nk == 8 && i % nk == 4) {
      for (std::uint8_t& b : temp) b = kTables.sbox[b];
    }
    for (int j = 0; j < 4; ++j) {
      w[4 * i + j] = static_cast<std::uint8_t>(w[4 * (i - nk) + j] ^ temp[j]);
    }
  }

  const RijndaelPath path = g_path.load(std::memory_order_relaxed);
  context.UseHardware = path != RijndaelPath::kTable && nk % 2 == 0 && HardwareAesAvailable();
#if TALVOR_HAVE_AESNI
  if (context.UseHardware) PrepareHardwareKeys(context);
#endif
}

void RijndaelBlock(const RijndaelContext& context, std::uint8_t block[16]) noexcept {
  RijndaelBlocks(context, block, 1);
}

void RijndaelBlocks(const RijndaelContext& context, std::uint8_t* blocks,
                    std::size_t count) noexcept {
#if TALVOR_HAVE_AESNI
  if (context.UseHardware) {
    if (context.Encrypt) {
      HardwareRun<true>(context, blocks, count);
    } else {
      HardwareRun<false>(context, blocks, count);
    }
    return;
  }
#endif
  for (; count > 0; --count, blocks += 16) {
    if (context.Encrypt) {
      EncryptTable(context, blocks);
    } else {
      DecryptTable(context, blocks);
    }
  }
}

}  // namespace talvor

#include "archive/crc.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace talvor {

namespace {

// kCrcTables[k][b]: the CRC change caused by byte b followed by k zero bytes,
// so eight bytes can be folded in at once.
constexpr std::array<std::array<std::uint16_t, 256>, 8> MakeCrcTables() {
  std::array<std::array<std::uint16_t, 256>, 8> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) != 0 ? 0xA001u : 0u);
    t[0][i] = static_cast<std::uint16_t>(crc);
  }
  for (std::size_t k = 1; k < t.size(); ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      const unsigned prev = t[k - 1][i];
      t[k][i] = static_cast<std::uint16_t>((prev >> 8) ^ t[0][prev & 0xffu]);
    }
  }
  return t;
}

constexpr auto kCrcTables = MakeCrcTables();
static_assert(kCrcTables[0][1] == 0xC0C1);

}  // namespace

std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t n) noexcept {
  unsigned c = crc;
  const auto& t = kCrcTables;
  for (; n >= 8; n -= 8, data += 8) {
    const unsigned x = c ^ (data[0] | (static_cast<unsigned>(data[1]) << 8));
    c = t[7][x & 0xffu] ^ t[6][x >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
        t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
  }
  for (; n > 0; --n, ++data) c = (c >> 8) ^ t[0][(c ^ *data) & 0xffu];
  return static_cast<std::uint16_t>(c);
}

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const auto part = static_cast<uInt>(std::min<std::size_t>(n, 1U << 30));
    crc = static_cast<std::uint32_t>(crc32(crc, data, part));
    data += part;
    n -= part;
  }
  return crc;
}

std::uint32_t Crc16Update(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
  return Crc16(static_cast<std::uint16_t>(crc), data, n);
}

std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
  return Crc32(crc, data, n);
}

}  // namespace talvor

#include "archive/archive_io.h"

#include <algorithm>
#include <stdexcept>

#include "archive/deflate.h"
#include "archive/lha_codec.h"

namespace talvor {

std::uint32_t Crc16Update(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
  return Crc16(static_cast<std::uint16_t>(crc), data, n);
}

std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
  return Crc32(crc, data, n);
}

void CopyExactly(ByteSource& in, ByteSink& out, std::uint64_t size) {
  std::vector<std::uint8_t> buffer(256 * 1024);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t n = in.Read(
        buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
    if (n == 0) throw std::runtime_error("the stored data ends early");
    out.Write(buffer.data(), n);
    left -= n;
  }
}

}  // namespace talvor

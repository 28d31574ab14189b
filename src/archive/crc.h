// The check values of the archive formats: CRC-16 (LHA, BH's LHA coder) and
// CRC-32 (ZIP, BH).
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvor {

// CRC-16 with the reflected polynomial 0xA001, initial value 0, no final
// inversion.
[[nodiscard]] std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data,
                                  std::size_t n) noexcept;

// CRC-32 with the reflected polynomial 0xEDB88320, initial value and final
// inversion all ones (0 for no data).
[[nodiscard]] std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t n);

// Both in one form, for the sinks that take either (archive_io.h).
[[nodiscard]] std::uint32_t Crc16Update(std::uint32_t crc, const std::uint8_t* data, std::size_t n);
[[nodiscard]] std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t n);

}  // namespace talvor

// MS-DOS date and time stamps (local time): the time in the low 16 bits
// (seconds / 2, minutes, hours), the date in the high 16 bits (day, month,
// year - 1980).
#pragma once

#include <cstdint>
#include <ctime>

namespace talvor {

// Times before 1980 become 1980-01-01 00:00:00, times after 2107 the last
// representable moment.
[[nodiscard]] std::uint32_t DosTimeFromUnix(std::time_t when) noexcept;
// An invalid stamp (month 0, day 0, ...) is read as the nearest valid one.
[[nodiscard]] std::time_t UnixFromDosTime(std::uint32_t stamp) noexcept;

}  // namespace talvor

#include "archive/dos_time.h"

#include <algorithm>

namespace talvor {

std::uint32_t DosTimeFromUnix(std::time_t when) noexcept {
  std::tm t{};
  if (::localtime_r(&when, &t) == nullptr || t.tm_year < 80) {
    return (1U << 21) | (1U << 16);  // 1980-01-01 00:00:00
  }
  if (t.tm_year > 207) return 0xFF9FBF7DU;  // 2107-12-31 23:59:58
  const auto date =
      static_cast<std::uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  const auto time = static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) |
                                               (std::min(t.tm_sec, 59) / 2));
  return (date << 16) | time;
}

std::time_t UnixFromDosTime(std::uint32_t stamp) noexcept {
  const std::uint32_t date = stamp >> 16;
  const std::uint32_t time = stamp & 0xFFFF;
  std::tm t{};
  t.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
  t.tm_mon = std::clamp(static_cast<int>((date >> 5) & 0x0F), 1, 12) - 1;
  t.tm_mday = std::clamp(static_cast<int>(date & 0x1F), 1, 31);
  t.tm_hour = std::min(static_cast<int>((time >> 11) & 0x1F), 23);
  t.tm_min = std::min(static_cast<int>((time >> 5) & 0x3F), 59);
  t.tm_sec = std::min(static_cast<int>(time & 0x1F) * 2, 59);
  t.tm_isdst = -1;
  return std::mktime(&t);
}

}  // namespace talvor

// Where a ZIP archive's end of central directory record lies (APPNOTE
// 4.3.16): in its last 64 KiB + 22 bytes, the comment that may follow it
// being at most 65535 bytes long. The archive reader and the content
// detection both look for it this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/byte_order.h"

namespace talvor::zip {

inline constexpr std::uint32_t kEndSignature = 0x06054B50;  // "PK\5\6"
inline constexpr std::size_t kEndSize = 22;
// How many bytes at the end of an archive can hold its end record.
inline constexpr std::int64_t kEndSearchSpan = 0xFFFF + kEndSize;

// The offset in `tail` (an archive's last bytes, at most kEndSearchSpan) of
// the last end record whose comment fits in what follows it.
[[nodiscard]] inline std::optional<std::size_t> FindEndRecord(std::span<const std::uint8_t> tail) {
  if (tail.size() < kEndSize) return std::nullopt;
  for (std::size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    if (LoadLittleEndian32(tail.data() + i) == kEndSignature &&
        i + kEndSize + LoadLittleEndian16(tail.data() + i + 20) <= tail.size()) {
      return i;
    }
  }
  return std::nullopt;
}

}  // namespace talvor::zip

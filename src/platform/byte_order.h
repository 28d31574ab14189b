// Integers in byte strings, for the whole program: little-endian loads,
// stores and appends of 16, 32 and 64 bits (the order of the archive headers
// and of the ciphers' words), and the big-endian 64-bit load with which the
// LHA bit reader takes eight bytes at once. Each is one memory access, and a
// byte swap where the machine's own order differs.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace talvor {

namespace byte_order_internal {

// `value` in byte order `order`: its bytes reversed when the machine's own
// order is the other one.
template <std::endian kOrder, typename T>
[[nodiscard]] inline T InOrder(T value) noexcept {
  if constexpr (std::endian::native == kOrder) {
    return value;
  } else if constexpr (sizeof(T) == 2) {
    return __builtin_bswap16(value);
  } else if constexpr (sizeof(T) == 4) {
    return __builtin_bswap32(value);
  } else {
    return __builtin_bswap64(value);
  }
}

template <std::endian kOrder, typename T>
[[nodiscard]] inline T Load(const std::uint8_t* bytes) noexcept {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return InOrder<kOrder>(value);
}

template <typename T>
inline void StoreLittle(T value, std::uint8_t* bytes) noexcept {
  value = InOrder<std::endian::little>(value);
  std::memcpy(bytes, &value, sizeof value);
}

template <typename T>
inline void AppendLittle(std::vector<std::uint8_t>& out, T value) {
  const std::size_t at = out.size();
  out.resize(at + sizeof value);
  StoreLittle(value, out.data() + at);
}

}  // namespace byte_order_internal

[[nodiscard]] inline std::uint16_t LoadLittleEndian16(const std::uint8_t* bytes) noexcept {
  return byte_order_internal::Load<std::endian::little, std::uint16_t>(bytes);
}
[[nodiscard]] inline std::uint32_t LoadLittleEndian32(const std::uint8_t* bytes) noexcept {
  return byte_order_internal::Load<std::endian::little, std::uint32_t>(bytes);
}
[[nodiscard]] inline std::uint64_t LoadLittleEndian64(const std::uint8_t* bytes) noexcept {
  return byte_order_internal::Load<std::endian::little, std::uint64_t>(bytes);
}

inline void StoreLittleEndian16(std::uint16_t value, std::uint8_t* bytes) noexcept {
  byte_order_internal::StoreLittle(value, bytes);
}
inline void StoreLittleEndian32(std::uint32_t value, std::uint8_t* bytes) noexcept {
  byte_order_internal::StoreLittle(value, bytes);
}
inline void StoreLittleEndian64(std::uint64_t value, std::uint8_t* bytes) noexcept {
  byte_order_internal::StoreLittle(value, bytes);
}

inline void AppendLittleEndian16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  byte_order_internal::AppendLittle(out, value);
}
inline void AppendLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  byte_order_internal::AppendLittle(out, value);
}
inline void AppendLittleEndian64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  byte_order_internal::AppendLittle(out, value);
}

[[nodiscard]] inline std::uint32_t LoadBigEndian32(const std::uint8_t* bytes) noexcept {
  return byte_order_internal::Load<std::endian::big, std::uint32_t>(bytes);
}
[[nodiscard]] inline std::uint64_t LoadBigEndian64(const std::uint8_t* bytes) noexcept {
  return byte_order_internal::Load<std::endian::big, std::uint64_t>(bytes);
}

}  // namespace talvor

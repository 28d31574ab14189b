// Rijndael on 128-bit blocks (AES, FIPS-197), table-driven, with a hardware
// path (AES-NI) chosen at run time that gives identical results.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/secret.h"

namespace talvor {

struct RijndaelContext {
  // The round keys are overwritten when the context goes.
  ~RijndaelContext() { SecureWipe(this, sizeof *this); }
  bool Encrypt;
  std::int32_t Rounds;          // 10, 12 or 14 (11 and 13 for 20- and 28-byte keys)
  std::uint32_t RoundKeys[60];  // word i holds expanded-key bytes 4i..4i+3 in order
  // Private to the implementation: the hardware path's round keys.
  alignas(16) std::uint8_t HardwareKeys[15 * 16];
  bool UseHardware;
};

// Key sizes are clamped: Nk = key_size div 4, at least 4 and at most 8; a
// key shorter than 16 bytes is followed by zero bytes.
void RijndaelInit(const std::uint8_t* key, std::int32_t key_size, RijndaelContext& context,
                  bool encrypt) noexcept;
// Transforms one 16-byte block in place in the direction chosen at init.
void RijndaelBlock(const RijndaelContext& context, std::uint8_t block[16]) noexcept;
// Transforms `count` consecutive blocks in place, each on its own (ECB).
void RijndaelBlocks(const RijndaelContext& context, std::uint8_t* blocks,
                    std::size_t count) noexcept;

// Which implementation RijndaelInit picks: the fastest one available
// (kAuto), or the one named (for tests and benchmarks). kHardware falls
// back to the tables where the processor lacks AES instructions.
enum class RijndaelPath { kAuto, kTable, kHardware };
void SetRijndaelPath(RijndaelPath path) noexcept;
[[nodiscard]] bool HardwareAesAvailable() noexcept;

}  // namespace talvor

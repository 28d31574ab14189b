// TRAP: the program's own byte cipher and its .trp files.
//
// A .trp file holds the source's extension length as one ASCII digit, the
// extension's characters as they are, then every byte of the source combined
// by exclusive or with one mask byte made from the pass phrase.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/progress.h"

namespace talvor {

inline constexpr char kTrapExtension[] = ".trp";
// The longest extension the one-digit count can describe, dot included.
inline constexpr std::size_t kTrapMaxExtension = 9;

// The mask byte for a pass phrase given as code-page bytes.
[[nodiscard]] std::uint8_t TrapMask(std::string_view passphrase);

// Encrypts `source` into a .trp file beside it; returns the result's path.
std::string EncryptTrp(FileSystem& fs, const std::string& source, std::string_view passphrase,
                       Job& job);
// Decrypts a .trp file into a file with the recorded extension; returns the
// result's path.
std::string DecryptTrp(FileSystem& fs, const std::string& source, std::string_view passphrase,
                       Job& job);
// Reads the whole .trp file and checks its header. Any pass phrase opens a
// .trp file: none is asked for.
void VerifyTrp(FileSystem& fs, const std::string& source, Job& job);

}  // namespace talvor

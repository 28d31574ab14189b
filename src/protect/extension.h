// The source file's extension as protected files record it: single-byte
// characters of the Central European ANSI code page, after a one-digit count;
// and the name of the result a routine writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/file_system.h"

namespace talvor {

// The masked header of the library ciphers and random protection holds the
// extension in 8 characters, dot included, each XOR 7.
inline constexpr std::size_t kMaxHeaderExtension = 8;
inline constexpr std::uint8_t kHeaderMask = 7;

// The extension of `path` as the bytes to record. Refused (a kRefused Failure, with
// a clear message) when it is longer than `max_length` characters, dot
// included, or holds a character the code page cannot hold.
[[nodiscard]] std::string RecordedExtension(const std::string& path, std::size_t max_length);

// The extension text for a file name, from recorded bytes. Raises a Failure
// when the bytes cannot be part of a file name here (a folder separator, a
// missing leading dot), so that a damaged or hostile file cannot send its
// result to another folder.
[[nodiscard]] std::string ExtensionFromRecord(std::string_view recorded);

// The count digit of a header from its byte (-1 at the end of the file):
// "Read beyond end of file" at the end, "'%s' is not a valid integer value"
// for anything but a digit.
[[nodiscard]] std::size_t CountFromDigit(int byte);
// Reads the one-digit count that starts a header (CountFromDigit).
[[nodiscard]] std::size_t ReadCountDigit(File& file);

// The count digit for a length of 0 to 9.
[[nodiscard]] char CountDigit(std::size_t length);

// The masked extension header: one ASCII digit n, then the n characters of
// the recorded extension, each XOR 7.
[[nodiscard]] std::string ExtensionHeader(const std::string& recorded_extension);
void WriteExtensionHeader(File& out, const std::string& recorded_extension);
// Reads a masked extension header; returns the extension for a file name.
[[nodiscard]] std::string ReadExtensionHeader(File& in);
// The extension for a file name from the n masked characters of a header.
[[nodiscard]] std::string ExtensionFromMasked(std::string masked);

// Refuses (a kRefused Failure, naming the file), before anything is written, a
// result that would be the source itself: the same name, or another name of
// the same file.
void RequireResultIsNotSource(FileSystem& fs, const std::string& source, const std::string& result);

}  // namespace talvor

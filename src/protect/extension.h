// The source file's extension as protected files record it: single-byte
// characters of the Central European ANSI code page, after a one-digit count.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace talvor {

// The extension of `path` as the bytes to record. Refused (RefusedInput, with
// a clear message) when it is longer than `max_length` characters, dot
// included, or holds a character the code page cannot hold.
[[nodiscard]] std::string RecordedExtension(const std::string& path, std::size_t max_length);

// The extension text for a file name, from recorded bytes. Raises a Failure
// when the bytes cannot be part of a file name here (a folder separator, a
// missing leading dot), so that a damaged or hostile file cannot send its
// result to another folder.
[[nodiscard]] std::string ExtensionFromRecord(std::string_view recorded);

// Reads the one-digit count that starts a header: "Read beyond end of file"
// at the end, "'%s' is not a valid integer value" for anything but a digit.
[[nodiscard]] std::size_t ReadCountDigit(File& file);

// The count digit for a length of 0 to 9.
[[nodiscard]] char CountDigit(std::size_t length);

}  // namespace talvor

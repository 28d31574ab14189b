// Names of files: extensions, folders, joining. "/" separates folders.
#pragma once

#include <string>
#include <string_view>

namespace talvor {

inline constexpr char kPathSeparator = '/';

// The file-name part: everything after the last separator.
[[nodiscard]] std::string ExtractFileName(std::string_view path);
// The folder part without a trailing separator ("/" for the root, "" when the
// path has no folder).
[[nodiscard]] std::string ExtractFileDir(std::string_view path);
// The extension: from the last "." of the file-name part to the end, the dot
// included; empty when the file-name part has no ".".
[[nodiscard]] std::string ExtractFileExt(std::string_view path);
// Replaces the extension, or appends `ext` when there is none.
[[nodiscard]] std::string ChangeFileExt(std::string_view path, std::string_view ext);
[[nodiscard]] std::string IncludeTrailingSeparator(std::string_view folder);
// The folder, a separator unless the folder already ends with one, the name.
[[nodiscard]] std::string JoinPath(std::string_view folder, std::string_view name);
// Whether the path starts at the root: only such paths name files here (a
// relative one would depend on the process's working folder).
[[nodiscard]] bool IsAbsolutePath(std::string_view path) noexcept;
// Makes a path absolute against `current_folder` and removes "." and "" steps
// (".." is kept: a folder may be a link).
[[nodiscard]] std::string AbsolutePath(std::string_view path, std::string_view current_folder);

}  // namespace talvor

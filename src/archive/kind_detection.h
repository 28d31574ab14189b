// The kinds of archive the engine knows, and how to tell which one a file
// holds: by the extension of its name or by its content. The component
// readers judge by the same rules (ArchiveReader::DetectType).
#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/file.h"
#include "platform/file_system.h"

namespace talvor {

enum class ArchiveKind { kCab, kLha, kZip, kBh };

struct ArchiveKindInfo {
  ArchiveKind kind;
  const char* name;       // "lha"
  const char* extension;  // ".lha"
};

// Every kind: CAB, LHA, ZIP, BH.
[[nodiscard]] std::span<const ArchiveKindInfo> ArchiveKinds();
// The entry of a kind.
[[nodiscard]] ArchiveKindInfo ArchiveKindInfoOf(ArchiveKind kind);
// "cab", "lha", "zip", "bh".
[[nodiscard]] std::optional<ArchiveKindInfo> ArchiveKindByName(const std::string& name);
// By a file's extension, letter case ignored (".LZH" is LHA too).
[[nodiscard]] std::optional<ArchiveKindInfo> ArchiveKindOfFile(const std::string& path);

// The kind of archive the file at `path` holds, judged by its content; its
// extension only decides where the content fits more than one kind equally
// (an empty LHA archive is a single zero byte, say). nullopt when the file is
// no archive the engine reads.
[[nodiscard]] std::optional<ArchiveKindInfo> ArchiveKindOfContent(FileSystem& fs,
                                                                  const std::string& path);
// The same for a file that is open already; `path` is its name. Reads from
// the file's start and leaves its position anywhere.
[[nodiscard]] std::optional<ArchiveKindInfo> ArchiveKindOfContent(File& file,
                                                                  const std::string& path);

}  // namespace talvor

// The archive kinds the engine knows, and how a new archive is made beside
// a file.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/cab/cabinet.h"

namespace talvor {

enum class ArchiveKind { kCab, kLha, kZip, kBh };

struct ArchiveKindInfo {
  ArchiveKind kind;
  const char* name;       // "lha"
  const char* extension;  // ".lha"
};

// "cab", "lha", "zip", "bh".
[[nodiscard]] std::optional<ArchiveKindInfo> ArchiveKindByName(const std::string& name);
// By a file's extension, letter case ignored (".LZH" is LHA too).
[[nodiscard]] std::optional<ArchiveKindInfo> ArchiveKindOfFile(const std::string& path);
// The cabinet library of this process.
[[nodiscard]] CabinetLibrary& DefaultCabinetLibrary();

// Whether this build can write / read the kind.
[[nodiscard]] bool CanWrite(ArchiveKind kind);
[[nodiscard]] bool CanRead(ArchiveKind kind);

// A writer / reader of the kind, configured as the main window configures
// its own (writers: RecurseDirs false, so that only the named file is
// packed).
[[nodiscard]] std::unique_ptr<TCustomCClass> MakeWriter(ArchiveKind kind, FileSystem& fs);
[[nodiscard]] std::unique_ptr<TCustomDClass> MakeReader(ArchiveKind kind, FileSystem& fs);

// Packs `source` alone into the new archive `target`. An archive already at
// `target` is neither read nor changed until the new one is complete, which
// then takes its place; if the new one cannot be made it stays as it was.
// Returns the number of files packed.
int PackNewArchive(TCustomCClass& writer, const std::string& source, const std::string& target);

}  // namespace talvor

// The archive kinds as the front ends use them: which kind a file holds
// (archive/kind_detection.h: ArchiveKindByName, ArchiveKindOfFile,
// ArchiveKindOfContent), which kinds this build can write and read, their
// writers and readers, and how a new archive is made beside a file.
#pragma once

#include <memory>
#include <string>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/cab/cabinet.h"
#include "archive/kind_detection.h"

namespace talvor {

// The cabinet library of this process.
[[nodiscard]] CabinetLibrary& DefaultCabinetLibrary();

// Whether this build can write / read the kind.
[[nodiscard]] bool CanWrite(ArchiveKind kind);
[[nodiscard]] bool CanRead(ArchiveKind kind);

// A writer / reader of the kind, configured as the main window configures
// its own (writers: RecurseDirs false, so that only the named file is
// packed).
[[nodiscard]] std::unique_ptr<ArchiveWriter> MakeWriter(ArchiveKind kind, FileSystem& fs);
[[nodiscard]] std::unique_ptr<ArchiveReader> MakeReader(ArchiveKind kind, FileSystem& fs);

// Packs `source` alone into the new archive `target`. An archive already at
// `target` is neither read nor changed until the new one is complete, which
// then takes its place; if the new one cannot be made it stays as it was.
// Returns the number of files packed.
int PackNewArchive(ArchiveWriter& writer, const std::string& source, const std::string& target);

}  // namespace talvor

// Split ZIP sets: NAME.z01, NAME.z02, ... beside NAME.zip, which holds the
// last part and the central directory. The parts are read joined in order.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "archive/zip/zip_archive.h"
#include "archive/zip/zip_end_record.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

File ZipReader::OpenArchive() {
  File archive = ArchiveReader::OpenArchive();
  disk_starts_.clear();
  const std::int64_t size = archive.Size();
  const std::int64_t tail_at = std::max<std::int64_t>(0, size - zip::kEndSearchSpan);
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(size - tail_at));
  archive.Seek(tail_at);
  tail.resize(archive.Read(tail.data(), tail.size()));
  const std::optional<std::size_t> end = zip::FindEndRecord(tail);
  // The number of the part holding the end record: 0 for a whole archive.
  const std::uint16_t last = end ? LoadLittleEndian16(tail.data() + *end + 4) : 0;
  if (last == 0 || last == 0xFFFF) return archive;
  // The parts before it: NAME.z01, NAME.z02, ... (.Z01 beside a .ZIP).
  const std::string ext = ExtractFileExt(ArchiveFile());
  const bool upper = !ext.empty() && ext[1] == 'Z';
  std::vector<std::string> parts;
  for (std::uint16_t n = 1; n <= last; ++n) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, upper ? ".Z%02u" : ".z%02u", static_cast<unsigned>(n));
    parts.push_back(ChangeFileExt(ArchiveFile(), suffix));
    if (!fs_.Stat(parts.back()).is_regular) {
      throw EngineFailure(archive_error::kFileNotFound, "the part " + parts.back() +
                                                            " of this split archive is missing: " +
                                                            "all its parts must lie beside it");
    }
  }
  // Joined in a file without a name, which vanishes with it: beside the
  // archive, or in the temporary folder where that folder takes none.
  File joined = fs_.CreateUnnamedBeside(ArchiveFile());
  if (!joined.IsOpen()) {
    const char* temp = std::getenv("TMPDIR");
    joined = fs_.CreateUnnamedBeside(
        JoinPath(temp != nullptr && *temp != '\0' ? temp : "/tmp", ExtractFileName(ArchiveFile())));
  }
  if (!joined.IsOpen()) {
    throw EngineFailure(archive_error::kErrorWriting,
                        "the parts of this split archive cannot be joined in its folder");
  }
  std::vector<std::uint8_t> buffer(256 * 1024);
  const auto append = [&](File& part) {
    disk_starts_.push_back(joined.Position());
    part.Seek(0);
    for (std::size_t n; (n = part.Read(buffer.data(), buffer.size())) > 0;) {
      joined.Write(buffer.data(), n);
    }
  };
  for (const std::string& path : parts) {
    File part = fs_.OpenForReading(path);
    append(part);
  }
  append(archive);
  joined.Seek(0);
  return joined;
}

}  // namespace talvor

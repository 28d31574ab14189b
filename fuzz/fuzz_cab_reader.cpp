// Fuzzes the cabinet reader glue: libmspack through our session layer and
// the cabinet component's walk and copy.
#include <string>

#include "archive/archive_kinds.h"
#include "archive/cab/cab_archive.h"
#include "reader_fuzz.h"

namespace {

class ExposedUnCab : public talvor::CabReader {
 public:
  using CabReader::CabReader;
  using CabReader::DecodeEntry;
  using CabReader::WalkEntries;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::File archive = talvor::fuzz::MemoryFile(data, size);
  if (!archive.IsOpen()) return 0;
  // The library opens cabinets by name: the memory file's name under /proc.
  const std::string path = "/proc/self/fd/" + std::to_string(archive.Descriptor());
  talvor::PosixFileSystem fs;
  ExposedUnCab reader(fs, talvor::DefaultCabinetLibrary());
  reader.SetArchiveFile(path);
  int entries = 0;
  try {
    reader.WalkEntries(archive, [&](const talvor::ArchiveEntry& entry) {
      if (++entries > talvor::fuzz::kMaxEntries) {
        throw talvor::EngineFailure(talvor::archive_error::kBadFileHeader);
      }
      if (entry.original_size > talvor::fuzz::kMaxDecoded) return;
      talvor::File out = talvor::fuzz::MemoryFile(nullptr, 0);
      try {
        (void)reader.DecodeEntry(archive, entry, out);
      } catch (const std::exception&) {
      }
      if (static_cast<std::uint64_t>(out.Size()) > entry.original_size) __builtin_trap();
    });
  } catch (const std::exception&) {
  }
  return 0;
}

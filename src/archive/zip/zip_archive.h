// ZIP archives (PKWARE APPNOTE): the writer TZip and the reader TUnZip.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"

namespace talvor {

// One central directory record.
struct ZipCentralRecord {
  std::uint16_t version_made = 20;
  std::uint16_t version_needed = 20;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dos_time = 0;
  std::uint32_t crc = 0;
  std::uint64_t packed = 0;
  std::uint64_t original = 0;
  std::uint16_t internal_attributes = 0;
  std::uint32_t external_attributes = 0;
  std::uint64_t local_offset = 0;
  std::string name;  // as stored
  // The name in UTF-8 from an Info-ZIP Unicode Path extra field (0x7075)
  // whose CRC matches the stored name; empty when there is none.
  std::string unicode_name;
};

// Visits every central directory record of a ZIP archive; a damaged end
// record or directory raises ArchiveFailure.
void WalkZipDirectory(File& archive, const std::function<void(const ZipCentralRecord&)>& visit);

class TZipBase : public TCompBase {
 public:
  using TCompBase::TCompBase;
};

class TZip : public TZipBase {
 public:
  explicit TZip(FileSystem& fs);

  // Sizes and offsets from this value up are written with ZIP64 records
  // (0xFFFFFFFF; lower only to exercise them).
  std::uint64_t Zip64Threshold = 0xFFFFFFFFULL;

 protected:
  bool AcceptsMethod(TCompressMethod method) const override;
  std::vector<CompEntry> ReadExistingEntries(File& archive) override;
  bool WriteNewEntry(CompEntry& entry, File& out) override;
  void WriteClosing(File& out, const std::vector<CompEntry>& entries) override;
};

class TUnZip : public TUnBase {
 public:
  using TUnBase::TUnBase;

 protected:
  void WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) override;
  std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) override;
};

}  // namespace talvor

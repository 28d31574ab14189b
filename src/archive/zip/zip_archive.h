// ZIP archives (PKWARE APPNOTE): the writer ZipWriter and the reader ZipReader.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
  bool sizes_from_zip64 = false;  // the original size came from a ZIP64 field
};

// Visits every central directory record of a ZIP archive; a damaged end
// record or directory raises a kArchive Failure. Bytes in front of the archive
// are allowed for: the offsets visited are where the records really are.
// `directory_start` receives where the central directory begins. For the
// parts of a split archive joined in one file, `disk_starts` tells where
// each part begins: offsets count from their part's start.
void WalkZipDirectory(File& archive, const std::function<void(const ZipCentralRecord&)>& visit,
                      std::int64_t* directory_start = nullptr,
                      const std::vector<std::int64_t>& disk_starts = {});

class ZipWriter : public ArchiveWriter {
 public:
  explicit ZipWriter(FileSystem& fs);

  // Sizes and offsets from this value up are written with ZIP64 records
  // (0xFFFFFFFF; lower only to exercise them).
  std::uint64_t Zip64Threshold = 0xFFFFFFFFULL;

 protected:
  bool AcceptsMethod(PackingMethod method) const override;
  std::vector<WriterEntry> ReadExistingEntries(File& archive) override;
  [[nodiscard]] std::string RecordedName(const WriterEntry& entry) const override;
  bool WriteNewEntry(WriterEntry& entry, File& out) override;
  void WriteClosing(File& out, const std::vector<WriterEntry>& entries) override;
};

class ZipReader : public ArchiveReader {
 public:
  using ArchiveReader::ArchiveReader;

 protected:
  void WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) override;
  std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) override;
  // A split archive (.z01, .z02, ... beside the .zip) is read from a copy of
  // its parts joined in order; a missing part is named.
  File OpenArchive() override;

 private:
  std::int64_t directory_start_ = 0;       // where the entries' data ends
  std::vector<std::int64_t> disk_starts_;  // of a split archive's parts
};

}  // namespace talvor

// BH archives: a plain sequence of entries, each a 37-byte header, the
// stored name and the data; no directory, no end record.
//
//   0 signature "BH" 05 07 | 4 header size | 6 fixed size 37 | 7 version 6 |
//   8 version 8 | 9 flags | 10 method | 11 MS-DOS time | 15 packed size |
//   19 size | 23 CRC-32 | 27 attributes | 29 reserved | 33 name length |
//   35 extra length | 37 name (OEM code page, "/" between folders) | data
#pragma once

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"

namespace talvor {

class BhWriter : public ArchiveWriter {
 public:
  explicit BhWriter(FileSystem& fs);

 protected:
  bool AcceptsMethod(PackingMethod method) const override;
  std::vector<WriterEntry> ReadExistingEntries(File& archive) override;
  [[nodiscard]] std::string RecordedName(const WriterEntry& entry) const override;
  bool WriteNewEntry(WriterEntry& entry, File& out) override;
};

class BhReader : public ArchiveReader {
 public:
  using ArchiveReader::ArchiveReader;

 protected:
  void WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) override;
  std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) override;
};

}  // namespace talvor

// LHA/LZH archives: the writer LhaWriter and the reader LhaReader.
//
// New entries get level-0 headers (level 2 when the name is too long for
// one): header size, checksum, method id, packed and original size, MS-DOS
// time, attributes, level, name (OEM code page, "\" between folders) and
// the CRC-16 of the data; a zero byte ends the archive. Both header levels
// hold sizes of 32 bits: a file of 4 GiB or more is refused. The reader
// walks header levels 0 to 3, with or without the end mark.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"

namespace talvor {

// One header as found in an archive.
struct LhaHeader {
  int level = 0;
  std::string method;             // "-lh5-"
  std::uint64_t packed_size = 0;  // bytes of data after the header(s)
  std::uint64_t original_size = 0;
  std::uint32_t dos_time = 0;
  std::uint8_t attributes = 0;
  std::uint16_t crc = 0;
  std::uint8_t os = 0;
  std::string raw_name;  // stored bytes, folders separated by "/"
  std::int64_t header_offset = 0;
  std::int64_t header_size = 0;  // bytes from header_offset to the data
  std::int64_t data_offset = 0;
  std::int64_t next_offset = 0;
};

// Reads the header at `offset`. Returns false at the end of the archive (the
// end of the file, or a header-size byte of 0). A damaged header raises
// a kArchive Failure with "Bad file header".
[[nodiscard]] bool ReadLhaHeader(File& archive, std::int64_t offset, LhaHeader& header);

class LhaWriter : public ArchiveWriter {
 public:
  explicit LhaWriter(FileSystem& fs);

  // Ends the archive with a header size of 0 after its last entry, the end
  // mark every LHA reader knows (some refuse an archive without it). Off only
  // where an archive's bytes are fixed without it.
  bool WriteEndMarker = true;

 protected:
  bool AcceptsMethod(PackingMethod method) const override;
  std::vector<WriterEntry> ReadExistingEntries(File& archive) override;
  void CopyExistingEntry(File& archive, WriterEntry& entry, File& out) override;
  [[nodiscard]] std::string RecordedName(const WriterEntry& entry) const override;
  bool WriteNewEntry(WriterEntry& entry, File& out) override;
  void WriteClosing(File& out, const std::vector<WriterEntry>& entries) override;
};

class LhaReader : public ArchiveReader {
 public:
  using ArchiveReader::ArchiveReader;

 protected:
  void WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) override;
  std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) override;
};

}  // namespace talvor

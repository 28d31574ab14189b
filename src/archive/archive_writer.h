// The compressor side of the archive components (archive_component.h): the
// writer base that owns Compress and the per-entry steps each format fills
// in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_component.h"
#include "archive/file_scan.h"
#include "platform/file.h"

namespace talvor {

// What a writer knows of one entry of the archive it builds.
struct WriterEntry {
  std::string name;       // stored name as on this system ("old/a.txt"), for look-ups
  bool existing = false;  // copied from the archive being updated
  // Existing entries: where the whole entry lies in the old archive.
  std::int64_t offset = 0;
  std::int64_t length = 0;
  std::uint32_t dos_time = 0;
  std::uint64_t original_size = 0;
  // New entries: the file to pack.
  ScannedFile source;
  // Where the entry starts in the new archive, and what the format keeps of
  // it for a closing directory.
  std::int64_t new_offset = 0;
  std::string format_data;
};

// The compressor base: owns Compress and the per-entry steps.
class ArchiveWriter : public ArchiveComponent {
 public:
  using ArchiveComponent::ArchiveComponent;

  // Appends DefaultExt when the name has none.
  void SetArchiveFile(const std::string& path);
  [[nodiscard]] const std::string& DefaultExt() const noexcept { return default_ext_; }
  // A method the writer does not support is ignored.
  void SetCompressMethod(PackingMethod method);

  bool RecurseDirs = true;
  DeflateEffort DeflateType = DeflateEffort::kNormal;
  // When set, an archive already at ArchiveFile is not read or updated: the
  // new archive replaces it as a whole, and only once it is complete.
  bool ReplaceWholeArchive = false;
  // When set, every FileSpec item names one file as it is: "*" and "?" are
  // part of the name and letter case counts.
  bool FileSpecLiteral = false;

  // Packs the files of FileSpec into ArchiveFile; returns how many it
  // packed (0 on failure, reported through the error event). A name the
  // format cannot record is refused before anything is written: it raises
  // a kRefused Failure. A writer may
  // replace the whole step (the cabinet writer does).
  virtual int Compress();

  // The 24 extensions stored without compression.
  [[nodiscard]] static std::vector<std::string> BuiltInStoreList();

 protected:
  // A failure that Compress raises again rather than reporting: the user
  // stopped the work, or the caller says it in words (refused input, a
  // source that changed); the archive was not made.
  [[nodiscard]] static bool LeftToCaller(const std::exception& e) noexcept;
  ArchiveWriter(FileSystem& fs, std::string default_ext, PackingMethod initial);

  [[nodiscard]] virtual bool AcceptsMethod(PackingMethod method) const = 0;
  // Reads the entries of the existing archive (throws on a damaged one).
  virtual std::vector<WriterEntry> ReadExistingEntries(File& archive) = 0;
  // Copies an existing entry unchanged into the new archive.
  virtual void CopyExistingEntry(File& archive, WriterEntry& entry, File& out);
  // The name a new entry is recorded under, exactly as it is; raises
  // a kRefused Failure when the format cannot record it. Compress asks for every
  // new entry before it writes anything.
  [[nodiscard]] virtual std::string RecordedName(const WriterEntry& entry) const = 0;
  // Writes one new entry; false when the file was skipped (reported).
  [[nodiscard]] virtual bool WriteNewEntry(WriterEntry& entry, File& out) = 0;
  // Writes what closes the archive (a central directory); nothing by default.
  virtual void WriteClosing(File& out, const std::vector<WriterEntry>& entries);

  // Raises a kArchive Failure (invalid directory) unless ArchiveFile is a whole
  // path in a folder that exists.
  void RequireArchiveFolder() const;
  // Opens a file to pack, with others allowed to read and write it; reports
  // "Error opening file" and returns a closed file when it cannot.
  [[nodiscard]] File OpenSource(const WriterEntry& entry);
  // The stored name of a scanned file: its path below the folder of the
  // FileSpec item `pattern`.
  [[nodiscard]] std::string StoredNameOf(const ScannedFile& file, const std::string& pattern) const;
  // Whether the extension is on the store list (letter case ignored).
  [[nodiscard]] bool InStoreList(const std::string& path) const;
  // The time stamp an entry gets: the file's own.
  [[nodiscard]] std::uint32_t EntryTime(const ScannedFile& file) const;

  std::string default_ext_;
  PackingMethod method_;
};

}  // namespace talvor

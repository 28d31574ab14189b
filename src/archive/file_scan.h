// Expanding a FileSpec pattern ("folder/mask") into the files to pack.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace talvor {

// File attribute flags, as the scanner and the archive headers know them.
enum class FileAttr : std::uint8_t {
  kNoAttributes,
  kReadOnly,
  kHidden,
  kSystem,
  kVolumeId,
  kDirectory,
  kArchive,
  kCompressed,
  kEncrypted,
};

class FileAttrSet {
 public:
  FileAttrSet() = default;
  FileAttrSet(std::initializer_list<FileAttr> attrs) {
    for (const FileAttr a : attrs) Add(a);
  }
  void Add(FileAttr a) { bits_ |= Bit(a); }
  [[nodiscard]] bool Has(FileAttr a) const { return (bits_ & Bit(a)) != 0; }
  [[nodiscard]] bool Empty() const { return bits_ == 0; }
  [[nodiscard]] bool Intersects(const FileAttrSet& other) const {
    return (bits_ & other.bits_) != 0;
  }

 private:
  static std::uint16_t Bit(FileAttr a) {
    return static_cast<std::uint16_t>(1U << static_cast<int>(a));
  }
  std::uint16_t bits_ = 0;
};

// The MS-DOS attribute byte of a file on this system: read-only (0x01) when
// nobody may write it, hidden (0x02) for a name starting with ".", and the
// archive bit (0x20) that a system with such bits gives every new file.
[[nodiscard]] std::uint8_t DosAttributes(const std::string& name, const FileInfo& info);
// The attribute flags a file has, from its MS-DOS attribute byte.
[[nodiscard]] FileAttrSet AttributesOf(std::uint8_t dos_attributes);

// Whether `name` matches `mask` ("*" any run, "?" one character, letter case
// ignored; "*.*" matches every name).
[[nodiscard]] bool MatchesMask(const std::string& name, const std::string& mask);

struct ScannedFile {
  std::string path;      // full path
  std::string relative;  // path below the pattern's folder ("old/a.txt")
  FileInfo info;
  std::uint8_t dos_attributes = 0;
};

// FileScan: lists the files matching one FileSpec item ("folder/
// mask" or a full file name), accepted by `accept` and not rejected by
// `reject`, not matching any of `exclude`; with `recurse` the same mask in
// every sub-folder too. Symbolic links to folders are not followed.
class FileScan {
 public:
  FileScan(FileSystem& fs, FileAttrSet accept, FileAttrSet reject, std::vector<std::string> exclude,
           bool recurse)
      : fs_(fs),
        accept_(accept),
        reject_(reject),
        exclude_(std::move(exclude)),
        recurse_(recurse) {}

  [[nodiscard]] std::vector<ScannedFile> Scan(const std::string& pattern) const;
  // The one file at `path`, its name taken as it is: no wildcards, letter
  // case kept. Nothing when it is no regular file the scan accepts.
  [[nodiscard]] std::vector<ScannedFile> ScanExactly(const std::string& path) const;
  // Scan or ScanExactly.
  [[nodiscard]] std::vector<ScannedFile> Scan(const std::string& pattern, bool literal) const {
    return literal ? ScanExactly(pattern) : Scan(pattern);
  }

  // Whether a file with these attributes is packed.
  [[nodiscard]] bool Accepts(std::uint8_t dos_attributes) const;

 private:
  void ScanFolder(const std::string& root, const std::string& below, const std::string& mask,
                  std::vector<ScannedFile>& out, int depth) const;

  FileSystem& fs_;
  FileAttrSet accept_;
  FileAttrSet reject_;
  std::vector<std::string> exclude_;
  bool recurse_;
};

}  // namespace talvor

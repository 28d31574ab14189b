// Expanding a FileSpec pattern ("folder/mask") into the files to pack.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace talvor {

// The MS-DOS attribute byte of a file on this system: read-only (0x01) when
// nobody may write it, hidden (0x02) for a name starting with ".", and the
// archive bit (0x20) that a system with such bits gives every new file.
[[nodiscard]] std::uint8_t DosAttributes(const std::string& name, const FileInfo& info);

// Whether `name` matches `mask` ("*" any run, "?" one character, letter case
// ignored; "*.*" matches every name).
[[nodiscard]] bool MatchesMask(const std::string& name, const std::string& mask);

struct ScannedFile {
  std::string path;      // full path
  std::string relative;  // path below the pattern's folder ("old/a.txt")
  FileInfo info;
  std::uint8_t dos_attributes = 0;
};

// FileScan: lists the regular files matching one FileSpec item ("folder/
// mask" or a full file name); with `recurse` the same mask in every
// sub-folder too. Symbolic links to folders are not followed.
class FileScan {
 public:
  FileScan(FileSystem& fs, bool recurse) : fs_(fs), recurse_(recurse) {}

  [[nodiscard]] std::vector<ScannedFile> Scan(const std::string& pattern) const;
  // The one file at `path`, its name taken as it is: no wildcards, letter
  // case kept. Nothing when it is no regular file.
  [[nodiscard]] std::vector<ScannedFile> ScanExactly(const std::string& path) const;
  // Scan or ScanExactly.
  [[nodiscard]] std::vector<ScannedFile> Scan(const std::string& pattern, bool literal) const {
    return literal ? ScanExactly(pattern) : Scan(pattern);
  }

 private:
  void ScanFolder(const std::string& root, const std::string& below, const std::string& mask,
                  std::vector<ScannedFile>& out, int depth) const;

  FileSystem& fs_;
  bool recurse_;
};

}  // namespace talvor

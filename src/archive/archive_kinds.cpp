#include "archive/archive_kinds.h"

#include "archive/bh/bh_archive.h"
#include "archive/cab/cab_archive.h"
#include "archive/lha/lha_archive.h"
#include "archive/zip/zip_archive.h"

namespace talvor {

CabinetLibrary& DefaultCabinetLibrary() {
  static const std::unique_ptr<CabinetLibrary> library = MakeCabinetLibrary();
  return *library;
}

bool CanWrite(ArchiveKind kind) {
  return kind != ArchiveKind::kCab || DefaultCabinetLibrary().Available();
}
bool CanRead(ArchiveKind kind) {
  return CanWrite(kind);
}

std::unique_ptr<ArchiveWriter> MakeWriter(ArchiveKind kind, FileSystem& fs) {
  std::unique_ptr<ArchiveWriter> writer;
  switch (kind) {
    case ArchiveKind::kLha:
      writer = std::make_unique<LhaWriter>(fs);
      break;
    case ArchiveKind::kZip:
      writer = std::make_unique<ZipWriter>(fs);
      break;
    case ArchiveKind::kBh:
      writer = std::make_unique<BhWriter>(fs);
      break;
    case ArchiveKind::kCab:
      writer = std::make_unique<CabWriter>(fs, DefaultCabinetLibrary());
      break;
  }
  // The named file alone, not the files of its name in sub-folders.
  writer->RecurseDirs = false;
  return writer;
}

std::unique_ptr<ArchiveReader> MakeReader(ArchiveKind kind, FileSystem& fs) {
  switch (kind) {
    case ArchiveKind::kLha:
      return std::make_unique<LhaReader>(fs);
    case ArchiveKind::kZip:
      return std::make_unique<ZipReader>(fs);
    case ArchiveKind::kBh:
      return std::make_unique<BhReader>(fs);
    case ArchiveKind::kCab:
      return std::make_unique<CabReader>(fs, DefaultCabinetLibrary());
  }
  return nullptr;
}

int PackNewArchive(ArchiveWriter& writer, const std::string& source, const std::string& target) {
  writer.SetArchiveFile(target);
  writer.FileSpec = {source};
  writer.ReplaceWholeArchive = true;
  // The file's name is its name, whatever characters it holds.
  writer.FileSpecLiteral = true;
  return writer.Compress();
}

}  // namespace talvor

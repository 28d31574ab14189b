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

std::unique_ptr<TCustomCClass> MakeWriter(ArchiveKind kind, FileSystem& fs) {
  std::unique_ptr<TCustomCClass> writer;
  switch (kind) {
    case ArchiveKind::kLha:
      writer = std::make_unique<TLha>(fs);
      break;
    case ArchiveKind::kZip:
      writer = std::make_unique<TZip>(fs);
      break;
    case ArchiveKind::kBh:
      writer = std::make_unique<TBlakHole>(fs);
      break;
    case ArchiveKind::kCab:
      writer = std::make_unique<TMakeCab>(fs, DefaultCabinetLibrary());
      break;
  }
  // As the main window sets its writers before every compress.
  writer->RecurseDirs = false;
  writer->DateAttribute = TDateAttribute::daFileDate;
  writer->StoredDirNames = TStoredDirNames::sdRelative;
  writer->Switch = TSwitch::swAdd;
  writer->SetCompressMethod(TCompressMethod::cmDeflate);
  return writer;
}

std::unique_ptr<TCustomDClass> MakeReader(ArchiveKind kind, FileSystem& fs) {
  switch (kind) {
    case ArchiveKind::kLha:
      return std::make_unique<TUnLha>(fs);
    case ArchiveKind::kZip:
      return std::make_unique<TUnZip>(fs);
    case ArchiveKind::kBh:
      return std::make_unique<TUnBh>(fs);
    case ArchiveKind::kCab:
      return std::make_unique<TUnCab>(fs, DefaultCabinetLibrary());
  }
  return nullptr;
}

int PackNewArchive(TCustomCClass& writer, const std::string& source, const std::string& target) {
  writer.SetArchiveFile(target);
  writer.FileSpec = {source};
  const bool whole = writer.ReplaceWholeArchive;
  const bool literal = writer.FileSpecLiteral;
  writer.ReplaceWholeArchive = true;
  // The file's name is its name, whatever characters it holds.
  writer.FileSpecLiteral = true;
  const int packed = writer.Compress();
  writer.ReplaceWholeArchive = whole;
  writer.FileSpecLiteral = literal;
  return packed;
}

}  // namespace talvor

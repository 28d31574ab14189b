#include "archive/archive_component.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

#include "archive/dos_time.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "platform/text.h"

namespace talvor {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

struct Canceled {};

// Encodes text into a code page; characters it cannot hold become "_", and
// so does every byte of a name that is not valid UTF-8 (a name on this
// system may be any bytes; stored raw it would come back as other
// characters, and a 0xFF or "\" among them as a folder).
std::string EncodeLossy(const CodePage& page, const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const auto decoded = DecodeUtf8(std::string_view(utf8).substr(i, len));
    if (!decoded || decoded->size() != 1) {
      out.push_back('_');
      ++i;
      continue;
    }
    const auto b = page.FromUnicode((*decoded)[0]);
    out.push_back(b ? static_cast<char>(*b) : '_');
    i += len;
  }
  return out;
}

}  // namespace

std::string ArchiveErrorLine(const ArchiveError& error) {
  std::string line = ArchiveErrorText(error.code);
  if (!error.file.empty()) line += ": " + error.file;
  if (!error.extra.empty()) line += " (" + error.extra + ")";
  return line;
}

std::string ArchiveErrorText(int code) {
  switch (code) {
    case archive_error::kBadFileHeader:
      return "Bad file header";
    case archive_error::kBadLocalHeaderOffset:
      return "Bad offset to local header";
    case archive_error::kErrorWriting:
      return "Error writing to file";
    case archive_error::kErrorClosing:
      return "Error closing file";
    case archive_error::kCrcFailure:
      return "File fails CRC check";
    case archive_error::kInvalidDirectory:
      return "Invalid directory";
    case archive_error::kDiskFull:
      return "Disk full";
    case archive_error::kFileNotFound:
      return "File not found";
    case archive_error::kErrorOpening:
      return "Error opening file";
    case archive_error::kUnsupportedArchive:
      return "Invalid or unsupported archive type for this operation";
    case archive_error::kCabinetLibraryMissing:
      return "Cabinet.dll not found";
    case archive_error::kNothingToDo:
      return "Nothing to do";
    case archive_error::kEventNotAssigned:
      return "Required event not assigned";
    case archive_error::kUnsupportedMethod:
      return "Unsupported compression method";
    case archive_error::kUserCanceled:
      return "User canceled";
    default:
      return "Error " + std::to_string(code);
  }
}

void TZipCommon::ReportError(int code, const std::string& file, const std::string& extra) {
  if (Cancel && code != archive_error::kUserCanceled) code = archive_error::kUserCanceled;
  if (OnError) OnError(ArchiveError{code, file, extra});
}

void TZipCommon::ProcessMessages() {
  if (OnProcessMessages) OnProcessMessages();
}

std::string TZipCommon::ToStoredName(const std::string& name) const {
  return EncodeLossy(TranslateOemChar ? OemCodePage() : AnsiCodePage(), name);
}

std::string TZipCommon::FromStoredName(const std::string& stored) const {
  return (TranslateOemChar ? OemCodePage() : AnsiCodePage()).Decode(stored);
}

// ---------------------------------------------------------------------------
// Compressor

TCustomCClass::TCustomCClass(FileSystem& fs, std::string default_ext, TCompressMethod initial)
    : TZipCommon(fs),
      StoreFilesOfType(BuiltInStoreList()),
      default_ext_(std::move(default_ext)),
      method_(initial) {}

std::vector<std::string> TCustomCClass::BuiltInStoreList() {
  return {".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC", ".GZ",  ".HA",
          ".JAR", ".LHA", ".LZH", ".PAK", ".PK3", ".PK_", ".RAR", ".TAR",
          ".TGZ", ".UUE", ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"};
}

void TCustomCClass::SetArchiveFile(const std::string& path) {
  archive_file_ = path;
  if (!archive_file_.empty() && ExtractFileExt(archive_file_).empty())
    archive_file_ += default_ext_;
  archive_existed_ = !archive_file_.empty() && fs_.Stat(archive_file_).exists;
}

void TCustomCClass::SetDefaultExt(const std::string& ext) {
  std::string value = ext;
  if (value.empty() || value.front() != '.') value.insert(value.begin(), '.');
  value = Lower(value.substr(0, 4));
  if (!archive_file_.empty()) {
    const std::string current = ExtractFileExt(archive_file_);
    if (current.empty()) {
      archive_file_ += value;
    } else if (current == default_ext_) {
      archive_file_ = ChangeFileExt(archive_file_, value);
    }
  }
  default_ext_ = value;
}

void TCustomCClass::SetCompressMethod(TCompressMethod method) {
  if (AcceptsMethod(method)) method_ = method;
}

bool TCustomCClass::InStoreList(const std::string& path) const {
  const std::string ext = ExtractFileExt(path);
  if (ext.empty()) return false;
  return std::any_of(StoreFilesOfType.begin(), StoreFilesOfType.end(),
                     [&](const std::string& e) { return SameNameIgnoringCase(e, ext); });
}

std::uint32_t TCustomCClass::EntryTime(const ScannedFile& file) const {
  switch (DateAttribute) {
    case TDateAttribute::daSysDate:
      return DosTimeFromUnix(std::time(nullptr));
    case TDateAttribute::daMaxFileDate:
      return max_file_time_;
    case TDateAttribute::daFileDate:
      break;
  }
  return DosTimeFromUnix(file.info.last_write);
}

std::string TCustomCClass::StoredNameOf(const ScannedFile& file, const std::string& pattern) const {
  switch (StoredDirNames) {
    case TStoredDirNames::sdNone:
      return ExtractFileName(file.path);
    case TStoredDirNames::sdAbsolute:
    case TStoredDirNames::sdAbsoluteNoDrv:
      return file.path;
    case TStoredDirNames::sdAbsoluteNoRoot:
      return file.path.substr(file.path.find_first_not_of('/') == std::string::npos
                                  ? file.path.size()
                                  : file.path.find_first_not_of('/'));
    default: {
      // Relative to the folder of the FileSpec item.
      std::string folder = ExtractFileDir(pattern);
      if (folder.empty()) return file.relative;
      folder = IncludeTrailingSeparator(folder);
      if (file.path.size() > folder.size() &&
          SameNameIgnoringCase(file.path.substr(0, folder.size()), folder)) {
        return file.path.substr(folder.size());
      }
      return file.relative;
    }
  }
}

void TCustomCClass::CopyExistingEntry(File& archive, CompEntry& entry, File& out) {
  archive.Seek(entry.offset);
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (std::int64_t left = entry.length; left > 0;) {
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
    archive.ReadExact(buffer.data(), want);
    out.Write(buffer.data(), want);
    left -= static_cast<std::int64_t>(want);
    ProcessMessages();
  }
}

void TCustomCClass::WriteClosing(File&, const std::vector<CompEntry>&) {}

File TCustomCClass::OpenSource(const CompEntry& entry) {
  try {
    return fs_.OpenForReading(entry.source.path);
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorOpening, entry.source.path, e.what());
    return File();
  }
}

int TCustomCClass::Compress() {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int packed = 0;
  try {
    if (FileSpec.empty()) return 0;
    const std::string folder = ExtractFileDir(archive_file_).empty()
                                   ? fs_.CurrentDirectory()
                                   : ExtractFileDir(archive_file_);
    if (archive_file_.empty() || !fs_.Stat(folder).is_directory) {
      throw ArchiveFailure(archive_error::kInvalidDirectory, folder);
    }
    std::vector<CompEntry> entries;
    File old;
    if (!ReplaceWholeArchive && fs_.Stat(archive_file_).exists) {
      try {
        old = fs_.OpenForReading(archive_file_);
      } catch (const IoError& e) {
        throw ArchiveFailure(archive_error::kErrorOpening, e.what());
      }
      entries = ReadExistingEntries(old);
    }

    // The files to pack, in the order of FileSpec.
    const TqelFileScan scan(fs_, Attributes, AttributesEx, ExcludeSpec, RecurseDirs);
    std::vector<CompEntry> fresh;
    for (const std::string& pattern : FileSpec) {
      for (ScannedFile& file : scan.Scan(pattern)) {
        ProcessMessages();
        CompEntry entry;
        entry.name = StoredNameOf(file, pattern);
        const auto same = [&](const CompEntry& e) {
          return SameNameIgnoringCase(e.name, entry.name);
        };
        const auto found = std::find_if(entries.begin(), entries.end(), same);
        if (found != entries.end() || std::any_of(fresh.begin(), fresh.end(), same)) {
          // No replace handler: the stored entry stays.
          if (found != entries.end() &&
              (found->original_size != static_cast<std::uint64_t>(file.info.size) ||
               found->dos_time != DosTimeFromUnix(file.info.last_write))) {
            ReportError(archive_error::kEventNotAssigned, file.path, "OnReplaceFile");
          }
          continue;
        }
        entry.source = std::move(file);
        fresh.push_back(std::move(entry));
      }
    }
    if (fresh.empty()) throw ArchiveFailure(archive_error::kNothingToDo);
    std::uint64_t work = 0;
    for (const CompEntry& e : fresh) work += static_cast<std::uint64_t>(e.source.info.size);
    ExpectedWork expected(work);
    max_file_time_ = 0;
    for (const CompEntry& e : fresh) max_file_time_ = std::max(max_file_time_, EntryTime(e.source));
    entries.insert(entries.end(), std::make_move_iterator(fresh.begin()),
                   std::make_move_iterator(fresh.end()));

    // The new archive appears only when it is complete.
    ReplacingFile out(fs_, archive_file_);
    std::vector<CompEntry> written;
    for (CompEntry& entry : entries) {
      ProcessMessages();
      if (Cancel) throw Canceled{};
      entry.new_offset = out.file().Position();
      if (entry.existing) {
        CopyExistingEntry(old, entry, out.file());
        written.push_back(entry);
      } else if (WriteNewEntry(entry, out.file())) {
        ++packed;
        written.push_back(entry);
      }
    }
    if (packed == 0) return 0;  // every file failed to open; reported already
    WriteClosing(out.file(), written);
    out.Commit();
    expected.Finish();
    return packed;
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), archive_file_, f.extra());
  } catch (const Canceled&) {
    ReportError(archive_error::kUserCanceled, archive_file_);
  } catch (const IoError& e) {
    ReportError(
        e.code() == io_code::kDiskFull ? archive_error::kDiskFull : archive_error::kErrorWriting,
        archive_file_, e.what());
  } catch (const std::exception& e) {
    ReportError(archive_error::kErrorWriting, archive_file_, e.what());
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Extractor

void TCustomDClass::SetArchiveFile(const std::string& path) {
  const FileInfo info = fs_.Stat(path);
  if (path.empty() || !info.exists || info.is_directory) {
    arc_type_ = TArcType::atNA;
    archive_file_.clear();
    return;
  }
  archive_file_ = path;
  try {
    File archive = fs_.OpenForReading(path);
    arc_type_ = DetectType(archive);
  } catch (...) {
    arc_type_ = TArcType::atUnknown;
  }
}

void TCustomDClass::SetExtractDir(const std::string& folder) {
  if (!folder.empty()) {
    extract_dir_ = IncludeTrailingSeparator(folder);
  } else if (!archive_file_.empty()) {
    const std::string own = ExtractFileDir(archive_file_);
    extract_dir_ = own.empty() ? std::string() : IncludeTrailingSeparator(own);
  } else {
    extract_dir_.clear();
  }
}

TArcType TCustomDClass::DetectType(File& archive) {
  std::uint8_t head[8] = {};
  archive.Seek(0);
  const std::size_t n = archive.Read(head, sizeof head);
  archive.Seek(0);
  if (n >= 4 && std::memcmp(head, "PK\x03\x04", 4) == 0) return TArcType::atZip;
  if (n >= 4 && std::memcmp(head, "MSCF", 4) == 0) return TArcType::atCab;
  if (n >= 4 && std::memcmp(head, "BH\x05\x07", 4) == 0) return TArcType::atBh;
  if (n >= 7 && head[2] == '-' && head[6] == '-') return TArcType::atLha;
  return TArcType::atUnknown;
}

std::string TCustomDClass::OutputPath(const ArchiveEntry& entry) {
  std::string name = entry.name;
  const auto unsafe = [&](const char* why) {
    ReportError(archive_error::kBadFileHeader, entry.name, why);
    return std::string();
  };
  if (name.find('\0') != std::string::npos) return unsafe("the stored name holds a NUL character");
  // Control characters have no place in a file name (a terminal would obey
  // them when the name is shown).
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  }
  std::vector<std::string> parts;
  if (UseStoredDirs) {
    // A drive prefix and leading separators are removed.
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
      name.erase(0, 2);
    }
    std::size_t start = 0;
    while (start <= name.size()) {
      const std::size_t slash = name.find('/', start);
      const std::string part = name.substr(start, slash - start);
      if (part == "..") return unsafe("the stored path leads out of the extract folder");
      if (!part.empty() && part != ".") parts.push_back(part);
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
  } else {
    const std::string file = ExtractFileName(name);
    if (file == "..") return unsafe("the stored path leads out of the extract folder");
    if (!file.empty() && file != ".") parts.push_back(file);
  }
  if (parts.empty()) return unsafe("the stored name is empty");
  // No step of the way may be a symbolic link: it could lead anywhere.
  std::string path = extract_dir_;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    path = i == 0 ? extract_dir_ + parts[i] : JoinPath(path, parts[i]);
    const FileInfo info = fs_.Stat(path);
    if (info.is_symlink) return unsafe("the stored path passes through a symbolic link");
    if (i + 1 < parts.size() && info.exists && !info.is_directory) {
      ReportError(archive_error::kErrorWriting, entry.name, "a file stands where a folder belongs");
      return {};
    }
  }
  return path;
}

void TCustomDClass::EnsureFolders(const std::string& folder) {
  for (std::size_t at = folder.find('/', extract_dir_.size());; at = folder.find('/', at + 1)) {
    const std::string step = at == std::string::npos ? folder : folder.substr(0, at);
    if (step.size() >= extract_dir_.size() && !fs_.Stat(step).exists) fs_.CreateDirectory(step);
    if (at == std::string::npos) break;
  }
}

void TCustomDClass::ExtractOne(File& archive, const ArchiveEntry& entry, int& count) {
  if (entry.is_folder) {
    if (!CreateStoredDirs) return;
    const std::string path = OutputPath(entry);
    if (!path.empty()) EnsureFolders(path);
    return;
  }
  if (!entry.supported) {
    ReportError(archive_error::kUnsupportedMethod, entry.name, entry.method);
    return;
  }
  const std::string path = OutputPath(entry);
  if (path.empty()) return;
  const FileInfo existing = fs_.Stat(path);
  if (existing.exists) {
    if (ConfirmOverwrites) {
      ReportError(archive_error::kEventNotAssigned, path, "OnFileExists");
      return;
    }
    if (OverwriteMode == TOverwriteMode::omSkip) return;
  }
  std::uint32_t crc = 0;
  try {
    EnsureFolders(ExtractFileDir(path));
    // The file appears only when its data decoded: damaged data never
    // replaces a file that is already there.
    ReplacingFile out(fs_, path);
    crc = DecodeEntry(archive, entry, out.file());
    out.Commit();
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), path, f.extra());
    return;
  } catch (const IoError& e) {
    ReportError(
        e.code() == io_code::kDiskFull ? archive_error::kDiskFull : archive_error::kErrorOpening,
        path, e.what());
    return;
  } catch (const std::exception& e) {
    // The compressed data is damaged or cut short.
    ReportError(archive_error::kCrcFailure, path, e.what());
    return;
  }
  try {
    fs_.SetLastWriteTime(path, UnixFromDosTime(entry.dos_time));
    if (RestoreFileAttr && entry.attributes != 0x20 && (entry.attributes & 0x01) != 0) {
      fs_.SetReadOnly(path, true);
    }
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorClosing, path, e.what());
  }
  ++count;
  // Formats without a CRC (cabinets) leave the check to their own reader.
  const std::uint32_t mask = entry.crc_bits == 16 ? 0xFFFFU : 0xFFFFFFFFU;
  if (entry.crc_bits != 0 && crc != (entry.crc & mask) && crc != (~entry.crc & mask)) {
    ReportError(archive_error::kCrcFailure, path, {});
  }
}

int TCustomDClass::Extract() {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int count = 0;
  if (archive_file_.empty()) {
    ReportError(archive_error::kFileNotFound, archive_file_);
    return 0;
  }
  File archive;
  try {
    archive = fs_.OpenForReading(archive_file_);
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorOpening, archive_file_, e.what());
    return 0;
  }
  if (extract_dir_.empty()) {
    const std::string own = ExtractFileDir(archive_file_);
    extract_dir_ = IncludeTrailingSeparator(own.empty() ? fs_.CurrentDirectory() : own);
  }
  const auto wanted = [&](const ArchiveEntry& entry) {
    const std::string file = ExtractFileName(entry.name);
    return std::any_of(FileSpec.begin(), FileSpec.end(),
                       [&](const std::string& m) { return MatchesMask(file, ExtractFileName(m)); });
  };
  // The work ahead, from a first walk over the headers.
  std::uint64_t work = 0;
  try {
    WalkEntries(archive, [&](const ArchiveEntry& entry) {
      if (!entry.is_folder && wanted(entry)) work += EntryWork(entry);
    });
  } catch (const std::exception&) {  // reported by the walk that extracts
  }
  archive.Seek(0);
  ExpectedWork expected(work);
  try {
    WalkEntries(archive, [&](const ArchiveEntry& entry) {
      ProcessMessages();
      if (Cancel) throw Canceled{};
      if (wanted(entry) || entry.is_folder) ExtractOne(archive, entry, count);
    });
    expected.Finish();
  } catch (const Canceled&) {
    ReportError(archive_error::kUserCanceled, archive_file_);
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), archive_file_, f.extra());
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorWriting, archive_file_, e.what());
  } catch (const std::exception& e) {
    ReportError(archive_error::kBadFileHeader, archive_file_, e.what());
  }
  return count;
}

void TCustomDClass::List(const std::function<void(const ArchiveEntry&)>& visit) {
  if (archive_file_.empty()) {
    ReportError(archive_error::kFileNotFound, archive_file_);
    return;
  }
  try {
    File archive = fs_.OpenForReading(archive_file_);
    WalkEntries(archive, visit);
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), archive_file_, f.extra());
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorOpening, archive_file_, e.what());
  } catch (const std::exception& e) {
    ReportError(archive_error::kBadFileHeader, archive_file_, e.what());
  }
}

}  // namespace talvor

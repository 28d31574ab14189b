#include "archive/archive_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "archive/dos_time.h"
#include "archive/file_scan.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"

namespace talvor {

namespace {

// Thrown when the user cancels; reported once, at the top.
struct Canceled {};

}  // namespace

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
    arc_type_ = DetectType(archive, path);
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

TArcType ArcTypeOf(std::optional<ArchiveKind> kind) noexcept {
  if (!kind) return TArcType::atUnknown;
  switch (*kind) {
    case ArchiveKind::kLha:
      return TArcType::atLha;
    case ArchiveKind::kZip:
      return TArcType::atZip;
    case ArchiveKind::kBh:
      return TArcType::atBh;
    case ArchiveKind::kCab:
      return TArcType::atCab;
  }
  return TArcType::atUnknown;
}

File TCustomDClass::OpenArchive() {
  return fs_.OpenForReading(archive_file_);
}

TArcType TCustomDClass::DetectType(File& archive, const std::string& path) {
  const std::optional<ArchiveKindInfo> found = ArchiveKindOfContent(archive, path);
  archive.Seek(0);
  return ArcTypeOf(found ? std::optional(found->kind) : std::nullopt);
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
  CreateFolderChain(fs_, folder, extract_dir_.size());
}

namespace {

// Whether a CRC computed over decoded data is the one stored (some writers
// store it inverted).
bool CrcMatches(const ArchiveEntry& entry, std::uint32_t crc) {
  // Formats without a CRC (cabinets) leave the check to their own reader.
  if (entry.crc_bits == 0) return true;
  const std::uint32_t mask = entry.crc_bits == 16 ? 0xFFFFU : 0xFFFFFFFFU;
  return crc == (entry.crc & mask) || crc == (~entry.crc & mask);
}

// A file that takes every byte and keeps none: what Test decodes into.
File DiscardingFile() {
  const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (fd < 0) RaiseIoError(IoCodeFromErrno(errno));
  return File(fd, "/dev/null");
}

}  // namespace

std::optional<bool> TCustomDClass::DecodeChecked(File& archive, const ArchiveEntry& entry,
                                                 File& out, const std::string& file) {
  try {
    return CrcMatches(entry, DecodeEntry(archive, entry, out));
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), file, f.extra());
  } catch (const IoError& e) {
    ReportError(
        e.code() == io_code::kDiskFull ? archive_error::kDiskFull : archive_error::kErrorWriting,
        file, e.what());
  } catch (const Cancelled&) {
    throw;  // the user stopped the work: nothing to report
  } catch (const std::exception& e) {
    // The compressed data is damaged or cut short.
    ReportError(archive_error::kCrcFailure, file, std::string("the entry is damaged: ") + e.what());
  }
  return std::nullopt;
}

void TCustomDClass::ExtractOne(File& archive, const ArchiveEntry& entry, int& count) {
  if (entry.is_folder) {
    if (!CreateStoredDirs) return;
    const std::string path = OutputPath(entry);
    if (!path.empty()) EnsureFolders(path);
    return;
  }
  if (!entry.damage.empty()) {
    ReportError(archive_error::kBadFileHeader, entry.name, entry.damage);
    return;
  }
  if (!entry.supported) {
    ReportError(archive_error::kUnsupportedMethod, entry.name, entry.method);
    return;
  }
  const std::string path = OutputPath(entry);
  if (path.empty()) return;
  // An entry never replaces the archive being read, whatever its name says
  // (a link to it, another spelling of its name).
  if (fs_.SameFile(path, archive_file_)) {
    ReportError(archive_error::kErrorWriting, path,
                "the entry " + entry.name + " would replace the archive being read");
    return;
  }
  const FileInfo existing = fs_.Stat(path);
  if (existing.exists) {
    if (ConfirmOverwrites) {
      ReportError(archive_error::kEventNotAssigned, path, "OnFileExists");
      return;
    }
    if (OverwriteMode == TOverwriteMode::omSkip) return;
  }
  try {
    EnsureFolders(ExtractFileDir(path));
    // The file appears only when its data decoded and, where a file of its
    // name is there, matched its CRC: damaged data never replaces a file.
    ReplacingFile out(fs_, path);
    const std::optional<bool> sound = DecodeChecked(archive, entry, out.file(), path);
    if (!sound) return;
    if (!*sound) {
      if (existing.exists) {
        ReportError(archive_error::kCrcFailure, path,
                    "the entry " + entry.name +
                        " is damaged: its data does not match its CRC; the file already "
                        "there was kept");
        return;
      }
      // Nothing of that name was there: the damaged data is kept for
      // whatever can be recovered from it.
      out.Commit();
      ReportError(archive_error::kCrcFailure, path,
                  "the entry " + entry.name +
                      " is damaged: its data does not match its CRC; what it held is kept");
    } else {
      out.Commit();
    }
  } catch (const IoError& e) {
    ReportError(
        e.code() == io_code::kDiskFull ? archive_error::kDiskFull : archive_error::kErrorOpening,
        path, e.what());
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
}

void TCustomDClass::WalkForWork(const std::function<void(File&, const ArchiveEntry&)>& step) {
  if (archive_file_.empty()) {
    ReportError(archive_error::kFileNotFound, archive_file_);
    return;
  }
  File archive;
  try {
    archive = OpenArchive();
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), archive_file_, f.extra());
    return;
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorOpening, archive_file_, e.what());
    return;
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
      if (!entry.is_folder && entry.supported && entry.damage.empty() && wanted(entry)) {
        work += EntryWork(entry);
      }
    });
  } catch (const Cancelled&) {
    throw;                           // the user stopped the work: nothing to report
  } catch (const std::exception&) {  // reported by the walk that does the work
  }
  archive.Seek(0);
  ExpectedWork expected(work);
  try {
    WalkEntries(archive, [&](const ArchiveEntry& entry) {
      ProcessMessages();
      if (Cancel) throw Canceled{};
      if (wanted(entry) || entry.is_folder) step(archive, entry);
    });
    expected.Finish();
  } catch (const Canceled&) {
    ReportError(archive_error::kUserCanceled, archive_file_);
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), archive_file_, f.extra());
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorWriting, archive_file_, e.what());
  } catch (const Cancelled&) {
    throw;  // the user stopped the work: nothing to report
  } catch (const std::exception& e) {
    ReportError(archive_error::kBadFileHeader, archive_file_, e.what());
  }
}

int TCustomDClass::Extract() {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int count = 0;
  if (extract_dir_.empty() && !archive_file_.empty()) {
    const std::string own = ExtractFileDir(archive_file_);
    extract_dir_ = IncludeTrailingSeparator(own.empty() ? fs_.CurrentDirectory() : own);
  }
  WalkForWork([&](File& archive, const ArchiveEntry& entry) { ExtractOne(archive, entry, count); });
  return count;
}

int TCustomDClass::Test(const std::function<void(const ArchiveEntry&, bool sound)>& each) {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int sound_files = 0;
  File sink;
  try {
    sink = DiscardingFile();
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorOpening, "/dev/null", e.what());
    return 0;
  }
  WalkForWork([&](File& archive, const ArchiveEntry& entry) {
    if (entry.is_folder) {
      each(entry, true);
      return;
    }
    const std::string file = archive_file_ + ": " + entry.name;
    if (!entry.damage.empty()) {
      ReportError(archive_error::kBadFileHeader, file, entry.damage);
      each(entry, false);
      return;
    }
    if (!entry.supported) {
      ReportError(archive_error::kUnsupportedMethod, file, entry.method);
      each(entry, false);
      return;
    }
    const std::optional<bool> sound = DecodeChecked(archive, entry, sink, file);
    if (sound && !*sound) {
      ReportError(archive_error::kCrcFailure, file,
                  "the entry is damaged: its data does not match its CRC");
    }
    if (sound.value_or(false)) ++sound_files;
    each(entry, sound.value_or(false));
  });
  return sound_files;
}

void TCustomDClass::List(const std::function<void(const ArchiveEntry&)>& visit) {
  if (archive_file_.empty()) {
    ReportError(archive_error::kFileNotFound, archive_file_);
    return;
  }
  try {
    File archive = OpenArchive();
    WalkEntries(archive, visit);
  } catch (const ArchiveFailure& f) {
    ReportError(f.code(), archive_file_, f.extra());
  } catch (const IoError& e) {
    ReportError(archive_error::kErrorOpening, archive_file_, e.what());
  } catch (const Cancelled&) {
    throw;  // the user stopped the work: nothing to report
  } catch (const std::exception& e) {
    ReportError(archive_error::kBadFileHeader, archive_file_, e.what());
  }
}

}  // namespace talvor

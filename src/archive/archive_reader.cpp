#include "archive/archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Steps joined by separators: "d/e/f".
// The error event of a file that could not be written: a full disk, or
// whatever else kept the file from being made.
int WriteFailureCode(const Failure& failure) {
  return failure.code() == io_code::kDiskFull ? archive_error::kDiskFull
                                              : archive_error::kErrorOpening;
}

std::string JoinSteps(const std::vector<std::string>& steps) {
  std::string joined;
  for (const std::string& step : steps) joined += (joined.empty() ? "" : "/") + step;
  return joined;
}

}  // namespace

void ArchiveReader::SetArchiveFile(const std::string& path) {
  const FileInfo info = IsAbsolutePath(path) ? fs_.Stat(path) : FileInfo{};
  if (!info.exists || info.is_directory) {
    arc_type_ = ArchiveType::kNotAvailable;
    archive_file_.clear();
    return;
  }
  archive_file_ = path;
  try {
    File archive = fs_.OpenForReading(path);
    arc_type_ = DetectType(archive, path);
  } catch (...) {
    arc_type_ = ArchiveType::kUnknown;
  }
}

void ArchiveReader::SetExtractDir(const std::string& folder) {
  if (!folder.empty()) {
    extract_dir_ = IncludeTrailingSeparator(folder);
  } else if (!archive_file_.empty()) {
    const std::string own = ExtractFileDir(archive_file_);
    extract_dir_ = own.empty() ? std::string() : IncludeTrailingSeparator(own);
  } else {
    extract_dir_.clear();
  }
}

ArchiveType ArcTypeOf(std::optional<ArchiveKind> kind) noexcept {
  if (!kind) return ArchiveType::kUnknown;
  switch (*kind) {
    case ArchiveKind::kLha:
      return ArchiveType::kLha;
    case ArchiveKind::kZip:
      return ArchiveType::kZip;
    case ArchiveKind::kBh:
      return ArchiveType::kBh;
    case ArchiveKind::kCab:
      return ArchiveType::kCab;
  }
  return ArchiveType::kUnknown;
}

File ArchiveReader::OpenArchive() {
  return fs_.OpenForReading(archive_file_);
}

ArchiveType ArchiveReader::DetectType(File& archive, const std::string& path) {
  const std::optional<ArchiveKindInfo> found = ArchiveKindOfContent(archive, path);
  archive.Seek(0);
  return ArcTypeOf(found ? std::optional(found->kind) : std::nullopt);
}

std::optional<std::vector<std::string>> ArchiveReader::OutputSteps(const ArchiveEntry& entry) {
  std::string name = entry.name;
  const auto unsafe = [&](const char* why) {
    ReportError(archive_error::kBadFileHeader, entry.name, why);
    return std::nullopt;
  };
  if (name.find('\0') != std::string::npos) return unsafe("the stored name holds a NUL character");
  // Control characters have no place in a file name (a terminal would obey
  // them when the name is shown).
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  }
  std::vector<std::string> parts;
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
  if (parts.empty()) return unsafe("the stored name is empty");
  return parts;
}

std::optional<Folder> ArchiveReader::EntryFolder(const ArchiveEntry& entry,
                                                 const std::vector<std::string>& steps,
                                                 std::size_t depth, bool note) {
  if (!root_) root_ = Folder::Open(extract_dir_);
  Folder at = root_->Duplicate();
  for (std::size_t i = 0; i < depth; ++i) {
    Folder next;
    bool made = false;
    switch (at.OpenChild(steps[i], true, next, &made)) {
      case Folder::Step::kOpened:
        break;
      case Folder::Step::kLink:
        // No step of the way may be a symbolic link: it could lead anywhere.
        ReportError(archive_error::kBadFileHeader, entry.name,
                    "the stored path passes through a symbolic link");
        return std::nullopt;
      case Folder::Step::kNotFolder:
        ReportError(archive_error::kErrorWriting, entry.name,
                    "a file stands where a folder belongs");
        return std::nullopt;
    }
    struct stat st {};
    if (made && note && ::fstat(next.fd(), &st) == 0) {
      made_.push_back({{steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(i + 1)},
                       static_cast<std::uint64_t>(st.st_dev),
                       static_cast<std::uint64_t>(st.st_ino)});
    }
    at = std::move(next);
  }
  return at;
}

void ArchiveReader::RemoveMadeFolders() noexcept {
  // A folder made later lies deeper: the last made go first. rmdir takes
  // only empty folders; the identity keeps one that another program made
  // in the place of ours.
  for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
    try {
      std::vector<std::string> steps = made->steps;
      const std::string last = steps.back();
      steps.pop_back();
      Folder parent = root_->Duplicate();
      bool reached = true;
      for (const std::string& step : steps) {
        Folder next;
        reached = parent.OpenChild(step, false, next) == Folder::Step::kOpened;
        if (!reached) break;
        parent = std::move(next);
      }
      if (!reached) continue;
      struct stat st {};
      if (::fstatat(parent.fd(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          static_cast<std::uint64_t>(st.st_dev) == made->device &&
          static_cast<std::uint64_t>(st.st_ino) == made->inode) {
        ::unlinkat(parent.fd(), last.c_str(), AT_REMOVEDIR);
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): a folder that cannot be reached stays
    }
  }
  made_.clear();
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
  UniqueFd fd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) RaiseIoError(IoCodeFromErrno(errno));
  return File(std::move(fd), "/dev/null");
}

}  // namespace

std::optional<bool> ArchiveReader::DecodeChecked(File& archive, const ArchiveEntry& entry,
                                                 File& out, const std::string& file) {
  try {
    return CrcMatches(entry, DecodeEntry(archive, entry, out));
  } catch (const std::exception& e) {
    if (IsFailure(e, FailureKind::kCancelled)) throw;  // nothing to report
    // Anything but the file layer's and the engine's failures: the
    // compressed data is damaged or cut short.
    ReportFailure(
        e, file,
        {archive_error::kErrorWriting, archive_error::kCrcFailure, true, "the entry is damaged: "});
  }
  return std::nullopt;
}

void ArchiveReader::NameEarlierOnTheWay(const std::vector<std::string>& steps, int& count) {
  // An earlier entry of the same name, or of a folder on the way, takes its
  // name first: this one finds it there as it would one entry at a time.
  const std::string key = JoinSteps(steps);
  const bool in_the_way = std::any_of(pending_.begin(), pending_.end(), [&](const PendingFile& f) {
    return key == f.key ||
           (key.size() > f.key.size() && key.starts_with(f.key) && key[f.key.size()] == '/');
  });
  if (in_the_way) NamePending(count);
}

void ArchiveReader::ExtractOne(File& archive, const ArchiveEntry& entry, int& count) {
  if (entry.is_folder) {
    if (!CreateStoredDirs) return;
    const auto steps = OutputSteps(entry);
    if (!steps) return;
    NameEarlierOnTheWay(*steps, count);
    (void)EntryFolder(entry, *steps, steps->size(), false);
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
  const auto steps = OutputSteps(entry);
  if (!steps) return;
  NameEarlierOnTheWay(*steps, count);
  const std::string& leaf = steps->back();
  std::string path = extract_dir_ + JoinSteps(*steps);
  // Everything below happens in the entry's folder as it was opened: a
  // folder swapped for a link meanwhile leads nowhere else.
  std::optional<Folder> folder;
  try {
    folder = EntryFolder(entry, *steps, steps->size() - 1, true);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    ReportError(archive_error::kErrorOpening, path, e.what());
    return;
  }
  if (!folder) return;
  path = folder->PathOf(leaf);
  struct stat there {};
  const bool exists = ::fstatat(folder->fd(), leaf.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISLNK(there.st_mode)) {
    ReportError(archive_error::kBadFileHeader, entry.name,
                "the stored path passes through a symbolic link");
    return;
  }
  // An entry never replaces the archive being read, whatever its name says
  // (a link to it, another spelling of its name).
  struct stat source {};
  if (exists && ::stat(archive_file_.c_str(), &source) == 0 && source.st_dev == there.st_dev &&
      source.st_ino == there.st_ino) {
    ReportError(archive_error::kErrorWriting, path,
                "the entry " + entry.name + " would replace the archive being read");
    return;
  }
  try {
    // The file appears only when its data decoded and, where a file of its
    // name is there, matched its CRC: damaged data never replaces a file.
    PendingFile pending{std::make_unique<Folder>(std::move(*folder)),
                        nullptr,
                        JoinSteps(*steps),
                        leaf,
                        path,
                        entry.dos_time,
                        entry.attributes != 0x20 && (entry.attributes & 0x01) != 0};
    pending.out = std::make_unique<ReplacingFile>(*pending.folder, leaf, job());
    const std::optional<bool> sound = DecodeChecked(archive, entry, pending.out->file(), path);
    if (!sound) return;
    if (!*sound) {
      if (exists) {
        ReportError(archive_error::kCrcFailure, path,
                    "the entry " + entry.name +
                        " is damaged: its data does not match its CRC; the file already "
                        "there was kept");
        return;
      }
      // Nothing of that name was there: the damaged data is kept for
      // whatever can be recovered from it.
      ReportError(archive_error::kCrcFailure, path,
                  "the entry " + entry.name +
                      " is damaged: its data does not match its CRC; what it held is kept");
    }
    pending.out->Park();
    pending_bytes_ += entry.original_size;
    pending_.push_back(std::move(pending));
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    ReportError(WriteFailureCode(e), path, e.what());
    return;
  }
  // Many small files are made durable together: one sync for the batch
  // instead of one for each file.
  constexpr std::size_t kBatchFiles = 256;
  constexpr std::uint64_t kBatchBytes = 64 << 20;
  if (pending_.size() >= kBatchFiles || pending_bytes_ >= kBatchBytes) NamePending(count);
}

void ArchiveReader::NamePending(int& count) {
  std::vector<PendingFile> batch = std::exchange(pending_, {});
  pending_bytes_ = 0;
  if (batch.empty()) return;
  // The file systems the batch lies on (a folder of each), synced before
  // the files take their names and again after, so that the names last too.
  std::vector<std::pair<dev_t, const Folder*>> file_systems;
  for (const PendingFile& file : batch) {
    struct stat st {};
    if (::fstat(file.folder->fd(), &st) != 0) RaiseErrno(errno, file.path);
    if (std::none_of(file_systems.begin(), file_systems.end(),
                     [&](const auto& known) { return known.first == st.st_dev; })) {
      file_systems.emplace_back(st.st_dev, file.folder.get());
    }
  }
  try {
    for (const auto& [device, folder] : file_systems) folder->SyncFileSystem();
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    // Nothing of the batch is named: none of it is known to be whole.
    for (const PendingFile& lost : batch) {
      ReportError(WriteFailureCode(e), lost.path, e.what());
    }
    return;
  }
  for (PendingFile& file : batch) {
    try {
      file.out->CommitParked();
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kIo) throw;
      ReportError(WriteFailureCode(e), file.path, e.what());
      continue;
    }
    try {
      SetLastWriteTimeAt(file.folder->fd(), file.leaf, UnixFromDosTime(file.dos_time), false,
                         file.path);
      if (file.read_only) SetReadOnlyAt(file.folder->fd(), file.leaf, true, false, file.path);
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kIo) throw;
      ReportError(archive_error::kErrorClosing, file.path, e.what());
    }
    ++count;
  }
  for (const auto& [device, folder] : file_systems) {
    try {
      folder->SyncFileSystem();
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kIo) throw;
      ReportError(archive_error::kErrorWriting, folder->path(), e.what());
    }
  }
}

void ArchiveReader::WalkForWork(const std::function<void(File&, const ArchiveEntry&)>& step) {
  if (archive_file_.empty()) {
    ReportError(archive_error::kFileNotFound, archive_file_);
    return;
  }
  File archive;
  try {
    archive = OpenArchive();
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo && e.kind() != FailureKind::kArchive) throw;
    ReportFailure(e, archive_file_, {archive_error::kErrorOpening, archive_error::kErrorOpening});
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
  } catch (const std::exception& e) {
    if (IsFailure(e, FailureKind::kCancelled)) throw;  // nothing to report
    // Anything else is reported by the walk that does the work.
  }
  archive.Seek(0);
  ExpectedWork expected(job(), work);
  try {
    WalkEntries(archive, [&](const ArchiveEntry& entry) {
      if (wanted(entry) || entry.is_folder) step(archive, entry);
    });
    expected.Finish();
  } catch (const std::exception& e) {
    if (IsFailure(e, FailureKind::kCancelled)) throw;  // nothing to report
    ReportFailure(e, archive_file_, {archive_error::kErrorWriting, archive_error::kBadFileHeader});
  }
}

int ArchiveReader::Extract() {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int count = 0;
  if (extract_dir_.empty() && !archive_file_.empty()) {
    extract_dir_ = IncludeTrailingSeparator(ExtractFileDir(archive_file_));
  }
  if (!archive_file_.empty() && !IsAbsolutePath(extract_dir_)) {
    ReportError(archive_error::kInvalidDirectory, extract_dir_);
    return 0;
  }
  // The folders made for files go again when the unpacking fails and they
  // are still empty.
  bool failed = false;
  const std::function<void(const ArchiveError&)> listener = OnError;
  OnError = [&](const ArchiveError& error) {
    failed = true;
    if (listener) listener(error);
  };
  struct Restore {
    ArchiveReader& reader;
    const std::function<void(const ArchiveError&)>& listener;
    ~Restore() {
      reader.OnError = listener;
      reader.pending_.clear();  // files not named by now go (a cancel, a failure)
      reader.pending_bytes_ = 0;
      reader.root_.reset();
      reader.made_.clear();
    }
  } restore{*this, listener};
  WalkForWork([&](File& archive, const ArchiveEntry& entry) { ExtractOne(archive, entry, count); });
  if (!pending_.empty()) {
    try {
      NamePending(count);
    } catch (const std::exception& e) {
      if (IsFailure(e, FailureKind::kCancelled)) throw;
      ReportFailure(e, archive_file_,
                    {archive_error::kErrorWriting, archive_error::kBadFileHeader});
    }
  }
  if (failed && root_) RemoveMadeFolders();
  return count;
}

int ArchiveReader::Test(const std::function<void(const ArchiveEntry&, bool sound)>& each) {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int sound_files = 0;
  File sink;
  try {
    sink = DiscardingFile();
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
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

void ArchiveReader::List(const std::function<void(const ArchiveEntry&)>& visit) {
  if (archive_file_.empty()) {
    ReportError(archive_error::kFileNotFound, archive_file_);
    return;
  }
  try {
    File archive = OpenArchive();
    WalkEntries(archive, visit);
  } catch (const std::exception& e) {
    if (IsFailure(e, FailureKind::kCancelled)) throw;  // nothing to report
    ReportFailure(e, archive_file_, {archive_error::kErrorOpening, archive_error::kBadFileHeader});
  }
}

}  // namespace talvor

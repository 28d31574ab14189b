#include "archive/archive_writer.h"

#include <algorithm>
#include <cctype>

#include "archive/dos_time.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"

namespace talvor {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

}  // namespace

ArchiveWriter::ArchiveWriter(FileSystem& fs, std::string default_ext, PackingMethod initial)
    : ArchiveComponent(fs), default_ext_(std::move(default_ext)), method_(initial) {}

std::vector<std::string> ArchiveWriter::BuiltInStoreList() {
  return {".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC", ".GZ",  ".HA",
          ".JAR", ".LHA", ".LZH", ".PAK", ".PK3", ".PK_", ".RAR", ".TAR",
          ".TGZ", ".UUE", ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"};
}

void ArchiveWriter::SetArchiveFile(const std::string& path) {
  archive_file_ = path;
  if (!archive_file_.empty() && ExtractFileExt(archive_file_).empty())
    archive_file_ += default_ext_;
}

void ArchiveWriter::SetCompressMethod(PackingMethod method) {
  if (AcceptsMethod(method)) method_ = method;
}

bool ArchiveWriter::InStoreList(const std::string& path) const {
  const std::string ext = ExtractFileExt(path);
  if (ext.empty()) return false;
  static const std::vector<std::string> kStoreList = BuiltInStoreList();
  return std::any_of(kStoreList.begin(), kStoreList.end(),
                     [&](const std::string& e) { return SameNameIgnoringCase(e, ext); });
}

std::uint32_t ArchiveWriter::EntryTime(const ScannedFile& file) const {
  return DosTimeFromUnix(file.info.last_write);
}

std::string ArchiveWriter::StoredNameOf(const ScannedFile& file, const std::string& pattern) const {
  std::string folder = ExtractFileDir(pattern);
  if (folder.empty()) return file.relative;
  folder = IncludeTrailingSeparator(folder);
  if (file.path.size() > folder.size() &&
      SameNameIgnoringCase(file.path.substr(0, folder.size()), folder)) {
    return file.path.substr(folder.size());
  }
  return file.relative;
}

void ArchiveWriter::CopyExistingEntry(File& archive, WriterEntry& entry, File& out) {
  archive.Seek(entry.offset);
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (std::int64_t left = entry.length; left > 0;) {
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
    archive.ReadExact(buffer.data(), want);
    out.Write(buffer.data(), want);
    left -= static_cast<std::int64_t>(want);
  }
}

void ArchiveWriter::WriteClosing(File&, const std::vector<WriterEntry>&) {}

bool ArchiveWriter::LeftToCaller(const std::exception& e) noexcept {
  return IsFailure(e, FailureKind::kCancelled) || IsFailure(e, FailureKind::kRefused) ||
         IsFailure(e, FailureKind::kSourceChanged);
}

File ArchiveWriter::OpenSource(const WriterEntry& entry) {
  try {
    return fs_.OpenForReading(entry.source.path);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    ReportError(archive_error::kErrorOpening, entry.source.path, e.what());
    return File();
  }
}

void ArchiveWriter::RequireArchiveFolder() const {
  const std::string folder = ExtractFileDir(archive_file_);
  if (!IsAbsolutePath(archive_file_) || !fs_.Stat(folder).is_directory) {
    throw EngineFailure(archive_error::kInvalidDirectory, folder);
  }
}

int ArchiveWriter::Compress() {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int packed = 0;
  try {
    if (FileSpec.empty()) return 0;
    RequireArchiveFolder();
    std::vector<WriterEntry> entries;
    File old;
    if (!ReplaceWholeArchive && fs_.Stat(archive_file_).exists) {
      try {
        old = fs_.OpenForReading(archive_file_);
      } catch (const Failure& e) {
        if (e.kind() != FailureKind::kIo) throw;
        throw EngineFailure(archive_error::kErrorOpening, e.what());
      }
      entries = ReadExistingEntries(old);
    }

    // The files to pack, in the order of FileSpec.
    const FileScan scan(fs_, RecurseDirs);
    std::vector<WriterEntry> fresh;
    for (const std::string& pattern : FileSpec) {
      for (ScannedFile& file : scan.Scan(pattern, FileSpecLiteral)) {
        WriterEntry entry;
        entry.name = StoredNameOf(file, pattern);
        const auto same = [&](const WriterEntry& e) {
          return SameNameIgnoringCase(e.name, entry.name);
        };
        const auto found = std::find_if(entries.begin(), entries.end(), same);
        if (found != entries.end() || std::any_of(fresh.begin(), fresh.end(), same)) {
          // A name already taken keeps its entry: nothing here replaces a
          // stored entry, and a file that differs from it is reported.
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
    if (fresh.empty()) throw EngineFailure(archive_error::kNothingToDo);
    for (const WriterEntry& e : fresh) (void)RecordedName(e);
    std::uint64_t work = 0;
    for (const WriterEntry& e : fresh) work += static_cast<std::uint64_t>(e.source.info.size);
    ExpectedWork expected(job(), work);
    entries.insert(entries.end(), std::make_move_iterator(fresh.begin()),
                   std::make_move_iterator(fresh.end()));

    // The new archive appears only when it is complete.
    ReplacingFile out(fs_, archive_file_, job());
    std::vector<WriterEntry> written;
    for (WriterEntry& entry : entries) {
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
    // Done counting before the archive takes its name: a cancel never
    // follows a complete archive.
    expected.Finish();
    out.Commit();
    return packed;
  } catch (const std::exception& e) {
    if (LeftToCaller(e)) throw;
    ReportFailure(e, archive_file_,
                  {archive_error::kErrorWriting, archive_error::kErrorWriting, true});
  }
  return 0;
}

}  // namespace talvor

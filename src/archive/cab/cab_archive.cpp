#include "archive/cab/cab_archive.h"

#include <algorithm>

#include "archive/archive_io.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/text.h"

namespace talvor {

namespace {

constexpr std::uint16_t kNameIsUtf8 = 0x80;

}  // namespace

CabWriterBase::CabWriterBase(FileSystem& fs, CabinetLibrary& library)
    : ArchiveWriter(fs, ".cab", PackingMethod::kMsZip), library_(library) {}

void CabWriterBase::SetLzxLevel(int level) {
  lzx_level_ = std::clamp(level, 15, 21);
}
void CabWriterBase::SetQuantumLevel(int level) {
  quantum_level_ = std::clamp(level, 1, 7);
}
void CabWriterBase::SetQuantumMemory(int memory) {
  quantum_memory_ = std::clamp(memory, 10, 21);
}

std::uint16_t CabWriterBase::CompressionType() const {
  switch (method_) {
    case PackingMethod::kStore:
      return cabinet_compression::kNone;
    case PackingMethod::kLzx:
      return static_cast<std::uint16_t>(cabinet_compression::kLzx | (lzx_level_ << 8));
    case PackingMethod::kQuantum:
      return static_cast<std::uint16_t>(cabinet_compression::kQuantum | (quantum_level_ << 4) |
                                        (quantum_memory_ << 8));
    default:
      return cabinet_compression::kMsZip;
  }
}

bool CabWriter::AcceptsMethod(PackingMethod method) const {
  return method == PackingMethod::kStore || method == PackingMethod::kMsZip ||
         method == PackingMethod::kLzx || method == PackingMethod::kQuantum;
}

std::vector<WriterEntry> CabWriter::ReadExistingEntries(File&) {
  return {};
}

std::string CabWriter::RecordedName(const WriterEntry& entry) const {
  RequireRecordableName(entry.name, entry.source.path, "a CAB archive", {"\\"});
  const std::string stored = ToStoredName(entry.name);
  return FromStoredName(stored) == entry.name ? stored : entry.name;
}

bool CabWriter::WriteNewEntry(WriterEntry&, File&) {
  return false;
}

int CabWriter::Compress() {
  if (busy_) return 0;
  const BusyScope busy(*this);
  int packed = 0;
  try {
    if (FileSpec.empty()) return 0;
    if (!library_.Available()) throw EngineFailure(archive_error::kCabinetLibraryMissing);
    const FileInfo existing = fs_.Stat(archive_file_);
    if (existing.exists && (existing.read_only || existing.is_directory)) {
      throw EngineFailure(archive_error::kErrorWriting, "the archive cannot be written");
    }
    RequireArchiveFolder();
    CabinetParameters params;
    params.job = &job();
    params.fail_on_incompressible = FailOnIncompressible;
    params.cabinet_name = ExtractFileName(archive_file_);
    params.cabinet_path = ExtractFileDir(archive_file_);
    std::unique_ptr<CabinetBuilder> cabinet = library_.Create(params);
    const FileScan scan(fs_, RecurseDirs);
    std::uint64_t work = 0;
    std::vector<WriterEntry> files;
    for (const std::string& pattern : FileSpec) {
      for (ScannedFile& file : scan.Scan(pattern, FileSpecLiteral)) {
        work += static_cast<std::uint64_t>(file.info.size);
        WriterEntry entry;
        entry.name = StoredNameOf(file, pattern);
        entry.source = std::move(file);
        entry.format_data = RecordedName(entry);  // refused before anything is written
        files.push_back(std::move(entry));
      }
    }
    ExpectedWork expected(job(), work);
    for (const WriterEntry& entry : files) {
      const ScannedFile& file = entry.source;
      std::string stored = entry.format_data;
      std::replace(stored.begin(), stored.end(), '/', '\\');
      // A name the code page cannot hold is recorded as UTF-8, which a flag
      // in the attributes of its CFFILE says (the cabinet format).
      const bool utf8 = stored != ToStoredName(entry.name);
      try {
        cabinet->AddFile(file.path, stored,
                         static_cast<std::uint16_t>(file.dos_attributes | (utf8 ? kNameIsUtf8 : 0)),
                         EntryTime(file), CompressionType());
        ++packed;
      } catch (const CabinetError& e) {
        if (e.code() != 1) throw;
        ReportError(archive_error::kErrorOpening, file.path, CabinetWriteErrorText(e));
      }
    }
    if (packed == 0) throw EngineFailure(archive_error::kNothingToDo);
    expected.Finish();  // before the cabinet takes its name
    cabinet->Flush();
    return packed;
  } catch (const CabinetError& e) {
    ReportError(archive_error::kErrorWriting, archive_file_, CabinetWriteErrorText(e));
  } catch (const std::exception& e) {
    if (LeftToCaller(e)) throw;
    ReportFailure(e, archive_file_, {archive_error::kErrorWriting, archive_error::kErrorWriting});
  }
  return 0;
}

void CabReader::WalkEntries(File&, const std::function<void(const ArchiveEntry&)>& visit) {
  if (!library_.Available()) throw EngineFailure(archive_error::kCabinetLibraryMissing);
  try {
    session_ = library_.Open(ArchiveFile());
  } catch (const CabinetError& e) {
    throw EngineFailure(archive_error::kBadFileHeader, CabinetReadErrorText(e));
  }
  const std::vector<CabinetEntry>& files = session_->Files();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CabinetEntry& f = files[i];
    ArchiveEntry e;
    // A flag in the attributes says the name is UTF-8, not the OEM code page.
    e.name =
        (f.attributes & kNameIsUtf8) != 0 && DecodeUtf8(f.name) ? f.name : FromStoredName(f.name);
    std::replace(e.name.begin(), e.name.end(), '\\', '/');
    const std::uint16_t type = f.compression & 0x0F;
    e.method = type == cabinet_compression::kNone      ? "Stored"
               : type == cabinet_compression::kMsZip   ? "MsZIP"
               : type == cabinet_compression::kQuantum ? "Quantum"
                                                       : "Lzx";
    e.original_size = f.size;
    e.packed_size = f.size;
    e.dos_time = f.dos_time;
    e.attributes = static_cast<std::uint8_t>(f.attributes & 0x3F);
    e.crc_bits = 0;  // the library checks the data itself
    e.data_offset = static_cast<std::int64_t>(i);
    visit(e);
  }
  session_.reset();
}

std::uint32_t CabReader::DecodeEntry(File&, const ArchiveEntry& entry, File& out) {
  if (!session_) throw EngineFailure(archive_error::kBadFileHeader, "no cabinet is open");
  const std::int64_t start = out.Position();
  try {
    session_->Extract(static_cast<std::size_t>(entry.data_offset), out, job());
  } catch (const CabinetError& e) {
    throw EngineFailure(archive_error::kCrcFailure, CabinetReadErrorText(e));
  }
  // The library stops at the size the cabinet gives; anything else is damage.
  const auto written = static_cast<std::uint64_t>(out.Position() - start);
  if (written > entry.original_size) RaiseDataGoesOn(entry.original_size);
  if (written < entry.original_size) {
    throw std::runtime_error("its data ends after " + std::to_string(written) + " of the " +
                             std::to_string(entry.original_size) + " bytes its header gives");
  }
  return 0;
}

}  // namespace talvor

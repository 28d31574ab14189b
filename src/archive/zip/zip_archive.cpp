#include "archive/zip/zip_archive.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "archive/archive_io.h"
#include "archive/crc.h"
#include "archive/deflate.h"
#include "archive/zip/zip_end_record.h"
#include "archive/zip/zip_legacy_codecs.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

namespace talvor {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEnd64Signature = 0x06064B50;
constexpr std::uint32_t kEnd64LocatorSignature = 0x07064B50;
constexpr std::uint32_t kDescriptorSignature = 0x08074B50;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralSize = 46;
constexpr std::uint16_t kUtf8Flag = 0x0800;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFU;

[[noreturn]] void BadArchive(const std::string& why) {
  throw EngineFailure(archive_error::kBadFileHeader, why);
}

void ReadAt(File& f, std::int64_t at, std::uint8_t* data, std::size_t n) {
  if (at < 0) BadArchive("a record lies before the start of the archive");
  f.Seek(at);
  if (f.Read(data, n) != n) BadArchive("the archive ends inside a record");
}

// The 64-bit values a ZIP64 extra field holds, in the order of the fields
// that read 0xFFFFFFFF.
void ApplyZip64Extra(const std::uint8_t* extra, std::size_t length, std::uint64_t* original,
                     std::uint64_t* packed, std::uint64_t* offset) {
  for (std::size_t at = 0; at + 4 <= length;) {
    const std::uint16_t id = LoadLittleEndian16(extra + at);
    const std::uint16_t size = LoadLittleEndian16(extra + at + 2);
    if (at + 4 + size > length) return;
    if (id == kZip64Extra) {
      const std::uint8_t* p = extra + at + 4;
      std::size_t left = size;
      for (std::uint64_t* field : {original, packed, offset}) {
        if (field == nullptr || *field != kMax32) continue;
        if (left < 8) return;
        *field = LoadLittleEndian64(p);
        p += 8;
        left -= 8;
      }
      return;
    }
    at += 4 + size;
  }
}

// The UTF-8 name of an Info-ZIP Unicode Path extra field: version 1, the
// CRC-32 of the stored name, the name.
std::string UnicodePath(const std::uint8_t* extra, std::size_t length, const std::string& stored) {
  for (std::size_t at = 0; at + 4 <= length;) {
    const std::uint16_t id = LoadLittleEndian16(extra + at);
    const std::uint16_t size = LoadLittleEndian16(extra + at + 2);
    if (at + 4 + size > length) break;
    if (id == 0x7075 && size >= 5 && extra[at + 4] == 1) {
      const std::uint32_t crc = LoadLittleEndian32(extra + at + 5);
      const auto* raw = reinterpret_cast<const std::uint8_t*>(stored.data());
      if (crc == Crc32(0, raw, stored.size())) {
        std::string name(reinterpret_cast<const char*>(extra + at + 9), size - 5U);
        if (DecodeUtf8(name)) return name;
      }
    }
    at += 4 + size;
  }
  return {};
}

}  // namespace

namespace {

constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kEnd64Size = 56;

bool SignatureAt(File& archive, std::int64_t at, std::uint32_t signature) {
  if (at < 0) return false;
  std::uint8_t bytes[4];
  archive.Seek(at);
  return archive.Read(bytes, 4) == 4 && LoadLittleEndian32(bytes) == signature;
}

}  // namespace

void WalkZipDirectory(File& file, const std::function<void(const ZipCentralRecord&)>& visit,
                      std::int64_t* directory_start, const std::vector<std::int64_t>& disk_starts) {
  // The directory is read through a handle of its own: the entries' data,
  // read through `file` between its records, keeps its own buffer, and
  // neither reloads the other's.
  file.Flush();  // a joined split set may still be in its buffer
  UniqueFd own(::fcntl(file.Descriptor(), F_DUPFD_CLOEXEC, 0));
  if (!own.valid()) RaiseErrno(errno, file.path());
  File archive(std::move(own), file.path());
  // Where a part of a split archive starts; 0 for a whole one.
  const auto disk_start = [&](std::uint32_t disk) -> std::int64_t {
    if (disk_starts.empty()) return 0;
    if (disk >= disk_starts.size()) BadArchive("a record names a part the archive does not have");
    return disk_starts[disk];
  };
  const std::int64_t size = archive.Size();
  if (size < static_cast<std::int64_t>(zip::kEndSize)) {
    BadArchive("no end of central directory record");
  }
  const std::int64_t tail_at = std::max<std::int64_t>(0, size - zip::kEndSearchSpan);
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(size - tail_at));
  ReadAt(archive, tail_at, tail.data(), tail.size());
  const std::optional<std::size_t> found = zip::FindEndRecord(tail);
  if (!found) BadArchive("no end of central directory record");
  const std::int64_t end_at = tail_at + static_cast<std::int64_t>(*found);
  const std::uint8_t* end = tail.data() + *found;
  std::uint64_t entries = LoadLittleEndian16(end + 10);
  std::uint64_t directory_size = LoadLittleEndian32(end + 12);
  std::uint64_t directory_at = LoadLittleEndian32(end + 16);
  // Where the central directory ends: at the end record, or at the ZIP64
  // end record when there is one.
  std::int64_t directory_end = end_at;
  // ZIP64: the locator just before the end record points to the larger one.
  // Bytes in front of the archive move that one too; without extensible data
  // it lies right before the locator. Its values count where the end record
  // has none of its own (a field at its largest value); elsewhere a record
  // that is not found is no ZIP64 record at all, but signature bytes that
  // happen to stand there (in a name, say).
  const bool needs_zip64 = entries == 0xFFFF || directory_size == kMax32 || directory_at == kMax32;
  const std::int64_t locator_at = end_at - static_cast<std::int64_t>(kLocatorSize);
  std::int64_t end64_at = -1;
  if (SignatureAt(archive, locator_at, kEnd64LocatorSignature)) {
    std::uint8_t locator[kLocatorSize];
    ReadAt(archive, locator_at, locator, sizeof locator);
    const std::uint64_t stated =
        LoadLittleEndian64(locator + 8) +
        static_cast<std::uint64_t>(disk_start(LoadLittleEndian32(locator + 4)));
    const std::int64_t behind = locator_at - static_cast<std::int64_t>(kEnd64Size);
    if (stated <= static_cast<std::uint64_t>(behind) &&
        SignatureAt(archive, static_cast<std::int64_t>(stated), kEnd64Signature)) {
      end64_at = static_cast<std::int64_t>(stated);
    } else if (SignatureAt(archive, behind, kEnd64Signature)) {
      end64_at = behind;
    }
  }
  if (end64_at >= 0) {
    std::uint8_t end64[kEnd64Size];
    ReadAt(archive, end64_at, end64, sizeof end64);
    if (needs_zip64) {
      entries = LoadLittleEndian64(end64 + 32);
      directory_size = LoadLittleEndian64(end64 + 40);
      directory_at = LoadLittleEndian64(end64 + 48);
    }
    directory_end = end64_at;
  } else if (directory_size == kMax32 || directory_at == kMax32) {
    // (65535 entries is a count the end record can hold itself.)
    BadArchive("the ZIP64 end of central directory record is missing");
  }
  if (directory_size > static_cast<std::uint64_t>(directory_end) ||
      directory_at > static_cast<std::uint64_t>(size)) {
    BadArchive("the central directory lies outside the archive");
  }
  // Bytes in front of the archive (a self-extractor's program, padding)
  // move every offset by their length: the directory ends where the end
  // record begins. As unzip does, that place is tried first, then the
  // offset as recorded.
  const std::int64_t actual_at = directory_end - static_cast<std::int64_t>(directory_size);
  std::int64_t shift = actual_at - static_cast<std::int64_t>(directory_at);
  if (!disk_starts.empty()) {
    shift = disk_start(LoadLittleEndian16(end + 6));
  } else if (entries > 0 && !SignatureAt(archive, actual_at, kCentralSignature)) {
    if (!SignatureAt(archive, static_cast<std::int64_t>(directory_at), kCentralSignature)) {
      BadArchive("no central directory where the end record says it begins");
    }
    shift = 0;
  }
  if (directory_start != nullptr)
    *directory_start = static_cast<std::int64_t>(directory_at) + shift;
  std::int64_t at = static_cast<std::int64_t>(directory_at) + shift;
  const std::int64_t records_end = at + static_cast<std::int64_t>(directory_size);
  std::vector<std::uint8_t> variable;
  for (std::uint64_t i = 0; i < entries; ++i) {
    std::uint8_t h[kCentralSize];
    if (at + static_cast<std::int64_t>(kCentralSize) > records_end) {
      BadArchive("the central directory is shorter than its entry count");
    }
    ReadAt(archive, at, h, sizeof h);
    if (LoadLittleEndian32(h) != kCentralSignature)
      BadArchive("a central directory header is damaged");
    const std::size_t name_length = LoadLittleEndian16(h + 28);
    const std::size_t extra_length = LoadLittleEndian16(h + 30);
    const std::size_t comment_length = LoadLittleEndian16(h + 32);
    variable.resize(name_length + extra_length);
    ReadAt(archive, at + static_cast<std::int64_t>(kCentralSize), variable.data(), variable.size());
    ZipCentralRecord r;
    r.version_made = LoadLittleEndian16(h + 4);
    r.version_needed = LoadLittleEndian16(h + 6);
    r.flags = LoadLittleEndian16(h + 8);
    r.method = LoadLittleEndian16(h + 10);
    r.dos_time = LoadLittleEndian32(h + 12);
    r.crc = LoadLittleEndian32(h + 16);
    r.packed = LoadLittleEndian32(h + 20);
    r.original = LoadLittleEndian32(h + 24);
    r.internal_attributes = LoadLittleEndian16(h + 36);
    r.external_attributes = LoadLittleEndian32(h + 38);
    r.local_offset = LoadLittleEndian32(h + 42);
    r.name.assign(reinterpret_cast<const char*>(variable.data()), name_length);
    ApplyZip64Extra(variable.data() + name_length, extra_length, &r.original, &r.packed,
                    &r.local_offset);
    r.local_offset += static_cast<std::uint64_t>(
        disk_starts.empty() ? shift : disk_start(LoadLittleEndian16(h + 34)));
    r.unicode_name = UnicodePath(variable.data() + name_length, extra_length, r.name);
    visit(r);
    at += static_cast<std::int64_t>(kCentralSize + name_length + extra_length + comment_length);
  }
}

// ---------------------------------------------------------------------------

ZipWriter::ZipWriter(FileSystem& fs) : ArchiveWriter(fs, ".zip", PackingMethod::kDeflate) {}

bool ZipWriter::AcceptsMethod(PackingMethod method) const {
  return method == PackingMethod::kStore || method == PackingMethod::kDeflate;
}

namespace {

// A central record as the writer keeps it in WriterEntry::format_data.
std::string Serialise(const ZipCentralRecord& r) {
  std::vector<std::uint8_t> out;
  AppendLittleEndian16(out, r.version_made);
  AppendLittleEndian16(out, r.version_needed);
  AppendLittleEndian16(out, r.flags);
  AppendLittleEndian16(out, r.method);
  AppendLittleEndian32(out, r.dos_time);
  AppendLittleEndian32(out, r.crc);
  AppendLittleEndian64(out, r.packed);
  AppendLittleEndian64(out, r.original);
  AppendLittleEndian16(out, r.internal_attributes);
  AppendLittleEndian32(out, r.external_attributes);
  std::string s(out.begin(), out.end());
  return s + r.name;
}

ZipCentralRecord Deserialise(const std::string& s) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
  ZipCentralRecord r;
  r.version_made = LoadLittleEndian16(p);
  r.version_needed = LoadLittleEndian16(p + 2);
  r.flags = LoadLittleEndian16(p + 4);
  r.method = LoadLittleEndian16(p + 6);
  r.dos_time = LoadLittleEndian32(p + 8);
  r.crc = LoadLittleEndian32(p + 12);
  r.packed = LoadLittleEndian64(p + 16);
  r.original = LoadLittleEndian64(p + 24);
  r.internal_attributes = LoadLittleEndian16(p + 32);
  r.external_attributes = LoadLittleEndian32(p + 34);
  r.name = s.substr(38);
  return r;
}

// The length of a whole entry in an archive: local header, name, extra,
// data and a data descriptor when there is one.
std::int64_t EntryLength(File& archive, const ZipCentralRecord& r) {
  std::uint8_t h[kLocalSize];
  ReadAt(archive, static_cast<std::int64_t>(r.local_offset), h, sizeof h);
  if (LoadLittleEndian32(h) != kLocalSignature) {
    throw EngineFailure(archive_error::kBadLocalHeaderOffset, r.name);
  }
  std::int64_t length = static_cast<std::int64_t>(kLocalSize + LoadLittleEndian16(h + 26) +
                                                  LoadLittleEndian16(h + 28) + r.packed);
  if ((LoadLittleEndian16(h + 6) & 0x0008) != 0) {
    const bool large = r.packed >= kMax32 || r.original >= kMax32;
    std::uint8_t sig[4] = {};
    archive.Seek(static_cast<std::int64_t>(r.local_offset) + length);
    const bool signed_descriptor =
        archive.Read(sig, 4) == 4 && LoadLittleEndian32(sig) == kDescriptorSignature;
    length += (signed_descriptor ? 4 : 0) + (large ? 20 : 12);
  }
  return length;
}

}  // namespace

std::vector<WriterEntry> ZipWriter::ReadExistingEntries(File& archive) {
  std::vector<WriterEntry> entries;
  WalkZipDirectory(archive, [&](const ZipCentralRecord& r) {
    WriterEntry e;
    e.name = (r.flags & kUtf8Flag) != 0 ? r.name : FromStoredName(r.name);
    e.existing = true;
    e.offset = static_cast<std::int64_t>(r.local_offset);
    e.length = EntryLength(archive, r);
    e.dos_time = r.dos_time;
    e.original_size = r.original;
    e.format_data = Serialise(r);
    entries.push_back(std::move(e));
  });
  return entries;
}

std::string ZipWriter::RecordedName(const WriterEntry& entry) const {
  // A name the OEM code page cannot hold is kept whole, as UTF-8; a name
  // that is no UTF-8 at all would be read back as other characters.
  RequireRecordableName(entry.name, entry.source.path, "a ZIP archive", {"\\"});
  const auto oem = OemCodePage().Encode(entry.name);
  return oem ? *oem : entry.name;
}

bool ZipWriter::WriteNewEntry(WriterEntry& entry, File& out) {
  File source = OpenSource(entry);
  if (!source.IsOpen()) return false;
  const SourceState state(source);
  ZipCentralRecord r;
  r.name = RecordedName(entry);
  if (!OemCodePage().Encode(entry.name)) r.flags |= kUtf8Flag;
  r.dos_time = EntryTime(entry.source);
  r.internal_attributes = 1;
  r.external_attributes = entry.source.dos_attributes;
  const auto size = static_cast<std::uint64_t>(source.Size());
  const bool large = size >= Zip64Threshold;
  if (large) r.version_needed = r.version_made = 45;
  const bool store = method_ == PackingMethod::kStore || DeflateType == DeflateEffort::kStore ||
                     InStoreList(entry.source.path);

  // The header first, with its sizes written again after the data.
  const auto local = [&](const EntryData& d) {
    std::vector<std::uint8_t> h;
    AppendLittleEndian32(h, kLocalSignature);
    AppendLittleEndian16(h, r.version_needed);
    AppendLittleEndian16(h, r.flags);
    AppendLittleEndian16(h, r.method);
    AppendLittleEndian32(h, r.dos_time);
    AppendLittleEndian32(h, d.crc);
    AppendLittleEndian32(h, large ? kMax32 : static_cast<std::uint32_t>(d.packed));
    AppendLittleEndian32(h, large ? kMax32 : static_cast<std::uint32_t>(d.original));
    AppendLittleEndian16(h, static_cast<std::uint16_t>(r.name.size()));
    AppendLittleEndian16(h, large ? 20 : 0);
    h.insert(h.end(), r.name.begin(), r.name.end());
    if (large) {
      AppendLittleEndian16(h, kZip64Extra);
      AppendLittleEndian16(h, 16);
      AppendLittleEndian64(h, d.original);
      AppendLittleEndian64(h, d.packed);
    }
    return h;
  };
  const std::int64_t header_at = out.Position();
  r.method = 8;
  std::vector<std::uint8_t> header = local(EntryData{});
  out.Write(header.data(), header.size());
  const EntryData d = WriteEntryData(source, out, store, DeflateLevel(DeflateType), job());
  if (!large && (d.packed >= kMax32 || d.original >= kMax32)) {
    throw EngineFailure(archive_error::kErrorWriting,
                        entry.source.path + " grew past 4 GiB while it was packed");
  }
  state.RequireUnchanged(source);
  r.method = d.stored ? 0 : 8;
  if (!d.stored) r.flags |= DeflateFlags(DeflateType);
  r.crc = d.crc;
  r.packed = d.packed;
  r.original = d.original;
  header = local(d);
  const std::int64_t end = out.Position();
  out.Seek(header_at);
  out.Write(header.data(), header.size());
  out.Seek(end);
  entry.format_data = Serialise(r);
  return true;
}

void ZipWriter::WriteClosing(File& out, const std::vector<WriterEntry>& entries) {
  const std::int64_t directory_at = out.Position();
  std::vector<std::uint8_t> h;
  for (const WriterEntry& e : entries) {
    ZipCentralRecord r = Deserialise(e.format_data);
    r.local_offset = static_cast<std::uint64_t>(e.new_offset);
    const bool big_sizes = r.packed >= Zip64Threshold || r.original >= Zip64Threshold;
    const bool big_offset = r.local_offset >= Zip64Threshold;
    h.clear();
    AppendLittleEndian32(h, kCentralSignature);
    AppendLittleEndian16(h, r.version_made);
    AppendLittleEndian16(h, r.version_needed);
    AppendLittleEndian16(h, r.flags);
    AppendLittleEndian16(h, r.method);
    AppendLittleEndian32(h, r.dos_time);
    AppendLittleEndian32(h, r.crc);
    AppendLittleEndian32(h, big_sizes ? kMax32 : static_cast<std::uint32_t>(r.packed));
    AppendLittleEndian32(h, big_sizes ? kMax32 : static_cast<std::uint32_t>(r.original));
    AppendLittleEndian16(h, static_cast<std::uint16_t>(r.name.size()));
    const std::uint32_t extra = (big_sizes ? 16U : 0U) + (big_offset ? 8U : 0U);
    AppendLittleEndian16(h, extra == 0 ? 0 : extra + 4);
    AppendLittleEndian16(h, 0);  // comment
    AppendLittleEndian16(h, 0);  // disk
    AppendLittleEndian16(h, r.internal_attributes);
    AppendLittleEndian32(h, r.external_attributes);
    AppendLittleEndian32(h, big_offset ? kMax32 : static_cast<std::uint32_t>(r.local_offset));
    h.insert(h.end(), r.name.begin(), r.name.end());
    if (extra != 0) {
      AppendLittleEndian16(h, kZip64Extra);
      AppendLittleEndian16(h, extra);
      if (big_sizes) {
        AppendLittleEndian64(h, r.original);
        AppendLittleEndian64(h, r.packed);
      }
      if (big_offset) AppendLittleEndian64(h, r.local_offset);
    }
    out.Write(h.data(), h.size());
  }
  const std::int64_t end_at = out.Position();
  const auto directory_size = static_cast<std::uint64_t>(end_at - directory_at);
  const bool big = entries.size() >= 0xFFFF ||
                   static_cast<std::uint64_t>(directory_at) >= Zip64Threshold ||
                   directory_size >= Zip64Threshold;
  h.clear();
  if (big) {
    AppendLittleEndian32(h, kEnd64Signature);
    AppendLittleEndian64(h, 44);
    AppendLittleEndian16(h, 45);
    AppendLittleEndian16(h, 45);
    AppendLittleEndian32(h, 0);
    AppendLittleEndian32(h, 0);
    AppendLittleEndian64(h, entries.size());
    AppendLittleEndian64(h, entries.size());
    AppendLittleEndian64(h, directory_size);
    AppendLittleEndian64(h, static_cast<std::uint64_t>(directory_at));
    AppendLittleEndian32(h, kEnd64LocatorSignature);
    AppendLittleEndian32(h, 0);
    AppendLittleEndian64(h, static_cast<std::uint64_t>(end_at));
    AppendLittleEndian32(h, 1);
  }
  AppendLittleEndian32(h, zip::kEndSignature);
  AppendLittleEndian16(h, 0);
  AppendLittleEndian16(h, 0);
  AppendLittleEndian16(h, big ? 0xFFFF : static_cast<std::uint32_t>(entries.size()));
  AppendLittleEndian16(h, big ? 0xFFFF : static_cast<std::uint32_t>(entries.size()));
  AppendLittleEndian32(h, big ? kMax32 : static_cast<std::uint32_t>(directory_size));
  AppendLittleEndian32(h, big ? kMax32 : static_cast<std::uint32_t>(directory_at));
  AppendLittleEndian16(h, 0);
  out.Write(h.data(), h.size());
}

// ---------------------------------------------------------------------------

void ZipReader::WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) {
  WalkZipDirectory(
      archive,
      [&](const ZipCentralRecord& r) {
        ArchiveEntry e;
        const bool utf8 = (r.flags & kUtf8Flag) != 0 && DecodeUtf8(r.name).has_value();
        e.name = !r.unicode_name.empty() ? r.unicode_name : utf8 ? r.name : FromStoredName(r.name);
        // As unzip does, a name ends at a NUL byte.
        if (const std::size_t nul = e.name.find('\0'); nul != std::string::npos) e.name.resize(nul);
        std::replace(e.name.begin(), e.name.end(), '\\', '/');
        e.is_folder = !e.name.empty() && e.name.back() == '/';
        if (e.is_folder) e.name.pop_back();
        e.method_id = r.method;
        e.flags = r.flags;
        e.method = r.method == 0   ? "stored"
                   : r.method == 8 ? "deflate"
                                   : "method " + std::to_string(r.method);
        e.packed_size = r.packed;
        e.original_size = r.original;
        e.dos_time = r.dos_time;
        // Attributes from a system with MS-DOS attributes; from UNIX, read-only
        // when nobody may write.
        const int host = r.version_made >> 8;
        if (host == 3) {
          const std::uint32_t mode = r.external_attributes >> 16;
          e.attributes =
              static_cast<std::uint8_t>(0x20 | ((mode & 0222) == 0 && mode != 0 ? 0x01 : 0));
          if ((mode & 0170000) == 0040000) e.is_folder = true;
        } else {
          e.attributes = static_cast<std::uint8_t>(r.external_attributes);
          if ((e.attributes & 0x10) != 0) e.is_folder = true;
        }
        e.crc = r.crc;
        e.crc_bits = 32;
        e.data_offset =
            static_cast<std::int64_t>(std::min<std::uint64_t>(r.local_offset, INT64_MAX));
        const bool encrypted = (r.flags & 0x0001) != 0;
        e.supported = !encrypted && (r.method <= 6 || r.method == 8 || r.method == 9);
        if (encrypted) e.method += " (encrypted)";
        visit(e);
      },
      &directory_start_, disk_starts_);
}

std::uint32_t ZipReader::DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) {
  // The local header must be where the directory says.
  std::uint8_t h[kLocalSize];
  const bool inside = entry.data_offset <= archive.Size() - static_cast<std::int64_t>(sizeof h);
  if (inside) archive.Seek(entry.data_offset);
  if (!inside || archive.Read(h, sizeof h) != sizeof h ||
      LoadLittleEndian32(h) != kLocalSignature) {
    throw EngineFailure(archive_error::kBadLocalHeaderOffset,
                        "no local header at offset " + std::to_string(entry.data_offset) +
                            ", where the directory places it");
  }
  archive.Seek(entry.data_offset + static_cast<std::int64_t>(kLocalSize) +
               LoadLittleEndian16(h + 26) + LoadLittleEndian16(h + 28));
  const std::int64_t data_at = archive.Position();
  // A Deflate stream shows where it ends: it may run past a packed size that
  // lost its high bits (a file of 4 GiB or more written without ZIP64), up to
  // the central directory.
  const std::uint64_t to_directory =
      directory_start_ > data_at ? static_cast<std::uint64_t>(directory_start_ - data_at) : 0;
  const std::uint64_t span = entry.method_id == 8 && entry.packed_size <= kMax32
                                 ? std::max(entry.packed_size, to_directory)
                                 : entry.packed_size;
  // What the archive really holds from here: a size in the headers may
  // claim more.
  const std::uint64_t held = std::min(
      span, static_cast<std::uint64_t>(std::max<std::int64_t>(archive.Size() - data_at, 0)));
  FileSource in(archive, span, job());
  CheckedFileSink sink(out, Crc32Update);
  switch (entry.method_id) {
    case 0:
      if (entry.packed_size != entry.original_size) {
        throw ZipDataError("a stored entry whose sizes differ");
      }
      CopyExactly(in, sink, entry.original_size);
      break;
    case 1:
      Unshrink(in, sink, entry.original_size);
      break;
    case 2:
    case 3:
    case 4:
    case 5:
      Unreduce(in, sink, entry.original_size, entry.method_id - 1);
      break;
    case 6:
      Explode(in, sink, entry.original_size, entry.flags);
      break;
    case 8: {
      // A size that lost its high bits (a file of 4 GiB or more written
      // without ZIP64 records) cannot be right: where the CRC does not match
      // at the size given, decoding goes on by steps of 4 GiB to where it
      // does, or to the stream's end. Deflate makes at most 1032 bytes of
      // one: data too short to hold 4 GiB more is no such file, and is not
      // decoded past the size given.
      constexpr std::uint64_t kMostPerByte = 1032;
      SourceInflater inflater(in, 32768, entry.packed_size);
      std::uint64_t produced = 0;
      for (std::uint64_t stop = entry.original_size;; stop += std::uint64_t{1} << 32) {
        produced += inflater.Inflate(sink, stop - produced);
        if (produced < stop) {
          throw ZipDataError("the entry decodes to " + std::to_string(produced) +
                             " bytes, not the " + std::to_string(entry.original_size) +
                             " its header gives");
        }
        if (inflater.ended() || sink.check() == entry.crc || entry.original_size > kMax32 ||
            (stop + (std::uint64_t{1} << 32)) / kMostPerByte > held) {
          break;
        }
      }
      // Data that does not end where the header says is damaged; where the
      // CRC already fails, that is what is said.
      if (sink.check() == entry.crc && inflater.GoesOn()) RaiseDataGoesOn(entry.original_size);
      break;
    }
    case 9:
      Inflate64(in, sink, entry.original_size);
      break;
    default:
      throw EngineFailure(archive_error::kUnsupportedMethod, entry.method);
  }
  return sink.check();
}

}  // namespace talvor

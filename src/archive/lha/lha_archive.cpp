#include "archive/lha/lha_archive.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "archive/archive_io.h"
#include "archive/crc.h"
#include "archive/dos_time.h"
#include "archive/lha/lha_codec.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"

namespace talvor {

namespace {

constexpr std::size_t kBaseHeader = 22;
constexpr std::size_t kMaxLevel0Name = 255 - 22;  // the size byte counts name + 22
constexpr char kOsMsDos = 'M';
constexpr std::uint64_t kMaxEntrySize = 0xFFFFFFFFULL;  // the widest size field

[[noreturn]] void BadHeader(const std::string& why) {
  throw EngineFailure(archive_error::kBadFileHeader, why);
}

// Reads exactly n bytes at the file's position, or reports a damaged header.
void ReadHeaderBytes(File& archive, std::uint8_t* data, std::size_t n) {
  if (archive.Read(data, n) != n) BadHeader("the archive ends inside a header");
}

// Folder separators inside stored names: "\" and 0xFF become "/".
std::string NormaliseSeparators(std::string name) {
  for (char& c : name) {
    if (c == '\\' || static_cast<unsigned char>(c) == 0xFF) c = '/';
  }
  return name;
}

std::uint32_t DosTimeFromUtc(std::uint32_t seconds) {
  return DosTimeFromUnix(static_cast<std::time_t>(seconds));
}

// The extended headers of levels 1 to 3. `size` is the first one's size,
// `size_bytes` the width of the size fields (2, or 4 for level 3).
// Returns the bytes they take.
std::int64_t ReadExtendedHeaders(File& archive, std::uint32_t size, int size_bytes,
                                 std::int64_t limit, LhaHeader& h, std::string& folder,
                                 std::string& name_from_ext, bool& have_name,
                                 std::uint16_t* header_crc, std::int64_t* crc_at) {
  std::int64_t total = 0;
  std::vector<std::uint8_t> buffer;
  while (size != 0) {
    if (size < static_cast<std::uint32_t>(1 + size_bytes) || total + size > limit) {
      BadHeader("an extended header has an impossible size");
    }
    buffer.resize(size);
    const std::int64_t at = archive.Position();
    ReadHeaderBytes(archive, buffer.data(), size);
    const std::uint8_t type = buffer[0];
    const std::uint8_t* data = buffer.data() + 1;
    const std::size_t length = size - 1 - static_cast<std::size_t>(size_bytes);
    switch (type) {
      case 0x00:  // header CRC
        if (length >= 2 && header_crc != nullptr) {
          *header_crc = LoadLittleEndian16(data);
          *crc_at = at + 1;
        }
        break;
      case 0x01:  // file name
        name_from_ext.assign(reinterpret_cast<const char*>(data), length);
        have_name = true;
        break;
      case 0x02:  // folder name
        folder.assign(reinterpret_cast<const char*>(data), length);
        break;
      case 0x40:  // MS-DOS attributes
        if (length >= 2) h.attributes = static_cast<std::uint8_t>(LoadLittleEndian16(data));
        break;
      case 0x54:  // UNIX time stamp
        if (length >= 4 && h.level == 1) h.dos_time = DosTimeFromUtc(LoadLittleEndian32(data));
        break;
      default:
        break;
    }
    const std::uint8_t* next = buffer.data() + size - size_bytes;
    size = size_bytes == 2 ? LoadLittleEndian16(next) : LoadLittleEndian32(next);
    total += static_cast<std::int64_t>(buffer.size());
  }
  return total;
}

}  // namespace

bool ReadLhaHeader(File& archive, std::int64_t offset, LhaHeader& h) {
  h = LhaHeader{};
  h.header_offset = offset;
  archive.Seek(offset);
  std::uint8_t base[kBaseHeader + 4];
  const std::size_t got = archive.Read(base, kBaseHeader);
  if (got == 0 || base[0] == 0) return false;
  if (got < kBaseHeader) BadHeader("the archive ends inside a header");
  h.level = base[20];
  if (h.level <= 1 && base[0] < kBaseHeader) BadHeader("the header is too short");
  if (base[2] != '-' || base[6] != '-') BadHeader("no method id where a header should begin");
  h.method.assign(reinterpret_cast<const char*>(base + 2), 5);
  h.packed_size = LoadLittleEndian32(base + 7);
  h.original_size = LoadLittleEndian32(base + 11);
  const std::uint32_t stamp = LoadLittleEndian32(base + 15);
  h.attributes = base[19];
  const std::int64_t file_size = archive.Size();
  std::string folder;
  std::string ext_name;
  bool have_ext_name = false;

  if (h.level == 0 || h.level == 1) {
    const std::size_t header_size = base[0];
    const std::size_t name_length = base[21];
    if (kBaseHeader + name_length + 2 > header_size + 2)
      BadHeader("the name does not fit the header");
    std::vector<std::uint8_t> rest(header_size + 2 - kBaseHeader);
    ReadHeaderBytes(archive, rest.data(), rest.size());
    // The checksum covers the header from its third byte.
    std::uint32_t sum = 0;
    for (std::size_t i = 2; i < kBaseHeader; ++i) sum += base[i];
    for (const std::uint8_t b : rest) sum += b;
    if ((sum & 0xFF) != base[1]) BadHeader("the header checksum is wrong");
    h.raw_name.assign(reinterpret_cast<const char*>(rest.data()), name_length);
    const std::size_t after_name = name_length;
    if (after_name + 2 <= rest.size()) h.crc = LoadLittleEndian16(rest.data() + after_name);
    h.dos_time = stamp;
    h.header_size = static_cast<std::int64_t>(header_size) + 2;
    std::int64_t extended = 0;
    if (h.level == 1) {
      if (after_name + 5 > rest.size()) BadHeader("the level-1 header is too short");
      h.os = rest[after_name + 2];
      const std::uint16_t first = LoadLittleEndian16(rest.data() + rest.size() - 2);
      extended = ReadExtendedHeaders(archive, first, 2, static_cast<std::int64_t>(h.packed_size), h,
                                     folder, ext_name, have_ext_name, nullptr, nullptr);
      h.packed_size -= static_cast<std::uint64_t>(extended);
    }
    h.data_offset = offset + h.header_size + extended;
    h.next_offset = h.data_offset + static_cast<std::int64_t>(h.packed_size);
  } else if (h.level == 2 || h.level == 3) {
    // A 16-bit (level 2) or 32-bit (level 3) header size; times in seconds
    // since 1970 (UTC).
    std::uint8_t more[10];
    const std::size_t more_bytes = h.level == 2 ? 4 : 10;
    ReadHeaderBytes(archive, more, more_bytes);
    std::memcpy(base + kBaseHeader, more, std::min<std::size_t>(more_bytes, 4));
    h.crc = LoadLittleEndian16(base + 21);
    h.os = more[1];
    std::int64_t header_size = 0;
    std::uint32_t first = 0;
    int size_bytes = 2;
    if (h.level == 2) {
      header_size = LoadLittleEndian16(base);
      first = LoadLittleEndian16(more + 2);
    } else {
      if (LoadLittleEndian16(base) != 4) BadHeader("a level-3 header with an unknown word size");
      header_size = LoadLittleEndian32(more + 2);
      first = LoadLittleEndian32(more + 6);
      size_bytes = 4;
    }
    const std::int64_t fixed = static_cast<std::int64_t>(kBaseHeader + more_bytes);
    if (header_size < fixed || offset + header_size > file_size) {
      BadHeader("the header size is impossible");
    }
    std::uint16_t header_crc = 0;
    std::int64_t crc_at = -1;
    // Some writers (OS-9's) declare a header size short of their extended
    // headers; the chain of extended headers then tells where the data
    // begins. It stays within 64 KiB and the file.
    const std::int64_t extended = ReadExtendedHeaders(
        archive, first, size_bytes, std::min<std::int64_t>(file_size - offset - fixed, 0xFFFF), h,
        folder, ext_name, have_ext_name, &header_crc, &crc_at);
    const bool short_size = fixed + extended > header_size;
    if (short_size) crc_at = -1;  // a header CRC over a misdeclared size means nothing
    header_size = std::max(header_size, fixed + extended);
    if (crc_at >= 0) {
      // The header's CRC-16 with its own field read as zero.
      std::vector<std::uint8_t> whole(static_cast<std::size_t>(header_size));
      archive.Seek(offset);
      ReadHeaderBytes(archive, whole.data(), whole.size());
      whole[static_cast<std::size_t>(crc_at - offset)] = 0;
      whole[static_cast<std::size_t>(crc_at - offset) + 1] = 0;
      if (Crc16(0, whole.data(), whole.size()) != header_crc) BadHeader("the header CRC is wrong");
    }
    h.dos_time = DosTimeFromUtc(stamp);
    h.header_size = header_size;
    h.data_offset = offset + header_size;
    h.next_offset = h.data_offset + static_cast<std::int64_t>(h.packed_size);
  } else {
    BadHeader("unknown header level " + std::to_string(h.level));
  }
  if (have_ext_name) h.raw_name = ext_name;
  // Some writers put a comment after a NUL behind the name.
  if (const std::size_t nul = h.raw_name.find('\0'); nul != std::string::npos) {
    h.raw_name.resize(nul);
  }
  if (!folder.empty()) {
    if (folder.back() != '\xFF' && folder.back() != '/' && folder.back() != '\\') folder += '/';
    h.raw_name = folder + h.raw_name;
  }
  h.raw_name = NormaliseSeparators(h.raw_name);
  return true;
}

// ---------------------------------------------------------------------------

LhaWriter::LhaWriter(FileSystem& fs) : ArchiveWriter(fs, ".lha", PackingMethod::kFrozen6) {}

bool LhaWriter::AcceptsMethod(PackingMethod method) const {
  return method == PackingMethod::kStore || method == PackingMethod::kFrozen5 ||
         method == PackingMethod::kFrozen6;
}

std::vector<WriterEntry> LhaWriter::ReadExistingEntries(File& archive) {
  std::vector<WriterEntry> entries;
  LhaHeader h;
  for (std::int64_t at = 0; ReadLhaHeader(archive, at, h); at = h.next_offset) {
    if (h.next_offset <= at || h.next_offset > archive.Size()) {
      throw EngineFailure(archive_error::kBadFileHeader, "an entry runs past the archive's end");
    }
    WriterEntry e;
    e.name = FromStoredName(h.raw_name);
    e.existing = true;
    e.offset = at;
    e.length = h.next_offset - at;
    e.dos_time = h.dos_time;
    e.original_size = h.original_size;
    entries.push_back(std::move(e));
  }
  return entries;
}

void LhaWriter::CopyExistingEntry(File& archive, WriterEntry& entry, File& out) {
  archive.Seek(entry.offset);
  std::uint8_t first[kBaseHeader];
  archive.ReadExact(first, kBaseHeader);
  if (first[20] > 1) {
    ArchiveWriter::CopyExistingEntry(archive, entry, out);
    return;
  }
  // Levels 0 and 1: the checksum is computed again over the header as written.
  std::vector<std::uint8_t> header(static_cast<std::size_t>(first[0]) + 2);
  std::memcpy(header.data(), first, kBaseHeader);
  archive.ReadExact(header.data() + kBaseHeader, header.size() - kBaseHeader);
  std::uint32_t sum = 0;
  for (std::size_t i = 2; i < header.size(); ++i) sum += header[i];
  header[1] = static_cast<std::uint8_t>(sum);
  out.Write(header.data(), header.size());
  WriterEntry rest = entry;
  rest.offset += static_cast<std::int64_t>(header.size());
  rest.length -= static_cast<std::int64_t>(header.size());
  ArchiveWriter::CopyExistingEntry(archive, rest, out);
}

namespace {

// Builds the header bytes of a new entry. Level 0 holds names of up to 233
// bytes; longer ones get a level-2 header (file and folder name in extended
// headers, the time in seconds since 1970, a header CRC).
std::vector<std::uint8_t> BuildHeader(const std::string& method, std::uint64_t packed,
                                      std::uint64_t original, std::uint32_t dos_time,
                                      std::time_t unix_time, std::uint8_t attributes,
                                      const std::string& stored, std::uint16_t crc) {
  std::vector<std::uint8_t> h;
  h.reserve(stored.size() + 64);
  if (stored.size() <= kMaxLevel0Name) {
    h.push_back(static_cast<std::uint8_t>(stored.size() + 22));
    h.push_back(0);
    h.insert(h.end(), method.begin(), method.end());
    AppendLittleEndian32(h, static_cast<std::uint32_t>(packed));
    AppendLittleEndian32(h, static_cast<std::uint32_t>(original));
    AppendLittleEndian32(h, dos_time);
    h.push_back(attributes);
    h.push_back(0);
    h.push_back(static_cast<std::uint8_t>(stored.size()));
    for (const char c : stored) h.push_back(static_cast<std::uint8_t>(c == '/' ? '\\' : c));
    AppendLittleEndian16(h, crc);
    std::uint32_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = static_cast<std::uint8_t>(sum);
    return h;
  }
  const std::size_t slash = stored.rfind('/');
  const std::string name = slash == std::string::npos ? stored : stored.substr(slash + 1);
  std::string folder = slash == std::string::npos ? std::string() : stored.substr(0, slash + 1);
  for (char& c : folder) {
    if (c == '/') c = '\xFF';
  }
  h.resize(2);  // header size, filled in below
  h.insert(h.end(), method.begin(), method.end());
  AppendLittleEndian32(h, static_cast<std::uint32_t>(packed));
  AppendLittleEndian32(h, static_cast<std::uint32_t>(original));
  AppendLittleEndian32(h, static_cast<std::uint32_t>(unix_time));
  h.push_back(0x20);
  h.push_back(2);
  AppendLittleEndian16(h, crc);
  h.push_back(kOsMsDos);
  std::vector<std::vector<std::uint8_t>> ext;
  ext.push_back({0x00, 0, 0, 0});  // header CRC, and one spare byte
  ext.push_back({0x01});
  ext.back().insert(ext.back().end(), name.begin(), name.end());
  if (!folder.empty()) {
    ext.push_back({0x02});
    ext.back().insert(ext.back().end(), folder.begin(), folder.end());
  }
  ext.push_back({0x40, attributes, 0});
  std::size_t total = h.size() + 2;
  for (const auto& e : ext) total += e.size() + 2;
  if ((total & 0xFF) == 0) {  // a low size byte of 0 would read as the archive's end
    ext.front().push_back(0);
    ++total;
  }
  AppendLittleEndian16(h, static_cast<std::uint16_t>(ext.front().size() + 2));
  std::size_t crc_at = 0;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    if (i == 0) crc_at = h.size() + 1;
    h.insert(h.end(), ext[i].begin(), ext[i].end());
    AppendLittleEndian16(
        h, i + 1 < ext.size() ? static_cast<std::uint32_t>(ext[i + 1].size() + 2) : 0);
  }
  StoreLittleEndian16(static_cast<std::uint16_t>(h.size()), h.data());
  StoreLittleEndian16(Crc16(0, h.data(), h.size()), h.data() + crc_at);
  return h;
}

}  // namespace

std::string LhaWriter::RecordedName(const WriterEntry& entry) const {
  // "\" and 0xFF separate folders in LHA names: the character that the code
  // page puts at 0xFF (a no-break space in code page 852) cannot be kept.
  return ExactStoredName(entry.name, entry.source.path, "a LHA archive",
                         {"\\", FromStoredName("\xFF")});
}

bool LhaWriter::WriteNewEntry(WriterEntry& entry, File& out) {
  const std::string stored = RecordedName(entry);
  File source = OpenSource(entry);
  if (!source.IsOpen()) return false;
  const SourceState state(source);
  const auto original = static_cast<std::uint64_t>(source.Size());
  if (original > kMaxEntrySize) {
    ReportError(archive_error::kErrorWriting, entry.source.path,
                "the file is 4 GiB or larger: LHA headers hold sizes below 4 GiB only");
    return false;
  }
  const bool store =
      method_ == PackingMethod::kStore || original == 0 || InStoreList(entry.source.path);
  std::string method = store ? "-lh0-" : (method_ == PackingMethod::kFrozen5 ? "-lh5-" : "-lh6-");
  const std::uint32_t dos_time = EntryTime(entry.source);
  const std::time_t unix_time = UnixFromDosTime(dos_time);
  const std::int64_t header_at = out.Position();
  std::vector<std::uint8_t> header =
      BuildHeader(method, 0, original, dos_time, unix_time, entry.source.dos_attributes, stored, 0);
  out.Write(header.data(), header.size());
  const std::int64_t data_at = out.Position();

  std::uint16_t crc = 0;
  std::uint64_t packed = 0;
  std::uint64_t read = original;
  bool stored_raw = store;
  if (!store) {
    FileSource in(source, UINT64_MAX, job());
    FileSink sink(out);
    const LhaMethod params = method_ == PackingMethod::kFrozen5 ? kWriteLh5 : kWriteLh6;
    const bool done = LhaEncode(in, sink, params, original, &crc, &read);
    packed = static_cast<std::uint64_t>(out.Position() - data_at);
    // Compression that does not pay for its header is dropped.
    if (!done || packed + stored.size() + 24 >= read) stored_raw = true;
  }
  if (stored_raw) {
    method = "-lh0-";
    if (!store) job().Expect(read);  // read a second time
    out.Seek(data_at);
    out.Truncate();
    source.Seek(0);
    CheckedFileSink sink(out, Crc16Update);
    FileSource in(source, UINT64_MAX, job());
    std::vector<std::uint8_t> buffer(256 * 1024);
    for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;)
      sink.Write(buffer.data(), n);
    crc = static_cast<std::uint16_t>(sink.check());
    read = sink.written();
    packed = read;
  }
  state.RequireUnchanged(source);
  if (read > kMaxEntrySize || packed > kMaxEntrySize) {
    throw EngineFailure(archive_error::kErrorWriting,
                        entry.source.path + " grew to 4 GiB or more while it was packed");
  }
  header = BuildHeader(method, packed, read, dos_time, unix_time, entry.source.dos_attributes,
                       stored, crc);
  const std::int64_t end = out.Position();
  out.Seek(header_at);
  out.Write(header.data(), header.size());
  out.Seek(end);
  return true;
}

void LhaWriter::WriteClosing(File& out, const std::vector<WriterEntry>& /*entries*/) {
  if (WriteEndMarker) out.WriteByte(0);
}

// ---------------------------------------------------------------------------

void LhaReader::WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) {
  LhaHeader h;
  for (std::int64_t at = 0; ReadLhaHeader(archive, at, h); at = h.next_offset) {
    if (h.next_offset <= at) BadHeader("an entry that does not advance");
    ArchiveEntry e;
    e.name = FromStoredName(h.raw_name);
    e.method = h.method;
    e.is_folder = h.method == "-lhd-";
    e.packed_size = h.packed_size;
    e.original_size = h.original_size;
    e.dos_time = h.dos_time;
    e.attributes = h.attributes;
    e.crc = h.crc;
    e.crc_bits = 16;
    e.data_offset = h.data_offset;
    e.header_level = h.level;
    e.supported = LhaMethodDecoded(h.method);
    e.os = h.os;
    if (e.is_folder && !e.name.empty() && e.name.back() == '/') e.name.pop_back();
    visit(e);
  }
}

namespace {

// MacLHA (classic Mac OS, system id 'm') stores a file as MacBinary: a
// 128-byte header, the data fork, the resource fork, each padded to 128
// bytes. Like the other readers, only the data fork is extracted (the
// resource fork where there is no data fork), and only when the header
// fits the entry: zeros where MacBinary wants them, the entry's own name,
// fork lengths that add up to the entry's size, a time near its time.
// Anything else is the entry's own data, passed on whole.
class MacBinaryFilter final : public ByteSink {
 public:
  MacBinaryFilter(ByteSink& out, const ArchiveEntry& entry, std::string stored_name)
      : out_(out), entry_(entry), stored_name_(std::move(stored_name)) {}

  void Write(const std::uint8_t* data, std::size_t n) override {
    while (n > 0 && header_.size() < kHeaderSize && !decided_) {
      header_.push_back(*data++);
      --n;
      if (header_.size() == kHeaderSize) Decide();
    }
    if (!decided_) return;
    const auto pass = static_cast<std::size_t>(std::min<std::uint64_t>(n, left_));
    out_.Write(data, pass);
    left_ -= pass;
  }

  // Passes on what was held back when the data was too short for a header.
  void Finish() {
    if (!decided_) out_.Write(header_.data(), header_.size());
  }

 private:
  static constexpr std::size_t kHeaderSize = 128;
  static constexpr std::uint32_t kMacEpochOffset = 2082844800;  // 1904 to 1970, in seconds

  [[nodiscard]] bool AllZero(std::size_t from, std::size_t to) const {
    return std::all_of(header_.begin() + static_cast<std::ptrdiff_t>(from),
                       header_.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t b) { return b == 0; });
  }

  [[nodiscard]] bool IsMacBinary() const {
    const std::size_t name_length = header_[1];
    if (header_[0] != 0 || header_[0x4A] != 0 || header_[0x52] != 0 || !AllZero(0x63, 128) ||
        name_length > 63 || name_length != stored_name_.size() || !AllZero(2 + name_length, 65) ||
        std::memcmp(header_.data() + 2, stored_name_.data(), name_length) != 0) {
      return false;
    }
    const std::uint64_t forks = std::uint64_t{LoadBigEndian32(header_.data() + 0x53)} +
                                LoadBigEndian32(header_.data() + 0x57) + kHeaderSize;
    if (entry_.original_size != ((forks + 0x7F) & ~std::uint64_t{0x7F})) return false;
    // Local time on the Mac, UTC (or local time) in the archive: a day
    // apart at most.
    const std::uint32_t modified = LoadBigEndian32(header_.data() + 0x5F);
    if (modified < kMacEpochOffset) return false;
    const std::int64_t apart = static_cast<std::int64_t>(modified - kMacEpochOffset) -
                               static_cast<std::int64_t>(UnixFromDosTime(entry_.dos_time));
    return apart >= -kDay && apart <= kDay;
  }

  void Decide() {
    decided_ = true;
    if (!IsMacBinary()) {
      left_ = UINT64_MAX;
      out_.Write(header_.data(), header_.size());
      return;
    }
    const std::uint32_t data_fork = LoadBigEndian32(header_.data() + 0x53);
    left_ = data_fork > 0 ? data_fork : LoadBigEndian32(header_.data() + 0x57);
  }

  static constexpr std::int64_t kDay = 26 * 60 * 60;

  ByteSink& out_;
  const ArchiveEntry& entry_;
  std::string stored_name_;
  std::vector<std::uint8_t> header_;
  bool decided_ = false;
  std::uint64_t left_ = 0;
};

constexpr std::uint8_t kOsMac = 'm';

}  // namespace

std::uint32_t LhaReader::DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) {
  archive.Seek(entry.data_offset);
  FileSource in(archive, entry.packed_size, job());
  FileSink file(out);
  MacBinaryFilter mac(file, entry, ToStoredName(ExtractFileName(entry.name)));
  ByteSink& target = entry.os == kOsMac ? static_cast<ByteSink&>(mac) : file;
  // The CRC covers the data as stored, a MacBinary header included.
  CheckedFileSink sink(target, Crc16Update);
  try {
    LhaDecode(entry.method, in, sink, entry.original_size);
  } catch (const std::invalid_argument&) {
    throw EngineFailure(archive_error::kUnsupportedMethod, entry.method);
  }
  if (entry.os == kOsMac) mac.Finish();
  // Stored data longer than its header says is damaged; where the CRC
  // already fails, that is what is said.
  if (LhaMethodStored(entry.method) && in.left() > 0 &&
      (sink.check() & 0xFFFF) == (entry.crc & 0xFFFF)) {
    RaiseDataGoesOn(entry.original_size);
  }
  return sink.check();
}

}  // namespace talvor

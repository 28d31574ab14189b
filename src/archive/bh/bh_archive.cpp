#include "archive/bh/bh_archive.h"

#include <algorithm>
#include <vector>

#include "archive/archive_io.h"
#include "archive/crc.h"
#include "archive/deflate.h"
#include "archive/lha/lha_codec.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/progress.h"

namespace talvor {

namespace {

constexpr std::uint32_t kSignature = 0x07054842;
constexpr std::size_t kHeaderSize = 37;

// One header of the walk; false where the walk ends.
struct BhHeader {
  std::uint8_t bytes[kHeaderSize];
  std::int64_t offset = 0;
  [[nodiscard]] std::uint16_t name_length() const { return LoadLittleEndian16(bytes + 33); }
  [[nodiscard]] std::uint16_t extra_length() const { return LoadLittleEndian16(bytes + 35); }
  [[nodiscard]] std::uint32_t packed() const { return LoadLittleEndian32(bytes + 15); }
  [[nodiscard]] std::int64_t next() const {
    return offset + static_cast<std::int64_t>(kHeaderSize) + name_length() + extra_length() +
           packed();
  }
};

bool ReadBhHeader(File& archive, std::int64_t offset, BhHeader& h) {
  h.offset = offset;
  archive.Seek(offset);
  if (archive.Read(h.bytes, kHeaderSize) != kHeaderSize) return false;
  return LoadLittleEndian32(h.bytes) == kSignature && LoadLittleEndian16(h.bytes + 4) != 0;
}

// Reads the bytes of `in` while passing them on, with their CRC-32.
class Crc32Source final : public ByteSource {
 public:
  explicit Crc32Source(ByteSource& in) : in_(in) {}
  std::size_t Read(std::uint8_t* data, std::size_t n) override {
    const std::size_t got = in_.Read(data, n);
    crc_ = Crc32(crc_, data, got);
    return got;
  }
  [[nodiscard]] std::uint32_t crc() const { return crc_; }

 private:
  ByteSource& in_;
  std::uint32_t crc_ = 0;
};

}  // namespace

BhWriter::BhWriter(FileSystem& fs) : ArchiveWriter(fs, ".bh", PackingMethod::kDeflate) {}

bool BhWriter::AcceptsMethod(PackingMethod method) const {
  return method == PackingMethod::kDeflate || method == PackingMethod::kFuse;
}

std::vector<WriterEntry> BhWriter::ReadExistingEntries(File& archive) {
  std::vector<WriterEntry> entries;
  BhHeader h;
  // An update never drops what follows damage: a damaged archive is refused.
  for (std::int64_t at = 0; at < archive.Size(); at = h.next()) {
    std::string name;
    if (ReadBhHeader(archive, at, h)) name.resize(h.name_length());
    if (name.empty() || h.next() > archive.Size() ||
        archive.Read(reinterpret_cast<std::uint8_t*>(name.data()), name.size()) != name.size()) {
      throw EngineFailure(archive_error::kBadFileHeader,
                          "the archive is damaged at offset " + std::to_string(at));
    }
    WriterEntry e;
    std::replace(name.begin(), name.end(), '\\', '/');
    e.name = FromStoredName(name);
    e.existing = true;
    e.offset = at;
    e.length = h.next() - at;
    e.dos_time = LoadLittleEndian32(h.bytes + 11);
    e.original_size = LoadLittleEndian32(h.bytes + 19);
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string BhWriter::RecordedName(const WriterEntry& entry) const {
  std::string stored = ExactStoredName(entry.name, entry.source.path, "a BH archive", {"\\"});
  if (stored.size() >= 256) {
    RefuseName(entry.source.path,
               "is " + std::to_string(stored.size()) + " bytes long; BH names are below 256 bytes",
               "a BH archive");
  }
  return stored;
}

bool BhWriter::WriteNewEntry(WriterEntry& entry, File& out) {
  std::uint8_t header[kHeaderSize] = {};
  StoreLittleEndian32(kSignature, header);
  header[6] = kHeaderSize;
  header[7] = 6;
  header[8] = 8;
  header[10] = 8;
  StoreLittleEndian32(EntryTime(entry.source), header + 11);
  StoreLittleEndian16(entry.source.dos_attributes, header + 27);
  const bool store = DeflateType == DeflateEffort::kStore || InStoreList(entry.source.path);
  File source = OpenSource(entry);
  if (!source.IsOpen()) return false;
  const SourceState state(source);
  const auto size = static_cast<std::uint64_t>(source.Size());
  if (size >= 0xFFFFFFFFULL) {
    throw EngineFailure(archive_error::kErrorWriting,
                        entry.source.path + ": a BH archive holds files below 4 GiB only");
  }
  const std::string name = RecordedName(entry);
  StoreLittleEndian32(static_cast<std::uint32_t>(size), header + 19);
  StoreLittleEndian16(static_cast<std::uint16_t>(name.size()), header + 33);
  const std::int64_t header_at = out.Position();
  out.Write(header, kHeaderSize);
  out.Write(name.data(), name.size());
  const std::int64_t data_at = out.Position();

  EntryData d;
  std::uint8_t method = 8;
  std::uint8_t flags = 0;
  if (method_ == PackingMethod::kFuse && !store && size > 0) {
    // The static-Huffman LZ coder of LHA, with CRC-32; stored when it does
    // not pay.
    FileSource raw(source, UINT64_MAX, job());
    Crc32Source in(raw);
    FileSink sink(out);
    std::uint16_t crc16 = 0;
    const bool done = LhaEncode(in, sink, kWriteLh6, size, &crc16, &d.original);
    d.crc = in.crc();
    d.packed = static_cast<std::uint64_t>(out.Position() - data_at);
    method = 3;
    if (!done) {
      out.Seek(data_at);
      out.Truncate();
      source.Seek(0);
      job().Expect(d.original);  // read a second time
      d = WriteEntryData(source, out, true, 0, job());
      method = 0;
    }
  } else {
    d = WriteEntryData(source, out, store, DeflateLevel(DeflateType), job());
    method = d.stored ? 0 : 8;
    if (!d.stored) flags = static_cast<std::uint8_t>(DeflateFlags(DeflateType));
  }
  state.RequireUnchanged(source);
  if (d.packed >= 0xFFFFFFFFULL || d.original >= 0xFFFFFFFFULL) {
    throw EngineFailure(archive_error::kErrorWriting,
                        entry.source.path + ": a BH archive holds files below 4 GiB only");
  }
  header[9] = flags;
  header[10] = method;
  StoreLittleEndian16(static_cast<std::uint16_t>(kHeaderSize + name.size()), header + 4);
  StoreLittleEndian32(static_cast<std::uint32_t>(d.packed), header + 15);
  StoreLittleEndian32(static_cast<std::uint32_t>(d.original), header + 19);
  StoreLittleEndian32(d.original == 0 ? 0 : d.crc, header + 23);
  const std::int64_t end = out.Position();
  out.Seek(header_at);
  out.Write(header, kHeaderSize);
  out.Seek(end);
  return true;
}

void BhReader::WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) {
  // A BH archive is its entries, one after the other, to the file's end:
  // whatever else stands where a header belongs is damage.
  const std::int64_t size = archive.Size();
  if (size == 0) throw EngineFailure(archive_error::kBadFileHeader, "the file is empty");
  BhHeader h;
  for (std::int64_t at = 0; at < size; at = h.next()) {
    if (!ReadBhHeader(archive, at, h)) {
      throw EngineFailure(archive_error::kBadFileHeader,
                          at == 0 ? "no BH header at the start: the file is no BH archive"
                                  : "no BH header at offset " + std::to_string(at) +
                                        ": the archive is damaged there");
    }
    const std::uint16_t n = h.name_length();
    std::string name(n, '\0');
    if (archive.Read(reinterpret_cast<std::uint8_t*>(name.data()), n) != n) {
      throw EngineFailure(archive_error::kBadFileHeader, "the archive ends inside a name");
    }
    // Archives made on Windows separate folders with "\".
    std::replace(name.begin(), name.end(), '\\', '/');
    ArchiveEntry e;
    if (n >= 256) {
      // Names are below 256 bytes in this format: such an entry is damage.
      e.damage =
          "the stored name is " + std::to_string(n) + " bytes long; BH names are below 256 bytes";
      name = name.substr(0, 64) + "...";
    }
    e.name = FromStoredName(name);
    e.method_id = h.bytes[10];
    e.flags = h.bytes[9];
    e.method = e.method_id == 0   ? "stored"
               : e.method_id == 8 ? "deflate"
                                  : "method " + std::to_string(e.method_id);
    e.packed_size = h.packed();
    e.original_size = LoadLittleEndian32(h.bytes + 19);
    e.dos_time = LoadLittleEndian32(h.bytes + 11);
    e.attributes = static_cast<std::uint8_t>(LoadLittleEndian16(h.bytes + 27));
    e.is_folder = (e.attributes & 0x10) != 0;
    e.crc = LoadLittleEndian32(h.bytes + 23);
    e.crc_bits = 32;
    e.data_offset = at + static_cast<std::int64_t>(kHeaderSize) + n + h.extra_length();
    const bool encrypted = (e.flags & 0x01) != 0;
    e.supported = !encrypted && (e.method_id <= 3 || e.method_id == 8);
    if (encrypted) e.method += " (encrypted)";
    visit(e);
    // An entry that runs past the archive's end is the last: its decoding
    // says that its data is cut short.
    if (h.next() >= size) break;
  }
}

std::uint32_t BhReader::DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) {
  archive.Seek(entry.data_offset);
  FileSource in(archive, entry.packed_size, job());
  CheckedFileSink sink(out, Crc32Update);
  switch (entry.method_id) {
    case 0:
      CopyExactly(in, sink, entry.original_size);
      if (sink.check() == entry.crc && in.left() > 0) RaiseDataGoesOn(entry.original_size);
      break;
    case 1:
      LhaDecodeStatic(in, sink, ReadMethod('5'), entry.original_size);
      break;
    case 3:
      LhaDecodeStatic(in, sink, ReadMethod('6'), entry.original_size);
      break;
    case 2:
    case 8: {
      SourceInflater inflater(in, 32768, entry.packed_size);
      if (inflater.Inflate(sink, entry.original_size) != entry.original_size) {
        throw DeflateDataError("the compressed data ends early");
      }
      // Data that does not end where the header says is damaged; where the
      // CRC already fails, that is what is said.
      if (sink.check() == entry.crc && inflater.GoesOn()) RaiseDataGoesOn(entry.original_size);
      break;
    }
    default:
      throw EngineFailure(archive_error::kUnsupportedMethod, entry.method);
  }
  return sink.check();
}

}  // namespace talvor

#include "protect/erh_archive.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_component.h"
#include "archive/crc.h"
#include "archive/dos_time.h"
#include "archive/lha/lha_archive.h"
#include "archive/lha/lha_codec.h"
#include "cipher/block_modes.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"

namespace talvor {

namespace {

constexpr std::size_t kChunk = 1 << 20;
// The longest name a level-0 header holds: its size byte counts name + 22.
constexpr std::size_t kMaxLevel0Name = 255 - 22;
// What the header's 32-bit size fields hold.
constexpr std::uint64_t kMaxRecordedSize = 0xFFFFFFFFULL;
// Enough of the archive to hold any header (a level-2 one is at most 64 KiB).
constexpr std::int64_t kHeaderWindow = 0x10000 + 64;
constexpr std::size_t kHashBits = 11;

[[noreturn]] void Damaged(const std::string& path, const std::string& why) {
  throw Failure::About(FailureKind::kDamaged, path,
                       "The file \"" + path + "\" is damaged: " + why + ".");
}

// The header of the entry, as the LHA writer builds it for a new file.
std::vector<std::uint8_t> EntryHeader(const std::string& method, std::uint64_t packed,
                                      std::uint64_t original, const LayerEntry& entry,
                                      std::uint16_t crc) {
  const std::string& name = entry.stored_name;
  std::vector<std::uint8_t> h;
  if (name.size() <= kMaxLevel0Name) {
    h.push_back(static_cast<std::uint8_t>(name.size() + 22));
    h.push_back(0);  // the checksum, below
    h.insert(h.end(), method.begin(), method.end());
    AppendLittleEndian32(h, static_cast<std::uint32_t>(packed));
    AppendLittleEndian32(h, static_cast<std::uint32_t>(original));
    AppendLittleEndian32(h, entry.dos_time);
    h.push_back(entry.attributes);
    h.push_back(0);  // level
    h.push_back(static_cast<std::uint8_t>(name.size()));
    h.insert(h.end(), name.begin(), name.end());
    AppendLittleEndian16(h, crc);
    std::uint32_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = static_cast<std::uint8_t>(sum);
    return h;
  }
  // Level 2: the name and the attributes in extended headers, the time in
  // seconds since 1970, the header's own CRC-16 in the first extended header.
  h.resize(2);  // the header's size, below
  h.insert(h.end(), method.begin(), method.end());
  AppendLittleEndian32(h, static_cast<std::uint32_t>(packed));
  AppendLittleEndian32(h, static_cast<std::uint32_t>(original));
  AppendLittleEndian32(h, static_cast<std::uint32_t>(UnixFromDosTime(entry.dos_time)));
  h.push_back(0x20);
  h.push_back(2);  // level
  AppendLittleEndian16(h, crc);
  h.push_back('M');  // MS-DOS
  std::vector<std::uint8_t> header_crc = {0x00, 0, 0, 0};
  std::vector<std::uint8_t> file_name = {0x01};
  file_name.insert(file_name.end(), name.begin(), name.end());
  const std::vector<std::uint8_t> attributes = {0x40, entry.attributes, 0};
  const std::size_t total =
      h.size() + 2 + header_crc.size() + file_name.size() + attributes.size() + 3 * 2;
  // A low size byte of 0 would read as the archive's end.
  if ((total & 0xFF) == 0) header_crc.push_back(0);
  AppendLittleEndian16(h, static_cast<std::uint16_t>(header_crc.size() + 2));
  const std::size_t crc_at = h.size() + 1;
  const std::vector<std::uint8_t>* parts[] = {&header_crc, &file_name, &attributes};
  for (std::size_t i = 0; i < 3; ++i) {
    h.insert(h.end(), parts[i]->begin(), parts[i]->end());
    AppendLittleEndian16(h, static_cast<std::uint16_t>(i < 2 ? parts[i + 1]->size() + 2 : 0));
  }
  StoreLittleEndian16(static_cast<std::uint16_t>(h.size()), h.data());
  StoreLittleEndian16(Crc16(0, h.data(), h.size()), h.data() + crc_at);
  return h;
}

void WriteMasked(File& out, std::vector<std::uint8_t> bytes) {
  MaskBytes(bytes.data(), bytes.size(), kErhMask);
  out.Write(bytes.data(), bytes.size());
}

// Passes the coder's output to the archive, masked.
class MaskingSink final : public ByteSink {
 public:
  explicit MaskingSink(File& out) : out_(out), buffer_(kChunk) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    while (n > 0) {
      const std::size_t k = std::min(n, buffer_.size());
      std::memcpy(buffer_.data(), data, k);
      MaskBytes(buffer_.data(), k, kErhMask);
      out_.Write(buffer_.data(), k);
      data += k;
      n -= k;
    }
  }

 private:
  File& out_;
  std::vector<std::uint8_t> buffer_;
};

struct Stored {
  bool complete = false;  // false: stopped at a repeated block
  std::uint16_t crc = 0;
  std::uint64_t size = 0;
};

// Copies the layer into the archive as it is, masked; with `stop_at_repeat`
// only until a block repeats.
Stored CopyLayer(LayerSource& layer, File& out, bool stop_at_repeat) {
  Stored stored;
  std::vector<std::uint8_t> buffer(kChunk);
  for (std::size_t n; (n = layer.Read(buffer.data(), buffer.size())) > 0;) {
    if (stop_at_repeat && layer.BlocksRepeat()) return stored;
    stored.crc = Crc16(stored.crc, buffer.data(), n);
    stored.size += n;
    MaskBytes(buffer.data(), n, kErhMask);
    out.Write(buffer.data(), n);
  }
  stored.complete = !(stop_at_repeat && layer.BlocksRepeat());
  return stored;
}

void Restart(File& out, std::int64_t data_at, LayerSource& layer) {
  out.Seek(data_at);
  out.Truncate();
  layer.Rewind();
}

// The archive's bytes from the file's position, unmasked: at most `limit`,
// counted as work done.
class UnmaskingSource final : public ByteSource {
 public:
  UnmaskingSource(File& file, std::uint64_t limit, Job& job)
      : file_(file), left_(limit), job_(job) {}
  std::size_t Read(std::uint8_t* data, std::size_t n) override {
    const std::size_t got =
        file_.Read(data, static_cast<std::size_t>(std::min<std::uint64_t>(n, left_)));
    MaskBytes(data, got, kErhMask);
    left_ -= got;
    job_.Advance(got);
    return got;
  }

 private:
  File& file_;
  std::uint64_t left_;
  Job& job_;
};

class CrcSink final : public ByteSink {
 public:
  explicit CrcSink(ByteSink& next) : next_(next) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    crc_ = Crc16(crc_, data, n);
    written_ += n;
    next_.Write(data, n);
  }
  [[nodiscard]] std::uint16_t crc() const noexcept { return crc_; }
  [[nodiscard]] std::uint64_t written() const noexcept { return written_; }

 private:
  ByteSink& next_;
  std::uint16_t crc_ = 0;
  std::uint64_t written_ = 0;
};

// A file without a name beside `path`, for the headers to be read from: the
// header reader reads files, and the archive's bytes are masked.
File ScratchBeside(FileSystem& fs, const std::string& path) {
  File file = fs.CreateUnnamedBeside(path);
  if (file.IsOpen()) return file;
  std::string name;
  file = fs.CreateTemporaryBeside(path, &name);
  fs.Delete(name);
  return file;
}

// Stored names as the header reader gives them: "\" separates folders.
std::string AsRead(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

LhaHeader FindLayerEntry(FileSystem& fs, File& in, const std::string& path,
                         const std::string& entry_name) {
  const std::string wanted = AsRead(entry_name);
  const std::int64_t size = in.Size();
  File scratch;
  std::vector<std::uint8_t> window;
  std::vector<LhaHeader> entries;
  for (std::int64_t at = 0; at < size;) {
    window.resize(static_cast<std::size_t>(std::min(size - at, kHeaderWindow)));
    in.Seek(at);
    in.ReadExact(window.data(), window.size());
    MaskBytes(window.data(), window.size(), kErhMask);
    if (!scratch.IsOpen()) scratch = ScratchBeside(fs, path);
    scratch.Seek(0);
    scratch.Truncate();
    scratch.Write(window.data(), window.size());
    LhaHeader h;
    try {
      if (!ReadLhaHeader(scratch, 0, h)) break;
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kArchive) throw;
      Damaged(path, "its archive has a bad header (" + e.detail() + ")");
    }
    h.header_offset += at;
    h.data_offset += at;
    h.next_offset += at;
    if (h.method.compare(0, 3, "-lh") == 0 && h.method[3] != 'd') {
      if (h.raw_name == wanted) return h;
      entries.push_back(h);
    }
    at = h.next_offset;
  }
  // A protected file renamed after it was made holds its entry under the old
  // name.
  if (entries.size() == 1) return entries.front();
  if (entries.empty()) {
    throw Failure::About(
        FailureKind::kDamaged, path,
        "The file \"" + path + "\" holds no protected file: its archive is empty.");
  }
  throw Failure::About(FailureKind::kDamaged, path,
                       "The file \"" + path +
                           "\" was not made by random protection: its archive holds " +
                           std::to_string(entries.size()) + " files and none of them is \"" +
                           LhaReader(fs).FromStoredName(entry_name) + "\".");
}

}  // namespace

std::string LayerEntryName(FileSystem& fs, const std::string& path) {
  std::string stored =
      LhaReader(fs).ToStoredName(ExtractFileName(ChangeFileExt(path, "")) + ".xxr");
  // 0xFF separates folders in LHA names.
  std::replace(stored.begin(), stored.end(), '\xFF', '_');
  return stored;
}

RepeatWatch::RepeatWatch() : recent_(kReach) {
  for (auto& table : tables_) table.assign(std::size_t{1} << kHashBits, 0);
}

bool RepeatWatch::Add(const std::uint8_t* blocks, std::size_t count) {
  constexpr std::size_t kMask = (std::size_t{1} << kHashBits) - 1;
  bool repeated = false;
  for (std::size_t i = 0; i < count; ++i, blocks += 16, ++next_) {
    if (next_ % kReach == 0) {
      // A new round: the table of the round before last is let go.
      auto& old = tables_[(next_ / kReach) % 2];
      std::fill(old.begin(), old.end(), 0);
    }
    const std::uint64_t key = LoadLittleEndian64(blocks) ^ LoadLittleEndian64(blocks + 8);
    const std::size_t home =
        static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> (64 - kHashBits));
    for (const auto& table : tables_) {
      for (std::size_t slot = home; table[slot] != 0; slot = (slot + 1) & kMask) {
        const std::uint64_t earlier = table[slot] - 1;
        if (earlier + kReach >= next_ &&
            std::memcmp(recent_[earlier % kReach].data(), blocks, 16) == 0) {
          repeated = true;
        }
      }
    }
    auto& table = tables_[(next_ / kReach) % 2];
    std::size_t slot = home;
    while (table[slot] != 0) slot = (slot + 1) & kMask;
    table[slot] = next_ + 1;
    std::memcpy(recent_[next_ % kReach].data(), blocks, 16);
  }
  return repeated;
}

void WriteErhArchive(File& out, const LayerEntry& entry, LayerSource& layer) {
  const std::int64_t header_at = out.Position();
  WriteMasked(out, EntryHeader("-lh0-", entry.size, entry.size, entry, 0));
  const std::int64_t data_at = out.Position();
  // Enciphered data shrinks under the coder only where a block repeats
  // within its window: elsewhere the stream is as good as random bytes, and
  // for the coder to shrink those by its header's worth would be to tell
  // Rijndael's output from chance. So the layer is stored at once, and the
  // coder runs (and decides, as the LHA writer does) only once a block
  // repeats.
  const bool may_pack = entry.size <= kMaxRecordedSize;
  Stored stored = CopyLayer(layer, out, may_pack);
  std::string method = "-lh0-";
  std::uint64_t packed = stored.size;
  std::uint64_t original = stored.size;
  std::uint16_t crc = stored.crc;
  if (!stored.complete) {
    Restart(out, data_at, layer);
    MaskingSink sink(out);
    std::uint64_t read = entry.size;
    const bool done = LhaEncode(layer, sink, kWriteLh6, entry.size, &crc, &read);
    packed = static_cast<std::uint64_t>(out.Position() - data_at);
    if (done && packed + entry.stored_name.size() + 24 < read) {
      method = "-lh6-";
      original = read;
    } else {
      Restart(out, data_at, layer);
      stored = CopyLayer(layer, out, false);
      packed = original = stored.size;
      crc = stored.crc;
    }
  }
  const std::int64_t end = out.Position();
  out.Seek(header_at);
  WriteMasked(out, EntryHeader(method, packed, original, entry, crc));
  out.Seek(end);
}

void ReadErhArchive(FileSystem& fs, File& in, const std::string& path,
                    const std::string& entry_name, ByteSink& layer, Job& job) {
  const LhaHeader h = FindLayerEntry(fs, in, path, entry_name);
  const char id = h.method[3];
  std::uint64_t packed = h.packed_size;
  std::uint64_t original = h.original_size;
  // A stored layer of 4 GiB or more runs to the archive's end; its header
  // holds the size modulo 4 GiB.
  const auto rest =
      static_cast<std::uint64_t>(std::max<std::int64_t>(in.Size() - h.data_offset, 0));
  if (id == '0' && packed == original && rest > packed &&
      (rest - packed) % (kMaxRecordedSize + 1) == 0) {
    packed = original = rest;
  }
  in.Seek(h.data_offset);
  UnmaskingSource source(in, packed, job);
  CrcSink sink(layer);
  try {
    if (id == '0') {
      std::vector<std::uint8_t> buffer(kChunk);
      for (std::uint64_t left = original; left > 0;) {
        const std::size_t n = source.Read(
            buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk)));
        if (n == 0) Damaged(path, "its data ends early");
        sink.Write(buffer.data(), n);
        left -= n;
      }
    } else if (id == '1') {
      LhaDecodeLh1(source, sink, original);
    } else if (id >= '4' && id <= '7') {
      LhaDecodeStatic(source, sink, ReadMethod(id), original);
    } else {
      throw Failure::About(FailureKind::kDamaged, path,
                           "The file \"" + path + "\" holds its data in the method " + h.method +
                               ", which this program does not read.");
    }
  } catch (const LhaDataError& e) {
    Damaged(path, std::string("its packed data is damaged (") + e.what() + ")");
  }
  if (sink.crc() != h.crc) Damaged(path, "the protected data fails its CRC check");
}

}  // namespace talvor

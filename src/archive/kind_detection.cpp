// What counts as each kind's content:
//   ZIP  a local header at the start, or an end of central directory record
//        in the last 64 KiB + 22 bytes (the whole of an empty archive);
//   CAB  "MSCF" and a header a cabinet reader accepts: version 1, at least
//        one folder and one file, the file records after the header; at the
//        start, or (as cabextract searches) later in the file, in its first
//        16 MiB or anywhere in a file named as a cabinet;
//   BH   the signature "BH" 05 07 and a whole fixed header;
//   LHA  a header at the start: a method id "-lh?-", "-lz?-" or "-pm?-" at
//        offset 2, a header level of 0 to 3 at offset 20 and, for levels 0
//        and 1, a header checksum that matches; or a single zero byte (an
//        empty archive) in a file named as LHA.
// A file named as one kind whose content starts with that kind's signature
// but fits no header is taken for a damaged archive of that kind.
#include "archive/kind_detection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <span>
#include <vector>

#include "archive/zip/zip_end_record.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

namespace {

constexpr std::array<ArchiveKindInfo, 4> kKinds = {{
    {ArchiveKind::kCab, "cab", ".cab"},
    {ArchiveKind::kLha, "lha", ".lha"},
    {ArchiveKind::kZip, "zip", ".zip"},
    {ArchiveKind::kBh, "bh", ".bh"},
}};

ArchiveKindInfo InfoOf(ArchiveKind kind) {
  return *std::find_if(kKinds.begin(), kKinds.end(),
                       [kind](const ArchiveKindInfo& k) { return k.kind == kind; });
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The first bytes of a file: enough for a level-0 or level-1 LHA header,
// the longest fixed header looked at.
constexpr std::size_t kHeadSize = 2 + 255;

using Bytes = std::span<const std::uint8_t>;

// How far into a file not named as a cabinet one is looked for.
constexpr std::int64_t kCabinetSearchSpan = std::int64_t{16} << 20;

bool StartsWith(Bytes head, const char* signature) {
  const std::size_t n = std::strlen(signature);
  return head.size() >= n && std::memcmp(head.data(), signature, n) == 0;
}

bool IsZipStart(Bytes head) {
  constexpr std::size_t kLocalHeaderSize = 30;
  return StartsWith(head, "PK\x03\x04") && head.size() >= kLocalHeaderSize;
}

bool IsCabinetStart(Bytes head) {
  constexpr std::size_t kHeaderSize = 36;
  if (!StartsWith(head, "MSCF") || head.size() < kHeaderSize) return false;
  const std::uint32_t files_at = LoadLittleEndian32(head.data() + 16);
  const std::uint8_t major_version = head[25];
  const std::uint16_t folders = LoadLittleEndian16(head.data() + 26);
  const std::uint16_t files = LoadLittleEndian16(head.data() + 28);
  return major_version == 1 && folders > 0 && files > 0 && files_at >= kHeaderSize;
}

// The offset of the first cabinet header in the file's first `span` bytes
// (all of them for a negative span), as cabextract searches for one behind
// other data; nullopt when there is none.
std::optional<std::int64_t> FindCabinet(File& file, std::int64_t span) {
  constexpr std::size_t kChunk = 1 << 20;
  constexpr std::size_t kHeaderSize = 36;
  const std::int64_t size = file.Size();
  const std::int64_t end = span < 0 ? size : std::min(size, span);
  std::vector<std::uint8_t> chunk(kChunk + kHeaderSize);
  for (std::int64_t at = 0; at < end; at += static_cast<std::int64_t>(kChunk)) {
    file.Seek(at);
    const std::size_t got = file.Read(chunk.data(), chunk.size());
    for (std::size_t i = 0; i < std::min(got, kChunk); ++i) {
      if (chunk[i] != 'M' || at + static_cast<std::int64_t>(i) >= end) continue;
      const Bytes head(chunk.data() + i, got - i);
      // The cabinet's own size must fit in what follows.
      if (IsCabinetStart(head) &&
          LoadLittleEndian32(head.data() + 8) <= static_cast<std::uint64_t>(size - at - i)) {
        return at + static_cast<std::int64_t>(i);
      }
    }
  }
  return std::nullopt;
}

bool IsBhStart(Bytes head) {
  constexpr std::size_t kHeaderSize = 37;
  return StartsWith(head, "BH\x05\x07") && head.size() >= kHeaderSize;
}

bool IsLhaStart(Bytes head) {
  constexpr std::size_t kBaseHeader = 22;
  if (head.size() < kBaseHeader || head[2] != '-' || head[6] != '-') return false;
  const std::string family(reinterpret_cast<const char*>(head.data()) + 3, 2);
  if (family != "lh" && family != "lz" && family != "pm") return false;
  const std::uint8_t level = head[20];
  if (level > 3) return false;
  if (level >= 2) return true;
  // Levels 0 and 1: a size byte that holds the name, and the sum of the
  // header's bytes from the third on.
  const std::size_t size = head[0];
  if (size < kBaseHeader + head[21] || head.size() < size + 2) return false;
  unsigned sum = 0;
  for (std::size_t i = 2; i < size + 2; ++i) sum += head[i];
  return (sum & 0xFF) == head[1];
}

// Whether the first bytes carry the kind's signature, whatever follows: a
// damaged archive of that kind.
bool HasSignature(ArchiveKind kind, Bytes head) {
  switch (kind) {
    case ArchiveKind::kZip:
      return StartsWith(head, "PK\x03\x04");
    case ArchiveKind::kCab:
      return StartsWith(head, "MSCF");
    case ArchiveKind::kBh:
      return StartsWith(head, "BH\x05\x07");
    case ArchiveKind::kLha:
      return head.size() >= 7 && head[2] == '-' && head[6] == '-';
  }
  return false;
}

// Up to n bytes from `at` on.
std::vector<std::uint8_t> ReadAt(File& file, std::int64_t at, std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  file.Seek(at);
  bytes.resize(file.Read(bytes.data(), bytes.size()));
  return bytes;
}

}  // namespace

std::span<const ArchiveKindInfo> ArchiveKinds() {
  return kKinds;
}

ArchiveKindInfo ArchiveKindInfoOf(ArchiveKind kind) {
  for (const ArchiveKindInfo& k : kKinds) {
    if (k.kind == kind) return k;
  }
  return kKinds[0];
}

std::optional<ArchiveKindInfo> ArchiveKindByName(const std::string& name) {
  for (const ArchiveKindInfo& k : kKinds) {
    if (name == k.name) return k;
  }
  return std::nullopt;
}

std::optional<ArchiveKindInfo> ArchiveKindOfFile(const std::string& path) {
  const std::string ext = Lower(ExtractFileExt(path));
  if (ext == ".lzh") return InfoOf(ArchiveKind::kLha);
  for (const ArchiveKindInfo& k : kKinds) {
    if (ext == k.extension) return k;
  }
  return std::nullopt;
}

std::optional<ArchiveKindInfo> ArchiveKindOfContent(File& file, const std::string& path) {
  const std::int64_t size = file.Size();
  if (size <= 0) return std::nullopt;
  const std::vector<std::uint8_t> head = ReadAt(file, 0, kHeadSize);
  // The signatures at the start exclude one another.
  if (IsZipStart(head)) return InfoOf(ArchiveKind::kZip);
  if (IsCabinetStart(head)) return InfoOf(ArchiveKind::kCab);
  if (IsBhStart(head)) return InfoOf(ArchiveKind::kBh);
  if (IsLhaStart(head)) return InfoOf(ArchiveKind::kLha);
  // The end record alone is an empty ZIP archive; behind other data, it ends
  // a self-extractor, say.
  const std::int64_t tail_at = std::max<std::int64_t>(0, size - zip::kEndSearchSpan);
  if (zip::FindEndRecord(ReadAt(file, tail_at, static_cast<std::size_t>(size - tail_at)))) {
    return InfoOf(ArchiveKind::kZip);
  }
  // A cabinet behind other data (a program that unpacks it, say): searched
  // for in the first MiBs of any file, in all of a file named as a cabinet.
  const std::optional<ArchiveKindInfo> by_name = ArchiveKindOfFile(path);
  const bool named_cab = by_name && by_name->kind == ArchiveKind::kCab;
  if (FindCabinet(file, named_cab ? -1 : kCabinetSearchSpan)) return InfoOf(ArchiveKind::kCab);
  // A lone zero byte is what an empty LHA archive holds, and no other
  // kind's; as it could be any file's content, the name has to agree. So
  // too for an archive whose header is damaged behind its signature: its
  // reader then says what is wrong with it.
  const std::optional<ArchiveKindInfo> named = ArchiveKindOfFile(path);
  if (!named) return std::nullopt;
  if (size == 1 && head[0] == 0 && named->kind == ArchiveKind::kLha) return named;
  if (HasSignature(named->kind, head)) return named;
  return std::nullopt;
}

std::optional<ArchiveKindInfo> ArchiveKindOfContent(FileSystem& fs, const std::string& path) {
  try {
    const FileInfo info = fs.Stat(path);
    if (!info.exists || info.is_directory) return std::nullopt;
    File file = fs.OpenForReading(path);
    return ArchiveKindOfContent(file, path);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    return std::nullopt;  // a file that cannot be read is no archive the engine reads
  }
}

}  // namespace talvor

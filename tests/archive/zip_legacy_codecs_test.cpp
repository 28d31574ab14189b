// The older ZIP methods: archives and streams of other programs, streams put
// together bit by bit for the corners, Deflate64 from zlib and 7-Zip, damage.
#include "archive/zip/zip_legacy_codecs.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace talvor {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(TALVOR_CORPUS) / "zip";

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
  return v;
}

Bytes Str(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Random(std::size_t n, unsigned key) {
  std::mt19937_64 rng(key);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// Numbers for words: repeats, but none as long as 258 bytes.
Bytes Text(std::size_t n, unsigned key) {
  std::mt19937 rng(key);
  std::string text;
  while (text.size() < n) text += std::to_string(rng() % 700) + (rng() % 9 ? " " : "\n");
  return Bytes(text.begin(), text.begin() + static_cast<long>(n));
}

// `history` then `length` bytes copied from `distance` back.
Bytes Copied(Bytes history, std::size_t distance, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) history.push_back(history[history.size() - distance]);
  return history;
}

class CheckSink final : public ByteSink {
 public:
  explicit CheckSink(bool keep) : keep_(keep) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    crc = static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(n)));
    size += n;
    if (keep_) bytes.insert(bytes.end(), data, data + n);
  }
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  Bytes bytes;

 private:
  bool keep_;
};

// The output of ZIP method `method`'s decoder, or nothing when it raised
// ZipDataError; any other outcome fails the test.
std::optional<Bytes> Try(int method, std::uint16_t flags, const Bytes& stream, std::uint64_t size,
                         CheckSink* sink = nullptr) {
  CheckSink kept(true);
  CheckSink& out = sink != nullptr ? *sink : kept;
  MemorySource in(stream.data(), stream.size());
  try {
    if (method == 1) Unshrink(in, out, size);
    if (method >= 2 && method <= 5) Unreduce(in, out, size, method - 1);
    if (method == 6) Explode(in, out, size, flags);
    if (method == 9) Inflate64(in, out, size);
  } catch (const ZipDataError&) {
    return std::nullopt;
  }
  EXPECT_EQ(out.size, size);
  return out.bytes;
}

struct Entry {
  std::string name;
  int method;
  std::uint16_t flags;
  std::uint32_t crc;
  std::uint64_t size;
  Bytes data;
};

// Sizes and CRC from the central directory (entries with a data descriptor,
// flag bit 3, leave them zero in the local header); data after the local
// header.
std::vector<Entry> ReadZip(const Bytes& zip) {
  std::size_t end = zip.size() - 22;
  while (end > 0 && Le(zip, end, 4) != 0x06054B50) --end;
  const std::size_t cd = end - Le(zip, end + 12, 4);
  const std::size_t shift = cd - Le(zip, end + 16, 4);  // bytes before the archive
  std::vector<Entry> entries;
  for (std::size_t at = cd; Le(zip, at, 4) == 0x02014B50;) {
    const std::uint32_t name = Le(zip, at + 28, 2);
    const std::size_t local = shift + Le(zip, at + 42, 4);
    EXPECT_EQ(Le(zip, local, 4), 0x04034B50u);
    const auto data =
        static_cast<long>(local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2));
    entries.push_back({std::string(zip.begin() + static_cast<long>(at) + 46,
                                   zip.begin() + static_cast<long>(at + 46 + name)),
                       static_cast<int>(Le(zip, local + 8, 2)),
                       static_cast<std::uint16_t>(Le(zip, local + 6, 2)), Le(zip, at + 16, 4),
                       Le(zip, at + 24, 4),
                       Bytes(zip.begin() + data, zip.begin() + data + Le(zip, at + 20, 4))});
    at += 46 + name + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
  }
  return entries;
}

std::string TestName(const std::string& file) {
  std::string name = fs::path(file).stem().string();
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// --- archives and streams of other programs ------------------------------------

class OtherArchives : public testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(OtherArchives, EveryEntryMatchesItsCrc) {
  const fs::path path = kCorpus / GetParam().first;
  if (!fs::exists(path)) GTEST_SKIP() << "corpus not found: " << path;
  int decoded = 0;
  for (const Entry& e : ReadZip(ReadAll(path))) {
    if (e.method == 0 || e.method == 8) continue;
    CheckSink out(false);
    ASSERT_TRUE(Try(e.method, e.flags, e.data, e.size, &out)) << e.name;
    EXPECT_EQ(out.crc, e.crc) << e.name << ", method " << e.method;
    ++decoded;
  }
  EXPECT_EQ(decoded, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, OtherArchives,
    testing::Values(std::pair("zip2_legacy_shrink.zip", 1),
                    std::pair("sharpcompress_Zip.shrink.zip", 2),  // partial clears
                    std::pair("zip2_legacy_reduce.zip", 1),
                    std::pair("sharpcompress_Zip.reduce1.zip", 3),  // and one shrunk
                    std::pair("sharpcompress_Zip.reduce2.zip", 3),
                    std::pair("sharpcompress_Zip.reduce3.zip", 3),
                    std::pair("sharpcompress_Zip.reduce4.zip", 3),
                    std::pair("commonscompress_imploding-4Kdict-2trees.zip", 1),
                    std::pair("commonscompress_imploding-8Kdict-3trees.zip", 1),
                    std::pair("zip2_legacy_implode.zip", 1),
                    std::pair("sharpcompress_Zip.implode.zip", 2),
                    std::pair("commonscompress_moby-imploded.zip", 135),
                    std::pair("gen_7z_deflate64.zip", 3),
                    std::pair("commonscompress_COMPRESS-380_COMPRESS-380.zip", 1),
                    std::pair("commonscompress_COMPRESS-380_COMPRESS-380-dd.zip", 1),
                    std::pair("commonscompress_COMPRESS-380_COMPRESS-380-readbeyondmemory.zip", 1)),
    [](const auto& p) { return TestName(p.param.first); });

TEST(OtherStreams, DecodeToTheirOutputs) {
  const fs::path dir = kCorpus / "raw_streams";
  if (!fs::exists(dir)) GTEST_SKIP() << "corpus not found: " << dir;
  const Bytes hamlet = ReadAll(dir / "zip2_legacy_implode_hamlet_2048.out");
  EXPECT_EQ(Try(6, 0, ReadAll(dir / "zip2_legacy_implode_hamlet_256.bin"), 256),
            ReadAll(dir / "zip2_legacy_implode_hamlet_256.out"));
  EXPECT_EQ(Try(5, 0, ReadAll(dir / "zip2_legacy_reduce_hamlet_2048.bin"), 2048), hamlet);
  EXPECT_EQ(Try(5, 0, ReadAll(dir / "zip2_legacy_reduce_zero_reduced.bin"), 3072),
            Cat({hamlet, Bytes(1024, 0)}));
}

// --- streams put together bit by bit ---------------------------------------------

// Bits go into each byte from its least significant end, as in every method here.
struct Bits {
  Bits& Put(std::uint32_t v, int n) {  // v's bit 0 first
    for (int i = 0; i < n; ++i) bits.push_back((v >> i) & 1);
    return *this;
  }
  Bits& Code(std::uint32_t code, int n) {  // a prefix code, its top bit first
    for (int i = n - 1; i >= 0; --i) bits.push_back((code >> i) & 1);
    return *this;
  }
  [[nodiscard]] Bytes Done() const {
    Bytes out((bits.size() + 7) / 8);
    for (std::size_t i = 0; i < bits.size(); ++i) out[i / 8] |= bits[i] << (i % 8);
    return out;
  }
  std::vector<bool> bits;
};

// A final Deflate block with the fixed codes: literals, then matches of
// {length symbol, its extra bits, bit count, distance symbol, extra, count};
// optionally after a stored block.
Bytes FixedBlock(const std::string& literals, const std::vector<std::array<unsigned, 6>>& matches,
                 const Bytes& stored = {}) {
  Bits b;
  if (!stored.empty()) {
    const auto n = static_cast<std::uint32_t>(stored.size());
    b.Put(0, 8).Put(n, 16).Put(~n & 0xFFFF, 16);
    for (const std::uint8_t x : stored) b.Put(x, 8);
  }
  const auto symbol = [&](unsigned s) {
    // The fixed code by ranges: first symbol, its code, bits.
    constexpr unsigned kRanges[4][3] = {{0, 0x30, 8}, {144, 0x190, 9}, {256, 0, 7}, {280, 0xC0, 8}};
    const unsigned* r = kRanges[s < 144 ? 0 : s < 256 ? 1 : s < 280 ? 2 : 3];
    b.Code(r[1] + s - r[0], static_cast<int>(r[2]));
  };
  b.Put(1, 1).Put(1, 2);
  for (const char c : literals) symbol(static_cast<std::uint8_t>(c));
  for (const auto& m : matches) {
    symbol(m[0]);
    b.Put(m[1], static_cast<int>(m[2])).Code(m[3], 5).Put(m[4], static_cast<int>(m[5]));
  }
  symbol(256);
  return b.Done();
}

// LZW codes from 9 bits up; "256, 1" widens the codes after it.
Bytes Shrunk(std::initializer_list<unsigned> codes) {
  Bits b;
  int width = 9;
  unsigned before = 0;
  for (const unsigned c : codes) {
    b.Put(c, width);
    if (before == 256 && c == 1) ++width;
    before = before == 256 ? 0 : c;
  }
  return b.Done();
}

// Two implode trees of 64 codes of 6 bits each (the APPNOTE gives symbol s
// the code 63 - s), then `data`.
const Bytes kFlatTree = {3, 0xF5, 0xF5, 0xF5, 0xF5};
Bytes Imploded(const Bytes& length_tree, const std::function<void(Bits&)>& data = {}) {
  Bits b;
  for (const std::uint8_t x : Cat({length_tree, kFlatTree})) b.Put(x, 8);
  if (data) data(b);
  return b.Done();
}

struct HandCase {
  const char* name;
  int method;
  Bytes stream;
  std::uint64_t size;
  std::optional<Bytes> expected;  // nothing: ZipDataError
};

void PrintTo(const HandCase& c, std::ostream* os) {
  *os << c.name;
}

class HandMade : public testing::TestWithParam<HandCase> {};

TEST_P(HandMade, DecodesAsTheFormatSays) {
  EXPECT_EQ(Try(GetParam().method, 0, GetParam().stream, GetParam().size), GetParam().expected);
}

const Bytes kFar = Random(50000, 9);

INSTANTIATE_TEST_SUITE_P(
    Corners, HandMade,
    testing::Values(
        // Deflate64: length code 285 is 3 plus 16 extra bits; distance codes
        // 30 and 31 are 32769 and 49153 plus 14.
        HandCase{"Length285", 9, FixedBlock("x", {{285, 997, 16, 0, 0, 0}}), 1001,
                 Bytes(1001, 'x')},
        HandCase{"Length285Longest", 9, FixedBlock("xy", {{285, 65535, 16, 1, 0, 0}}), 65540,
                 Copied(Str("xy"), 2, 65538)},
        HandCase{"Distances30And31", 9,
                 FixedBlock("", {{264, 0, 0, 30, 1000, 14}, {258, 0, 0, 31, 5, 14}}, kFar), 50014,
                 Copied(Copied(kFar, 33769, 10), 49158, 4)},
        HandCase{"DistanceBeforeTheStart", 9, FixedBlock("a", {{257, 0, 0, 1, 0, 0}}), 4,
                 std::nullopt},
        HandCase{"LongerThanTheEntry", 9, FixedBlock("ab", {{257, 0, 0, 1, 0, 0}}), 4,
                 std::nullopt},
        HandCase{"ShorterThanTheEntry", 9, FixedBlock("ab", {}), 3, std::nullopt},
        // An empty entry needs no data, not even trees or follower sets.
        HandCase{"EmptyDeflate64", 9, {}, 0, Bytes{}}, HandCase{"EmptyImplode", 6, {}, 0, Bytes{}},
        HandCase{"EmptyReduce", 5, {}, 0, Bytes{}},
        // Shrink: a code naming the string it defines (KwKwK); wider codes.
        HandCase{"StringBeingDefined", 1, Shrunk({'a', 257, 258}), 6, Str("aaaaaa")},
        HandCase{"WiderCodes", 1, Shrunk({'a', 256, 1, 'b', 257}), 4, Str("abab")},
        // 257 "ab", 258 "ba", 259 "abc"; the clear frees 258 and 259 but keeps
        // 257, which 259 extends; then 258 is "cd", 259 "dc".
        HandCase{"PartialClear", 1, Shrunk({'a', 'b', 257, 'c', 256, 2, 'd', 258, 257}), 10,
                 Str("ababcdcdab")},
        HandCase{"WiderThan13Bits", 1, Shrunk({'a', 256, 1, 256, 1, 256, 1, 256, 1, 256, 1, 'b'}),
                 2, std::nullopt},
        // Implode, two trees: 'A'; 3 bytes from 5 back, before the start and
        // so zeros; 63 + 10 + 2 from 4 back.
        HandCase{"ImplodeMatches", 6,
                 Imploded(kFlatTree,
                          [](Bits& b) {
                            b.Put(1, 1).Put('A', 8);
                            b.Put(0, 1).Put(4, 6).Code(63 - 0, 6).Code(63 - 1, 6);
                            b.Put(0, 1).Put(3, 6).Code(63 - 0, 6).Code(63 - 63, 6).Put(10, 8);
                          }),
                 79, Copied(Bytes{'A', 0, 0, 0}, 4, 75)},
        HandCase{"ImplodeTreeOversubscribed", 6, Imploded({3, 0xF0, 0xF0, 0xF0, 0xF0}), 1,
                 std::nullopt},
        // 63 codes of 6 bits and one of 7 put the 6-bit codes off their grid.
        HandCase{"ImplodeTreeOffItsGrid", 6, Imploded({4, 0xF5, 0xF5, 0xF5, 0xE5, 0x06}), 1,
                 std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

// --- Deflate64 against zlib and 7-Zip -----------------------------------------------

Bytes ZlibRaw(const Bytes& data, bool compress, int level, std::size_t size) {
  z_stream z{};
  EXPECT_EQ(compress ? deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY)
                     : inflateInit2(&z, -15),
            Z_OK);
  Bytes out(compress ? deflateBound(&z, data.size()) : size);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = compress ? deflate(&z, Z_FINISH) : inflate(&z, Z_FINISH);
  out.resize(rc == Z_STREAM_END ? z.total_out : 0);
  compress ? deflateEnd(&z) : inflateEnd(&z);
  return out;
}

// Level 0 makes stored blocks, 1 mostly fixed codes, 9 dynamic ones.
TEST(Deflate64, PlainDeflateWithoutLength258DecodesAlike) {
  const Bytes data = Cat({Text(200000, 1), Random(30000, 2), Text(100000, 3)});
  for (const int level : {0, 1, 6, 9}) {
    EXPECT_EQ(Try(9, 0, ZlibRaw(data, true, level, 0), data.size()), data) << "level " << level;
  }
}

// (7-Zip keeps to lengths up to 257 here; length code 285 has its own
// test above.)
TEST(Deflate64, FarRepeatsAndLongRunsFrom7Zip) {
  if (std::system("command -v 7z >/dev/null 2>&1") != 0) GTEST_SKIP() << "7z is not installed";
  const Bytes far = Random(20000, 4);  // repeated 32 to 64 KiB later
  const Bytes data = Cat({far, Text(30000, 5), far, Bytes(5000, 'z'), Bytes(70000, 0), far});
  struct TempDir {
    fs::path path =
        fs::temp_directory_path() / ("talvor_zipc_" + std::to_string(std::random_device()()));
    ~TempDir() { fs::remove_all(path); }
  } dir;
  fs::create_directories(dir.path);
  std::ofstream(dir.path / "data.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
  for (const char* level : {"1", "9"}) {
    const std::string command = "cd '" + dir.path.string() + "' && rm -f d.zip && 7z a -tzip " +
                                "-mm=Deflate64 -mx=" + level + " -bd -bso0 -bsp0 d.zip data.bin";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::vector<Entry> entries = ReadZip(ReadAll(dir.path / "d.zip"));
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_EQ(entries[0].method, 9);
    EXPECT_EQ(Try(9, 0, entries[0].data, data.size()), data) << "level " << level;
    // What plain Deflate cannot read: the stream uses what Deflate64 adds.
    EXPECT_NE(ZlibRaw(entries[0].data, false, 0, data.size()), data);
  }
}

TEST(Deflate64, LongStreamDecodesWhole) {
  const Bytes data = Random(3 << 20, 8);
  CheckSink out(false);
  Try(9, 0, ZlibRaw(data, true, 0, 0), data.size(), &out);
  EXPECT_EQ(out.crc, crc32(0, data.data(), static_cast<uInt>(data.size())));
}

// --- damaged data ------------------------------------------------------------------

class Damaged : public testing::TestWithParam<std::pair<const char*, const char*>> {};

// Each decoder raises ZipDataError or produces exactly the entry's size
// (Try checks); a cut stream always raises: every method needs all its
// bytes but the last, which may hold only padding bits.
TEST_P(Damaged, CutOrFlippedNeverCrash) {
  const fs::path path = kCorpus / GetParam().first;
  if (!fs::exists(path)) GTEST_SKIP() << "corpus not found: " << path;
  std::optional<Entry> e;
  for (Entry& entry : ReadZip(ReadAll(path))) {
    if (entry.name == GetParam().second) e = std::move(entry);
  }
  ASSERT_TRUE(e.has_value());
  for (std::size_t cut = 0; cut + 2 <= e->data.size(); cut += 1 + cut / 8) {
    CheckSink out(false);
    EXPECT_FALSE(
        Try(e->method, e->flags, Bytes(e->data.begin(), e->data.begin() + cut), e->size, &out))
        << "cut to " << cut;
  }
  std::mt19937 rng(11);
  for (int i = 0; i < 300; ++i) {
    Bytes flipped = e->data;
    // A third in the first bytes, where the trees and sets are.
    const std::size_t at =
        rng() % (i % 3 == 0 ? std::min<std::size_t>(flipped.size(), 64) : flipped.size());
    flipped[at] = static_cast<std::uint8_t>(flipped[at] ^ (1u << (rng() % 8)));
    CheckSink out(false);
    (void)Try(e->method, e->flags, flipped, e->size, &out);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, Damaged,
    testing::Values(std::pair("sharpcompress_Zip.shrink.zip", "TEST.EXE"),
                    std::pair("sharpcompress_Zip.reduce1.zip", "TEST.EXE"),
                    std::pair("sharpcompress_Zip.reduce4.zip", "TEST.EXE"),
                    std::pair("commonscompress_imploding-4Kdict-2trees.zip", "HEADER.TXT"),
                    std::pair("commonscompress_imploding-8Kdict-3trees.zip", "LICENSE.TXT"),
                    std::pair("gen_7z_deflate64.zip", "gpl-2.txt"),
                    std::pair("gen_7z_deflate64.zip", "sub/mixed.bin")),
    [](const auto& p) { return TestName(p.param.first) + "_" + TestName(p.param.second); });

// gen_7z_deflate64.zip with eight bytes of its first entry overwritten.
TEST(Damaged, CorruptDeflate64ArchiveIsCaught) {
  const fs::path path = kCorpus / "gen_corrupt_deflate64_data.zip";
  if (!fs::exists(path)) GTEST_SKIP() << "corpus not found: " << path;
  const Entry e = ReadZip(ReadAll(path)).at(0);
  ASSERT_EQ(e.name, "gpl-2.txt");
  CheckSink out(false);
  if (Try(e.method, e.flags, e.data, e.size, &out)) {
    EXPECT_NE(out.crc, e.crc);
  }
}

}  // namespace
}  // namespace talvor

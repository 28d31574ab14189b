// The LHA codec: CRC-16, encoder/decoder round trips, archives of other
// programs, independent LHA programs reading our output, damaged input.
#include "archive/lha/lha_codec.h"
#include "archive/crc.h"

#include "archive/lha/lha_huffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace talvor {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

// --- data ------------------------------------------------------------------

Bytes Text(std::size_t n) {
  static const char* const kWords[] = {
      "the",    "archive", "window", "of",     "and",  "compression", "block", "Huffman",
      "a",      "to",      "file",   "in",     "data", "match",       "is",    "\n",
      "length", "code",    "table",  "header", "for",  "with",        "bits",  "LHA"};
  std::mt19937 rng(7);
  Bytes out;
  while (out.size() < n) {
    const std::string w = kWords[rng() % std::size(kWords)];
    out.insert(out.end(), w.begin(), w.end());
    out.push_back(rng() % 9 == 0 ? ',' : ' ');
  }
  out.resize(n);
  return out;
}

Bytes Random(std::size_t n, unsigned key = 1) {
  std::mt19937_64 rng(key);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// Runs longer than the longest match, and a random phrase repeated with
// small changes.
Bytes Repeats(std::size_t n) {
  std::mt19937 rng(3);
  const Bytes phrase = Random(700, 5);
  Bytes out;
  while (out.size() < n) {
    if (rng() % 2 == 0) {
      out.insert(out.end(), 256 + rng() % 900, static_cast<std::uint8_t>(rng()));
    } else {
      out.insert(out.end(), phrase.begin(), phrase.end());
      out[out.size() - 1 - rng() % 700] ^= 1;
    }
  }
  out.resize(n);
  return out;
}

Bytes Make(const std::string& kind, std::size_t n) {
  if (kind == "text") return Text(n);
  if (kind == "byte") return Bytes(std::min<std::size_t>(n, 1), 'x');
  if (kind == "zeros") return Bytes(n, 0);
  if (kind == "random") return Random(n);
  return Repeats(n);
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

// --- codec helpers ------------------------------------------------------------

// A MemorySource over b (over a valid pointer even when b is empty).
MemorySource SourceOf(const Bytes& b) {
  static const std::uint8_t kNothing = 0;
  return MemorySource(b.empty() ? &kNothing : b.data(), b.size());
}

struct Packed {
  bool ok = false;
  Bytes bytes;
  std::uint16_t crc = 0;
  std::uint64_t size = 0;
};

Packed Encode(const Bytes& data, const LhaMethod& method, std::uint64_t limit = kNoLimit) {
  MemorySource in = SourceOf(data);
  MemorySink out;
  Packed p;
  p.ok = LhaEncode(in, out, method, limit, &p.crc, &p.size);
  p.bytes = std::move(out.bytes);
  return p;
}

// Decodes with method id '1', '4'..'7'.
Bytes Decode(const Bytes& packed, char id, std::uint64_t size) {
  MemorySource in = SourceOf(packed);
  MemorySink out;
  if (id == '1') {
    LhaDecodeLh1(in, out, size);
  } else {
    LhaDecodeStatic(in, out, ReadMethod(id), size);
  }
  return out.bytes;
}

std::uint16_t Crc(const Bytes& b) {
  return Crc16(0, b.data(), b.size());
}

// --- CRC-16 -----------------------------------------------------------------

TEST(Crc16, KnownValues) {
  const struct {
    std::string text;
    std::uint16_t crc;
  } kCases[] = {{"", 0x0000}, {"a", 0xE8C1}, {"123456789", 0xBB3D}, {"abcdefghijklmnop", 0x8633}};
  for (const auto& c : kCases) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(c.text.data());
    EXPECT_EQ(Crc16(0, p, c.text.size()), c.crc) << c.text;
  }
}

TEST(Crc16, AnySplitAndLengthMatchesBitwiseDefinition) {
  const Bytes data = Random(300, 9);
  for (std::size_t n = 0; n <= data.size(); n += 7) {
    unsigned ref = 0;
    for (std::size_t i = 0; i < n; ++i) {
      ref ^= data[i];
      for (int b = 0; b < 8; ++b) ref = (ref >> 1) ^ ((ref & 1u) != 0 ? 0xA001u : 0u);
    }
    const std::size_t cut = n / 3;
    const std::uint16_t split = Crc16(Crc16(0, data.data(), cut), data.data() + cut, n - cut);
    EXPECT_EQ(split, ref) << n;
  }
}

// --- code lengths ---------------------------------------------------------------

// Bits written most significant first, for hand-made streams.
struct Bits {
  Bytes bytes;
  int used = 0;
  Bits& operator()(std::uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used % 8 == 0) bytes.push_back(0);
      if ((value >> i) & 1u) bytes.back() |= static_cast<std::uint8_t>(0x80u >> (used % 8));
      ++used;
    }
    return *this;
  }
};

TEST(LhaHuffman, CodesFitSixteenBitsFillTheCodeSpaceAndDecodeBack) {
  // Fibonacci counts: an unlimited Huffman code would be 39 bits deep.
  std::vector<std::uint32_t> counts(40, 1);
  for (std::size_t i = 2; i < counts.size(); ++i) counts[i] = counts[i - 1] + counts[i - 2];
  const struct {
    const char* what;
    std::vector<std::uint32_t> counts;
  } kCases[] = {{"fibonacci", counts},
                {"two", {0, 5, 0, 1}},
                {"uniform", std::vector<std::uint32_t>(510, 3)},
                {"sparse", {9, 0, 0, 0, 1, 0, 1, 1, 0, 2}}};
  for (const auto& c : kCases) {
    std::vector<std::uint8_t> lengths(c.counts.size(), 99);
    const int n = static_cast<int>(c.counts.size());
    ASSERT_GE(lha::BuildCodeLengths(c.counts.data(), n, lengths.data()), 2) << c.what;
    std::uint32_t space = 0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      EXPECT_EQ(lengths[i] == 0, c.counts[i] == 0) << c.what << " symbol " << i;
      ASSERT_LE(lengths[i], 16) << c.what;
      if (lengths[i] != 0) space += 1u << (16 - lengths[i]);
      for (std::size_t j = 0; j < i; ++j) {
        if (c.counts[j] > c.counts[i] && c.counts[i] != 0) {
          EXPECT_LE(lengths[j], lengths[i]) << c.what << ": a more frequent symbol";
        }
      }
    }
    EXPECT_EQ(space, 1u << 16) << c.what << ": the code must be complete";
  }
  // Every used symbol's code, read back through the decoding table.
  for (const auto& c : kCases) {
    const int n = static_cast<int>(c.counts.size());
    std::vector<std::uint8_t> lengths(c.counts.size());
    std::vector<std::uint16_t> codes(c.counts.size());
    (void)lha::BuildCodeLengths(c.counts.data(), n, lengths.data());
    lha::AssignCodes(lengths.data(), n, codes.data());
    Bits bits;
    for (int i = n - 1; i >= 0; --i) bits(codes[i], lengths[i]);
    MemorySource source = SourceOf(bits.bytes);
    lha::BitReader in(source);
    lha::DecodeTable<12, 510> table;
    table.Build(lengths.data(), n);
    for (int i = n - 1; i >= 0; --i) {
      if (lengths[i] == 0) continue;
      in.Refill();
      EXPECT_EQ(table.Decode(in), i) << c.what;
    }
  }

  std::vector<std::uint8_t> one(3, 99);
  const std::uint32_t single[] = {0, 7, 0};
  EXPECT_EQ(lha::BuildCodeLengths(single, 3, one.data()), 1);
  EXPECT_EQ(one, std::vector<std::uint8_t>(3, 0));
}

// --- round trips -------------------------------------------------------------

// What the writer uses, and the encoder at the full windows of -lh6- and
// -lh7-; `id` names the reader.
struct Writer {
  const char* name;
  char id;
  LhaMethod method;
};

const Writer kWriters[] = {{"lh5", '5', kWriteLh5},
                           {"lh6", '6', kWriteLh6},
                           {"lh6_32k", '6', {15, 16, 5}},
                           {"lh7_64k", '7', {16, 17, 5}}};
void PrintTo(const Writer& w, std::ostream* os) {
  *os << w.name;
}

struct RoundTrip {
  const char* kind;
  std::size_t size;
};
void PrintTo(const RoundTrip& r, std::ostream* os) {
  *os << r.kind << ' ' << r.size;
}

// Sizes relative to the window of the method.
constexpr std::size_t kWindowBelow = ~std::size_t{0} - 2;  // window - 1
constexpr std::size_t kWindowExact = ~std::size_t{0} - 1;
constexpr std::size_t kWindowAbove = ~std::size_t{0};  // window + 1

class LhaRoundTrip : public ::testing::TestWithParam<std::tuple<Writer, RoundTrip>> {};

TEST_P(LhaRoundTrip, DecodesToTheInput) {
  const auto [writer, rt] = GetParam();
  const LhaMethod method = writer.method;
  const std::size_t window = std::size_t{1} << method.dictionary_bits;
  std::size_t size = rt.size;
  if (size >= kWindowBelow) size = window - 1 + (size - kWindowBelow);
  const Bytes data = Make(rt.kind, size);
  const Packed p = Encode(data, method);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.crc, Crc(data));
  EXPECT_EQ(p.size, data.size());
  // Read back as the archive reader does: through the reader's parameters
  // of the same id, whose window may be larger.
  EXPECT_TRUE(Decode(p.bytes, writer.id, data.size()) == data);
  const std::string kind = rt.kind;
  if (size > 100000 && (kind == "text" || kind == "zeros" || kind == "repeats")) {
    EXPECT_LT(p.bytes.size(), data.size() / 2);
  }
}

const RoundTrip kRoundTrips[] = {
    {"text", 0},
    {"text", 1},
    {"text", 2},
    {"text", 3},
    {"random", 3},
    {"text", 255},
    {"text", 256},
    {"text", 257},
    {"zeros", 257},
    {"random", 257},
    {"text", kWindowBelow},
    {"text", kWindowExact},
    {"text", kWindowAbove},
    {"random", kWindowBelow},
    {"random", kWindowAbove},
    {"zeros", kWindowAbove},
    {"repeats", kWindowAbove},
    {"text", 100 * 1024},
    {"zeros", 100 * 1024},
    {"random", 100 * 1024},
    {"repeats", 100 * 1024},
    {"text", 3 << 20},
    {"zeros", 3 << 20},
    {"random", 3 << 20},
    {"repeats", 3 << 20},
};

INSTANTIATE_TEST_SUITE_P(Writers, LhaRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kWriters),
                                            ::testing::ValuesIn(kRoundTrips)));

TEST(LhaEncode, GivesUpPastTheLimit) {
  const Bytes random = Random(200 * 1024);
  EXPECT_FALSE(Encode(random, kWriteLh6, random.size()).ok);

  const Bytes text = Text(200 * 1024);
  const Packed whole = Encode(text, kWriteLh6, text.size());
  ASSERT_TRUE(whole.ok);
  // The limit is inclusive: exactly the output size passes, one less fails.
  EXPECT_TRUE(Encode(text, kWriteLh6, whole.bytes.size()).ok);
  EXPECT_FALSE(Encode(text, kWriteLh6, whole.bytes.size() - 1).ok);
}

TEST(LhaCodec, LongWorkRoundTrips) {
  const Bytes text = Text(1 << 20);
  MemorySource in(text.data(), text.size());
  MemorySink packed;
  ASSERT_TRUE(LhaEncode(in, packed, kWriteLh6, kNoLimit, nullptr, nullptr));
  MemorySource again(packed.bytes.data(), packed.bytes.size());
  MemorySink out;
  LhaDecodeStatic(again, out, ReadMethod('6'), text.size());
  EXPECT_EQ(out.bytes, text);
}

// --- other programs read our output -------------------------------------------

// A level-0 archive of one entry named `name`, followed by the end mark.
Bytes Level0Archive(const Bytes& packed, const char* method, std::uint64_t size, std::uint16_t crc,
                    const std::string& name) {
  Bytes h = {0, 0};
  h.insert(h.end(), method, method + 5);
  auto put32 = [&h](std::uint64_t v) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put32(packed.size());
  put32(size);
  put32(0);           // time
  h.push_back(0x20);  // attribute
  h.push_back(0);     // level
  h.push_back(static_cast<std::uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  h.push_back(static_cast<std::uint8_t>(crc));
  h.push_back(static_cast<std::uint8_t>(crc >> 8));
  h[0] = static_cast<std::uint8_t>(h.size() - 2);
  unsigned sum = 0;
  for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
  h[1] = static_cast<std::uint8_t>(sum);
  h.insert(h.end(), packed.begin(), packed.end());
  h.push_back(0);
  return h;
}

// Standard output of a command; nullopt when it exits with an error.
std::optional<Bytes> RunCommand(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  Bytes out;
  std::uint8_t buf[65536];
  std::size_t got;
  while ((got = fread(buf, 1, sizeof buf, pipe)) > 0) out.insert(out.end(), buf, buf + got);
  return pclose(pipe) == 0 ? std::optional<Bytes>(std::move(out)) : std::nullopt;
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct Reader {
  const char* program;
  const char* command;  // prints the one entry of the archive
};
void PrintTo(const Reader& r, std::ostream* os) {
  *os << r.program;
}

class ForeignReader : public ::testing::TestWithParam<std::tuple<Reader, Writer, const char*>> {};

TEST_P(ForeignReader, ExtractsOurArchive) {
  const auto [reader, writer, kind] = GetParam();
  if (!HaveProgram(reader.program)) GTEST_SKIP() << reader.program << " is not installed";
  const Bytes data = Make(kind, std::string(kind) == "text" ? 700 * 1024 : 150 * 1024);
  const Packed p = Encode(data, writer.method);
  ASSERT_TRUE(p.ok);
  const fs::path path = fs::path(::testing::TempDir()) /
                        (std::string("talvor_") + reader.program + writer.name + kind + ".lzh");
  {
    const std::string method = std::string("-lh") + writer.id + "-";
    const Bytes archive = Level0Archive(p.bytes, method.c_str(), data.size(), p.crc, "data.bin");
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(archive.data()),
            static_cast<std::streamsize>(archive.size()));
  }
  const auto out = RunCommand(std::string(reader.command) + " '" + path.string() + "'");
  fs::remove(path);
  ASSERT_TRUE(out.has_value()) << reader.program << " failed";
  EXPECT_TRUE(*out == data) << reader.program << " extracted other bytes";
}

INSTANTIATE_TEST_SUITE_P(
    LhasaAnd7z, ForeignReader,
    ::testing::Combine(::testing::Values(Reader{"lha", "lha pq"}, Reader{"7z", "7z x -so"}),
                       ::testing::ValuesIn(kWriters),
                       ::testing::Values("text", "random", "zeros", "repeats", "byte")));

// --- archives made by other programs -----------------------------------------

const fs::path kCorpus = fs::path(TALVOR_CORPUS) / "lha";

struct Entry {
  bool lh;      // a method "-lh?-"
  char method;  // its digit or letter
  Bytes packed;
  std::uint64_t size;
  std::uint16_t crc;
};

std::uint32_t Le(const Bytes& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
  return v;
}

// The entries of a level 0, 1 or 2 archive (enough of the headers for the
// data, the size and the CRC).
std::vector<Entry> ReadEntries(const Bytes& a) {
  std::vector<Entry> entries;
  std::size_t at = 0;
  while (at < a.size() && a[at] != 0) {
    Entry e;
    e.lh = a.at(at + 2) == '-' && a.at(at + 3) == 'l' && a.at(at + 4) == 'h';
    e.method = static_cast<char>(a.at(at + 5));
    std::uint64_t packed = Le(a, at + 7, 4);
    e.size = Le(a, at + 11, 4);
    const int level = a.at(at + 20);
    std::size_t data = 0;
    if (level == 2) {
      e.crc = static_cast<std::uint16_t>(Le(a, at + 21, 2));
      data = at + Le(a, at, 2);
    } else {
      const std::size_t name = a.at(at + 21);
      e.crc = static_cast<std::uint16_t>(Le(a, at + 22 + name, 2));
      data = at + 2 + a[at];
      if (level == 1) {  // extended headers, counted in the packed size
        for (std::size_t next = Le(a, data - 2, 2); next != 0; next = Le(a, data - 2, 2)) {
          data += next;
          packed -= next;
        }
      }
    }
    e.packed.assign(a.begin() + static_cast<std::ptrdiff_t>(data),
                    a.begin() + static_cast<std::ptrdiff_t>(std::min(data + packed, a.size())));
    entries.push_back(std::move(e));
    at = data + packed;
  }
  return entries;
}

class CorpusArchive : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusArchive, EveryEntryMatchesItsCrc) {
  const fs::path path = kCorpus / GetParam();
  if (!fs::exists(path)) GTEST_SKIP() << "corpus not found: " << path;
  int decoded = 0;
  for (const Entry& e : ReadEntries(ReadFile(path))) {
    if (!e.lh || (e.method != '1' && (e.method < '4' || e.method > '7'))) continue;
    const Bytes out = Decode(e.packed, e.method, e.size);
    EXPECT_EQ(out.size(), e.size);
    EXPECT_EQ(Crc(out), e.crc) << "-lh" << e.method << "- entry of " << e.size << " bytes";
    ++decoded;
  }
  EXPECT_GT(decoded, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lhasa, CorpusArchive,
    ::testing::Values("commonscompress_test-macos-l0-lh5.lha",
                      "commonscompress_test-macos-l0-lh6.lha",
                      "commonscompress_test-macos-l0-lh7.lha", "commonscompress_bla.lha",
                      "lhasa_lha_amiga_122_lh4.lzh", "lhasa_lha_amiga_122_lh4_long.lzh",
                      "lhasa_lha_amiga_212_lh1.lzh", "lhasa_lengths_lh1-1m.lzh",
                      "lhasa_lengths_lh1-2m.lzh", "lhasa_lharc113_long.lzh",
                      "lhasa_lha_unix114i_lh6_long.lzh", "lhasa_lha_unix114i_h2_lh7.lzh",
                      "lhasa_explzh_723_h1_lh7.lzh", "lhasa_lhmelt_16536_h0_lh1.lzh",
                      "lhasa_maclha_224_l0_lh1.lzh", "gen_jlha_h0_lh6.lzh", "gen_jlha_h1_lh7.lzh",
                      "gen_jlha_h2_lh5.lzh"));

TEST(CorpusRawStreams, DecodeToTheSameText) {
  const fs::path dir = kCorpus / "raw_streams";
  if (!fs::exists(dir)) GTEST_SKIP() << "corpus not found: " << dir;
  const Bytes text = ReadFile(dir / "lhasa_compressed_lh0.bin");
  EXPECT_TRUE(Decode(ReadFile(dir / "lhasa_compressed_lh1.bin"), '1', text.size()) == text);
  EXPECT_TRUE(Decode(ReadFile(dir / "lhasa_compressed_lh5.bin"), '5', text.size()) == text);
  EXPECT_TRUE(Decode(ReadFile(dir / "lhasa_compressed_lh6.bin"), '6', text.size()) == text);
  EXPECT_TRUE(Decode(ReadFile(dir / "lhasa_compressed_lh6.bin"), '7', text.size()) == text);
}

// --- damaged and hostile input -------------------------------------------------

// Decoding must end in LhaDataError or in exactly `size` bytes.
void DecodeSurvives(const Bytes& packed, char id, std::uint64_t size) {
  try {
    EXPECT_EQ(Decode(packed, id, size).size(), size);
  } catch (const LhaDataError&) {
  }
}

TEST(LhaDecode, SurvivesTruncationAndBitFlips) {
  const Bytes text = Text(40 * 1024);
  std::vector<std::pair<char, Bytes>> streams = {
      {'5', Encode(text, kWriteLh5).bytes}, {'6', Encode(Repeats(40 * 1024), kWriteLh6).bytes}};
  const fs::path lh1 = kCorpus / "raw_streams" / "lhasa_compressed_lh1.bin";
  if (fs::exists(lh1)) streams.emplace_back('1', ReadFile(lh1));
  std::mt19937 rng(11);
  for (const auto& [id, packed] : streams) {
    for (std::size_t cut = 0; cut < packed.size(); cut += 1 + packed.size() / 60) {
      const Bytes head(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut));
      DecodeSurvives(head, id, 40 * 1024);
    }
    for (int round = 0; round < 150; ++round) {
      Bytes damaged = packed;
      const std::size_t bit = rng() % (damaged.size() * 8);
      damaged[bit / 8] ^= static_cast<std::uint8_t>(0x80u >> (bit % 8));
      DecodeSurvives(damaged, id, 40 * 1024);
    }
  }
}

TEST(LhaDecode, RandomBytesNeverCrash) {
  for (unsigned key = 0; key < 200; ++key) {
    const Bytes junk = Random(16 + key * 37, key);
    for (char id : {'1', '4', '5', '6', '7'}) DecodeSurvives(junk, id, 100000);
  }
}

TEST(LhaDecode, InputEndingEarlyIsAnError) {
  const Bytes text = Text(30000);
  const Bytes packed = Encode(text, kWriteLh5).bytes;
  EXPECT_THROW((void)Decode(packed, '5', text.size() + 5000), LhaDataError);
  EXPECT_THROW((void)Decode({}, '5', 10), LhaDataError);
  EXPECT_THROW((void)Decode({}, '1', 10), LhaDataError);
}

TEST(LhaDecode, DistanceBeforeTheStartReadsSpaces) {
  // One block of two single-code tables: a match of 5 at offset 1, then (as
  // the only position code is 13) matches reaching 4096.. bytes back.
  Bits near;
  near(1, 16)(0, 5)(0, 5)(0, 9)(258, 9)(0, 4)(0, 4);
  EXPECT_EQ(Decode(near.bytes, '5', 5), Bytes(5, 0x20));
  Bits far;
  far(2, 16)(0, 5)(0, 5)(0, 9)(300, 9)(0, 4)(13, 4)(0xfff, 12)(0, 12);
  EXPECT_EQ(Decode(far.bytes, '5', 94), Bytes(94, 0x20));
}

TEST(LhaDecode, RejectsImpossibleTables) {
  const struct {
    const char* what;
    Bits bits;
  } kCases[] = {
      {"pre-code count over 19", Bits()(1, 16)(20, 5)},
      {"single pre-code out of range", Bits()(1, 16)(0, 5)(19, 5)},
      {"single literal out of range", Bits()(1, 16)(0, 5)(0, 5)(0, 9)(510, 9)},
      {"literal count over 510", Bits()(1, 16)(0, 5)(3, 5)(511, 9)},
      // Pre-code lengths 1, 1, 1: over-subscribed.
      {"over-subscribed", Bits()(1, 16)(3, 5)(1, 3)(1, 3)(1, 3)(0, 2)},
      // Pre-code length 7 + 10 = 17.
      {"length over 16", Bits()(1, 16)(1, 5)(0x1fff, 13)(0, 3)},
      // Single pre-code 2 (a run of 20+ zeros) in a table of 5 lengths.
      {"zero run past the table", Bits()(1, 16)(0, 5)(2, 5)(5, 9)(0, 9)},
      {"position count over 14", Bits()(1, 16)(0, 5)(0, 5)(0, 9)(300, 9)(15, 4)},
      {"single position out of range", Bits()(1, 16)(0, 5)(0, 5)(0, 9)(300, 9)(0, 4)(14, 4)},
  };
  for (const auto& c : kCases) {
    EXPECT_THROW((void)Decode(c.bits.bytes, '5', 100), LhaDataError) << c.what;
  }
}

}  // namespace
}  // namespace talvor

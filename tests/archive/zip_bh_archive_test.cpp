#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "archive/archive_test_support.h"
#include "archive/bh/bh_archive.h"
#include "archive/crc.h"
#include "archive/deflate.h"
#include "archive/lha/lha_codec.h"
#include "archive/zip/zip_archive.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::ErrorLog;
using testing::ListNames;
using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

std::uint32_t U16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}
std::uint32_t U32(const std::string& s, std::size_t at) {
  return U16(s, at) | U16(s, at + 2) << 16;
}

std::string Text(std::size_t size) {
  std::string text;
  for (int i = 0; text.size() < size; ++i) text += "word" + std::to_string(i % 23) + " of text\n";
  text.resize(size);
  return text;
}

template <typename Writer, typename Reader>
class ArchiveFixture : public ::testing::Test {
 protected:
  int Pack(const std::string& file, const std::string& archive,
           const std::function<void(Writer&)>& configure = {}) {
    Writer writer(fs_);
    log_.Attach(writer);
    writer.RecurseDirs = false;
    if (configure) configure(writer);
    writer.SetArchiveFile(archive);
    writer.FileSpec = {file};
    return writer.Compress();
  }
  int Unpack(const std::string& archive, const std::string& folder) {
    Reader reader(fs_);
    log_.Attach(reader);
    reader.SetArchiveFile(archive);
    reader.FileSpec = {"*.*"};
    reader.SetExtractDir(folder);
    return reader.Extract();
  }

  TempDir dir_;
  PosixFileSystem fs_;
  ErrorLog log_;
};

using ZipTest = ArchiveFixture<ZipWriter, ZipReader>;
using BhTest = ArchiveFixture<BhWriter, BhReader>;

TEST_F(ZipTest, TextFileRecords) {
  WriteFile(dir_ / "data.txt", Text(1000));
  ASSERT_EQ(Pack(dir_ / "data.txt", dir_ / "data.zip"), 1);
  const std::string z = ReadFile(dir_ / "data.zip");
  EXPECT_EQ(U32(z, 0), 0x04034B50U);
  EXPECT_EQ(U16(z, 4), 20U);  // version needed
  EXPECT_EQ(U16(z, 6), 0U);   // flags
  EXPECT_EQ(U16(z, 8), 8U);   // method
  EXPECT_EQ(U32(z, 14), Crc32(0, reinterpret_cast<const std::uint8_t*>(Text(1000).data()), 1000));
  EXPECT_EQ(U32(z, 22), 1000U);
  EXPECT_EQ(U16(z, 26), 8U);
  EXPECT_EQ(U16(z, 28), 0U);  // no extra field
  EXPECT_EQ(z.substr(30, 8), "data.txt");
  const std::size_t central = 38 + U32(z, 18);
  EXPECT_EQ(U32(z, central), 0x02014B50U);
  EXPECT_EQ(U16(z, central + 4), 20U);  // made by, host 0
  EXPECT_EQ(U16(z, central + 36), 1U);  // internal attributes
  EXPECT_EQ(U32(z, central + 38), 0x20U);
  EXPECT_EQ(U32(z, central + 42), 0U);  // local header offset
  const std::size_t end = central + 46 + 8;
  EXPECT_EQ(U32(z, end), 0x06054B50U);
  EXPECT_EQ(U16(z, end + 8), 1U);
  EXPECT_EQ(U16(z, end + 10), 1U);
  EXPECT_EQ(U32(z, end + 16), central);
  EXPECT_EQ(z.size(), end + 22);
}

struct MethodCase {
  const char* name;
  std::string file;
  std::string content;
  std::uint32_t method;
};

class ZipMethodTest : public ZipTest, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(ZipMethodTest, StoreRules) {
  const MethodCase& c = GetParam();
  WriteFile(dir_ / c.file, c.content);
  ASSERT_EQ(Pack(dir_ / c.file, dir_ / "out.zip"), 1);
  const std::string z = ReadFile(dir_ / "out.zip");
  EXPECT_EQ(U16(z, 8), c.method);
  if (c.content.empty()) {
    EXPECT_EQ(U32(z, 14), 0U);
    EXPECT_EQ(U32(z, 18), 0U);
  }
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "out.zip", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / ("x/" + c.file)), c.content);
  EXPECT_TRUE(log_.events.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ZipMethodTest,
    ::testing::Values(MethodCase{"Random200Stored", "r.bin", SomeBytes(200), 0},
                      // From 257 bytes on there is no way back to storing.
                      MethodCase{"Random1000Deflated", "r.bin", SomeBytes(1000), 8},
                      MethodCase{"Empty", "e.txt", "", 0},
                      MethodCase{"RarStored", "data.rar", Text(5000), 0},
                      MethodCase{"SmallTextDeflated", "s.txt", Text(200), 8}),
    testing::ByName());

TEST_F(ZipTest, IndependentReadersAcceptOurArchives) {
  WriteFile(dir_ / "a.txt", Text(100000));
  WriteFile(dir_ / "b.bin", SomeBytes(70000));
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "t.zip"), 1);
  ASSERT_EQ(Pack(dir_ / "b.bin", dir_ / "t.zip"), 1);  // updating keeps a.txt
  // And one with ZIP64 records, which the writer uses for 4 GiB and more.
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "z64.zip", [](ZipWriter& z) { z.Zip64Threshold = 100; }),
            1);
  ASSERT_EQ(Pack(dir_ / "b.bin", dir_ / "z64.zip", [](ZipWriter& z) { z.Zip64Threshold = 100; }),
            1);
  for (const std::string archive : {"t.zip", "z64.zip"}) {
    const std::vector<std::vector<std::string>> checks = {
        {"unzip", "-tq", dir_ / archive},
        {"7z", "t", dir_ / archive},
        {"python3", "-c",
         "import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); sys.exit(1 if z.testzip() or "
         "len(z.namelist())!=2 else 0)",
         dir_ / archive},
    };
    for (const auto& argv : checks) {
      if (!testing::HaveProgram(argv[0])) continue;
      EXPECT_EQ(testing::RunProgram(argv, dir_.path()), 0) << argv[0] << " on " << archive;
    }
    const std::string out = dir_ / ("x-" + archive);
    ::mkdir(out.c_str(), 0755);
    EXPECT_EQ(Unpack(dir_ / archive, out), 2);
    EXPECT_EQ(ReadFile(out + "/a.txt"), Text(100000));
    EXPECT_EQ(ReadFile(out + "/b.bin"), SomeBytes(70000));
  }
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(ZipTest, UpdatingLeavesAChangedFileOfTheSameNameAlone) {
  WriteFile(dir_ / "a.txt", "first");
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "u.zip"), 1);
  WriteFile(dir_ / "a.txt", "second, longer");
  EXPECT_EQ(Pack(dir_ / "a.txt", dir_ / "u.zip"), 0);
  EXPECT_EQ(log_.Codes(), (std::vector<int>{25270, 25268}));
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "u.zip", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / "x/a.txt"), "first");
}

TEST_F(ZipTest, NamesOutsideTheOemCodePageAreKeptAsUtf8) {
  const std::string name = "\xE6\xB5\x8B.txt";
  WriteFile(dir_ / name, "x");
  ASSERT_EQ(Pack(dir_ / name, dir_ / "n.zip"), 1);
  EXPECT_EQ(U16(ReadFile(dir_ / "n.zip"), 6), 0x0800U);
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "n.zip", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / ("x/" + name)), "x");
  // Names the OEM code page holds are stored in it, with no flag.
  const std::string polish = "\xC5\xBC\xC3\xB3\xC5\x82w.txt";
  WriteFile(dir_ / polish, "y");
  ASSERT_EQ(Pack(dir_ / polish, dir_ / "p.zip"), 1);
  const std::string p = ReadFile(dir_ / "p.zip");
  EXPECT_EQ(U16(p, 6), 0U);
  EXPECT_EQ(p.substr(30, 8), "\xBE\xA2\x88w.txt");
}

// A hand-made ZIP archive of stored entries.
std::string HandMadeZip(const std::vector<std::pair<std::string, std::string>>& entries,
                        std::uint16_t flags = 0, std::int64_t offset_skew = 0) {
  std::string local_part;
  std::string central;
  const auto put16 = [](std::string& s, std::uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  const auto put32 = [&](std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
  };
  for (const auto& [name, data] : entries) {
    const auto crc = Crc32(0, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    const auto offset = static_cast<std::uint32_t>(local_part.size() + offset_skew);
    std::string h;
    put32(h, 0x04034B50);
    put16(h, 20);
    put16(h, flags);
    put16(h, 0);
    put32(h, 0x5A210000);
    put32(h, crc);
    put32(h, static_cast<std::uint32_t>(data.size()));
    put32(h, static_cast<std::uint32_t>(data.size()));
    put16(h, static_cast<std::uint32_t>(name.size()));
    put16(h, 0);
    local_part += h + name + data;
    std::string c;
    put32(c, 0x02014B50);
    put16(c, 20);
    put16(c, 20);
    put16(c, flags);
    put16(c, 0);
    put32(c, 0x5A210000);
    put32(c, crc);
    put32(c, static_cast<std::uint32_t>(data.size()));
    put32(c, static_cast<std::uint32_t>(data.size()));
    put16(c, static_cast<std::uint32_t>(name.size()));
    put16(c, 0);
    put16(c, 0);
    put16(c, 0);
    put16(c, 1);
    put32(c, 0x20);
    put32(c, offset);
    central += c + name;
  }
  std::string end;
  put32(end, 0x06054B50);
  put16(end, 0);
  put16(end, 0);
  put16(end, static_cast<std::uint32_t>(entries.size()));
  put16(end, static_cast<std::uint32_t>(entries.size()));
  put32(end, static_cast<std::uint32_t>(central.size()));
  put32(end, static_cast<std::uint32_t>(local_part.size()));
  put16(end, 0);
  return local_part + central + end;
}

struct HostileZip {
  const char* name;
  std::string archive;
  std::vector<int> codes;
  std::string listing;
};

class ZipHostileTest : public ZipTest, public ::testing::WithParamInterface<HostileZip> {};

TEST_P(ZipHostileTest, NothingEscapesTheExtractFolder) {
  ::mkdir((dir_ / "out").c_str(), 0755);
  ::mkdir((dir_ / "elsewhere").c_str(), 0755);
  ASSERT_EQ(::symlink((dir_ / "elsewhere").c_str(), (dir_ / "out/link").c_str()), 0);
  WriteFile(dir_ / "in.zip", GetParam().archive);
  Unpack(dir_ / "in.zip", dir_ / "out");
  EXPECT_EQ(log_.Codes(), GetParam().codes);
  EXPECT_EQ(ListNames(dir_ / "out"), GetParam().listing);
  EXPECT_EQ(ListNames(dir_ / "elsewhere"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipHostileTest,
    ::testing::Values(
        HostileZip{"ZipSlip",
                   HandMadeZip({{"../../evil.txt", "x"}, {"ok.txt", "fine"}}),
                   {25114},
                   "link ok.txt"},
        HostileZip{"Backslashes",
                   HandMadeZip({{"..\\evil.txt", "x"}, {"ok.txt", "fine"}}),
                   {25114},
                   "link ok.txt"},
        HostileZip{"Absolute", HandMadeZip({{"/etc/abs.txt", "x"}}), {}, "etc link"},
        HostileZip{"ThroughLink",
                   HandMadeZip({{"link/evil.txt", "x"}, {"ok.txt", "fine"}}),
                   {25114},
                   "link ok.txt"},
        HostileZip{"Encrypted",
                   HandMadeZip({{"secret.txt", "xxxxxxxxxxxxxxxxx"}}, 0x0001),
                   {25326},
                   "link"},
        HostileZip{"LocalHeaderMissing", HandMadeZip({{"a.txt", "x"}}, 0, 7), {25115}, "link"},
        HostileZip{"NoEndRecord", std::string("PK\x03\x04 not really a zip"), {25114}, "link"}),
    testing::ByName());

// --------------------------------------------------------------------------

TEST_F(BhTest, TextFileHeader) {
  WriteFile(dir_ / "report.txt", Text(1000));
  ASSERT_EQ(Pack(dir_ / "report.txt", dir_ / "report.bh"), 1);
  const std::string b = ReadFile(dir_ / "report.bh");
  EXPECT_EQ(b.substr(0, 4), "BH\x05\x07");
  EXPECT_EQ(U16(b, 4), 47U);
  EXPECT_EQ(static_cast<unsigned char>(b[6]), 37);
  EXPECT_EQ(static_cast<unsigned char>(b[7]), 6);
  EXPECT_EQ(static_cast<unsigned char>(b[8]), 8);
  EXPECT_EQ(static_cast<unsigned char>(b[9]), 0);   // flags: default effort
  EXPECT_EQ(static_cast<unsigned char>(b[10]), 8);  // deflate
  EXPECT_EQ(U32(b, 19), 1000U);
  EXPECT_EQ(U32(b, 23), Crc32(0, reinterpret_cast<const std::uint8_t*>(Text(1000).data()), 1000));
  EXPECT_EQ(U16(b, 27), 0x20U);
  EXPECT_EQ(U32(b, 29), 0U);
  EXPECT_EQ(U16(b, 33), 10U);
  EXPECT_EQ(U16(b, 35), 0U);
  EXPECT_EQ(b.substr(37, 10), "report.txt");
  EXPECT_EQ(b.size(), 47 + U32(b, 15));  // ends right after the data
}

struct BhCase {
  const char* name;
  std::string content;
  int method;
  PackingMethod compress;
  DeflateEffort effort;
  int flags;
};

class BhMethodTest : public BhTest, public ::testing::WithParamInterface<BhCase> {};

TEST_P(BhMethodTest, MethodsAndRoundTrips) {
  const BhCase& c = GetParam();
  WriteFile(dir_ / "f.dat", c.content);
  ASSERT_EQ(Pack(dir_ / "f.dat", dir_ / "f.bh",
                 [&](BhWriter& bh) {
                   bh.SetCompressMethod(c.compress);
                   bh.DeflateType = c.effort;
                 }),
            1);
  const std::string b = ReadFile(dir_ / "f.bh");
  EXPECT_EQ(static_cast<unsigned char>(b[10]), c.method);
  EXPECT_EQ(static_cast<unsigned char>(b[9]), c.flags);
  if (c.content.empty()) {
    EXPECT_EQ(U32(b, 15), 0U);
    EXPECT_EQ(U32(b, 23), 0U);
  }
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "f.bh", dir_ / "x"), 1);
  EXPECT_EQ(ReadFile(dir_ / "x/f.dat"), c.content);
  EXPECT_TRUE(log_.events.empty());
}

constexpr auto kDeflate = PackingMethod::kDeflate;
constexpr auto kFuse = PackingMethod::kFuse;
constexpr auto kN = DeflateEffort::kNormal;

INSTANTIATE_TEST_SUITE_P(
    Files, BhMethodTest,
    ::testing::Values(BhCase{"Random100Stored", SomeBytes(100), 0, kDeflate, kN, 0},
                      BhCase{"Random300Deflated", SomeBytes(300), 8, kDeflate, kN, 0},
                      BhCase{"Empty", "", 0, kDeflate, kN, 0},
                      BhCase{"FastEffort", Text(5000), 8, kDeflate, DeflateEffort::kFast, 4},
                      BhCase{"BestEffort", Text(5000), 8, kDeflate, DeflateEffort::kMaximum, 2},
                      BhCase{"Fuse", Text(50000), 3, kFuse, kN, 0},
                      BhCase{"FuseRandomStored", SomeBytes(5000), 0, kFuse, kN, 0}),
    testing::ByName());

// Entries with the methods that only other writers use: 1 (static-Huffman LZ
// with an 8 KiB window) and 2 (Deflate).
TEST_F(BhTest, ReadsMethodsOneAndTwo) {
  const std::string content = Text(30000);
  const auto entry = [&](int method, const std::string& name) {
    MemorySource in(content);
    MemorySink packed;
    if (method == 1) {
      std::uint16_t crc16 = 0;
      std::uint64_t n = 0;
      EXPECT_TRUE(LhaEncode(in, packed, kWriteLh5, UINT64_MAX, &crc16, &n));
    } else {
      (void)DeflateAll(in, packed, 6, nullptr);
    }
    std::string h(37, '\0');
    h.replace(0, 4, "BH\x05\x07");
    const auto set = [&](std::size_t at, std::uint32_t v, int bytes) {
      for (int k = 0; k < bytes; ++k) h[at + k] = static_cast<char>(v >> (8 * k));
    };
    set(4, static_cast<std::uint32_t>(37 + name.size()), 2);
    h[6] = 37;
    h[7] = 6;
    h[8] = 8;
    h[10] = static_cast<char>(method);
    set(11, 0x5A210000, 4);
    set(15, static_cast<std::uint32_t>(packed.bytes.size()), 4);
    set(19, static_cast<std::uint32_t>(content.size()), 4);
    set(23, Crc32(0, reinterpret_cast<const std::uint8_t*>(content.data()), content.size()), 4);
    set(27, 0x20, 2);
    set(33, static_cast<std::uint32_t>(name.size()), 2);
    return h + name + std::string(packed.bytes.begin(), packed.bytes.end());
  };
  WriteFile(dir_ / "old.bh", entry(1, "one.txt") + entry(2, "two.txt"));
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "old.bh", dir_ / "x"), 2);
  EXPECT_EQ(ReadFile(dir_ / "x/one.txt"), content);
  EXPECT_EQ(ReadFile(dir_ / "x/two.txt"), content);
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(BhTest, SubFolderNamesAndDamageBehindTheEntries) {
  WriteFile(dir_ / "a.txt", "top");
  ::mkdir((dir_ / "old").c_str(), 0755);
  WriteFile(dir_ / "old/a.txt", "below");
  ASSERT_EQ(Pack(dir_ / "a.txt", dir_ / "r.bh", [](BhWriter& bh) { bh.RecurseDirs = true; }), 2);
  EXPECT_NE(ReadFile(dir_ / "r.bh").find("old/a.txt"), std::string::npos);
  // What follows the entries where a header belongs is damage: said so.
  WriteFile(dir_ / "r.bh", ReadFile(dir_ / "r.bh") + "garbage that is no header at all, none");
  ::mkdir((dir_ / "x").c_str(), 0755);
  EXPECT_EQ(Unpack(dir_ / "r.bh", dir_ / "x"), 2);
  EXPECT_EQ(ReadFile(dir_ / "x/old/a.txt"), "below");
  EXPECT_EQ(log_.Codes(), std::vector<int>{archive_error::kBadFileHeader});
  // No signature, or nothing at all: no BH archive, said so.
  for (const std::string& content : {"XH\x05\x07" + std::string(60, '\0'), std::string()}) {
    log_.events.clear();
    WriteFile(dir_ / "none.bh", content);
    EXPECT_EQ(Unpack(dir_ / "none.bh", dir_ / "x"), 0);
    EXPECT_EQ(log_.Codes(), std::vector<int>{archive_error::kBadFileHeader});
  }
}

}  // namespace
}  // namespace talvor

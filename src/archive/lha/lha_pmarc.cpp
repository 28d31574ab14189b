// PMarc's methods (CP/M and MSX-DOS). Both code a literal as the place of
// its value in a list of byte values, most recently used first.
//
// -pm1-: a 16 KiB ring. A 5-bit number at the start picks one of 32 fixed
// trees that code the width class of a literal's place. Then commands: a
// 0 bit, a match; a 1 bit, a run of 1-216 literals and (unless the run is
// 216 long) a match. A match's distance class comes from a small tree that
// grows with the output (wider distances only once there is output that
// far back), its length is 2 for the two short classes and coded otherwise.
// Data may read past the end of the stream, as zero bits.
//
// -pm2-: An 8 KiB ring of spaces; each command is a
// code from a Huffman tree sent in the stream:
//   0-7    a literal, sent as its place in a list of byte values most
//          recently used first (0 is the last byte written), the code
//          telling how many bits that place takes;
//   8-36   a match: codes 8-22 copy 2-16 bytes, 23-28 take a length of
//          17-256 from the bits that follow; the distance is 6 bits (code
//          8), or a number of bits given by a second tree (codes 9-27), or
//          none (a length of 256 copies the last byte on).
// The trees are sent at the start, the distance tree again after 1, 2 and
// 4 KiB of output (with more distance codes as the window fills), and both
// may be sent again every 4 KiB after that, a bit telling whether they are.
#include <algorithm>
#include <array>
#include <vector>

#include "archive/lha/lha_codec.h"
#include "archive/lha/lha_huffman.h"
#include "archive/lha/lha_ring.h"

namespace talvor {

namespace {

using lha::BitReader;
using lha::DecodeTable;
using lha::Ring;

// The byte values, most recently used first: a circular list in which
// `older` leads away from the last byte used.
class RecentBytes {
 public:
  // Printable ASCII first (from the space on), then control characters,
  // then 0xA0-0xDF, 0x80-0x9F and 0xE0-0xFF.
  RecentBytes() {
    for (int i = 0; i < 256; ++i) {
      older_[i] = static_cast<std::uint8_t>(i + 1);
      newer_[i] = static_cast<std::uint8_t>(i - 1);
    }
    Link(0x7F, 0x00);
    Link(0x1F, 0xA0);
    Link(0xDF, 0x80);
    Link(0x9F, 0xE0);
    Link(0xFF, 0x20);
  }

  // The byte `place` steps from the most recent one.
  [[nodiscard]] std::uint8_t At(unsigned place) const noexcept {
    std::uint8_t b = latest_;
    if (place < 128) {
      for (unsigned i = 0; i < place; ++i) b = older_[b];
    } else {
      for (unsigned i = place; i < 256; ++i) b = newer_[b];
    }
    return b;
  }

  // Makes `b` the most recent byte: it leaves its place and goes in just
  // before the list's head, which it then becomes.
  void Use(std::uint8_t b) noexcept {
    if (b == latest_) return;
    Link(newer_[b], older_[b]);
    Link(newer_[latest_], b);
    Link(b, latest_);
    latest_ = b;
  }

 private:
  void Link(std::uint8_t newer, std::uint8_t older) noexcept {
    older_[newer] = older;
    newer_[older] = newer;
  }

  std::array<std::uint8_t, 256> older_{};
  std::array<std::uint8_t, 256> newer_{};
  std::uint8_t latest_ = 0x20;
};

// A value of the form base + (`bits` more bits).
struct Range {
  std::uint16_t base;
  std::uint8_t bits;
};

constexpr std::array<Range, 8> kPm2LiteralPlaces = {
    {{0, 3}, {8, 3}, {16, 4}, {32, 5}, {64, 5}, {96, 5}, {128, 6}, {192, 6}}};
constexpr std::array<Range, 6> kLongLengths = {
    {{17, 3}, {25, 3}, {33, 5}, {65, 6}, {129, 7}, {256, 0}}};

class Pm2Decoder {
 public:
  Pm2Decoder(ByteSource& in, ByteSink& out, std::uint64_t size)
      : bits_(in), ring_(out, std::vector<std::uint8_t>(kRingSize, ' '), 0, size) {}

  void Run() {
    (void)bits_.Take(1);  // the stream starts with a bit of no meaning
    ReadCodeTree();
    ReadDistanceTree(5);
    stage_ = 1;
    until_trees_ = 1024;
    while (!ring_.done()) {
      bits_.Refill();
      const int code = codes_.Decode(bits_);
      if (code < 8) {
        const Range r = kPm2LiteralPlaces[static_cast<std::size_t>(code)];
        Put(recent_.At(r.base + bits_.Get(r.bits)));
        continue;
      }
      const int match = code - 8;
      if (match >= 15 + static_cast<int>(kLongLengths.size())) {
        throw LhaDataError("a -pm2- code out of range");
      }
      const unsigned length = match < 15 ? static_cast<unsigned>(match) + 2
                                         : LongLength(static_cast<std::size_t>(match - 15));
      const unsigned distance = Distance(match);
      for (unsigned i = 0; i < length && !ring_.done(); ++i) Put(ring_.Behind(distance + 1));
    }
    bits_.CheckNotOverrun();
    ring_.Flush();
  }

 private:
  static constexpr std::size_t kRingSize = 8192;
  static constexpr int kCodes = 32;

  unsigned LongLength(std::size_t index) {
    const Range r = kLongLengths[index];
    return r.base + bits_.Get(r.bits);
  }

  unsigned Distance(int match) {
    if (match >= 20) return 0;
    int width = 6;
    unsigned base = 0;
    if (match > 0) {
      bits_.Refill();
      const int code = distances_.Decode(bits_);
      if (code > 0) {
        width = code + 5;
        base = 1U << width;
      }
    }
    return base + bits_.Take(width);
  }

  void Put(std::uint8_t b) {
    ring_.Put(b);
    recent_.Use(b);
    if (--until_trees_ == 0) NextTrees();
  }

  // The trees sent after 1, 2 and 4 KiB of output, then every 4 KiB.
  void NextTrees() {
    switch (stage_) {
      case 1:
      case 2:
        ReadDistanceTree(5 + stage_);
        until_trees_ = 1024U << (stage_ - 1);
        break;
      case 3:
        if (bits_.Take(1) != 0) ReadCodeTree();
        ReadDistanceTree(8);
        until_trees_ = 4096;
        break;
      default:
        if (bits_.Take(1) != 0) {
          ReadCodeTree();
          ReadDistanceTree(8);
        }
        until_trees_ = 4096;
        break;
    }
    if (stage_ < 4) ++stage_;
  }

  // How many codes, the shortest length, and the length of each code as a
  // difference to it (0: unused) in a width sent first. A shortest length
  // of 0 means one code, taking no bits.
  void ReadCodeTree() {
    const int count = static_cast<int>(bits_.Take(5));
    const unsigned shortest = bits_.Take(3);
    with_distances_ = count >= 10 && !(count == 29 && shortest == 0);
    if (shortest == 0) {
      if (count == 0) throw LhaDataError("an empty -pm2- code tree");
      codes_.BuildSingle(count - 1);
      return;
    }
    const int width = static_cast<int>(bits_.Take(3));
    std::array<std::uint8_t, 32> lengths{};
    for (int i = 0; i < count; ++i) {
      const unsigned value = bits_.Take(width);
      lengths[static_cast<std::size_t>(i)] =
          value == 0 ? 0 : static_cast<std::uint8_t>(std::min(shortest + value - 1, 255U));
    }
    codes_.Build(lengths.data(), count);
  }

  // The length of the code of each distance width (3 bits each); not sent
  // where the code tree has too few codes to need it.
  void ReadDistanceTree(int count) {
    if (!with_distances_) return;
    std::array<std::uint8_t, 8> lengths{};
    int used = 0;
    int last = 0;
    for (int i = 0; i < count; ++i) {
      lengths[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits_.Take(3));
      if (lengths[static_cast<std::size_t>(i)] != 0) {
        ++used;
        last = i;
      }
    }
    if (used == 1) {
      distances_.BuildSingle(last);
    } else {
      distances_.Build(lengths.data(), count);
    }
  }

  BitReader bits_;
  Ring ring_;
  RecentBytes recent_;
  DecodeTable<8, kCodes> codes_;
  DecodeTable<6, 8> distances_;
  bool with_distances_ = false;
  int stage_ = 0;
  std::uint32_t until_trees_ = 0;
};

// ---------------------------------------------------------------------------

// The width classes of a -pm1- literal's place.
constexpr std::array<Range, 6> kPm1LiteralPlaces = {
    {{0, 4}, {16, 4}, {32, 5}, {64, 6}, {128, 6}, {192, 6}}};

// The -pm1- trees of literal classes, one chosen per stream. A node is a
// byte whose high nibble is taken on a 0 bit, its low nibble on a 1 bit: a
// nibble of 10 or more is the class (10 for class 0), a smaller one moves
// that many bytes on to the next node. An empty tree codes class 0 in no
// bits.
using ClassTree = std::array<std::uint8_t, 5>;
constexpr std::array<ClassTree, 32> kPm1ClassTrees = {{
    {0x12, 0x2d, 0xef, 0x1c, 0xab},
    {0x12, 0x23, 0xde, 0xab, 0xcf},
    {0x12, 0x2c, 0xd2, 0xab, 0xef},
    {0x12, 0xa2, 0xd2, 0xbc, 0xef},
    {0x12, 0xa2, 0xc2, 0xbd, 0xef},
    {0x12, 0xa2, 0xcd, 0xb1, 0xef},
    {0x12, 0xab, 0x12, 0xcd, 0xef},
    {0x12, 0xab, 0x1d, 0xc1, 0xef},
    {0x12, 0xab, 0xc1, 0xd1, 0xef},
    {0xa1, 0x12, 0x2c, 0xde, 0xbf},
    {0xa1, 0x1d, 0x1c, 0xb1, 0xef},
    {0xa1, 0x12, 0x2d, 0xef, 0xbc},
    {0xa1, 0x12, 0xb2, 0xde, 0xcf},
    {0xa1, 0x12, 0xbc, 0xd1, 0xef},
    {0xa1, 0x1c, 0xb1, 0xd1, 0xef},
    {0xa1, 0xb1, 0x12, 0xcd, 0xef},
    {0xa1, 0xb1, 0xc1, 0xd1, 0xef},
    {0x12, 0x1c, 0xde, 0xab},
    {0x12, 0xa2, 0xcd, 0xbe},
    {0x12, 0xab, 0xc1, 0xde},
    {0xa1, 0x1d, 0x1c, 0xbe},
    {0xa1, 0x12, 0xbc, 0xde},
    {0xa1, 0x1c, 0xb1, 0xde},
    {0xa1, 0xb1, 0xc1, 0xde},
    {0x1d, 0x1c, 0xab},
    {0x1c, 0xa1, 0xbd},
    {0x12, 0xab, 0xcd},
    {0xa1, 0x1c, 0xbd},
    {0xa1, 0xb1, 0xcd},
    {0xa1, 0xbc},
    {0xab},
    {0x00},
}};

// Supplies the source's bytes, then zeros without end.
class ZeroPadded final : public ByteSource {
 public:
  explicit ZeroPadded(ByteSource& in) : in_(in) {}
  std::size_t Read(std::uint8_t* data, std::size_t n) override {
    const std::size_t got = ended_ ? 0 : in_.Read(data, n);
    if (got > 0) return got;
    ended_ = true;
    std::fill_n(data, n, std::uint8_t{0});
    return n;
  }

 private:
  ByteSource& in_;
  bool ended_ = false;
};

class Pm1Decoder {
 public:
  Pm1Decoder(ByteSource& in, ByteSink& out, std::uint64_t size)
      : padded_(in), bits_(padded_), ring_(out, std::vector<std::uint8_t>(kRingSize, 0), 0, size) {}

  void Run() {
    tree_ = &kPm1ClassTrees[bits_.Take(5)];
    while (!ring_.done()) {
      if (bits_.Take(1) != 0) {
        const unsigned run = RunLength();
        for (unsigned i = 0; i < run && !ring_.done(); ++i) Put(Literal());
        if (run == kLongestRun || ring_.done()) continue;
      }
      Match();
    }
    ring_.Flush();
  }

 private:
  static constexpr std::size_t kRingSize = 16384;
  static constexpr unsigned kLongestRun = 216;

  void Put(std::uint8_t b) {
    ring_.Put(b);
    recent_.Use(b);
    ++written_;
  }

  // A bit of the stream once `written_` has reached `from`; `before` until
  // then, when the choice it makes is not open yet.
  unsigned BitFrom(std::uint64_t from, unsigned before) {
    return written_ >= from ? bits_.Take(1) : before;
  }

  std::uint8_t Literal() {
    const std::uint8_t* node = tree_->data();
    unsigned cls = 0;
    if (*node != 0) {
      for (;;) {
        const unsigned next = bits_.Take(1) == 0 ? *node >> 4 : *node & 0x0FU;
        if (next >= 10) {
          cls = next - 10;
          break;
        }
        node += next;
        if (next == 0 || node >= tree_->data() + tree_->size()) {
          throw LhaDataError("a -pm1- literal tree that loops");
        }
      }
    }
    if (cls >= kPm1LiteralPlaces.size()) throw LhaDataError("a -pm1- literal class out of range");
    const Range r = kPm1LiteralPlaces[cls];
    return recent_.At(r.base + bits_.Take(r.bits));
  }

  // 1-3, 4-10, 11-24, 25-88, 89-216: 2, 5, 9, 15 and 16 bits.
  unsigned RunLength() {
    if (const unsigned x = bits_.Take(2); x < 3) return x + 1;
    if (const unsigned x = bits_.Take(3); x < 7) return x + 4;
    const unsigned x = bits_.Take(4);
    if (x < 14) return x + 11;
    return x == 14 ? bits_.Take(6) + 25 : bits_.Take(7) + 89;
  }

  // 3-5, 6-10, 11-14, 15-22, 23-84, 85-116, 117-244.
  unsigned MatchLength() {
    if (const unsigned x = bits_.Take(2); x < 3) return x + 3;
    const unsigned x = bits_.Take(3);
    if (x < 5) return x + 6;
    if (x == 5) return bits_.Take(2) + 11;
    if (x == 6) return bits_.Take(3) + 15;
    const unsigned y = bits_.Take(6);
    if (y < 62) return y + 23;
    return y == 62 ? bits_.Take(5) + 85 : bits_.Take(7) + 117;
  }

  // The distance class: 0 and 2 from the start, 1 and 3 once 64 bytes are
  // out, 4 from 576 bytes on, 5 from 2624 bytes on.
  unsigned MatchClass() {
    if (bits_.Take(1) == 0) return BitFrom(576, 0) != 0 ? 4 : BitFrom(64, 0);
    if (BitFrom(64, 1) == 0) return 3;
    return BitFrom(2624, 1) != 0 ? 2 : 5;
  }

  // A class's distances, fewer bits while the output is short.
  Range Distances(unsigned cls) const {
    switch (cls) {
      case 0:
      case 2:
        return {0, 6};
      case 1:
        return {64, 8};
      case 3:
        return {64, static_cast<std::uint8_t>(written_ < 320 ? 8 : 9)};
      case 4:
        return {576, static_cast<std::uint8_t>(written_ < 832    ? 8
                                               : written_ < 1088 ? 9
                                               : written_ < 1600 ? 10
                                                                 : 11)};
      default:
        return {2624, static_cast<std::uint8_t>(written_ < 2880   ? 8
                                                : written_ < 3136 ? 9
                                                : written_ < 3648 ? 10
                                                : written_ < 4672 ? 11
                                                : written_ < 6720 ? 12
                                                                  : 13)};
    }
  }

  void Match() {
    const unsigned cls = MatchClass();
    const unsigned length = cls < 2 ? 2 : MatchLength();
    const Range r = Distances(cls);
    const unsigned distance = r.base + bits_.Take(r.bits);
    if (distance >= written_) throw LhaDataError("a -pm1- match reaches before the data");
    for (unsigned i = 0; i < length && !ring_.done(); ++i) Put(ring_.Behind(distance + 1));
  }

  ZeroPadded padded_;
  BitReader bits_;
  Ring ring_;
  RecentBytes recent_;
  const ClassTree* tree_ = nullptr;
  std::uint64_t written_ = 0;
};

}  // namespace

void LhaDecodePm1(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  Pm1Decoder(in, out, original_size).Run();
}

void LhaDecodePm2(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  Pm2Decoder(in, out, original_size).Run();
}

}  // namespace talvor

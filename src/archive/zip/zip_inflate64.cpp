// Method 9, Deflate64: the Deflate format of RFC 1951 with a 64 KiB window,
// distance codes 30 and 31 in use (distances from 32769 and 49153, 14 extra
// bits each), and length code 285 standing for 3 plus 16 extra bits instead
// of 258.
#include <array>
#include <memory>
#include <span>
#include <vector>

#include "archive/zip/zip_codec_io.h"
#include "archive/zip/zip_legacy_codecs.h"

namespace talvor {
namespace {

constexpr std::size_t kWindow = 64 * 1024;
constexpr int kMaxCodeLength = 15;
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kLengthSymbols = 286;  // 286 and 287 take part in no block
constexpr unsigned kDistanceSymbols = 32;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<std::uint32_t, 32> kDistanceBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistanceExtra = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                                         4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                                         10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// The order in which the code length code's own lengths are sent.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// Builds the canonical code of RFC 1951 from code lengths. Lengths that
// claim more codes than their bits hold are an error; an incomplete code is
// accepted and its missing codes fail when they turn up.
void BuildCanonical(std::span<const std::uint8_t> lengths, zip::PrefixDecoder& decoder) {
  std::array<int, kMaxCodeLength + 1> count{};
  for (const std::uint8_t length : lengths) ++count[length];
  count[0] = 0;
  int left = 1;
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    left = (left << 1) - count[length];
    if (left < 0) zip::ThrowDataError("over-subscribed Deflate code lengths");
  }
  std::array<std::uint32_t, kMaxCodeLength + 1> next{};
  std::uint32_t code = 0;
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    code = (code + static_cast<std::uint32_t>(count[length - 1])) << 1;
    next[length] = code;
  }
  std::array<std::uint16_t, 320> codes{};
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) codes[s] = static_cast<std::uint16_t>(next[lengths[s]]++);
  }
  decoder.Build(lengths, std::span(codes.data(), lengths.size()));
}

class Inflater {
 public:
  Inflater(ByteSource& in, ByteSink& out, std::uint64_t size) : in_(in), out_(out, size, kWindow) {}

  void Run() {
    bool last = false;
    while (!last) {
      in_.Refill();
      last = in_.Get(1) != 0;
      switch (in_.Get(2)) {
        case 0:
          StoredBlock();
          break;
        case 1:
          if (!fixed_codes_) UseFixedCodes();
          CodedBlock();
          break;
        case 2:
          ReadDynamicCodes();
          CodedBlock();
          break;
        default:
          zip::ThrowDataError("a Deflate block of the reserved type");
      }
    }
    in_.CheckNotOverrun();
    if (out_.Left() != 0) zip::ThrowDataError("the Deflate64 data ends before the entry does");
    out_.Flush();
  }

 private:
  void StoredBlock() {
    in_.AlignToByte();
    in_.Refill();
    const std::uint32_t length = in_.Get(16);
    if (in_.Get(16) != (~length & 0xFFFF)) zip::ThrowDataError("a damaged stored block length");
    if (length > out_.Left()) zip::ThrowDataError("more Deflate64 data than the entry holds");
    std::array<std::uint8_t, 4096> chunk;
    for (std::uint32_t done = 0; done < length;) {
      const std::uint32_t n = std::min<std::uint32_t>(length - done, chunk.size());
      in_.ReadBytes(chunk.data(), n);
      out_.Append(chunk.data(), n);
      done += n;
    }
  }

  void UseFixedCodes() {
    std::array<std::uint8_t, 288> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, std::uint8_t{8});
    std::fill(lengths.begin() + 144, lengths.begin() + 256, std::uint8_t{9});
    std::fill(lengths.begin() + 256, lengths.begin() + 280, std::uint8_t{7});
    std::fill(lengths.begin() + 280, lengths.end(), std::uint8_t{8});
    BuildCanonical(lengths, literals_);
    std::array<std::uint8_t, kDistanceSymbols> distance_lengths;
    distance_lengths.fill(5);
    BuildCanonical(distance_lengths, distances_);
    fixed_codes_ = true;
  }

  void ReadDynamicCodes() {
    fixed_codes_ = false;
    in_.Refill();
    const unsigned literal_count = in_.Get(5) + 257;
    const unsigned distance_count = in_.Get(5) + 1;
    const unsigned code_length_count = in_.Get(4) + 4;
    if (literal_count > kLengthSymbols) zip::ThrowDataError("too many Deflate length codes");

    std::array<std::uint8_t, 19> code_length_lengths{};
    for (unsigned i = 0; i < code_length_count; ++i) {
      code_length_lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(in_.Take(3));
    }
    BuildCanonical(code_length_lengths, code_lengths_);

    std::array<std::uint8_t, kLengthSymbols + kDistanceSymbols> lengths{};
    const unsigned total = literal_count + distance_count;
    for (unsigned i = 0; i < total;) {
      in_.Refill();
      const unsigned symbol = code_lengths_.Decode(in_);
      if (symbol < 16) {
        lengths[i++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      std::uint8_t value = 0;
      unsigned repeat;
      if (symbol == 16) {
        if (i == 0) zip::ThrowDataError("a Deflate length repeat with nothing before it");
        value = lengths[i - 1];
        repeat = 3 + in_.Get(2);
      } else if (symbol == 17) {
        repeat = 3 + in_.Get(3);
      } else {
        repeat = 11 + in_.Get(7);
      }
      if (repeat > total - i) zip::ThrowDataError("Deflate code lengths overrun their table");
      std::fill_n(lengths.begin() + i, repeat, value);
      i += repeat;
    }
    if (lengths[kEndOfBlock] == 0) zip::ThrowDataError("a Deflate block with no end code");
    BuildCanonical(std::span(lengths.data(), literal_count), literals_);
    BuildCanonical(std::span(lengths.data() + literal_count, distance_count), distances_);
  }

  void CodedBlock() {
    for (;;) {
      in_.Refill();
      unsigned symbol = literals_.Decode(in_);
      if (symbol < 256) {
        if (out_.Left() == 0) zip::ThrowDataError("more Deflate64 data than the entry holds");
        out_.Put(static_cast<std::uint8_t>(symbol));
        continue;
      }
      if (symbol == kEndOfBlock) return;
      symbol -= 257;
      if (symbol >= kLengthBase.size()) zip::ThrowDataError("an unused Deflate length code");
      // At most 15 + 16 bits, then 15 + 14 after the refill.
      const std::uint32_t length = kLengthBase[symbol] + in_.Get(kLengthExtra[symbol]);
      in_.Refill();
      const unsigned d = distances_.Decode(in_);
      const std::uint32_t distance = kDistanceBase[d] + in_.Get(kDistanceExtra[d]);
      if (distance > out_.Produced()) {
        zip::ThrowDataError("a Deflate64 distance before the start of the data");
      }
      if (length > out_.Left()) zip::ThrowDataError("more Deflate64 data than the entry holds");
      out_.Copy(distance, length);
    }
  }

  zip::BitReader in_;
  zip::OutputWindow out_;
  zip::PrefixDecoder literals_{10, 288, kMaxCodeLength};
  zip::PrefixDecoder distances_{8, kDistanceSymbols, kMaxCodeLength};
  zip::PrefixDecoder code_lengths_{7, 19, 7};
  bool fixed_codes_ = false;
};

}  // namespace

void Inflate64(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  if (original_size == 0) return;  // an empty entry may come without a stream
  auto inflater = std::make_unique<Inflater>(in, out, original_size);
  inflater->Run();
}

}  // namespace talvor

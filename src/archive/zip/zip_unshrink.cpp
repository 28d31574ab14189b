// Method 1, shrunk: LZW with codes of 9 to 13 bits (APPNOTE, "UnShrinking").
// Code 256 announces a control code: 1 widens the codes by one bit, 2 frees
// every node of the string tree that no other node extends (a partial
// clear). Freed codes are taken again lowest first.
#include <array>
#include <memory>
#include <vector>

#include "archive/zip/zip_codec_io.h"
#include "archive/zip/zip_legacy_codecs.h"

namespace talvor {
namespace {

constexpr int kCodes = 1 << 13;
constexpr unsigned kControl = 256;
constexpr unsigned kFirstFree = 257;

class Unshrinker {
 public:
  Unshrinker(ByteSource& in, ByteSink& out, std::uint64_t size)
      : in_(in), out_(out, size, 0), parent_(kCodes), suffix_(kCodes), used_(kCodes) {
    for (unsigned c = 0; c < 256; ++c) {
      suffix_[c] = static_cast<std::uint8_t>(c);
      used_[c] = 1;
    }
  }

  void Run() {
    int code_bits = 9;
    int prev = -1;                // the code decoded last, -1 before the first
    std::uint8_t prev_first = 0;  // the first byte of its string
    while (out_.Left() > 0) {
      in_.Refill();
      const unsigned code = in_.Get(code_bits);
      if (code == kControl) {
        const unsigned control = in_.Get(code_bits);
        if (control == 1) {
          if (code_bits == 13) zip::ThrowDataError("shrunk codes grow beyond 13 bits");
          ++code_bits;
        } else if (control == 2) {
          PartialClear();
        } else {
          zip::ThrowDataError("an unknown shrink control code");
        }
        continue;
      }
      if (prev < 0) {
        if (code > 255) zip::ThrowDataError("shrunk data starts with a string code");
        out_.Put(static_cast<std::uint8_t>(code));
        prev = static_cast<int>(code);
        prev_first = static_cast<std::uint8_t>(code);
        continue;
      }
      std::size_t start;
      if (used_[code]) {
        start = Expand(code);
        Add(prev, string_[start]);
      } else if (code == next_free_) {
        // The string the encoder has just defined: the previous one and its
        // own first byte.
        Add(prev, prev_first);
        start = Expand(code);
      } else {
        zip::ThrowDataError("a shrunk code that is not in use");
      }
      out_.Append(string_.data() + start, string_.size() - start);
      prev = static_cast<int>(code);
      prev_first = string_[start];
    }
    in_.CheckNotOverrun();
    out_.Flush();
  }

 private:
  // Spells `code` into the end of string_; returns where it starts.
  std::size_t Expand(unsigned code) {
    std::size_t start = string_.size();
    while (code >= kFirstFree) {
      // A chain longer than the table loops (possible only in damaged data).
      if (start == 1) zip::ThrowDataError("a shrunk string that refers to itself");
      string_[--start] = suffix_[code];
      code = parent_[code];
    }
    string_[--start] = static_cast<std::uint8_t>(code);
    return start;
  }

  void Add(int prefix, std::uint8_t byte) {
    if (next_free_ >= kCodes) return;  // full until the next partial clear
    parent_[next_free_] = static_cast<std::uint16_t>(prefix);
    suffix_[next_free_] = byte;
    used_[next_free_] = 1;
    FindFree(next_free_ + 1);
  }

  void FindFree(unsigned from) {
    next_free_ = from;
    while (next_free_ < kCodes && used_[next_free_]) ++next_free_;
  }

  void PartialClear() {
    std::vector<std::uint8_t>& extended = scratch_;
    extended.assign(kCodes, 0);
    for (unsigned c = kFirstFree; c < kCodes; ++c) {
      if (used_[c]) extended[parent_[c]] = 1;
    }
    for (unsigned c = kFirstFree; c < kCodes; ++c) {
      if (!extended[c]) used_[c] = 0;
    }
    FindFree(kFirstFree);
  }

  zip::BitReader in_;
  zip::OutputWindow out_;
  std::vector<std::uint16_t> parent_;
  std::vector<std::uint8_t> suffix_;
  std::vector<std::uint8_t> used_;  // code 256 is never in use
  std::vector<std::uint8_t> scratch_;
  std::array<std::uint8_t, kCodes + 1> string_{};
  unsigned next_free_ = kFirstFree;
};

}  // namespace

void Unshrink(ByteSource& in, ByteSink& out, std::uint64_t original_size) {
  auto decoder = std::make_unique<Unshrinker>(in, out, original_size);
  decoder->Run();
}

}  // namespace talvor

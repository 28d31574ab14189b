// Packs a file with the LHA codec and unpacks it again, in memory, timing
// both; optionally writes the packed data as a one-entry level-0 archive so
// that another LHA program can be timed on the same data.
//
//   talvor_lha_codec_bench FILE [5|6|6:BITS] [ARCHIVE]
//
// Prints one line: method, input bytes, packed bytes, pack and unpack
// seconds and MB/s (best of three runs each).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "archive/lha/lha_codec.h"

namespace {

using talvor::LhaMethod;
using talvor::MemorySink;
using talvor::MemorySource;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Counts the bytes instead of keeping them.
class CountingSink final : public talvor::ByteSink {
 public:
  void Write(const std::uint8_t* /*data*/, std::size_t n) override { size += n; }
  std::uint64_t size = 0;
};

void WriteArchive(const std::string& path, const Bytes& packed, char id, std::uint64_t size,
                  std::uint16_t crc) {
  const std::string name = "data.bin";
  Bytes h = {0, 0, '-', 'l', 'h', static_cast<std::uint8_t>(id), '-'};
  for (std::uint64_t v : {std::uint64_t{packed.size()}, size, std::uint64_t{0}}) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  h.push_back(0x20);  // attribute
  h.push_back(0);     // header level
  h.push_back(static_cast<std::uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  h.push_back(static_cast<std::uint8_t>(crc));
  h.push_back(static_cast<std::uint8_t>(crc >> 8));
  h[0] = static_cast<std::uint8_t>(h.size() - 2);
  unsigned sum = 0;
  for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
  h[1] = static_cast<std::uint8_t>(sum);
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
  f.write(reinterpret_cast<const char*>(packed.data()),
          static_cast<std::streamsize>(packed.size()));
  f.put('\0');
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [5|6|6:BITS] [ARCHIVE]\n", argv[0]);
    return 2;
  }
  std::ifstream f(argv[1], std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  const Bytes data((std::istreambuf_iterator<char>(f)), {});
  // "5", "6", or "6:15" for -lh6- with another window (in bits).
  const std::string choice = argc > 2 ? argv[2] : "6";
  const char id = choice[0] == '5' ? '5' : '6';
  LhaMethod method = id == '5' ? talvor::kWriteLh5 : talvor::kWriteLh6;
  if (const auto colon = choice.find(':'); colon != std::string::npos) {
    method.dictionary_bits = std::atoi(choice.c_str() + colon + 1);
    method.position_codes = method.dictionary_bits + 1;
    if (method.dictionary_bits < 8 ||
        method.dictionary_bits > talvor::ReadMethod(id).dictionary_bits) {
      std::fprintf(stderr, "window bits out of range for -lh%c-\n", id);
      return 2;
    }
  }
  static const std::uint8_t kNothing = 0;
  const std::uint8_t* input = data.empty() ? &kNothing : data.data();

  Bytes packed;
  std::uint16_t crc = 0;
  double pack = std::numeric_limits<double>::max();
  for (int run = 0; run < 3; ++run) {
    MemorySource in(input, data.size());
    MemorySink out;
    out.bytes.reserve(data.size() + data.size() / 8 + 1024);
    const auto start = Clock::now();
    std::uint64_t size = 0;
    if (!talvor::LhaEncode(in, out, method, std::numeric_limits<std::uint64_t>::max(), &crc,
                           &size)) {
      std::fprintf(stderr, "encoder gave up\n");
      return 1;
    }
    pack = std::min(pack, Seconds(start));
    packed = std::move(out.bytes);
  }

  double unpack = std::numeric_limits<double>::max();
  for (int run = 0; run < 3; ++run) {
    MemorySource in(packed.empty() ? &kNothing : packed.data(), packed.size());
    CountingSink out;
    const auto start = Clock::now();
    talvor::LhaDecodeStatic(in, out, talvor::ReadMethod(id), data.size());
    unpack = std::min(unpack, Seconds(start));
    if (out.size != data.size()) return 1;
  }
  {
    MemorySource in(packed.empty() ? &kNothing : packed.data(), packed.size());
    MemorySink out;
    talvor::LhaDecodeStatic(in, out, talvor::ReadMethod(id), data.size());
    if (out.bytes != data) {
      std::fprintf(stderr, "round trip differs\n");
      return 1;
    }
  }
  if (argc > 3) WriteArchive(argv[3], packed, id, data.size(), crc);

  const double mb = static_cast<double>(data.size()) / 1e6;
  std::printf("-lh%c-/%dK in %zu packed %zu pack %.3f s %.1f MB/s unpack %.3f s %.1f MB/s\n", id,
              1 << (method.dictionary_bits - 10), data.size(), packed.size(), pack, mb / pack,
              unpack, mb / unpack);
  return 0;
}

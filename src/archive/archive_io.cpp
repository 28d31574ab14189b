#include "archive/archive_io.h"

#include <algorithm>
#include <stdexcept>

#include "archive/crc.h"
#include "archive/deflate.h"
#include "platform/progress.h"

namespace talvor {

namespace {

// A sink that copies to a file and counts.
class CountingSink final : public ByteSink {
 public:
  explicit CountingSink(File& file) : file_(file) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    file_.Write(data, n);
    count_ += n;
  }
  [[nodiscard]] std::uint64_t count() const { return count_; }

 private:
  File& file_;
  std::uint64_t count_ = 0;
};

}  // namespace

void CopyExactly(ByteSource& in, ByteSink& out, std::uint64_t size) {
  std::vector<std::uint8_t> buffer(256 * 1024);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t n = in.Read(
        buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
    if (n == 0) throw std::runtime_error("the stored data ends early");
    out.Write(buffer.data(), n);
    left -= n;
  }
}

void RaiseDataGoesOn(std::uint64_t size) {
  throw std::runtime_error("its data goes on past the " + std::to_string(size) +
                           " bytes its header gives");
}

int DeflateLevel(DeflateEffort type) {
  switch (type) {
    case DeflateEffort::kFast:
      return 1;
    case DeflateEffort::kMaximum:
      return 9;
    default:
      return 6;
  }
}

std::uint16_t DeflateFlags(DeflateEffort type) {
  switch (type) {
    case DeflateEffort::kFast:
      return 4;
    case DeflateEffort::kMaximum:
      return 2;
    default:
      return 0;
  }
}

EntryData WriteEntryData(File& source, File& out, bool store, int level, Job& job) {
  EntryData data;
  const auto size = static_cast<std::uint64_t>(source.Size());
  if (store || size == 0) {
    CheckedFileSink sink(out, Crc32Update);
    FileSource in(source, UINT64_MAX, job);
    std::vector<std::uint8_t> buffer(256 * 1024);
    std::uint64_t total = 0;
    for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0; total += n) {
      sink.Write(buffer.data(), n);
    }
    data.crc = sink.check();
    data.packed = data.original = total;
    data.stored = true;
    return data;
  }
  if (size < 257) {
    // Small files: deflated in memory, stored when that does not pay.
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(size) + 1);
    const std::size_t n = source.Read(plain.data(), plain.size());
    job.Advance(n);
    plain.resize(n);
    MemorySource in(plain.data(), plain.size());
    MemorySink deflated;
    data.crc = DeflateAll(in, deflated, level, &data.original);
    if (deflated.bytes.size() > plain.size()) {
      out.Write(plain.data(), plain.size());
      data.packed = plain.size();
      data.stored = true;
    } else {
      out.Write(deflated.bytes.data(), deflated.bytes.size());
      data.packed = deflated.bytes.size();
    }
    return data;
  }
  FileSource in(source, UINT64_MAX, job);
  CountingSink sink(out);
  data.crc = DeflateAll(in, sink, level, &data.original);
  data.packed = sink.count();
  return data;
}

}  // namespace talvor

#include "archive/byte_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/progress.h"

namespace talvor {

std::size_t FileSource::Read(std::uint8_t* data, std::size_t n) {
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(n, left_));
  if (want == 0) return 0;
  const std::size_t got = file_.Read(data, want);
  left_ -= got;
  job_.Advance(got);
  return got;
}

std::size_t MemorySource::Read(std::uint8_t* data, std::size_t n) {
  const std::size_t k = std::min(n, left_);
  if (k == 0) return 0;
  std::memcpy(data, data_, k);
  data_ += k;
  left_ -= k;
  return k;
}

}  // namespace talvor

// Fuzzes the LHA reader: header walk (levels 0 to 3, extended headers) and
// the decoders, on arbitrary bytes. Declared sizes are capped so that one
// input stays quick; the decoders must never crash, hang or overrun.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "archive/archive_component.h"
#include "archive/lha/lha_archive.h"
#include "archive/lha/lha_codec.h"
#include "platform/failure.h"

namespace {

class NullSink final : public talvor::ByteSink {
 public:
  void Write(const std::uint8_t*, std::size_t n) override { written += n; }
  std::uint64_t written = 0;
};

constexpr std::uint64_t kMaxDecoded = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::UniqueFd fd(::memfd_create("lha", MFD_CLOEXEC));
  if (!fd.valid()) return 0;
  if (size > 0 && ::write(fd.get(), data, size) != static_cast<ssize_t>(size)) return 0;
  talvor::File archive(std::move(fd), "fuzz.lzh");
  try {
    talvor::LhaHeader h;
    int entries = 0;
    for (std::int64_t at = 0; talvor::ReadLhaHeader(archive, at, h) && entries < 64;
         at = h.next_offset, ++entries) {
      if (h.next_offset <= at) break;
      const char id = h.method[3];
      if (h.original_size > kMaxDecoded) continue;
      archive.Seek(h.data_offset);
      talvor::Job job;
      talvor::FileSource in(archive, h.packed_size, job);
      NullSink out;
      try {
        if (id == '1') {
          talvor::LhaDecodeLh1(in, out, h.original_size);
        } else if (id >= '4' && id <= '7') {
          talvor::LhaDecodeStatic(in, out, talvor::ReadMethod(id), h.original_size);
        }
      } catch (const talvor::LhaDataError&) {
      }
      if (out.written > h.original_size) __builtin_trap();
    }
  } catch (const talvor::Failure&) {
  }
  return 0;
}

// Fuzzes the ZIP reader: end record, central directory, local headers and
// every method's decoder.
#include "archive/zip/zip_archive.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::fuzz::FuzzReader<talvor::ZipReader>(data, size);
  return 0;
}

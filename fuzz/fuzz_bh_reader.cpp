// Fuzzes the BH reader: the header walk and every method's decoder.
#include "archive/bh/bh_archive.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::fuzz::FuzzReader<talvor::BhReader>(data, size);
  return 0;
}

// Fuzzes .trp decryption: the extension header and the masked body.
#include "decrypt_fuzz.h"
#include "protect/trap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::PosixFileSystem fs;
  talvor::Job job;
  talvor::fuzz::FuzzDecrypt(data, size, "sample.trp", [&](const std::string& source) {
    return talvor::DecryptTrp(fs, source, talvor::fuzz::kFuzzPassphrase, job);
  });
  return 0;
}

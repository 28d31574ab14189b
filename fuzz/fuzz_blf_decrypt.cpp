// Fuzzes .blf decryption: the masked extension header, the cipher stream
// and the check of its final block.
#include "decrypt_fuzz.h"
#include "protect/library_ciphers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::PosixFileSystem fs;
  talvor::RandomGenerator random;
  talvor::SystemClock clock;
  talvor::Job job;
  talvor::RoutineServices services{fs, random, clock, job};
  talvor::fuzz::FuzzDecrypt(data, size, "sample.blf", [&](const std::string& source) {
    return talvor::DecryptWithLibrary(services, talvor::kBlowfishCipher, source,
                                      talvor::fuzz::kFuzzPassphrase);
  });
  return 0;
}

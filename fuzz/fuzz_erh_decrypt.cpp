// Fuzzes .erh decryption: the masked LHA archive, its one entry, the choice
// digit, the extension header and the Rijndael stream, all read as a stream.
#include "decrypt_fuzz.h"
#include "protect/random_protection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  talvor::PosixFileSystem fs;
  talvor::RandomGenerator random;
  talvor::SystemClock clock;
  talvor::Job job;
  talvor::RoutineServices services{fs, random, clock, job};
  talvor::RandomProtection protection(services);
  talvor::fuzz::FuzzDecrypt(data, size, "sample.erh", [&](const std::string& source) {
    return protection.DecryptErh(source, talvor::fuzz::kFuzzPassphrase);
  });
  return 0;
}

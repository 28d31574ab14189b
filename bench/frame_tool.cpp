// The cipher library's file framing and ShredFile as a command, so that
// bench/compare can time them beside openssl, cp and shred:
//   talvor_frame rijndael|orm|blowfish encrypt|decrypt INPUT OUTPUT
//   talvor_frame shred FILE
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/random_generator.h"
#include "protect/shred_file.h"

int main(int argc, char** argv) {
  using namespace talvor;
  try {
    PosixFileSystem fs;
    SystemClock clock;
    if (argc == 3 && std::strcmp(argv[1], "shred") == 0) {
      RandomGenerator random;
      Job job;
      ShredFile(fs, random, clock, argv[2], job);
      return 0;
    }
    if (argc != 5) {
      std::fprintf(stderr, "usage: talvor_frame rijndael|orm|blowfish encrypt|decrypt IN OUT\n");
      std::fprintf(stderr, "       talvor_frame shred FILE\n");
      return 2;
    }
    std::uint8_t key[16];
    DeriveKeyFromPassphrase(key, 16, "CORRECT HORSE BATTERY STAPLE");
    const std::string method = argv[1];
    const bool encrypt = std::strcmp(argv[2], "encrypt") == 0;
    if (method == "rijndael") {
      RijndaelFileECB(fs, argv[3], argv[4], key, 16, encrypt);
    } else if (method == "orm") {
      TripleDesFileCBC(fs, argv[3], argv[4], key, encrypt, clock);
    } else if (method == "blowfish") {
      BlowfishFileCBC(fs, argv[3], argv[4], key, encrypt, clock);
    } else {
      std::fprintf(stderr, "unknown method %s\n", argv[1]);
      return 2;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

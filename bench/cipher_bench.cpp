// The cipher library in memory: key derivation, and each block cipher in
// MB/s beside OpenSSL's EVP on the same data (OpenSSL is only a yardstick).
//
//   build/bench/talvor_cipher_bench
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <vector>

#include "cipher/blowfish.h"
#include "cipher/des.h"
#include "cipher/key_derivation.h"
#include "cipher/rijndael.h"

namespace talvor {
namespace {

constexpr std::size_t kData = 4 << 20;
const std::uint8_t kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

std::vector<std::uint8_t> Data() {
  std::vector<std::uint8_t> d(kData);
  std::uint32_t x = 7;
  for (auto& b : d) b = static_cast<std::uint8_t>((x = x * 1664525U + 1013904223U) >> 24);
  return d;
}

void BM_DeriveKeyFromPassphrase(benchmark::State& state) {
  std::uint8_t key[16];
  for (auto _ : state) {
    DeriveKeyFromPassphrase(key, 16, "CORRECT HORSE BATTERY STAPLE");
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_DeriveKeyFromPassphrase);

void BM_Rijndael128Ecb(benchmark::State& state) {
  SetRijndaelPath(state.range(0) == 0 ? RijndaelPath::kTable : RijndaelPath::kHardware);
  if (state.range(0) == 1 && !HardwareAesAvailable()) {
    state.SkipWithError("no AES instructions");
    return;
  }
  std::vector<std::uint8_t> data = Data();
  RijndaelContext context;
  RijndaelInit(kKey, 16, context, true);
  for (auto _ : state) RijndaelBlocks(context, data.data(), data.size() / 16);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.SetLabel(state.range(0) == 0 ? "tables" : "AES-NI");
  SetRijndaelPath(RijndaelPath::kAuto);
}
BENCHMARK(BM_Rijndael128Ecb)->Arg(0)->Arg(1);

void BM_OpenSslAes128Ecb(benchmark::State& state) {
  std::vector<std::uint8_t> data = Data();
  std::vector<std::uint8_t> out(data.size() + 16);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kKey, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  for (auto _ : state) {
    int len = 0;
    EVP_EncryptUpdate(ctx, out.data(), &len, data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_OpenSslAes128Ecb);

void BM_TripleDesCbc(benchmark::State& state) {
  std::vector<std::uint8_t> data = Data();
  TripleDesContext context;
  TripleDesInit(kKey, context, true);
  for (auto _ : state) {
    std::uint8_t chain[8] = {};
    for (std::size_t i = 0; i < data.size(); i += 8) {
      TripleDesBlockCBC(context, chain, data.data() + i);
      std::memcpy(chain, data.data() + i, 8);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_TripleDesCbc);

void BM_OpenSslDesEdeCbc(benchmark::State& state) {
  std::vector<std::uint8_t> data = Data();
  std::vector<std::uint8_t> out(data.size() + 16);
  const std::uint8_t iv[8] = {};
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ctx, EVP_des_ede_cbc(), nullptr, kKey, iv);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  for (auto _ : state) {
    int len = 0;
    EVP_EncryptUpdate(ctx, out.data(), &len, data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_OpenSslDesEdeCbc);

void BM_BlowfishCbc(benchmark::State& state) {
  std::vector<std::uint8_t> data = Data();
  BlowfishContext context;
  BlowfishInit(kKey, context);
  for (auto _ : state) {
    std::uint8_t chain[8] = {};
    for (std::size_t i = 0; i < data.size(); i += 8) {
      BlowfishBlockCBC(context, chain, data.data() + i, true);
      std::memcpy(chain, data.data() + i, 8);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_BlowfishCbc);

// The runs the file framing uses: Arg(1) enciphers, Arg(0) deciphers.
void BM_BlowfishChainRun(benchmark::State& state) {
  std::vector<std::uint8_t> data = Data();
  BlowfishContext context;
  BlowfishInit(kKey, context);
  for (auto _ : state) {
    std::uint8_t chain[8] = {};
    if (state.range(0) != 0) {
      BlowfishChainEncipher(context, data.data(), data.size() / 8, chain);
    } else {
      BlowfishChainDecipher(context, data.data(), data.size() / 8, chain);
    }
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_BlowfishChainRun)->Arg(1)->Arg(0);

}  // namespace
}  // namespace talvor

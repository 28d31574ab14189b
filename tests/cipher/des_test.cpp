// DES against published known answers, two-key Triple-DES against OpenSSL.
#include "cipher/des.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include "cipher/cipher_test_support.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace talvor {
namespace {

Bytes Des(const Bytes& key, Bytes block, bool encrypt) {
  DesContext context;
  DesInit(key.data(), context, encrypt);
  DesBlock(context, block.data());
  return block;
}

Bytes TripleDesEcb(const Bytes& key, Bytes data, bool encrypt) {
  TripleDesContext context;
  TripleDesInit(key.data(), context, encrypt);
  for (std::size_t i = 0; i < data.size(); i += 8) TripleDesBlock(context, data.data() + i);
  return data;
}

Bytes TripleDesCbc(const Bytes& key, const Bytes& iv, Bytes data, bool encrypt) {
  TripleDesContext context;
  TripleDesInit(key.data(), context, encrypt);
  Bytes chain = iv;
  for (std::size_t i = 0; i < data.size(); i += 8) {
    std::uint8_t* block = data.data() + i;
    const Bytes next = encrypt ? Bytes() : Bytes(block, block + 8);
    TripleDesBlockCBC(context, chain.data(), block);
    chain = encrypt ? Bytes(block, block + 8) : next;
  }
  return data;
}

Bytes OpenSsl(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, const Bytes& data,
              bool encrypt) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(data.size() + 8);
  int len = 0;
  int tail = 0;
  EXPECT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv.empty() ? nullptr : iv.data(),
                              encrypt ? 1 : 0),
            1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &len, data.data(), static_cast<int>(data.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + len, &tail), 1);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<std::size_t>(len + tail));
  return out;
}

struct KnownAnswer {
  const char* key;
  const char* plaintext;
  const char* ciphertext;
};

const KnownAnswer kKnownAnswers[] = {
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
    // FIPS 81 ECB example, "Now is t".
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    // NIST SP 500-20 variable plaintext and variable key tables.
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"0101010101010102", "0000000000000000", "869EFD7F9F265A09"},
    {"0000000000000000", "0000000000000000", "8CA64DE9C1B123A7"},
};

TEST(Des, KnownAnswers) {
  for (const KnownAnswer& v : kKnownAnswers) {
    SCOPED_TRACE(v.key);
    const Bytes key = FromHex(v.key);
    EXPECT_EQ(Des(key, FromHex(v.plaintext), true), FromHex(v.ciphertext));
    EXPECT_EQ(Des(key, FromHex(v.ciphertext), false), FromHex(v.plaintext));
    // Triple-DES with K2 == K1 collapses to single DES.
    Bytes doubled = key;
    doubled.insert(doubled.end(), key.begin(), key.end());
    EXPECT_EQ(TripleDesEcb(doubled, FromHex(v.plaintext), true), FromHex(v.ciphertext));
    EXPECT_EQ(TripleDesEcb(doubled, FromHex(v.ciphertext), false), FromHex(v.plaintext));
  }
}

// Rivest's chain: sixteen steps x = E(x, x) / D(x, x) alternately, each the
// key and the data of the next, exercising both directions on varied keys.
TEST(Des, AlternatingChain) {
  Bytes x = FromHex("9474B8E8C73BCA7D");
  for (int i = 0; i < 16; ++i) x = Des(x, x, i % 2 == 0);
  EXPECT_EQ(x, FromHex("1B1A2DDB4C642438"));
}

TEST(Des, ParityBitsAreIgnored) {
  std::mt19937 rng(463);
  const Bytes key = RandomBytes(rng, 16);
  const Bytes data = RandomBytes(rng, 64);
  const Bytes expected = TripleDesEcb(key, data, true);
  for (std::size_t byte = 0; byte < 16; ++byte) {
    SCOPED_TRACE(byte);
    Bytes changed = key;
    changed[byte] ^= 0x01;
    EXPECT_EQ(TripleDesEcb(changed, data, true), expected);
    EXPECT_EQ(TripleDesEcb(changed, expected, false), data);
    changed[byte] ^= 0x03;  // now a key bit differs
    EXPECT_NE(TripleDesEcb(changed, data, true), expected);
  }
}

TEST(TripleDes, AgreesWithOpenSslEcbAndCbc) {
  std::mt19937 rng(800);
  for (int trial = 0; trial < 8; ++trial) {
    const Bytes key = RandomBytes(rng, 16);
    const Bytes iv = RandomBytes(rng, 8);
    const Bytes data = RandomBytes(rng, 8 * 200);
    for (const bool encrypt : {true, false}) {
      SCOPED_TRACE(encrypt ? "encrypt" : "decrypt");
      EXPECT_EQ(TripleDesEcb(key, data, encrypt),
                OpenSsl(EVP_des_ede_ecb(), key, {}, data, encrypt));
      EXPECT_EQ(TripleDesCbc(key, iv, data, encrypt),
                OpenSsl(EVP_des_ede_cbc(), key, iv, data, encrypt));
    }
    TripleDesContext context;
    TripleDesInit(key.data(), context, true);
    Bytes chained = data;
    Bytes chain = iv;
    TripleDesChainEncipher(context, chained.data(), chained.size() / 8, chain.data());
    EXPECT_EQ(chained, OpenSsl(EVP_des_ede_cbc(), key, iv, data, true));
    EXPECT_EQ(chain, Bytes(chained.end() - 8, chained.end()));
  }
}

}  // namespace
}  // namespace talvor

#include "cipher/block_modes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>

#include "cipher/blowfish.h"
#include "cipher/des.h"
#include "cipher/rijndael.h"
#include "platform/secret.h"
#include "platform/progress.h"

namespace talvor {

namespace {

constexpr std::size_t kMaxBlock = 16;
// Blocks move through a buffer of this many bytes; the bytes written are
// exactly those of a block-at-a-time loop. At least a File buffer, so that
// reads and writes go straight between the file and this buffer.
constexpr std::size_t kChunk = 1024 * 1024;
static_assert(kChunk >= File::kBufferSize && kChunk % 16 == 0);

void ReadOrFail(File& in, std::uint8_t* data, std::size_t n) {
  if (in.Read(data, n) != n) throw ECipherException(kInvalidFileFormat);
}

// Chunks of whole blocks, at most `blocks_left` blocks.
std::size_t ChunkBlocks(std::int64_t blocks_left, std::size_t block_size) {
  return static_cast<std::size_t>(
      std::min<std::int64_t>(blocks_left, static_cast<std::int64_t>(kChunk / block_size)));
}

std::size_t CheckedBlockSize(const BlockMode& mode) {
  if (mode.block_size != 8 && mode.block_size != 16) {
    throw std::logic_error("block size must be 8 or 16");
  }
  return mode.block_size == 8 ? 8 : 16;
}

}  // namespace

void XorBytes(std::uint8_t* target, const std::uint8_t* source, std::size_t count) noexcept {
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    std::uint32_t t = 0;
    std::uint32_t s = 0;
    std::memcpy(&t, target + i, 4);
    std::memcpy(&s, source + i, 4);
    t ^= s;
    std::memcpy(target + i, &t, 4);
  }
  for (; i < count; ++i) target[i] ^= source[i];
}

void EncipherStream(File& in, File& out, const BlockMode& mode, const std::uint8_t* iv) {
  const std::size_t b = CheckedBlockSize(mode);
  const std::int64_t size = in.Size() - in.Position();
  const std::int64_t n = size / static_cast<std::int64_t>(b);
  const std::size_t r = static_cast<std::size_t>(size % static_cast<std::int64_t>(b));
  std::uint8_t chain[kMaxBlock] = {};
  if (mode.chained) {
    std::memcpy(chain, iv, b);
    mode.transform(mode.context, chain, 1);
    out.Write(chain, b);
  }
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kChunk);
  for (std::int64_t left = n; left > 0;) {
    const std::size_t blocks = ChunkBlocks(left, b);
    std::uint8_t* data = buffer.get();
    ReadOrFail(in, data, blocks * b);
    if (mode.chained && mode.chain_encipher != nullptr) {
      mode.chain_encipher(mode.context, data, blocks, chain);
    } else if (mode.chained) {
      for (std::size_t i = 0; i < blocks; ++i) {
        std::uint8_t* block = data + i * b;
        XorBytes(block, chain, b);
        mode.transform(mode.context, block, 1);
        std::memcpy(chain, block, b);
      }
    } else {
      mode.transform(mode.context, data, blocks);
    }
    out.Write(data, blocks * b);
    AdvanceWork(blocks * b);
    left -= static_cast<std::int64_t>(blocks);
  }
  std::uint8_t last[kMaxBlock] = {};
  ReadOrFail(in, last, r);
  AdvanceWork(r);
  last[b - 1] = static_cast<std::uint8_t>(r);
  if (mode.chained) XorBytes(last, chain, b);
  mode.transform(mode.context, last, 1);
  out.Write(last, b);
  SecureWipe(buffer.get(), kChunk);
}

void DecipherStream(File& in, File& out, const BlockMode& mode) {
  const std::size_t b = CheckedBlockSize(mode);
  const std::int64_t size = in.Size() - in.Position();
  std::int64_t n = size / static_cast<std::int64_t>(b);
  std::uint8_t chain[kMaxBlock] = {};
  if (mode.chained) {
    // A short header is not reported by itself: the final block's read is.
    (void)in.Read(chain, b);
    n -= 1;
  }
  // A copy of the enciphered blocks, for chaining, unless the mode chains
  // by itself.
  const bool keep = mode.chained && mode.chain_decipher == nullptr;
  const std::size_t buffer_size = keep ? 2 * kChunk : kChunk;
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(buffer_size);
  std::uint8_t* data = buffer.get();
  std::uint8_t* kept = buffer.get() + kChunk;
  for (std::int64_t left = n - 1; left > 0;) {
    const std::size_t blocks = ChunkBlocks(left, b);
    ReadOrFail(in, data, blocks * b);
    if (mode.chained && !keep) {
      mode.chain_decipher(mode.context, data, blocks, chain);
    } else if (keep) {
      std::memcpy(kept, data, blocks * b);
      mode.transform(mode.context, data, blocks);
      XorBytes(data, chain, b);
      if (blocks > 1) XorBytes(data + b, kept, (blocks - 1) * b);
      std::memcpy(chain, kept + (blocks - 1) * b, b);
    } else {
      mode.transform(mode.context, data, blocks);
    }
    out.Write(data, blocks * b);
    AdvanceWork(blocks * b);
    left -= static_cast<std::int64_t>(blocks);
  }
  std::uint8_t last[kMaxBlock] = {};
  ReadOrFail(in, last, b);
  mode.transform(mode.context, last, 1);
  if (mode.chained) XorBytes(last, chain, b);
  const std::size_t r = last[b - 1];
  const bool padding_clear =
      r < b && std::all_of(last + r, last + b - 1, [](std::uint8_t v) { return v == 0; });
  if (!padding_clear) {
    SecureWipe(buffer.get(), buffer_size);
    SecureWipe(last);
    throw ECipherException(kWrongPasswordOrDamaged);
  }
  out.Write(last, r);
  // The header block, the final block and what follows it.
  AdvanceWork(static_cast<std::uint64_t>(size - (n - 1) * static_cast<std::int64_t>(b)));
  SecureWipe(buffer.get(), buffer_size);
  SecureWipe(last);
}

namespace {

// The CBC header block's plain content comes from a fine clock: Blowfish
// takes two 32-bit readings, Triple-DES the low bytes of successive readings.
void BlowfishIv(Clock& clock, std::uint8_t iv[8]) {
  for (int word = 0; word < 2; ++word) {
    const auto t = static_cast<std::uint32_t>(clock.PerformanceCounter());
    for (int k = 0; k < 4; ++k) iv[4 * word + k] = static_cast<std::uint8_t>(t >> (8 * k));
  }
}

void TripleDesIv(Clock& clock, std::uint8_t iv[8]) {
  for (int k = 0; k < 8; ++k) iv[k] = static_cast<std::uint8_t>(clock.PerformanceCounter());
}

// Enciphering and deciphering a block come to the same (see BlowfishContext).
void BlowfishTransform(const void* context, std::uint8_t* blocks, std::size_t count) {
  BlowfishBlocks(*static_cast<const BlowfishContext*>(context), blocks, count);
}

void BlowfishChainEncipher(const void* context, std::uint8_t* blocks, std::size_t count,
                           std::uint8_t* chain) {
  BlowfishChainEncipher(*static_cast<const BlowfishContext*>(context), blocks, count, chain);
}

void BlowfishChainDecipher(const void* context, std::uint8_t* blocks, std::size_t count,
                           std::uint8_t* chain) {
  BlowfishChainDecipher(*static_cast<const BlowfishContext*>(context), blocks, count, chain);
}

void TripleDesTransform(const void* context, std::uint8_t* blocks, std::size_t count) {
  const auto& c = *static_cast<const TripleDesContext*>(context);
  for (std::size_t i = 0; i < count; ++i) TripleDesBlock(c, blocks + 8 * i);
}

void RijndaelTransform(const void* context, std::uint8_t* blocks, std::size_t count) {
  RijndaelBlocks(*static_cast<const RijndaelContext*>(context), blocks, count);
}

void RunStream(File& in, File& out, const BlockMode& mode, bool encrypt, const std::uint8_t* iv) {
  if (encrypt) {
    EncipherStream(in, out, mode, iv);
  } else {
    DecipherStream(in, out, mode);
  }
}

// Runs `stream` between a named input and a named output, closing the
// output and then the input on every path.
void RunFiles(FileSystem& fs, const std::string& input, const std::string& output,
              const std::function<void(File&, File&)>& stream) {
  File in = OpenCipherInput(fs, input);
  File out = CreateCipherOutput(fs, output);
  try {
    stream(in, out);
  } catch (...) {
    out = File();
    in = File();
    throw;
  }
  out.Close();
  in.Close();
}

}  // namespace

void BlowfishStreamCBC(File& in, File& out, const std::uint8_t key[16], bool encrypt,
                       Clock& clock) {
  BlowfishContext context;
  BlowfishInit(key, context);
  std::uint8_t iv[8] = {};
  if (encrypt) BlowfishIv(clock, iv);
  const BlockMode mode{
      8, true, BlowfishTransform, &context, BlowfishChainEncipher, BlowfishChainDecipher};
  RunStream(in, out, mode, encrypt, iv);
}

void TripleDesStreamCBC(File& in, File& out, const std::uint8_t key[16], bool encrypt,
                        Clock& clock) {
  TripleDesContext context;
  TripleDesInit(key, context, encrypt);
  std::uint8_t iv[8] = {};
  if (encrypt) {
    // The header block is enciphered with the plain block operation.
    TripleDesIv(clock, iv);
  }
  const BlockMode mode{8, true, TripleDesTransform, &context, nullptr, nullptr};
  RunStream(in, out, mode, encrypt, iv);
}

void RijndaelStreamECB(File& in, File& out, const std::uint8_t* key, std::int32_t key_size,
                       bool encrypt) {
  RijndaelContext context;
  RijndaelInit(key, key_size, context, encrypt);
  const BlockMode mode{16, false, RijndaelTransform, &context, nullptr, nullptr};
  RunStream(in, out, mode, encrypt, nullptr);
}

File OpenCipherInput(FileSystem& fs, const std::string& name) {
  try {
    return fs.OpenForReading(name);
  } catch (const IoError& e) {
    throw ECipherException("Cannot open file \"" + name + "\". " + e.SystemText());
  }
}

File CreateCipherOutput(FileSystem& fs, const std::string& name) {
  try {
    return fs.Create(name);
  } catch (const IoError& e) {
    throw ECipherException("Cannot create file \"" + name + "\". " + e.SystemText());
  }
}

void BlowfishFileCBC(FileSystem& fs, const std::string& input, const std::string& output,
                     const std::uint8_t key[16], bool encrypt, Clock& clock) {
  RunFiles(fs, input, output,
           [&](File& in, File& out) { BlowfishStreamCBC(in, out, key, encrypt, clock); });
}

void TripleDesFileCBC(FileSystem& fs, const std::string& input, const std::string& output,
                      const std::uint8_t key[16], bool encrypt, Clock& clock) {
  RunFiles(fs, input, output,
           [&](File& in, File& out) { TripleDesStreamCBC(in, out, key, encrypt, clock); });
}

void RijndaelFileECB(FileSystem& fs, const std::string& input, const std::string& output,
                     const std::uint8_t* key, std::int32_t key_size, bool encrypt) {
  RunFiles(fs, input, output,
           [&](File& in, File& out) { RijndaelStreamECB(in, out, key, key_size, encrypt); });
}

}  // namespace talvor

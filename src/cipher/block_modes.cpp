#include "cipher/block_modes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <variant>

#include "cipher/blowfish.h"
#include "cipher/des.h"
#include "cipher/rijndael.h"
#include "platform/progress.h"
#include "platform/secret.h"

namespace talvor {

namespace {

constexpr std::size_t kMaxBlock = 16;
// Blocks move through a buffer of this many bytes; the bytes written are
// exactly those of a block-at-a-time loop. At least a File buffer, so that
// reads and writes go straight between the file and this buffer.
constexpr std::size_t kChunk = 1024 * 1024;
static_assert(kChunk >= File::kBufferSize && kChunk % 16 == 0);

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

void MaskBytes(std::uint8_t* data, std::size_t count, std::uint8_t mask) noexcept {
  if (mask == 0) return;
  for (std::size_t i = 0; i < count; ++i) data[i] ^= mask;
}

BlockStream::BlockStream(const BlockMode& mode, bool encrypt, const std::uint8_t* iv,
                         BlockSink sink)
    : mode_(mode), b_(CheckedBlockSize(mode)), encrypt_(encrypt), sink_(std::move(sink)) {
  if (encrypt_ && mode_.chained) std::memcpy(chain_, iv, b_);
}

BlockStream::~BlockStream() {
  SecureWipe(chain_);
  SecureWipe(partial_);
  SecureWipe(held_);
  if (!kept_.empty()) SecureWipe(kept_.data(), kept_.size());
}

// A chained stream starts with the header block E(IV), the first chaining
// value.
void BlockStream::Start() {
  started_ = true;
  if (!encrypt_ || !mode_.chained) return;
  std::uint8_t header[kMaxBlock];
  std::memcpy(header, chain_, b_);
  mode_.transform(mode_.context, header, 1);
  std::memcpy(chain_, header, b_);
  Emit(header, b_);
}

void BlockStream::Encipher(std::uint8_t* blocks, std::size_t count) {
  if (mode_.chained && mode_.chain_encipher != nullptr) {
    mode_.chain_encipher(mode_.context, blocks, count, chain_);
  } else if (mode_.chained) {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint8_t* block = blocks + i * b_;
      XorBytes(block, chain_, b_);
      mode_.transform(mode_.context, block, 1);
      std::memcpy(chain_, block, b_);
    }
  } else {
    mode_.transform(mode_.context, blocks, count);
  }
}

void BlockStream::Decipher(std::uint8_t* blocks, std::size_t count) {
  if (mode_.chained && mode_.chain_decipher != nullptr) {
    mode_.chain_decipher(mode_.context, blocks, count, chain_);
  } else if (mode_.chained) {
    // A copy of the enciphered blocks, for chaining.
    const std::size_t bytes = count * b_;
    if (kept_.size() < bytes) kept_.resize(bytes);
    std::memcpy(kept_.data(), blocks, bytes);
    mode_.transform(mode_.context, blocks, count);
    XorBytes(blocks, chain_, b_);
    if (count > 1) XorBytes(blocks + b_, kept_.data(), bytes - b_);
    std::memcpy(chain_, kept_.data() + bytes - b_, b_);
  } else {
    mode_.transform(mode_.context, blocks, count);
  }
}

// Moves bytes from the front of the piece into the partial block; true when
// it is whole.
bool BlockStream::FillPartial(std::uint8_t*& data, std::size_t& n) {
  const std::size_t take = std::min(b_ - partial_size_, n);
  std::memcpy(partial_ + partial_size_, data, take);
  partial_size_ += take;
  data += take;
  n -= take;
  return partial_size_ == b_;
}

void BlockStream::Process(std::uint8_t* data, std::size_t n) {
  if (!started_) Start();
  if (encrypt_) {
    if (partial_size_ > 0) {
      if (!FillPartial(data, n)) return;
      Encipher(partial_, 1);
      Emit(partial_, b_);
      partial_size_ = 0;
    }
    const std::size_t whole = n - n % b_;
    if (whole > 0) {
      Encipher(data, whole / b_);
      Emit(data, whole);
    }
    std::memcpy(partial_, data + whole, n - whole);
    partial_size_ = n - whole;
    return;
  }
  // Deciphering: a whole block is passed on only once more bytes follow it.
  const auto take_block = [this](const std::uint8_t* block) {
    if (mode_.chained && !have_chain_) {
      std::memcpy(chain_, block, b_);
      have_chain_ = true;
      return;
    }
    if (have_held_) {
      Decipher(held_, 1);
      Emit(held_, b_);
    }
    std::memcpy(held_, block, b_);
    have_held_ = true;
  };
  if (partial_size_ > 0) {
    if (!FillPartial(data, n)) return;
    take_block(partial_);
    partial_size_ = 0;
  }
  std::size_t whole = n / b_;
  if (whole > 0 && mode_.chained && !have_chain_) {
    take_block(data);
    data += b_;
    n -= b_;
    --whole;
  }
  if (whole > 0) {
    if (have_held_) {
      Decipher(held_, 1);
      Emit(held_, b_);
      have_held_ = false;
    }
    if (whole > 1) {
      Decipher(data, whole - 1);
      Emit(data, (whole - 1) * b_);
    }
    std::memcpy(held_, data + (whole - 1) * b_, b_);
    have_held_ = true;
  }
  std::memcpy(partial_, data + whole * b_, n - whole * b_);
  partial_size_ = n - whole * b_;
}

void BlockStream::Finish() {
  if (!started_) Start();
  if (encrypt_) {
    std::uint8_t last[kMaxBlock] = {};
    std::memcpy(last, partial_, partial_size_);
    last[b_ - 1] = static_cast<std::uint8_t>(partial_size_);
    partial_size_ = 0;
    Encipher(last, 1);
    Emit(last, b_);
    return;
  }
  if (!have_held_) throw Failure(FailureKind::kDamaged, kInvalidFileFormat);
  have_held_ = false;
  Decipher(held_, 1);
  const std::size_t r = held_[b_ - 1];
  const bool padding_clear =
      r < b_ && std::all_of(held_ + r, held_ + b_ - 1, [](std::uint8_t v) { return v == 0; });
  if (!padding_clear) throw Failure(FailureKind::kWrongPassphrase, kWrongPasswordOrDamaged);
  if (r > 0) Emit(held_, r);
}

namespace {

// Reads the rest of `in` in large pieces, each byte XOR `mask`, into
// `process`, counting the bytes read as work done in `job` (if any). The buffer, which holds
// plain text on one side or the other, is wiped.
template <typename Stream>
void PumpFile(File& in, Stream& stream, std::uint8_t mask, Job* job) {
  Secret buffer(kChunk);
  std::uint8_t* data = buffer.bytes();
  for (std::size_t n; (n = in.Read(data, kChunk)) > 0;) {
    MaskBytes(data, n, mask);
    stream.Process(data, n);
    if (job != nullptr) job->Advance(n);
  }
  stream.Finish();
}

BlockSink WriteTo(File& out) {
  return [&out](std::uint8_t* data, std::size_t n) { out.Write(data, n); };
}

void RunFramedFile(File& in, File& out, const BlockMode& mode, bool encrypt,
                   const std::uint8_t* iv) {
  BlockStream stream(mode, encrypt, iv, WriteTo(out));
  PumpFile(in, stream, 0, nullptr);
}

}  // namespace

void EncipherStream(File& in, File& out, const BlockMode& mode, const std::uint8_t* iv) {
  RunFramedFile(in, out, mode, true, iv);
}

void DecipherStream(File& in, File& out, const BlockMode& mode) {
  RunFramedFile(in, out, mode, false, nullptr);
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

void TripleDesChainEncipher(const void* context, std::uint8_t* blocks, std::size_t count,
                            std::uint8_t* chain) {
  TripleDesChainEncipher(*static_cast<const TripleDesContext*>(context), blocks, count, chain);
}

void RijndaelTransform(const void* context, std::uint8_t* blocks, std::size_t count) {
  RijndaelBlocks(*static_cast<const RijndaelContext*>(context), blocks, count);
}

}  // namespace

struct MethodStream::Keyed {
  std::variant<BlowfishContext, TripleDesContext, RijndaelContext> context;
  std::optional<BlockStream> stream;
};

MethodStream::MethodStream(LibraryMethod method, const std::uint8_t* key, bool encrypt,
                           Clock& clock, BlockSink sink, std::int32_t key_size)
    : keyed_(std::make_unique<Keyed>()) {
  std::uint8_t iv[kMaxBlock] = {};
  switch (method) {
    case LibraryMethod::kBlowfishCbc: {
      auto& context = keyed_->context.emplace<BlowfishContext>();
      BlowfishInit(key, context);
      if (encrypt) BlowfishIv(clock, iv);
      keyed_->stream.emplace(BlockMode{8, true, BlowfishTransform, &context, BlowfishChainEncipher,
                                       BlowfishChainDecipher},
                             encrypt, iv, std::move(sink));
      break;
    }
    case LibraryMethod::kTripleDesCbc: {
      auto& context = keyed_->context.emplace<TripleDesContext>();
      TripleDesInit(key, context, encrypt);
      // The header block is enciphered with the plain block operation.
      if (encrypt) TripleDesIv(clock, iv);
      keyed_->stream.emplace(
          BlockMode{8, true, TripleDesTransform, &context, TripleDesChainEncipher, nullptr},
          encrypt, iv, std::move(sink));
      break;
    }
    case LibraryMethod::kRijndaelEcb: {
      auto& context = keyed_->context.emplace<RijndaelContext>();
      RijndaelInit(key, key_size, context, encrypt);
      keyed_->stream.emplace(BlockMode{16, false, RijndaelTransform, &context, nullptr, nullptr},
                             encrypt, iv, std::move(sink));
      break;
    }
  }
}

MethodStream::~MethodStream() = default;

void MethodStream::Process(std::uint8_t* data, std::size_t n) {
  keyed_->stream->Process(data, n);
}

void MethodStream::Finish() {
  keyed_->stream->Finish();
}

void StreamFile(File& in, MethodStream& stream, Job& job, std::uint8_t mask) {
  PumpFile(in, stream, mask, &job);
}

namespace {

// Runs one of the methods between two open files.
void RunMethod(LibraryMethod method, File& in, File& out, const std::uint8_t* key, bool encrypt,
               Clock& clock, std::int32_t key_size = 16) {
  MethodStream stream(method, key, encrypt, clock, WriteTo(out), key_size);
  PumpFile(in, stream, 0, nullptr);
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
  RunMethod(LibraryMethod::kBlowfishCbc, in, out, key, encrypt, clock);
}

void TripleDesStreamCBC(File& in, File& out, const std::uint8_t key[16], bool encrypt,
                        Clock& clock) {
  RunMethod(LibraryMethod::kTripleDesCbc, in, out, key, encrypt, clock);
}

void RijndaelStreamECB(File& in, File& out, const std::uint8_t* key, std::int32_t key_size,
                       bool encrypt) {
  SystemClock clock;  // Rijndael takes no IV
  RunMethod(LibraryMethod::kRijndaelEcb, in, out, key, encrypt, clock, key_size);
}

File OpenCipherInput(FileSystem& fs, const std::string& name) {
  try {
    return fs.OpenForReading(name);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    throw Failure::About(FailureKind::kIo, name,
                         "Cannot open file \"" + name + "\". " + e.SystemText())
        .WithCode(e.code(), e.system_error());
  }
}

File CreateCipherOutput(FileSystem& fs, const std::string& name) {
  try {
    return fs.Create(name);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    throw Failure::About(FailureKind::kIo, name,
                         "Cannot create file \"" + name + "\". " + e.SystemText())
        .WithCode(e.code(), e.system_error());
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

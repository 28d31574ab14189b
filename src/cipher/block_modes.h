// How whole files become cipher blocks and back.
//
// Every enciphered stream ends with one extra block F whose last byte r tells
// how many of its leading bytes are data (0..B-1); the bytes between are zero.
// CBC methods (B = 8) start with a header block E(IV) that doubles as the
// first chaining value; the ECB method (B = 16) has no header block.
//
//   CBC: E(IV) | C1 .. CN, Ci = E(Pi ^ Ci-1), C0 = E(IV) | E(F ^ CN)
//   ECB: C1 .. CN, Ci = E(Pi) | E(F)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/progress.h"

namespace talvor {

inline constexpr char kInvalidFileFormat[] = "Invalid file format";
// A final block that no correct key produces: its count is above B - 1, or a
// padding byte is not zero.
inline constexpr char kWrongPasswordOrDamaged[] = "Wrong password or damaged file";

// One block cipher in one direction, as the framing sees it.
struct BlockMode {
  std::size_t block_size;  // B: 8 or 16
  bool chained;            // CBC with a header block; otherwise ECB
  // Transforms `count` consecutive blocks in place, each on its own.
  void (*transform)(const void* context, std::uint8_t* blocks, std::size_t count);
  const void* context;
  // Optional, for chained modes: enciphers `count` consecutive blocks in
  // place as the chained loop does (XOR the chain in, transform, the result
  // is the next chain), updating `chain`, without a call per block.
  void (*chain_encipher)(const void* context, std::uint8_t* blocks, std::size_t count,
                         std::uint8_t* chain);
  // Optional, for chained modes: deciphers `count` consecutive blocks in
  // place (transform, XOR the previous enciphered block in), updating
  // `chain` to the last enciphered block.
  void (*chain_decipher)(const void* context, std::uint8_t* blocks, std::size_t count,
                         std::uint8_t* chain) = nullptr;
};

// Receives the bytes a stream has ready, in order, to pass them on; it may
// change them in place (to mask them, say).
using BlockSink = std::function<void(std::uint8_t* data, std::size_t n)>;

// The framing of one stream in one direction, for a stream that arrives in
// pieces of any size: whole blocks are transformed in the caller's buffer
// and handed to the sink as they are ready. Deciphering holds back the last
// whole block (and what follows it) until Finish, which tells the final
// block. Keys, chain and held bytes are wiped when it ends.
class BlockStream {
 public:
  // `iv`: B bytes, for enciphering in a chained mode (else unused).
  BlockStream(const BlockMode& mode, bool encrypt, const std::uint8_t* iv, BlockSink sink);
  BlockStream(const BlockStream&) = delete;
  BlockStream& operator=(const BlockStream&) = delete;
  ~BlockStream();

  // The next `n` bytes of the stream, which may be transformed in place.
  void Process(std::uint8_t* data, std::size_t n);
  // The end of the stream: enciphering writes the final block; deciphering
  // checks it ("Invalid file format" when there is none, "Wrong password or
  // damaged file") and hands on its data bytes. A trailing partial block is
  // ignored.
  void Finish();

 private:
  void Start();
  [[nodiscard]] bool FillPartial(std::uint8_t*& data, std::size_t& n);
  void Encipher(std::uint8_t* blocks, std::size_t count);
  void Decipher(std::uint8_t* blocks, std::size_t count);
  void Emit(std::uint8_t* data, std::size_t n) { sink_(data, n); }

  BlockMode mode_;
  std::size_t b_;
  bool encrypt_;
  BlockSink sink_;
  bool started_ = false;
  std::uint8_t chain_[16] = {};
  bool have_chain_ = false;  // deciphering a chained mode: the header block was read
  std::uint8_t partial_[16] = {};
  std::size_t partial_size_ = 0;
  std::uint8_t held_[16] = {};  // deciphering: the last whole block so far
  bool have_held_ = false;
  std::vector<std::uint8_t> kept_;  // enciphered blocks, for modes that do not chain by themselves
};

// Enciphers the rest of `in` (from its position to its end) into `out`.
// `iv`: B bytes, for chained modes only.
void EncipherStream(File& in, File& out, const BlockMode& mode, const std::uint8_t* iv);
// Deciphers the rest of `in` into `out`. A trailing partial block is ignored.
void DecipherStream(File& in, File& out, const BlockMode& mode);

// The library's three methods.
enum class LibraryMethod { kBlowfishCbc, kTripleDesCbc, kRijndaelEcb };

// One of the three methods keyed for one direction, framing a stream that
// arrives in pieces (see BlockStream). The CBC methods take their IV from
// the clock when enciphering. The key schedule is wiped when it ends.
class MethodStream {
 public:
  // `key`: 16 bytes; Rijndael takes `key_size` bytes (16, 24 or 32).
  MethodStream(LibraryMethod method, const std::uint8_t* key, bool encrypt, Clock& clock,
               BlockSink sink, std::int32_t key_size = 16);
  MethodStream(const MethodStream&) = delete;
  MethodStream& operator=(const MethodStream&) = delete;
  ~MethodStream();

  void Process(std::uint8_t* data, std::size_t n);
  void Finish();

 private:
  struct Keyed;
  std::unique_ptr<Keyed> keyed_;
};

// Reads the rest of `in` in large pieces through `stream`, each byte XOR
// `mask` first, counting the bytes read as work done in `job`, and finishes
// it.
void StreamFile(File& in, MethodStream& stream, Job& job, std::uint8_t mask = 0);

// XORs `count` bytes of `source` into `target`.
void XorBytes(std::uint8_t* target, const std::uint8_t* source, std::size_t count) noexcept;
// XORs each of `count` bytes with `mask` (nothing for a mask of 0).
void MaskBytes(std::uint8_t* data, std::size_t count, std::uint8_t mask) noexcept;

// The three methods on open files. Keys are set up once per call and wiped
// when it ends. The CBC methods take their IV from the clock.
void BlowfishStreamCBC(File& in, File& out, const std::uint8_t key[16], bool encrypt, Clock& clock);
void TripleDesStreamCBC(File& in, File& out, const std::uint8_t key[16], bool encrypt,
                        Clock& clock);
void RijndaelStreamECB(File& in, File& out, const std::uint8_t* key, std::int32_t key_size,
                       bool encrypt);

// The three methods on named files: the input is opened for reading, the
// output created (an existing file is replaced). Failing to open or create
// raises "Cannot open file "%s". %s" / "Cannot create file "%s". %s".
void BlowfishFileCBC(FileSystem& fs, const std::string& input, const std::string& output,
                     const std::uint8_t key[16], bool encrypt, Clock& clock);
void TripleDesFileCBC(FileSystem& fs, const std::string& input, const std::string& output,
                      const std::uint8_t key[16], bool encrypt, Clock& clock);
void RijndaelFileECB(FileSystem& fs, const std::string& input, const std::string& output,
                     const std::uint8_t* key, std::int32_t key_size, bool encrypt);

// Opens a cipher input / creates a cipher output, with the messages above.
[[nodiscard]] File OpenCipherInput(FileSystem& fs, const std::string& name);
[[nodiscard]] File CreateCipherOutput(FileSystem& fs, const std::string& name);

}  // namespace talvor

// Conventions shared by the library-cipher routines: the working file
// "temp.tmp" in the current folder, the masked extension header and the byte
// copy.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/random_generator.h"

namespace talvor {

inline constexpr char kWorkingFileName[] = "temp.tmp";
// The header's writer holds the extension in 8 characters, dot included.
inline constexpr std::size_t kMaxHeaderExtension = 8;
inline constexpr std::uint8_t kHeaderMask = 7;
inline constexpr std::uint8_t kBodyMask = 5;

// Refuses, before anything changes, when the current folder already holds
// a file named "temp.tmp": it belongs to somebody and is neither used nor
// destroyed.
void RequireNoWorkingFile(FileSystem& fs);

// Writes the masked extension header for `source_path`: one ASCII digit n,
// then the n characters of its extension, each XOR 7.
void WriteExtensionHeader(File& out, const std::string& recorded_extension);
// Reads a masked extension header; returns the extension for a file name.
[[nodiscard]] std::string ReadExtensionHeader(File& in);

// Copies the rest of `in` to `out`, each byte XOR `mask`.
void CopyBytes(File& in, File& out, std::uint8_t mask = 0);

// The working file of a routine, in the current folder: a file without a
// name where the file system has them, so that nothing is left behind if
// the process dies, otherwise "temp.tmp". Either way a file named
// "temp.tmp" that is already there is refused first (RequireNoWorkingFile).
// Dropped before Shred, after a failure, the file is removed.
class WorkingFile {
 public:
  explicit WorkingFile(FileSystem& fs);
  WorkingFile(const WorkingFile&) = delete;
  WorkingFile& operator=(const WorkingFile&) = delete;
  ~WorkingFile();

  // Open for reading and writing.
  [[nodiscard]] File& file() noexcept { return file_; }
  // Overwrites the content as ShredFile does and removes the file.
  void Shred(RandomGenerator& random, Clock& clock);

 private:
  FileSystem& fs_;
  File file_;
  bool named_ = false;  // a "temp.tmp" to remove
};

}  // namespace talvor

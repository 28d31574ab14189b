// Conventions shared by the library-cipher routines: the working file
// "temp.tmp" in the current folder, the masked extension header and the byte
// copy.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/file_system.h"

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

// Removes the working file when a routine ends before it could shred it.
class WorkingFileGuard {
 public:
  explicit WorkingFileGuard(FileSystem& fs) : fs_(fs) {}
  WorkingFileGuard(const WorkingFileGuard&) = delete;
  WorkingFileGuard& operator=(const WorkingFileGuard&) = delete;
  ~WorkingFileGuard();
  void Release() noexcept { active_ = false; }

 private:
  FileSystem& fs_;
  bool active_ = true;
};

}  // namespace talvor

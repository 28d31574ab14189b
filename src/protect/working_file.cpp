#include "protect/working_file.h"

#include <memory>

#include "cipher/block_modes.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "protect/extension.h"
#include "protect/shred_file.h"

namespace talvor {

void RequireNoWorkingFile(FileSystem& fs) {
  if (fs.Stat(kWorkingFileName).exists) {
    throw RefusedInput(
        "The folder already holds a file named \"temp.tmp\", which this command needs for its "
        "work. That file is left untouched; please rename or move it first!");
  }
}

void WriteExtensionHeader(File& out, const std::string& recorded_extension) {
  out.WriteByte(static_cast<std::uint8_t>(CountDigit(recorded_extension.size())));
  for (const char c : recorded_extension) out.WriteByte(static_cast<std::uint8_t>(c) ^ kHeaderMask);
}

std::string ReadExtensionHeader(File& in) {
  const std::size_t n = ReadCountDigit(in);
  std::string recorded(n, '\0');
  in.ReadExact(recorded.data(), n);
  for (char& c : recorded) c = static_cast<char>(static_cast<std::uint8_t>(c) ^ kHeaderMask);
  return ExtensionFromRecord(recorded);
}

void CopyBytes(File& in, File& out, std::uint8_t mask) {
  constexpr std::size_t kChunk = 1 << 20;
  const auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
  for (;;) {
    const std::size_t n = in.Read(buffer.get(), kChunk);
    if (n == 0) break;
    if (mask != 0) {
      for (std::size_t i = 0; i < n; ++i) buffer[i] ^= mask;
    }
    out.Write(buffer.get(), n);
    AdvanceWork(n);
  }
}

WorkingFile::WorkingFile(FileSystem& fs) : fs_(fs) {
  RequireNoWorkingFile(fs_);
  try {
    file_ = fs_.CreateUnnamedBeside(kWorkingFileName);
    if (!file_.IsOpen()) {
      file_ = fs_.Create(kWorkingFileName);
      named_ = true;
    }
  } catch (const IoError& e) {
    throw ECipherException(std::string("Cannot create file \"") + kWorkingFileName + "\". " +
                           e.SystemText());
  }
}

WorkingFile::~WorkingFile() {
  file_ = File();
  if (!named_) return;
  try {
    fs_.Delete(kWorkingFileName);
  } catch (...) {  // NOLINT(bugprone-empty-catch): the routine's own failure is reported
  }
}

void WorkingFile::Shred(RandomGenerator& random, Clock& clock) {
  ShredOpenFile(file_, random, clock);
  file_.Close();
  if (named_) fs_.Delete(kWorkingFileName);
  named_ = false;  // gone
}

}  // namespace talvor

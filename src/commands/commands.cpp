#include "commands/commands.h"

#include <vector>

#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "protect/overwrite_warning.h"

namespace talvor {

namespace {

// Runs `work` on the file `path`: a failure of the file layer that names no
// file (the data ends early) is about this one.
template <typename Work>
auto ConcerningFile(const std::string& path, Work&& work) {
  try {
    return work();
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo || !e.file().empty()) throw;
    throw IoFailure(e.code(), e.system_error(), path);
  }
}

// Copy moves the file through a buffer of this size.
constexpr std::size_t kCopyBufferSize = 10240;
}  // namespace

std::string Commands::CipherRefusal(const ProtectionMethod& method, Direction direction,
                                    const std::string& path) {
  if (direction == Direction::kDecrypt && ExtractFileExt(path) != method.extension) {
    return std::string("File extension must be *") + method.extension;
  }
  return {};
}

std::string Commands::Cipher(const ProtectionMethod& method, Direction direction,
                             const std::string& path, std::string_view passphrase) {
  const ReplacementReport replaced(host_);
  const ProgressDisplay progress(
      host_.progress(),
      std::string(direction == Direction::kEncrypt ? "Encrypting " : "Decrypting ") +
          ExtractFileName(path) + " (" + method.title + ")",
      path);
  return ConcerningFile(path,
                        [&] { return method.routine(direction)(services_, path, passphrase); });
}

void Commands::TestProtected(const ProtectionMethod& method, const std::string& path,
                             std::string_view passphrase) {
  const ProgressDisplay progress(
      host_.progress(), "Testing " + ExtractFileName(path) + " (" + method.title + ")", path);
  ConcerningFile(path, [&] { method.verify(services_, path, passphrase); });
}

Outcome Commands::Destroy(const std::string& path, const std::string& question,
                          const ShredHooks& hooks) {
  const std::string warning = OverwriteWarning(services_.fs.Storage(path));
  if (!host_.Confirm(question + path + "?", warning)) return Outcome::kDeclined;
  // Once overwriting has begun, there is nothing to go back to.
  const ProgressDisplay progress(host_.progress(), "Destroying " + ExtractFileName(path), path,
                                 false);
  ShredFile(services_.fs, services_.random, services_.clock, path, hooks);
  return Outcome::kDone;
}

Outcome Commands::Copy(const std::string& source, const std::string& target) {
  FileSystem& fs = services_.fs;
  if (fs.SameFile(source, target)) {
    host_.Refuse("The copy would be the file itself: " + source +
                 " was left as it is. Please choose another name!");
    return Outcome::kRefused;
  }
  const ReplacementReport replaced(host_);
  File in = fs.OpenExisting(source);
  const SourceState state(in);
  ReplacingFile out(fs, target);
  std::vector<std::uint8_t> buffer(kCopyBufferSize);
  for (;;) {
    const std::size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    out.file().Write(buffer.data(), n);
  }
  state.RequireUnchanged(in);
  in.Close();
  out.Commit();
  return Outcome::kDone;
}

Outcome Commands::Rename(const std::string& source, const std::string& target) {
  FileSystem& fs = services_.fs;
  if (fs.SameFile(source, target)) return Outcome::kDone;
  const ReplacementReport replaced(host_);
  MoveReplacing(fs, source, target);
  return Outcome::kDone;
}

}  // namespace talvor

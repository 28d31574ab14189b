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

CommandJob::CommandJob(CommandHost& host, CancelToken* cancel, const std::string& title,
                       const std::string& file)
    : host_(host),
      window_(title.empty() ? nullptr : host.progress()),
      job_(
          window_ == nullptr
              ? ProgressCallback()
              : [this](std::uint64_t done, std::uint64_t total) { window_->Update(done, total); },
          cancel) {
  if (window_ != nullptr) window_->Open(title, file, cancel);
}

CommandJob::~CommandJob() {
  if (window_ != nullptr) window_->Close();
  for (const std::string& file : job_.replaced()) host_.Replaced(file);
}

std::string Commands::Cipher(const ProtectionMethod& method, Direction direction,
                             const std::string& path, std::string_view passphrase,
                             CancelToken& cancel) {
  CommandJob job(host_, &cancel,
                 std::string(direction == Direction::kEncrypt ? "Encrypting " : "Decrypting ") +
                     ExtractFileName(path) + " (" + method.title + ")",
                 path);
  RoutineServices services{fs_, random_, clock_, job.job()};
  return ConcerningFile(path,
                        [&] { return method.routine(direction)(services, path, passphrase); });
}

void Commands::TestProtected(const ProtectionMethod& method, const std::string& path,
                             std::string_view passphrase, CancelToken& cancel) {
  CommandJob job(host_, &cancel, "Testing " + ExtractFileName(path) + " (" + method.title + ")",
                 path);
  RoutineServices services{fs_, random_, clock_, job.job()};
  ConcerningFile(path, [&] { method.verify(services, path, passphrase); });
}

Outcome Commands::Destroy(const std::string& path, const std::string& question,
                          const ShredHooks& hooks) {
  const std::string warning = OverwriteWarning(fs_.Storage(path));
  if (!host_.Confirm(question + path + "?", warning)) return Outcome::kDeclined;
  // Once overwriting has begun, there is nothing to go back to: no token.
  CommandJob job(host_, nullptr, "Destroying " + ExtractFileName(path), path);
  ShredFile(fs_, random_, clock_, path, job.job(), hooks);
  return Outcome::kDone;
}

Outcome Commands::Copy(const std::string& source, const std::string& target) {
  FileSystem& fs = fs_;
  if (fs.SameFile(source, target)) {
    throw Failure(FailureKind::kRefused, "The copy would be the file itself: " + source +
                                             " was left as it is. Please choose another name!")
        .AsSaid();
  }
  CommandJob job(host_, nullptr);
  File in = fs.OpenExisting(source);
  const SourceState state(in);
  ReplacingFile out(fs, target, job.job());
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
  if (fs_.SameFile(source, target)) return Outcome::kDone;
  CommandJob job(host_, nullptr);
  MoveReplacing(fs_, source, target, job.job());
  return Outcome::kDone;
}

}  // namespace talvor

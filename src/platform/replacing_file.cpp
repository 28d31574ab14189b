#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <vector>

#include "platform/failure.h"
#include "platform/path.h"
#include "platform/trash.h"

namespace talvor {

namespace {

// Once per folder and process: what killed runs left in it.
template <typename Sweep>
void SweepOnce(const std::string& folder, Sweep sweep) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!swept.insert(folder).second) return;
  }
  sweep();
}

// The folder of `path` ("." when it names none).
[[noreturn]] void RaiseChanged(const std::string& path) {
  throw Failure::About(FailureKind::kTargetChanged, path,
                       "Another program changed " + path +
                           " meanwhile; it was left as it is, and the new file was not kept");
}

// Whether `now` is the file that was put in the trash as `kept`: the same
// file, and for a copy still as it was when copied.
bool SameFile(const struct stat& now, const struct stat& kept, bool copied) {
  return now.st_dev == kept.st_dev && now.st_ino == kept.st_ino &&
         (!copied || (now.st_size == kept.st_size && now.st_mtim.tv_sec == kept.st_mtim.tv_sec &&
                      now.st_mtim.tv_nsec == kept.st_mtim.tv_nsec));
}

// Whether `name` in `dir` is there (or cannot be told: the step that
// follows then says why).
bool ThereAt(int dir, const std::string& name) {
  struct stat st {};
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// No trash can take the file: said with what became of the file and the new one.
[[noreturn]] void RaiseNotKept(const Failure& e) {
  throw Failure::About(
      FailureKind::kTrashUnavailable, e.file(),
      std::string(e.what()) + "; it was left as it is, and the new file was not kept");
}

// Whether a rename flag is beyond the file system.
bool Unsupported(int err) {
  return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

}  // namespace

bool RenameReplacing(const Folder& from_folder, const std::string& from, const Folder& folder,
                     const std::string& name) {
  const std::string target = folder.PathOf(name);
  const int from_dir = from_folder.fd();
  const int dir = folder.fd();
  struct stat old {};
  if (::fstatat(dir, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return false;
    RaiseErrno(errno, target);
  }
  if (S_ISDIR(old.st_mode)) RaiseIoError(io_code::kAccessDenied, target);
  std::optional<TrashPlace> place;
  try {
    place.emplace(folder, name);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kTrashUnavailable) throw;
    RaiseNotKept(e);
  }
  // The old file goes into the trash while it keeps its name.
  struct stat kept {};
  if (!place->Put(TrashPlace::How::kBeside, &kept)) return false;
  if (!SameFile(old, kept, place->copied())) return false;
  const bool copied = place->copied();
  if (::renameat2(from_dir, from.c_str(), dir, name.c_str(), RENAME_EXCHANGE) == 0) {
    // What the new file took the place of is now under the new file's old
    // name: the file in the trash, unless another program put another
    // there meanwhile, which then gets its name back.
    struct stat out {};
    if (::fstatat(from_dir, from.c_str(), &out, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(out, kept, copied)) {
      ::unlinkat(from_dir, from.c_str(), 0);
      place->Keep();
      return true;
    }
    (void)::renameat2(from_dir, from.c_str(), dir, name.c_str(), RENAME_EXCHANGE);
    RaiseChanged(target);
  }
  if (errno == ENOENT) return false;
  if (!Unsupported(errno)) RaiseErrno(errno, target);
  // No exchange: look, then rename over it.
  struct stat now {};
  if (::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return false;
    RaiseErrno(errno, target);
  }
  if (!SameFile(now, kept, copied)) RaiseChanged(target);
  if (::renameat(from_dir, from.c_str(), dir, name.c_str()) != 0) RaiseErrno(errno, target);
  place->Keep();
  return true;
}

ReplacingFile::ReplacingFile(FileSystem& fs, std::string target, Job& job)
    : job_(job), folder_(nullptr), target_(std::move(target)) {
  const std::string folder = FolderOfFile(target_);
  SweepOnce(folder, [&] { fs.RemoveAbandonedTemporaries(target_); });
  const FileInfo existing = fs.Stat(target_);
  Refuse(existing.exists, existing.is_directory, existing.read_only);
  own_folder_ = Folder::Open(folder);
  folder_ = &*own_folder_;
  name_ = ExtractFileName(target_);
  file_ = fs.CreateUnnamedBeside(target_);
  unnamed_ = file_.IsOpen();
  if (!unnamed_) {
    std::string temp_path;
    file_ = fs.CreateTemporaryBeside(target_, &temp_path);
    temp_name_ = ExtractFileName(temp_path);
  }
  file_.WriteBehind();
}

ReplacingFile::ReplacingFile(const Folder& folder, std::string name, Job& job)
    : job_(job), folder_(&folder), name_(std::move(name)), target_(folder.PathOf(name_)) {
  SweepOnce(folder.path(), [&] { RemoveAbandonedTemporariesIn(folder.fd()); });
  struct stat st {};
  const bool exists = ::fstatat(folder.fd(), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  Refuse(exists, S_ISDIR(st.st_mode), (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0);
  file_ = CreateUnnamedIn(folder.fd(), folder.path(), target_);
  unnamed_ = file_.IsOpen();
  if (!unnamed_) file_ = CreateTemporaryIn(folder.fd(), folder.path(), name_, &temp_name_);
  file_.WriteBehind();
}

void ReplacingFile::Refuse(bool exists, bool is_directory, bool read_only) const {
  // A read-only or non-file target is not replaced behind the user's back.
  if (exists && (is_directory || read_only)) RaiseIoError(io_code::kAccessDenied, target_);
}

ReplacingFile::~ReplacingFile() {
  if (committed_) return;
  file_ = File();  // close before removing; an unnamed file simply vanishes
  if (!temp_name_.empty()) ::unlinkat(folder_->fd(), temp_name_.c_str(), 0);
}

bool ReplacingFile::NameFree() {
  if (unnamed_) {
    // A new file is named in one step: there is no moment at which it has
    // another name.
    if (!NameUnnamedAt(file_, folder_->fd(), name_, folder_->path())) return false;
    file_.Close();
    return true;
  }
  if (file_.IsOpen()) file_.Close();
  if (RenameNoReplaceAt(folder_->fd(), temp_name_, folder_->fd(), name_)) return true;
  if (errno == EEXIST) return false;
  RaiseErrno(errno, target_);
}

void ReplacingFile::Commit() {
  file_.Sync();
  Name();
}

void ReplacingFile::Park() {
  file_.ReleaseBuffer();
}

void ReplacingFile::CommitParked() {
  file_.Flush();
  Name();
}

void ReplacingFile::Name() {
  // Another program may make, remove or replace the target meanwhile: each
  // turn takes the target as it then is.
  for (int turn = 0; turn < 3; ++turn) {
    if (!ThereAt(folder_->fd(), name_)) {
      if (NameFree()) {
        committed_ = true;
        return;
      }
      continue;
    }
    if (unnamed_) {
      temp_name_ = NameUnnamedBeside(file_, folder_->fd(), name_, folder_->path());
      unnamed_ = false;
    }
    if (file_.IsOpen()) file_.Close();
    if (RenameReplacing(*folder_, temp_name_, *folder_, name_)) {
      job_.NoteReplaced(target_);
      committed_ = true;
      return;
    }
  }
  RaiseChanged(target_);
}

void CopyReplacing(FileSystem& fs, const std::string& source, const std::string& target, Job& job) {
  File in = fs.OpenForReading(source);
  struct stat st {};
  if (::fstat(in.Descriptor(), &st) != 0) RaiseErrno(errno, source);
  const SourceState state(in);
  ReplacingFile out(fs, target, job);
  std::vector<std::uint8_t> buffer(1 << 20);
  for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) {
    out.file().Write(buffer.data(), n);
  }
  state.RequireUnchanged(in);
  out.file().Flush();
  if (::fchmod(out.file().Descriptor(), st.st_mode & 07777) != 0) RaiseErrno(errno, target);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::futimens(out.file().Descriptor(), times) != 0) RaiseErrno(errno, target);
  out.Commit();
}

void MoveReplacing(FileSystem& fs, const std::string& source, const std::string& target, Job& job) {
  for (int turn = 0; turn < 3; ++turn) {
    if (!fs.Stat(target).exists) {
      fs.Move(source, target);
      return;
    }
    const Folder from = Folder::Open(FolderOfFile(source));
    const Folder to = Folder::Open(FolderOfFile(target));
    const std::string from_name = ExtractFileName(source);
    if (MountOf(from.fd(), from_name) != MountOf(to.fd(), "")) {
      // Another file system: a complete copy takes the target's name as any
      // result does (the file it replaces going to the trash), and only
      // then does the source go.
      CopyReplacing(fs, source, target, job);
      fs.Delete(source);
      return;
    }
    if (RenameReplacing(from, from_name, to, ExtractFileName(target))) {
      job.NoteReplaced(target);
      return;
    }
  }
  RaiseChanged(target);
}

}  // namespace talvor

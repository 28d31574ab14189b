#include "platform/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace talvor {

namespace {

// Folders are held as O_PATH descriptors: enough to make, open and rename
// names in them, also where the user may write but not list.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

constexpr char kWorkFolderPrefix[] = ".talvor-work-";
constexpr char kTemporaryFilePrefix[] = ".talvor-";

// ".talvor-<pid>-<name>.", the start of a temporary file's name beside `name`.
std::string TemporaryStem(const std::string& name) {
  // Short enough for the file system, and still text.
  return kTemporaryFilePrefix + std::to_string(::getpid()) + "-" + CutName(name, 200) + ".";
}

// Six letters or digits that make a temporary name unique.
std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[6];
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    RaiseErrno(errno);
  }
  std::string suffix;
  for (const unsigned char r : random) suffix.push_back(kLetters[r % (sizeof kLetters - 1)]);
  return suffix;
}

// The process number in a name "<prefix><pid>-...", or 0 when the name is
// not of that shape; *dash_at receives where the "-" is.
template <std::size_t N>
pid_t OwnerAfter(const std::string& name, const char (&prefix_text)[N], std::size_t* dash_at) {
  const std::size_t prefix = N - 1;
  if (name.compare(0, prefix, prefix_text) != 0) return 0;
  const std::size_t dash = name.find('-', prefix);
  if (dash == std::string::npos || dash == prefix || dash - prefix > 9) return 0;
  pid_t pid = 0;
  for (std::size_t i = prefix; i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  *dash_at = dash;
  return pid;
}

// The process named by a temporary file ".talvor-<pid>-<name>.XXXXXX", or 0
// when the name is not of that shape.
pid_t TemporaryFileOwner(const std::string& name) {
  std::size_t dash = 0;
  const pid_t pid = OwnerAfter(name, kTemporaryFilePrefix, &dash);
  // The unique ending: a dot and six letters or digits.
  if (pid == 0 || name.size() < dash + 9 || name[name.size() - 7] != '.') return 0;
  for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
    if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) return 0;
  }
  return pid;
}

// The process named by a temporary folder ".talvor-work-<pid>-XXXXXX", or 0
// when the name is not of that shape.
pid_t WorkFolderOwner(const std::string& name) {
  std::size_t dash = 0;
  const pid_t pid = OwnerAfter(name, kWorkFolderPrefix, &dash);
  return pid != 0 && name.size() == dash + 7 ? pid : 0;
}

// Whether a process that is not this one has ended (and its number is free).
bool HasEnded(pid_t pid) {
  return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

struct DirCloser {
  void operator()(DIR* d) const noexcept { ::closedir(d); }
};

// Lists `dir` (readable descriptor taken over); nullptr when it cannot be.
std::unique_ptr<DIR, DirCloser> List(UniqueFd fd) {
  if (!fd.valid()) return nullptr;
  std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd.get()));
  if (dir) (void)fd.release();
  return dir;
}

// Removes the files in the work folder `name` of `dir`, then the folder
// when nothing else was in it.
void RemoveWorkFolder(int dir, const std::string& name) {
  UniqueFd fd(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) return;
  const int inner_dir = fd.get();
  const auto listing = List(std::move(fd));
  if (!listing) return;
  bool only_files = true;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat inner {};
    if (::fstatat(inner_dir, entry->d_name, &inner, AT_SYMLINK_NOFOLLOW) != 0 ||
        S_ISDIR(inner.st_mode) || ::unlinkat(inner_dir, entry->d_name, 0) != 0) {
      only_files = false;
    }
  }
  if (only_files) ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
}

}  // namespace

std::string FolderOfFile(const std::string& path) {
  if (!IsAbsolutePath(path)) RaiseIoError(io_code::kInvalidFilename, path);
  return ExtractFileDir(path);
}

Folder Folder::Open(const std::string& path, const std::string& shown) {
  if (!IsAbsolutePath(path)) RaiseIoError(io_code::kInvalidFilename, shown.empty() ? path : shown);
  UniqueFd fd(::open(path.c_str(), kFolderFlags));
  if (!fd.valid()) RaiseErrno(errno, shown.empty() ? path : shown);
  return Folder(std::move(fd), path);
}

Folder::Step Folder::OpenChild(const std::string& name, bool make, Folder& out, bool* made) const {
  if (made != nullptr) *made = false;
  if (make && ::mkdirat(fd(), name.c_str(), 0777) == 0 && made != nullptr) *made = true;
  UniqueFd child(::openat(fd(), name.c_str(), kFolderFlags | O_NOFOLLOW));
  if (!child.valid()) {
    const int err = errno;
    struct stat st {};
    if (err == ENOTDIR || err == ELOOP) {
      if (::fstatat(fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        return Step::kLink;
      }
      return Step::kNotFolder;
    }
    RaiseErrno(err, PathOf(name));
  }
  out = Folder(std::move(child), PathOf(name));
  return Step::kOpened;
}

Folder Folder::Duplicate() const {
  UniqueFd fd(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
  if (!fd.valid()) RaiseErrno(errno, path_);
  return Folder(std::move(fd), path_);
}

void Folder::SyncFileSystem() const {
  // The folder is held as a path only; syncfs wants it open for reading.
  const UniqueFd dir(::openat(fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid() || ::syncfs(dir.get()) != 0) RaiseErrno(errno, path_);
}

std::string Folder::PathOf(const std::string& name) const {
  return path_.empty() ? name : JoinPath(path_, name);
}

std::uint64_t MountOf(int dir, const std::string& name, bool follow) {
  struct statx sx {};
  const int flags = (follow ? 0 : AT_SYMLINK_NOFOLLOW) | (name.empty() ? AT_EMPTY_PATH : 0);
  if (::statx(dir, name.c_str(), flags, STATX_MNT_ID, &sx) != 0) {
    return 0;
  }
  // Kernels without mount identities: the device stands in for the mount.
  if ((sx.stx_mask & STATX_MNT_ID) == 0) {
    return (static_cast<std::uint64_t>(sx.stx_dev_major) << 32 | sx.stx_dev_minor) | 1ULL << 63;
  }
  return sx.stx_mnt_id;
}

bool RenameNoReplaceAt(int from_dir, const std::string& from, int to_dir, const std::string& to) {
  if (::renameat2(from_dir, from.c_str(), to_dir, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat st {};
  if (::fstatat(from_dir, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    // A link never replaces.
    if (::linkat(from_dir, from.c_str(), to_dir, to.c_str(), 0) == 0) {
      ::unlinkat(from_dir, from.c_str(), 0);
      return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK) return false;
  }
  // Neither: look first (FAT and exFAT sticks).
  if (::fstatat(to_dir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(from_dir, from.c_str(), to_dir, to.c_str()) == 0;
}

File CreateTemporaryIn(int dir, const std::string& shown, const std::string& name,
                       std::string* temp_name) {
  const std::string stem = TemporaryStem(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = stem + RandomSuffix();
    UniqueFd fd(::openat(dir, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         static_cast<mode_t>(DefaultFileMode())));
    if (fd.valid()) {
      *temp_name = temp;
      return File(std::move(fd), JoinPath(shown, temp));
    }
    if (errno != EEXIST) RaiseErrno(errno, shown);
  }
  RaiseIoError(io_code::kAlreadyExists, JoinPath(shown, stem));
}

File CreateUnnamedIn(int dir, const std::string& shown, const std::string& path) {
  UniqueFd fd(
      ::openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(DefaultFileMode())));
  if (!fd.valid()) {
    // Not every file system has unnamed files; a named temporary file serves.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return File();
    RaiseErrno(errno, shown);
  }
  return File(std::move(fd), path);
}

bool NameUnnamedAt(File& file, int dir, const std::string& name, const std::string& shown) {
  file.Flush();
  const std::string source = "/proc/self/fd/" + std::to_string(file.Descriptor());
  // linkat never replaces: a name already there makes it fail.
  if (::linkat(AT_FDCWD, source.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  RaiseErrno(errno, JoinPath(shown, name));
}

std::string NameUnnamedBeside(File& file, int dir, const std::string& name,
                              const std::string& shown) {
  const std::string stem = TemporaryStem(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = stem + RandomSuffix();
    if (NameUnnamedAt(file, dir, temp, shown)) return temp;
  }
  RaiseIoError(io_code::kAlreadyExists, JoinPath(shown, stem));
}

std::string WorkFolderPattern() {
  return kWorkFolderPrefix + std::to_string(::getpid()) + "-XXXXXX";
}

void RemoveAbandonedTemporariesIn(int dir) {
  // One pass over the names; only those of the right shape whose process
  // has ended (a running one, or one not ours to judge, is left alone) are
  // looked at, so that a large folder costs no more than reading it.
  std::vector<std::string> folders;
  std::vector<std::string> files;
  {
    const auto listing = List(UniqueFd(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!listing) return;
    while (const dirent* entry = ::readdir(listing.get())) {
      const std::string name = entry->d_name;
      if (HasEnded(TemporaryFileOwner(name))) files.push_back(name);
      if (HasEnded(WorkFolderOwner(name))) folders.push_back(name);
    }
  }
  for (const std::string& name : files) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid()) {
      ::unlinkat(dir, name.c_str(), 0);
    }
  }
  for (const std::string& name : folders) RemoveWorkFolder(dir, name);
}

namespace {

// `name` in `dir` as a descriptor that names the file itself (a link
// followed only with `follow`), and the path that reaches it through /proc.
UniqueFd OpenNamed(int dir, const std::string& name, bool follow, const std::string& shown) {
  UniqueFd fd(::openat(dir, name.c_str(), O_PATH | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW)));
  if (!fd.valid()) RaiseErrno(errno, shown);
  return fd;
}

std::string ProcPath(const UniqueFd& fd) {
  return "/proc/self/fd/" + std::to_string(fd.get());
}

}  // namespace

void SetLastWriteTimeAt(int dir, const std::string& name, std::time_t when, bool follow,
                        const std::string& shown) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  if (::utimensat(dir, name.c_str(), times, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    RaiseErrno(errno, shown);
  }
}

void SetReadOnlyAt(int dir, const std::string& name, bool read_only, bool follow,
                   const std::string& shown) {
  constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
  const UniqueFd fd = OpenNamed(dir, name, follow, shown);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) RaiseErrno(errno, shown);
  // A link's own mode means nothing; it is not followed here.
  if (S_ISLNK(st.st_mode)) RaiseErrno(ELOOP, shown);
  const mode_t mode = read_only
                          ? (st.st_mode & ~kAnyWrite)
                          : (st.st_mode | (static_cast<mode_t>(DefaultFileMode()) & kAnyWrite));
  if (::chmod(ProcPath(fd).c_str(), mode & 07777) != 0) RaiseErrno(errno, shown);
}

std::string CutName(const std::string& name, std::size_t max) {
  if (name.size() <= max) return name;
  std::size_t end = max;
  // Back to the first byte of a character: continuation bytes are 10xxxxxx.
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

}  // namespace talvor

#include "platform/trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/path.h"

namespace talvor {

namespace {

struct FreeDeleter {
  void operator()(char* p) const noexcept { std::free(p); }
};

// Folders are held as O_PATH descriptors: enough to make and open names in
// them, and a folder the user may write but not list can still be used.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Opens the folder `name` in `at`, made readable by the user only when
// missing; a symbolic link is not followed unless `follow`. Closed (with
// errno set) on failure.
[[nodiscard]] UniqueFd OpenFolder(int at, const std::string& name, bool follow = false) {
  if (::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) return UniqueFd();
  return UniqueFd(::openat(at, name.c_str(), kFolderFlags | (follow ? 0 : O_NOFOLLOW)));
}

// Why a trash cannot be used, in words.
[[nodiscard]] std::string Reason(int err) {
  return err == EXDEV ? "it is on another file system" : std::strerror(err);
}

[[noreturn]] void RaiseUnusable(const std::string& trash, const std::string& why,
                                const std::string& file) {
  throw Failure::About(FailureKind::kTrashUnavailable, file,
                       "The trash folder " + trash + " cannot be used (" + why + "), so " + file +
                           " cannot be kept there");
}

// $XDG_DATA_HOME, or its default $HOME/.local/share; a relative
// $XDG_DATA_HOME is ignored. Empty when the user has no home folder.
[[nodiscard]] std::string DataHome() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (data_home != nullptr && data_home[0] == '/') return data_home;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return JoinPath(home, ".local/share");
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir[0] == '/') {
    return JoinPath(found->pw_dir, ".local/share");
  }
  return {};
}

// The mount of `path` (a link followed), or of its nearest folder that exists.
[[nodiscard]] std::uint64_t MountOfNearest(std::string path) {
  struct stat st {};
  while (::stat(path.c_str(), &st) != 0 && path.size() > 1) path = ExtractFileDir(path);
  return MountOf(AT_FDCWD, path, true);
}

// The top folder of the mount `mount` that holds `folder` (a path without
// links): the last folder up the chain still on that mount.
[[nodiscard]] std::string TopFolder(std::string folder, std::uint64_t mount) {
  while (folder != "/") {
    const std::string parent = ExtractFileDir(folder);
    if (MountOf(AT_FDCWD, parent) != mount) break;
    folder = parent;
  }
  return folder;
}

// The bytes of a path as a URL holds them (RFC 2396): letters, digits, "/"
// and the marks -_.!~*'() as they are, every other byte as %XX.
[[nodiscard]] std::string EscapedPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kKept = "/-_.!~*'()";
  std::string escaped;
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
        kKept.find(c) != std::string_view::npos) {
      escaped.push_back(c);
    } else {
      escaped += {'%', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return escaped;
}

// The local time as the trash records it: 2024-05-31T17:04:09.
[[nodiscard]] std::string DeletionDate() {
  ::tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local));
}

constexpr char kInfoExt[] = ".trashinfo";

// The name tried the n-th time for `name` in the trash: the name itself, then
// "a.2.txt", "a.3.txt", ... ("notes.2", ".profile.2" without an extension);
// cut so that its .trashinfo name fits in the 255 bytes a name may have.
[[nodiscard]] std::string NameInTrash(const std::string& name, int n) {
  constexpr std::size_t kLongest = 255 - (sizeof kInfoExt - 1);
  const std::string number = n == 1 ? std::string() : "." + std::to_string(n);
  std::string ext = ExtractFileExt(name);
  // A leading dot only, or a tail too long to be an extension: none.
  if (ext.size() == name.size() || ext.size() > kLongest / 2) ext.clear();
  const std::string stem = name.substr(0, name.size() - ext.size());
  return CutName(stem, kLongest - number.size() - ext.size()) + number + ext;
}

// Copies the regular file `name` of `from` to the new file `entry` of `to`,
// synced, with its permissions and times; *source receives the source as it
// was read. False with errno set when it cannot be.
[[nodiscard]] bool CopyInto(int from, const std::string& name, int to, const std::string& entry,
                            struct stat* source) {
  UniqueFd in(::openat(from, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!in.valid() || ::fstat(in.get(), source) != 0) return false;
  if (!S_ISREG(source->st_mode)) {
    errno = EPERM;
    return false;
  }
  UniqueFd out_fd(
      ::openat(to, entry.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out_fd.valid()) return false;
  File out(std::move(out_fd), entry);
  try {
    File reader(std::move(in), name);
    std::vector<std::uint8_t> buffer(1 << 20);
    for (std::size_t n; (n = reader.Read(buffer.data(), buffer.size())) > 0;) {
      out.Write(buffer.data(), n);
    }
    if (::fstat(reader.Descriptor(), source) != 0) RaiseErrno(errno);
    out.Flush();
    // Permissions and times as far as the file system keeps them (FAT
    // keeps few).
    const struct timespec times[2] = {source->st_atim, source->st_mtim};
    (void)::fchmod(out.Descriptor(), source->st_mode & 07777);
    (void)::futimens(out.Descriptor(), times);
    out.Sync();
    out.Close();
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    out = File();
    ::unlinkat(to, entry.c_str(), 0);
    errno = e.code() == io_code::kDiskFull ? ENOSPC : EIO;
    return false;
  }
  return true;
}

// Whether a file system refused a hard link because it has none.
[[nodiscard]] bool NoHardLinks(int err) {
  return err == EPERM || err == EOPNOTSUPP || err == ENOSYS || err == EMLINK;
}

}  // namespace

// A trash folder, opened: its files/ and info/ folders.
struct TrashPlace::Bin {
  std::string path;  // for messages
  std::string top;   // the folder that recorded paths are relative to; empty: absolute
  UniqueFd files;
  UniqueFd info;

  // Opens the trash folder `name` in `at` and its files/ and info/, made when
  // missing. False (with errno set) when they cannot be, when the folder is
  // not the user's though `must_own`, or when files/ is not on `mount`.
  [[nodiscard]] bool Open(int at, const std::string& name, bool follow, bool must_own,
                          std::uint64_t mount) {
    const UniqueFd folder = OpenFolder(at, name, follow);
    if (!folder.valid()) return false;
    struct stat st {};
    if (must_own && (::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid())) {
      errno = EPERM;
      return false;
    }
    files = OpenFolder(folder.get(), "files");
    info = OpenFolder(folder.get(), "info");
    if (!files.valid() || !info.valid()) return false;
    if (MountOf(files.get(), "") != mount) {
      errno = EXDEV;
      return false;
    }
    return true;
  }

  // The trash that takes files of the mount `mount`, such as `file`.
  void Find(const std::string& file, std::uint64_t mount) {
    const std::string data_home = DataHome();
    if (!data_home.empty() && MountOfNearest(JoinPath(data_home, "Trash")) == mount) {
      path = JoinPath(data_home, "Trash");
      try {
        PosixFileSystem fs;
        CreateFolderChain(fs, data_home);
      } catch (const Failure& e) {
        if (e.kind() != FailureKind::kIo) throw;
        RaiseUnusable(path, e.SystemText(), file);
      }
      // The user's own folder: a link there is the user's choice.
      if (!Open(AT_FDCWD, path, true, false, mount)) RaiseUnusable(path, Reason(errno), file);
      return;
    }
    top = TopFolder(ExtractFileDir(file), mount);
    const std::string uid = std::to_string(::geteuid());
    const UniqueFd top_fd(::open(top.c_str(), kFolderFlags));
    if (top_fd.valid()) {
      // $topdir/.Trash is shared by the users; it must be a folder of its own
      // (not a link) with the sticky bit, so that no user can take away
      // another's folder in it.
      const UniqueFd shared(::openat(top_fd.get(), ".Trash", kFolderFlags | O_NOFOLLOW));
      struct stat st {};
      path = JoinPath(top, ".Trash/" + uid);
      if (shared.valid() && ::fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX) != 0 &&
          Open(shared.get(), uid, false, true, mount)) {
        return;
      }
      path = JoinPath(top, ".Trash-" + uid);
      if (Open(top_fd.get(), ".Trash-" + uid, false, true, mount)) return;
    }
    throw Failure::About(
        FailureKind::kTrashUnavailable, file,
        "There is no trash on the file system of " + file + ", so it cannot be kept there");
  }
};

TrashPlace::TrashPlace(const Folder& folder, const std::string& name)
    : folder_(folder), name_(name), bin_(std::make_unique<Bin>()) {
  if (name.empty() || name == "." || name == "..") {
    RaiseIoError(io_code::kInvalidFilename, folder.PathOf(name));
  }
  // The folder without links or "..": where the file is recorded to have been.
  const std::unique_ptr<char, FreeDeleter> real(
      ::realpath(("/proc/self/fd/" + std::to_string(folder.fd())).c_str(), nullptr));
  if (!real) RaiseErrno(errno, folder.PathOf(name));
  file_ = JoinPath(real.get(), name);
  struct stat st {};
  if (::fstatat(folder.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) RaiseErrno(errno, file_);
  bin_->Find(file_, MountOf(folder.fd(), name));
}

TrashPlace::~TrashPlace() {
  if (kept_ || entry_.empty()) return;
  if (how_ == How::kBeside) ::unlinkat(bin_->files.get(), entry_.c_str(), 0);
  ::unlinkat(bin_->info.get(), (entry_ + kInfoExt).c_str(), 0);
}

bool TrashPlace::PutAs(How how, const std::string& entry, struct stat* put) {
  const int from = folder_.fd();
  const int files = bin_->files.get();
  if (how == How::kMove) {
    return ::fstatat(from, name_.c_str(), put, AT_SYMLINK_NOFOLLOW) == 0 &&
           RenameNoReplaceAt(from, name_, files, entry);
  }
  if (::linkat(from, name_.c_str(), files, entry.c_str(), 0) == 0) {
    return ::fstatat(files, entry.c_str(), put, AT_SYMLINK_NOFOLLOW) == 0;
  }
  if (!NoHardLinks(errno)) return false;
  copied_ = true;
  return CopyInto(from, name_, files, entry, put);
}

bool TrashPlace::Put(How how, struct stat* put) {
  const std::string recorded =
      bin_->top.empty() ? file_ : file_.substr(IncludeTrailingSeparator(bin_->top).size());
  const std::string info_text =
      "[Trash Info]\nPath=" + EscapedPath(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
  // The info file first, made with O_EXCL: the name it takes is ours.
  for (int n = 1;; ++n) {
    const std::string entry = NameInTrash(name_, n);
    const std::string info_name = entry + kInfoExt;
    UniqueFd fd(::openat(bin_->info.get(), info_name.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
      if (errno == EEXIST) continue;
      RaiseUnusable(bin_->path, Reason(errno), file_);
    }
    try {
      File info(std::move(fd), JoinPath(bin_->path, "info/" + info_name));
      info.Write(info_text.data(), info_text.size());
      info.Sync();
      info.Close();
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kIo) throw;
      ::unlinkat(bin_->info.get(), info_name.c_str(), 0);
      RaiseUnusable(bin_->path, e.SystemText(), file_);
    }
    if (PutAs(how, entry, put)) {
      entry_ = entry;
      how_ = how;
      if (how == How::kMove) kept_ = true;
      return true;
    }
    const int err = errno;
    ::unlinkat(bin_->info.get(), info_name.c_str(), 0);
    // A name in files/ whose info file was lost stays as it is.
    if (err == EEXIST) continue;
    if (err == ENOENT) return false;
    if (err == EXDEV) RaiseUnusable(bin_->path, Reason(err), file_);
    RaiseErrno(err, file_);
  }
}

void FreedesktopTrash::MoveToTrash(const std::string& path) {
  // Only "." and empty steps go: the path is a whole path already.
  const std::string absolute = AbsolutePath(path, "/");
  const std::string name = ExtractFileName(absolute);
  if (!IsAbsolutePath(path) || name.empty() || name == "..") {
    RaiseIoError(io_code::kInvalidFilename, path);
  }
  const Folder folder = Folder::Open(ExtractFileDir(absolute), path);
  TrashPlace place(folder, name);
  struct stat put {};
  if (!place.Put(TrashPlace::How::kMove, &put)) RaiseErrno(ENOENT, place.file());
}

}  // namespace talvor

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
#include "platform/path.h"

namespace talvor {

namespace {

// An open descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const noexcept { return fd_; }

 private:
  int fd_;
};

struct FreeDeleter {
  void operator()(char* p) const noexcept { std::free(p); }
};

// A trash folder, opened: its files/ and info/ folders.
struct TrashFolder {
  std::string path;  // for messages
  std::string top;   // the folder that recorded paths are relative to; empty: absolute
  Descriptor files;
  Descriptor info;
};

// Folders are held as O_PATH descriptors: enough to make and open names in
// them, and a folder the user may write but not list can still be used.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Opens the folder `name` in `at`, made readable by the user only when
// missing; a symbolic link is not followed unless `follow`. Closed (with
// errno set) on failure.
[[nodiscard]] Descriptor OpenFolder(int at, const std::string& name, bool follow = false) {
  if (::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) return Descriptor();
  return Descriptor(::openat(at, name.c_str(), kFolderFlags | (follow ? 0 : O_NOFOLLOW)));
}

// Opens the trash folder `name` in `at` and its files/ and info/, made when
// missing. False (with errno set) when they cannot be, when the folder is not
// the user's though `must_own`, or when files/ is not on the device `dev`.
[[nodiscard]] bool OpenTrash(int at, const std::string& name, bool follow, bool must_own, dev_t dev,
                             TrashFolder& trash) {
  const Descriptor folder = OpenFolder(at, name, follow);
  if (folder.get() < 0) return false;
  struct stat st {};
  if (must_own && (::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid())) {
    errno = EPERM;
    return false;
  }
  trash.files = OpenFolder(folder.get(), "files");
  trash.info = OpenFolder(folder.get(), "info");
  if (trash.files.get() < 0 || trash.info.get() < 0) return false;
  if (::fstat(trash.files.get(), &st) != 0) return false;
  if (st.st_dev != dev) {
    errno = EXDEV;
    return false;
  }
  return true;
}

// Why a trash cannot be used, in words.
[[nodiscard]] std::string Reason(int err) {
  return err == EXDEV ? "it is on another file system" : std::strerror(err);
}

[[noreturn]] void RaiseUnusable(const std::string& trash, const std::string& why,
                                const std::string& file) {
  throw TrashUnavailable("The trash folder " + trash + " cannot be used (" + why + "), so " + file +
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

// The device of `path`, or of its nearest folder that exists.
[[nodiscard]] dev_t DeviceOf(std::string path) {
  struct stat st {};
  while (::stat(path.c_str(), &st) != 0 && path.size() > 1) path = ExtractFileDir(path);
  return st.st_dev;
}

// The top folder of the file system holding `folder` (a path without links
// whose folders are on the device `dev`): the last folder up the chain still
// on that device.
[[nodiscard]] std::string TopFolder(std::string folder, dev_t dev) {
  while (folder != "/") {
    const std::string parent = ExtractFileDir(folder);
    struct stat st {};
    if (::stat(parent.c_str(), &st) != 0 || st.st_dev != dev) break;
    folder = parent;
  }
  return folder;
}

// The trash that takes files of the device `dev`, such as `file`.
[[nodiscard]] TrashFolder FindTrash(const std::string& file, dev_t dev) {
  TrashFolder trash;
  const std::string data_home = DataHome();
  if (!data_home.empty() && DeviceOf(JoinPath(data_home, "Trash")) == dev) {
    trash.path = JoinPath(data_home, "Trash");
    try {
      PosixFileSystem fs;
      CreateFolderChain(fs, data_home);
    } catch (const IoError& e) {
      RaiseUnusable(trash.path, e.SystemText(), file);
    }
    // The user's own folder: a link there is the user's choice.
    if (!OpenTrash(AT_FDCWD, trash.path, true, false, dev, trash)) {
      RaiseUnusable(trash.path, Reason(errno), file);
    }
    return trash;
  }
  trash.top = TopFolder(ExtractFileDir(file), dev);
  const std::string uid = std::to_string(::geteuid());
  const Descriptor top(::open(trash.top.c_str(), kFolderFlags));
  if (top.get() >= 0) {
    // $topdir/.Trash is shared by the users; it must be a folder of its own
    // (not a link) with the sticky bit, so that no user can take away
    // another's folder in it.
    const Descriptor shared(::openat(top.get(), ".Trash", kFolderFlags | O_NOFOLLOW));
    struct stat st {};
    trash.path = JoinPath(trash.top, ".Trash/" + uid);
    if (shared.get() >= 0 && ::fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX) != 0 &&
        OpenTrash(shared.get(), uid, false, true, dev, trash)) {
      return trash;
    }
    trash.path = JoinPath(trash.top, ".Trash-" + uid);
    if (OpenTrash(top.get(), ".Trash-" + uid, false, true, dev, trash)) return trash;
  }
  throw TrashUnavailable("There is no trash on the file system of " + file +
                         ", so it cannot be kept there");
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

// The name tried the n-th time for `name` in the trash: the name itself, then
// "a.2.txt", "a.3.txt", ... ("notes.2", ".profile.2" without an extension).
[[nodiscard]] std::string NameInTrash(const std::string& name, int n) {
  if (n == 1) return name;
  const std::string number = "." + std::to_string(n);
  const std::string ext = ExtractFileExt(name);
  if (ext.empty() || ext.size() == name.size()) return name + number;
  return name.substr(0, name.size() - ext.size()) + number + ext;
}

// Renames `from` to `name` in the folder `to` unless that name is taken;
// false with errno EEXIST when it is.
[[nodiscard]] bool RenameNoReplace(const std::string& from, int to, const std::string& name) {
  if (::renameat2(AT_FDCWD, from.c_str(), to, name.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system that cannot rename without replacing: look first.
  struct stat st {};
  if (::fstatat(to, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(AT_FDCWD, from.c_str(), to, name.c_str()) == 0;
}

}  // namespace

void FreedesktopTrash::MoveToTrash(const std::string& path) {
  PosixFileSystem fs;
  const std::string absolute = AbsolutePath(path, fs.CurrentDirectory());
  const std::string name = ExtractFileName(absolute);
  if (name.empty() || name == "..") RaiseIoError(io_code::kInvalidFilename, path);
  // The folder without links or "..": where the file is recorded to have been.
  const std::unique_ptr<char, FreeDeleter> folder(
      ::realpath(ExtractFileDir(absolute).c_str(), nullptr));
  if (!folder) RaiseErrno(errno, path);
  const std::string file = JoinPath(folder.get(), name);
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0) RaiseErrno(errno, file);

  TrashFolder trash = FindTrash(file, st.st_dev);
  const std::string recorded =
      trash.top.empty() ? file : file.substr(IncludeTrailingSeparator(trash.top).size());
  const std::string info_text =
      "[Trash Info]\nPath=" + EscapedPath(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
  // The info file first, made with O_EXCL: the name it takes is ours.
  for (int n = 1;; ++n) {
    const std::string entry = NameInTrash(name, n);
    const std::string info_name = entry + ".trashinfo";
    const int fd = ::openat(trash.info.get(), info_name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      RaiseUnusable(trash.path, Reason(errno), file);
    }
    try {
      File info(fd, JoinPath(trash.path, "info/" + info_name));
      info.Write(info_text.data(), info_text.size());
      info.Sync();
      info.Close();
    } catch (const IoError& e) {
      ::unlinkat(trash.info.get(), info_name.c_str(), 0);
      RaiseUnusable(trash.path, e.SystemText(), file);
    }
    if (RenameNoReplace(file, trash.files.get(), entry)) return;
    const int err = errno;
    ::unlinkat(trash.info.get(), info_name.c_str(), 0);
    // A name in files/ whose info file was lost stays as it is.
    if (err == EEXIST) continue;
    if (err == EXDEV) RaiseUnusable(trash.path, Reason(err), file);
    RaiseErrno(err, file);
  }
}

}  // namespace talvor

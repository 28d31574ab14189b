#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/trash.h"

namespace talvor {

namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// Opens without waiting: a named pipe or a device would otherwise hold the
// program until another one opens its other end. The descriptor waits again
// once it is known to be a regular file (RequireRegular).
int OpenOrRaise(const std::string& path, int flags, mode_t mode = 0) {
  if (path.empty()) RaiseIoError(io_code::kFileNotFound);
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd >= 0) return fd;
    if (errno != EINTR) RaiseErrno(errno, path);
  }
}

// What a name that is no regular file stands for, in words.
std::string KindOfNonFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "no regular file";
}

// Refuses anything but a regular file (a folder, a device, a pipe would
// block or mean nothing to a byte-oriented routine), then lets the
// descriptor wait for its reads and writes again.
void RequireRegular(int fd, bool for_writing, const std::string& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    RaiseErrno(err, path);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw RefusedInput(path + " is " + KindOfNonFile(st.st_mode) +
                       ", not a file: only files can be read and written");
  }
  if (for_writing && (st.st_mode & kAnyWrite) == 0) {
    ::close(fd);
    RaiseIoError(io_code::kAccessDenied, path);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int err = errno;
    ::close(fd);
    RaiseErrno(err, path);
  }
}

struct DirCloser {
  void operator()(DIR* d) const noexcept { ::closedir(d); }
};

template <typename Keep>
std::vector<std::string> ListEntries(const std::string& folder, Keep keep) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) RaiseErrno(errno, folder);
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, 0) != 0) {
      // A dangling link or a name that vanished: shown as a file when it is a
      // link, so that the user can still act on it.
      if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    }
    if (keep(st)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

constexpr char kWorkFolderPrefix[] = ".talvor-work-";
constexpr char kTemporaryFilePrefix[] = ".talvor-";

// The name of a temporary file beside `beside`: ".talvor-<pid>-<name>."
// followed by the six characters that make it unique.
std::string TemporaryFileStem(const std::string& beside) {
  std::string folder = ExtractFileDir(beside);
  if (folder.empty()) folder.push_back('.');
  std::string name = ExtractFileName(beside);
  // Keep the name short enough for the file system.
  if (name.size() > 200) name.resize(200);
  return IncludeTrailingSeparator(folder) + kTemporaryFilePrefix + std::to_string(::getpid()) +
         "-" + name + ".";
}

// The process named by a temporary file ".talvor-<pid>-<name>.XXXXXX", or 0
// when the name is not of that shape.
pid_t TemporaryFileOwner(const std::string& name) {
  const std::size_t prefix = sizeof kTemporaryFilePrefix - 1;
  if (name.compare(0, prefix, kTemporaryFilePrefix) != 0) return 0;
  const std::size_t dash = name.find('-', prefix);
  if (dash == std::string::npos || dash == prefix || dash - prefix > 9) return 0;
  // The unique ending: a dot and six letters or digits.
  if (name.size() < dash + 9 || name[name.size() - 7] != '.') return 0;
  for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
    if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) return 0;
  }
  pid_t pid = 0;
  for (std::size_t i = prefix; i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

// Whether a process that is not this one has ended (and its number is free).
bool HasEnded(pid_t pid) {
  return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The process named by a temporary folder ".talvor-work-<pid>-XXXXXX", or 0
// when the name is not of that shape.
pid_t WorkFolderOwner(const std::string& name) {
  const std::size_t prefix = sizeof kWorkFolderPrefix - 1;
  if (name.compare(0, prefix, kWorkFolderPrefix) != 0) return 0;
  const std::size_t dash = name.find('-', prefix);
  if (dash == std::string::npos || dash == prefix || dash - prefix > 9 || name.size() != dash + 7) {
    return 0;
  }
  pid_t pid = 0;
  for (std::size_t i = prefix; i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

}  // namespace

unsigned DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666U & ~static_cast<unsigned>(mask);
}

File PosixFileSystem::OpenExisting(const std::string& path, bool follow_links) {
  const int fd = OpenOrRaise(path, O_RDWR | (follow_links ? 0 : O_NOFOLLOW));
  RequireRegular(fd, true, path);
  return File(fd, path);
}

File PosixFileSystem::OpenForReading(const std::string& path) {
  const int fd = OpenOrRaise(path, O_RDONLY);
  RequireRegular(fd, false, path);
  return File(fd, path);
}

File PosixFileSystem::Create(const std::string& path) {
  // A read-only file is not emptied, as on a system with a read-only attribute.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & kAnyWrite) == 0) {
    RaiseIoError(io_code::kAccessDenied, path);
  }
  const int fd = OpenOrRaise(path, O_RDWR | O_CREAT | O_TRUNC, 0666);
  RequireRegular(fd, false, path);
  return File(fd, path);
}

File PosixFileSystem::CreateTemporaryBeside(const std::string& beside, std::string* temp_path) {
  std::string pattern = TemporaryFileStem(beside) + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) RaiseErrno(errno, ExtractFileDir(pattern));
  ::fchmod(fd, static_cast<mode_t>(DefaultFileMode()));
  *temp_path = std::string(buffer.begin(), buffer.end() - 1);
  return File(fd, *temp_path);
}

File PosixFileSystem::CreateUnnamedBeside(const std::string& beside) {
  std::string folder = ExtractFileDir(beside);
  if (folder.empty()) folder.push_back('.');
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                        static_cast<mode_t>(DefaultFileMode()));
  if (fd < 0) {
    // Not every file system has unnamed files; a named temporary file serves.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return File();
    RaiseErrno(errno, folder);
  }
  return File(fd, beside);
}

std::string PosixFileSystem::NameUnnamed(File& file, const std::string& beside) {
  file.Flush();
  const std::string stem = TemporaryFileStem(beside);
  const std::string source = "/proc/self/fd/" + std::to_string(file.Descriptor());
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[6];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      RaiseErrno(errno);
    }
    std::string suffix;
    for (const unsigned char r : random) suffix.push_back(kLetters[r % (sizeof kLetters - 1)]);
    const std::string path = stem + suffix;
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return path;
    }
    if (errno != EEXIST) RaiseErrno(errno, path);
  }
  RaiseIoError(io_code::kAlreadyExists, stem);
}

bool PosixFileSystem::NameUnnamedAs(File& file, const std::string& path) {
  file.Flush();
  const std::string source = "/proc/self/fd/" + std::to_string(file.Descriptor());
  if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return true;
  }
  if (errno == EEXIST) return false;
  RaiseErrno(errno, path);
}

std::string PosixFileSystem::CreateTemporaryFolderBeside(const std::string& beside) {
  std::string folder = ExtractFileDir(beside);
  if (folder.empty()) folder.push_back('.');
  std::string pattern =
      IncludeTrailingSeparator(folder) + kWorkFolderPrefix + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) RaiseErrno(errno, folder);
  return std::string(buffer.begin(), buffer.end() - 1);
}

void PosixFileSystem::RemoveAbandonedTemporaries(const std::string& beside) {
  std::string folder = ExtractFileDir(beside);
  if (folder.empty()) folder.push_back('.');
  // One pass over the names; only those of the right shape whose process
  // has ended (a running one, or one not ours to judge, is left alone) are
  // looked at, so that a large folder costs no more than reading it.
  std::vector<std::string> folders;
  std::vector<std::string> files;
  {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (HasEnded(TemporaryFileOwner(name))) files.push_back(name);
      if (HasEnded(WorkFolderOwner(name))) folders.push_back(name);
    }
  }
  for (const std::string& name : files) {
    const std::string path = IncludeTrailingSeparator(folder) + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
      ::unlink(path.c_str());
    }
  }
  for (const std::string& name : folders) {
    const std::string path = IncludeTrailingSeparator(folder) + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
      ::close(fd);
      continue;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) continue;
    bool only_files = true;
    while (const dirent* entry = ::readdir(dir.get())) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      struct stat inner {};
      if (::fstatat(fd, entry->d_name, &inner, AT_SYMLINK_NOFOLLOW) != 0 ||
          S_ISDIR(inner.st_mode) || ::unlinkat(fd, entry->d_name, 0) != 0) {
        only_files = false;
      }
    }
    dir.reset();
    if (only_files) ::rmdir(path.c_str());
  }
}

void PosixFileSystem::RemoveDirectory(const std::string& path) {
  if (::rmdir(path.c_str()) != 0) RaiseErrno(errno, path);
}

void PosixFileSystem::Delete(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    RaiseIoError(io_code::kAccessDenied, path);
  }
  if (::unlink(path.c_str()) != 0) RaiseErrno(errno, path);
}

void PosixFileSystem::Move(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno == EXDEV) {
    MoveAcrossDevices(from, to);
    return;
  }
  if (errno != EINVAL && errno != ENOSYS) RaiseErrno(errno, errno == EEXIST ? to : from);
  // The file system cannot rename without replacing: link, then unlink.
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) RaiseErrno(errno, from);
  if (!S_ISDIR(st.st_mode)) {
    if (::link(from.c_str(), to.c_str()) != 0) RaiseErrno(errno, errno == EEXIST ? to : from);
    ::unlink(from.c_str());
    return;
  }
  if (::lstat(to.c_str(), &st) == 0) RaiseIoError(io_code::kAlreadyExists, to);
  if (::rename(from.c_str(), to.c_str()) != 0) RaiseErrno(errno, from);
}

void PosixFileSystem::MoveAcrossDevices(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) RaiseErrno(errno, from);
  if (!S_ISREG(st.st_mode)) RaiseIoError(io_code::kNotSameDevice, from);
  struct stat target {};
  if (::lstat(to.c_str(), &target) == 0) RaiseIoError(io_code::kAlreadyExists, to);
  // A copy beside the target, put in place only when complete: an unnamed
  // file given the target's name at the end where the file system has them.
  File in = OpenForReading(from);
  File out = CreateUnnamedBeside(to);
  const bool unnamed = out.IsOpen();
  std::string temp;
  if (!unnamed) out = CreateTemporaryBeside(to, &temp);
  try {
    std::vector<std::uint8_t> buffer(1 << 20);
    for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;)
      out.Write(buffer.data(), n);
    out.Sync();
    if (::fchmod(out.Descriptor(), st.st_mode & 07777) != 0) RaiseErrno(errno, to);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.Descriptor(), times);
    if (unnamed) {
      const std::string source = "/proc/self/fd/" + std::to_string(out.Descriptor());
      // linkat never replaces: an existing target makes it fail.
      if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        RaiseErrno(errno, to);
      }
      out.Close();
    } else {
      out.Close();
      if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        RaiseErrno(errno, to);
      }
    }
  } catch (...) {
    out = File();
    if (!temp.empty()) ::unlink(temp.c_str());
    throw;
  }
  if (::unlink(from.c_str()) != 0) RaiseErrno(errno, from);
}

bool PosixFileSystem::SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void PosixFileSystem::MoveToTrash(const std::string& path) {
  FreedesktopTrash().MoveToTrash(path);
}

void PosixFileSystem::CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) RaiseErrno(errno, path);
}

std::string PosixFileSystem::CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) RaiseErrno(errno);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

void PosixFileSystem::SetCurrentDirectory(const std::string& path) {
  if (::chdir(path.c_str()) != 0) RaiseErrno(errno, path);
}

FileInfo PosixFileSystem::Stat(const std::string& path) {
  FileInfo info;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) info.unreachable = errno;
    return info;
  }
  info.exists = true;
  info.is_symlink = S_ISLNK(st.st_mode);
  if (info.is_symlink && ::stat(path.c_str(), &st) != 0) return info;
  info.is_directory = S_ISDIR(st.st_mode);
  info.is_regular = S_ISREG(st.st_mode);
  info.read_only = (st.st_mode & kAnyWrite) == 0;
  info.size = st.st_size;
  info.last_write = st.st_mtime;
  return info;
}

void PosixFileSystem::SetLastWriteTime(const std::string& path, std::time_t when) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) RaiseErrno(errno, path);
}

void PosixFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) RaiseErrno(errno, path);
  const mode_t mode = read_only
                          ? (st.st_mode & ~kAnyWrite)
                          : (st.st_mode | (static_cast<mode_t>(DefaultFileMode()) & kAnyWrite));
  if (::chmod(path.c_str(), mode & 07777) != 0) RaiseErrno(errno, path);
}

std::vector<std::string> PosixFileSystem::ListFiles(const std::string& folder) {
  return ListEntries(folder, [](const struct stat& st) { return !S_ISDIR(st.st_mode); });
}

std::vector<std::string> PosixFileSystem::ListDirectories(const std::string& folder) {
  return ListEntries(folder, [](const struct stat& st) { return S_ISDIR(st.st_mode); });
}

}  // namespace talvor

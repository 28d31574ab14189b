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
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/path.h"
#include "platform/trash.h"

namespace talvor {

namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

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
void RequireRegular(const UniqueFd& fd, bool for_writing, const std::string& path) {
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) RaiseErrno(errno, path);
  if (!S_ISREG(st.st_mode)) {
    throw Failure(FailureKind::kRefused, path + " is " + KindOfNonFile(st.st_mode) +
                                             ", not a file: only files can be read and written");
  }
  if (for_writing && (st.st_mode & kAnyWrite) == 0) RaiseIoError(io_code::kAccessDenied, path);
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) RaiseErrno(errno, path);
}

// Opens a regular file. Opens without waiting: a named pipe or a device
// would otherwise hold the program until another one opens its other end.
// The descriptor waits again once it is known to be a regular file
// (RequireRegular, asked to refuse a file nobody may write when
// `for_writing`).
File OpenRegular(const std::string& path, int flags, bool for_writing, mode_t mode = 0) {
  if (path.empty()) RaiseIoError(io_code::kFileNotFound);
  for (;;) {
    UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode));
    if (fd.valid()) {
      RequireRegular(fd, for_writing, path);
      return File(std::move(fd), path);
    }
    if (errno != EINTR) RaiseErrno(errno, path);
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

// The folder of `beside` ("." when it names none).
}  // namespace

unsigned DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666U & ~static_cast<unsigned>(mask);
}

File PosixFileSystem::OpenExisting(const std::string& path, bool follow_links) {
  return OpenRegular(path, O_RDWR | (follow_links ? 0 : O_NOFOLLOW), true);
}

File PosixFileSystem::OpenForReading(const std::string& path) {
  return OpenRegular(path, O_RDONLY, false);
}

File PosixFileSystem::Create(const std::string& path) {
  // A read-only file is not emptied, as on a system with a read-only attribute.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & kAnyWrite) == 0) {
    RaiseIoError(io_code::kAccessDenied, path);
  }
  return OpenRegular(path, O_RDWR | O_CREAT | O_TRUNC, false, 0666);
}

File PosixFileSystem::CreateTemporaryBeside(const std::string& beside, std::string* temp_path) {
  const Folder folder = Folder::Open(FolderOfFile(beside));
  std::string name;
  File file = CreateTemporaryIn(folder.fd(), folder.path(), ExtractFileName(beside), &name);
  *temp_path = folder.PathOf(name);
  return file;
}

File PosixFileSystem::CreateUnnamedBeside(const std::string& beside) {
  const Folder folder = Folder::Open(FolderOfFile(beside));
  return CreateUnnamedIn(folder.fd(), folder.path(), beside);
}

std::string PosixFileSystem::CreateTemporaryFolderBeside(const std::string& beside) {
  const std::string pattern = JoinPath(FolderOfFile(beside), WorkFolderPattern());
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) RaiseErrno(errno, FolderOfFile(beside));
  return std::string(buffer.begin(), buffer.end() - 1);
}

void PosixFileSystem::RemoveAbandonedTemporaries(const std::string& beside) {
  if (!IsAbsolutePath(beside)) return;
  const UniqueFd folder(::open(FolderOfFile(beside).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) RemoveAbandonedTemporariesIn(folder.get());
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
  if (RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to)) return;
  if (errno == EXDEV) {
    MoveAcrossDevices(from, to);
    return;
  }
  RaiseErrno(errno, errno == EEXIST ? to : from);
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
      if (!NameUnnamedAt(out, AT_FDCWD, to, FolderOfFile(to))) RaiseErrno(EEXIST, to);
      out.Close();
    } else {
      out.Close();
      if (!RenameNoReplaceAt(AT_FDCWD, temp, AT_FDCWD, to)) RaiseErrno(errno, to);
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

std::string ProcessWorkingFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) RaiseErrno(errno);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string PosixFileSystem::EnterableFolder(const std::string& folder) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr),
                                                         &std::free);
  if (real == nullptr) RaiseErrno(errno, folder);
  struct stat st {};
  if (::stat(real.get(), &st) != 0) RaiseErrno(errno, folder);
  if (!S_ISDIR(st.st_mode)) RaiseErrno(ENOTDIR, folder);
  if (::access(real.get(), X_OK) != 0) RaiseErrno(errno, folder);
  return real.get();
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
  SetLastWriteTimeAt(AT_FDCWD, path, when, true, path);
}

void PosixFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  SetReadOnlyAt(AT_FDCWD, path, read_only, true, path);
}

std::vector<std::string> PosixFileSystem::ListFiles(const std::string& folder) {
  return ListEntries(folder, [](const struct stat& st) { return !S_ISDIR(st.st_mode); });
}

std::vector<std::string> PosixFileSystem::ListDirectories(const std::string& folder) {
  return ListEntries(folder, [](const struct stat& st) { return S_ISDIR(st.st_mode); });
}

}  // namespace talvor

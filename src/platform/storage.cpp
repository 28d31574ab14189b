#include "platform/storage.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/unique_fd.h"

namespace talvor {

namespace {

// File systems by the magic number statfs(2) gives.
constexpr std::pair<unsigned long, const char*> kMagicNumbers[] = {
    {0x794C7630, "overlay"}, {0x01021994, "tmpfs"}, {0x9123683E, "btrfs"},
    {0xF2F52010, "f2fs"},    {0x3434, "nilfs2"},    {0x6969, "nfs"},
    {0xFF534D42, "cifs"},    {0x65735546, "fuse"},  {0x858458F6, "ramfs"},
};

// The line of /proc/self/mountinfo for device `dev` (see proc(5)): the file
// system type and its super-block options.
void ReadMountTable(dev_t dev, StorageFacts& facts) {
  std::ifstream table("/proc/self/mountinfo");
  const std::string wanted = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string id, parent, device;
    fields >> id >> parent >> device;
    if (device != wanted) continue;
    const std::size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    std::istringstream rest(line.substr(dash + 3));
    std::string source;
    rest >> facts.fs_type >> source >> facts.mount_options;
    return;
  }
}

// Whether the block device behind `dev` says it is not rotational; a
// partition answers through the disk it belongs to.
bool ReportsFlash(dev_t dev) {
  const std::string base =
      "/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
  for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
    std::ifstream flag(base + queue);
    int rotational = 1;
    if (flag >> rotational) return rotational == 0;
  }
  return false;
}

// Whether any extent of the open file is shared (FIEMAP, see the kernel's
// Documentation/filesystems/fiemap.rst).
bool HasSharedExtents(int fd) {
  constexpr unsigned kBatch = 64;
  std::vector<std::uint8_t> buffer(sizeof(fiemap) + kBatch * sizeof(fiemap_extent));
  std::uint64_t start = 0;
  for (;;) {
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    *map = fiemap{};
    map->fm_start = start;
    map->fm_length = FIEMAP_MAX_OFFSET - start;
    map->fm_extent_count = kBatch;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) return false;
    for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
      const fiemap_extent& extent = map->fm_extents[i];
      if ((extent.fe_flags & FIEMAP_EXTENT_SHARED) != 0) return true;
      if ((extent.fe_flags & FIEMAP_EXTENT_LAST) != 0) return false;
    }
    const fiemap_extent& last = map->fm_extents[map->fm_mapped_extents - 1];
    if (last.fe_logical + last.fe_length <= start) return false;  // no progress
    start = last.fe_logical + last.fe_length;
  }
}

}  // namespace

StorageFacts ProbeStorage(const std::string& path) {
  StorageFacts facts;
  const UniqueFd file(
      ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return facts;
  }
  facts.links = st.st_nlink;
  ReadMountTable(st.st_dev, facts);
  // An overlay may report the device of the layer a file comes from; the
  // file system's magic number (statfs(2)) tells it, and stands in where
  // the mount table did not answer.
  struct statfs fs {};
  if (::fstatfs(file.get(), &fs) == 0) {
    for (const auto& [magic, name] : kMagicNumbers) {
      if (static_cast<unsigned long>(fs.f_type) != magic) continue;
      if (facts.fs_type.empty() || std::string_view(name) == "overlay") facts.fs_type = name;
    }
  }
  facts.flash = ReportsFlash(st.st_dev);
  facts.shared_extents = HasSharedExtents(file.get());
  return facts;
}

StorageFacts PosixFileSystem::Storage(const std::string& path) {
  return ProbeStorage(path);
}

FreeSpace FreeSpaceBeside(const File& file) {
  struct statvfs vfs {};
  if (::fstatvfs(file.Descriptor(), &vfs) != 0) RaiseErrno(errno, file.path());
  const std::uint64_t blocks = ::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail;
  return {blocks * vfs.f_frsize, vfs.f_bsize == 0 ? 1 : vfs.f_bsize};
}

std::string WhyNameCannotBeRemoved(const std::string& path) {
  std::string folder = ExtractFileDir(path);
  if (folder.empty()) folder = ".";
  // The folder's permissions decide, not the file's (the administrator may
  // change any folder that is not marked otherwise).
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    if (errno == EROFS) return "the folder " + folder + " is on a read-only file system";
    if (errno == EACCES || errno == EPERM) return "you may not change the folder " + folder;
    return std::strerror(errno);
  }
  struct stat dir {};
  struct stat file {};
  if (::stat(folder.c_str(), &dir) == 0 && ::lstat(path.c_str(), &file) == 0 &&
      (dir.st_mode & S_ISVTX) != 0 && ::geteuid() != 0 && file.st_uid != ::geteuid() &&
      dir.st_uid != ::geteuid()) {
    return "in the folder " + folder + " only a file's owner may remove it";
  }
  // Marks that hold even against the administrator (chattr(1)).
  const auto marked = [](const std::string& name) {
    const UniqueFd held(
        ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    int flags = 0;
    if (!held.valid() || ::ioctl(held.get(), FS_IOC_GETFLAGS, &flags) != 0) return 0;
    return flags & (FS_IMMUTABLE_FL | FS_APPEND_FL);
  };
  if (const int flags = marked(folder); flags != 0) {
    return "the folder " + folder + " is marked " +
           ((flags & FS_IMMUTABLE_FL) != 0 ? "immutable" : "append-only");
  }
  if (const int flags = marked(path); flags != 0) {
    return "it is marked " +
           std::string((flags & FS_IMMUTABLE_FL) != 0 ? "immutable" : "append-only");
  }
  return {};
}

}  // namespace talvor

// What is known about where a file's bytes live: the facts that decide
// whether overwriting the file in place reaches its old data.
#pragma once

#include <cstdint>
#include <string>

namespace talvor {

struct StorageFacts {
  std::string fs_type;          // as the mount table names it: "ext4", "btrfs", "fuse.sshfs"
  std::string mount_options;    // the file system's own options: "rw,data=journal"
  bool flash = false;           // the block device reports itself as not rotational
  bool shared_extents = false;  // parts of the file are shared with another (reflinks)
  std::uint64_t links = 1;      // names of the file (hard links)
};

// Finds the facts for the regular file `path`; what cannot be found stays
// at its default. Never blocks and never changes the file.
[[nodiscard]] StorageFacts ProbeStorage(const std::string& path);

class File;

struct FreeSpace {
  std::uint64_t bytes = 0;  // what this process may still write
  std::uint64_t block = 1;  // the unit the file system hands out
};

// The free space on the file system that holds the open file (the blocks
// kept for the administrator count only for the administrator).
[[nodiscard]] FreeSpace FreeSpaceBeside(const File& file);

// Why this process could not remove the name `path` from its folder, in
// words ("you may not change the folder /srv/shared"); empty when it can, as
// far as can be told without removing it.
[[nodiscard]] std::string WhyNameCannotBeRemoved(const std::string& path);

}  // namespace talvor

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

}  // namespace talvor

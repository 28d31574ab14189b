#include "protect/overwrite_warning.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace talvor {

namespace {

struct KindOfStorage {
  std::string_view fs_type;
  std::string_view reason;
};

constexpr std::string_view kOnNfs =
    "the file lies on a network file system (NFS), whose server decides where writes go";
constexpr std::string_view kOnSmb =
    "the file lies on a network file system (SMB), whose server decides where writes go";

// File systems that put new writes somewhere else than the old data, or
// keep the data where an overwrite does not reach.
constexpr std::array kLimitedStorage{
    KindOfStorage{"btrfs", "btrfs writes changes to new places (copy-on-write)"},
    KindOfStorage{"zfs", "ZFS writes changes to new places (copy-on-write)"},
    KindOfStorage{"bcachefs", "bcachefs writes changes to new places (copy-on-write)"},
    KindOfStorage{"f2fs", "F2FS writes changes to new places (log-structured)"},
    KindOfStorage{"nilfs2", "NILFS writes changes to new places (log-structured)"},
    KindOfStorage{"tmpfs", "the file lies in memory (tmpfs), parts of which may be in swap"},
    KindOfStorage{"ramfs", "the file lies in memory (ramfs)"},
    KindOfStorage{"overlay", "the file lies on an overlay, whose lower layer keeps the original"},
    KindOfStorage{"nfs", kOnNfs},
    KindOfStorage{"nfs4", kOnNfs},
    KindOfStorage{"cifs", kOnSmb},
    KindOfStorage{"smb3", kOnSmb},
    KindOfStorage{"9p",
                  "the file lies on a network file system (9P), whose server decides "
                  "where writes go"},
    KindOfStorage{"ceph",
                  "the file lies on a network file system (Ceph), whose servers decide "
                  "where writes go"},
};

bool HasOption(const std::string& options, std::string_view option) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = options.find(',', start);
    if (std::string_view(options).substr(start, comma - start) == option) return true;
    if (comma == std::string::npos) return false;
    start = comma + 1;
  }
}

std::string Join(const std::vector<std::string>& reasons) {
  std::string text;
  for (std::size_t i = 0; i < reasons.size(); ++i) {
    if (i > 0) text += i + 1 == reasons.size() ? "; and " : "; ";
    text += reasons[i];
  }
  return text;
}

}  // namespace

std::string OverwriteWarning(const StorageFacts& facts) {
  std::vector<std::string> reasons;
  const auto kind =
      std::find_if(kLimitedStorage.begin(), kLimitedStorage.end(),
                   [&](const KindOfStorage& k) { return k.fs_type == facts.fs_type; });
  if (kind != kLimitedStorage.end()) {
    reasons.emplace_back(kind->reason);
  } else if (facts.fs_type.starts_with("fuse")) {
    reasons.push_back("the file lies on a FUSE file system (" + facts.fs_type +
                      "), which decides itself where writes go");
  }
  if ((facts.fs_type == "ext3" || facts.fs_type == "ext4") &&
      HasOption(facts.mount_options, "data=journal")) {
    reasons.push_back(facts.fs_type +
                      " is mounted with data=journal, so the old content also passes through "
                      "its journal");
  }
  if (facts.flash) {
    reasons.push_back("the device reports itself as flash, which writes changes to new cells");
  }
  if (facts.shared_extents) {
    reasons.push_back(
        "parts of the file are shared with another file (a reflink copy), "
        "which keeps them");
  }
  if (facts.links > 1) {
    const std::uint64_t others = facts.links - 1;
    reasons.push_back("the file has " + std::to_string(others) +
                      (others == 1 ? " other name (a hard link)" : " other names (hard links)") +
                      ", which will go on showing the overwritten content");
  }
  if (reasons.empty()) return {};
  return "Overwriting may not do all it should here: " + Join(reasons) + ".";
}

}  // namespace talvor

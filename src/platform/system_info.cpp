#include "platform/system_info.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace talvor {

namespace {

// Undoes the octal escapes of the mount table ("\040" for a blank).
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

bool IsStorage(const std::string& device, const std::string& type) {
  static const std::set<std::string> kNetworkOrVirtual = {
      "nfs", "nfs4", "cifs", "smb3", "9p", "virtiofs", "fuseblk", "zfs", "btrfs", "exfat", "vfat"};
  return device.rfind("/dev/", 0) == 0 || kNetworkOrVirtual.count(type) != 0;
}

}  // namespace

std::vector<Volume> VolumesFromMountTable(const std::string& table) {
  std::vector<Volume> volumes{{"/", "/"}};
  std::istringstream lines(table);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mount_point, type;
    if (!(fields >> device >> mount_point >> type)) continue;
    mount_point = UnescapeMountField(mount_point);
    if (mount_point == "/" || !IsStorage(device, type)) continue;
    // System folders are reached through the root volume.
    if (mount_point.rfind("/boot", 0) == 0 || mount_point.rfind("/proc", 0) == 0 ||
        mount_point.rfind("/sys", 0) == 0 || mount_point.rfind("/dev", 0) == 0 ||
        mount_point.rfind("/run", 0) == 0 || mount_point.rfind("/snap", 0) == 0 ||
        mount_point.rfind("/etc", 0) == 0 || mount_point.rfind("/usr", 0) == 0) {
      continue;
    }
    const bool seen = std::any_of(volumes.begin(), volumes.end(),
                                  [&](const Volume& v) { return v.root == mount_point; });
    if (!seen) volumes.push_back({mount_point, mount_point});
  }
  return volumes;
}

std::string PosixSystemInfo::ComputerName(std::size_t room) {
  std::string name(256, '\0');
  if (::gethostname(name.data(), name.size()) != 0) return {};
  name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
  if (name.size() > room) name.resize(room);
  return name;
}

std::int64_t PosixSystemInfo::DiskSize(const std::string& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
}

std::int64_t PosixSystemInfo::DiskFree(const std::string& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

std::vector<Volume> PosixSystemInfo::Volumes() {
  std::ifstream in("/proc/self/mounts");
  std::stringstream table;
  table << in.rdbuf();
  return VolumesFromMountTable(table.str());
}

}  // namespace talvor

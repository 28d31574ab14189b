// Facts about the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvor {

struct Volume {
  std::string root;   // where it is mounted ("/", "/media/usb")
  std::string label;  // what the drive selector shows
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // The computer's network name, at most `room` characters; empty when it
  // cannot be obtained.
  [[nodiscard]] virtual std::string ComputerName(std::size_t room) = 0;
  // Total size and free bytes available to the user of the volume holding
  // `path`; -1 when they cannot be obtained.
  [[nodiscard]] virtual std::int64_t DiskSize(const std::string& path) = 0;
  [[nodiscard]] virtual std::int64_t DiskFree(const std::string& path) = 0;
  // The volumes a user can browse, the root volume first.
  [[nodiscard]] virtual std::vector<Volume> Volumes() = 0;
};

class PosixSystemInfo final : public SystemInfo {
 public:
  std::string ComputerName(std::size_t room) override;
  std::int64_t DiskSize(const std::string& path) override;
  std::int64_t DiskFree(const std::string& path) override;
  std::vector<Volume> Volumes() override;
};

// Parses the mount table (/proc/self/mounts format) into the volumes a user
// can browse: "/" first, then real storage in the order of the table.
[[nodiscard]] std::vector<Volume> VolumesFromMountTable(const std::string& table);

}  // namespace talvor

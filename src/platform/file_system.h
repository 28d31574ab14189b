// The file system as the commands see it. Paths are UTF-8 text with "/" as
// the separator; relative paths are taken against the current folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/storage.h"

namespace talvor {

struct FileInfo {
  bool exists = false;
  bool is_directory = false;
  bool is_regular = false;
  bool is_symlink = false;  // the name itself is a symbolic link
  bool read_only = false;   // nobody may write it (the read-only attribute)
  std::int64_t size = 0;
  std::time_t last_write = 0;
  // Why the name could not be looked at (an errno value such as EACCES for a
  // folder on the way that may not be searched); 0 when it could, and when
  // nothing is there.
  int unreachable = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing regular file for reading and writing, other programs
  // allowed to read and write it too. A read-only file is refused with "File
  // access denied", also for the administrator. With follow_links false, a
  // symbolic link is refused with "I/O error 1921" (the name cannot be
  // resolved to a file of its own).
  [[nodiscard]] virtual File OpenExisting(const std::string& path, bool follow_links = true) = 0;
  // Opens an existing regular file for reading only.
  [[nodiscard]] virtual File OpenForReading(const std::string& path) = 0;
  // Creates a file, or empties an existing one.
  [[nodiscard]] virtual File Create(const std::string& path) = 0;
  // Creates a new, empty file with a unique name in the folder of `beside`;
  // its name is stored in *temp_path. The name tells which process made it.
  [[nodiscard]] virtual File CreateTemporaryBeside(const std::string& beside,
                                                   std::string* temp_path) = 0;

  // Creates a file without a name in the folder of `beside`: it vanishes
  // with the process unless it is named. A closed File when the file system
  // cannot make one.
  [[nodiscard]] virtual File CreateUnnamedBeside(const std::string& beside) = 0;
  // Creates a new, empty folder with a unique name in the folder of
  // `beside`, readable by the owner only; returns its path. The name tells
  // which process made it.
  [[nodiscard]] virtual std::string CreateTemporaryFolderBeside(const std::string& beside) = 0;
  // Removes the temporary files and folders in the folder of `beside` that
  // processes of this user made and could not remove (they were killed),
  // with the files in the folders. A folder whose process still runs, or
  // that holds anything but files, stays. Best effort: never raises.
  virtual void RemoveAbandonedTemporaries(const std::string& beside) = 0;
  // Removes an empty folder.
  virtual void RemoveDirectory(const std::string& path) = 0;

  virtual void Delete(const std::string& path) = 0;
  // Renames, also to another file system (a file is then copied and the
  // original removed); fails with "I/O error 183" when `to` exists. Where
  // the file system can neither rename without replacing nor link (FAT), the
  // name is looked at just before.
  virtual void Move(const std::string& from, const std::string& to) = 0;
  // Moves a file to the desktop's trash, from where the user can restore it
  // (platform/trash.h); a kTrashUnavailable Failure when no trash can take it.
  virtual void MoveToTrash(const std::string& path) = 0;
  virtual void CreateDirectory(const std::string& path) = 0;

  [[nodiscard]] virtual FileInfo Stat(const std::string& path) = 0;
  // The folder `folder` (an absolute path) as it is shown once entered: the
  // real path, links and ".." resolved. A folder that cannot be entered
  // (missing, no folder, no right to search it) is raised as a kIo Failure.
  [[nodiscard]] virtual std::string EnterableFolder(const std::string& folder) = 0;
  // Whether two names lead to the same file.
  [[nodiscard]] virtual bool SameFile(const std::string& a, const std::string& b) = 0;
  // Where the regular file `path` keeps its bytes (see storage.h).
  [[nodiscard]] virtual StorageFacts Storage(const std::string& path) = 0;
  virtual void SetLastWriteTime(const std::string& path, std::time_t when) = 0;
  // Takes away (or gives back) the permission to write, as the read-only
  // attribute does.
  virtual void SetReadOnly(const std::string& path, bool read_only) = 0;

  // Names (not paths) of the files / sub-folders of a folder, sorted.
  [[nodiscard]] virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  [[nodiscard]] virtual std::vector<std::string> ListDirectories(const std::string& folder) = 0;
};

// The real file system of this machine.
class PosixFileSystem final : public FileSystem {
 public:
  File OpenExisting(const std::string& path, bool follow_links = true) override;
  File OpenForReading(const std::string& path) override;
  File Create(const std::string& path) override;
  File CreateTemporaryBeside(const std::string& beside, std::string* temp_path) override;
  File CreateUnnamedBeside(const std::string& beside) override;
  std::string CreateTemporaryFolderBeside(const std::string& beside) override;
  void RemoveAbandonedTemporaries(const std::string& beside) override;
  void RemoveDirectory(const std::string& path) override;
  void Delete(const std::string& path) override;
  void Move(const std::string& from, const std::string& to) override;
  void MoveToTrash(const std::string& path) override;
  void CreateDirectory(const std::string& path) override;
  FileInfo Stat(const std::string& path) override;
  std::string EnterableFolder(const std::string& folder) override;
  bool SameFile(const std::string& a, const std::string& b) override;
  StorageFacts Storage(const std::string& path) override;
  void SetLastWriteTime(const std::string& path, std::time_t when) override;
  void SetReadOnly(const std::string& path, bool read_only) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;
  std::vector<std::string> ListDirectories(const std::string& folder) override;

 private:
  void MoveAcrossDevices(const std::string& from, const std::string& to);
};

// Creates the folders of the chain that leads to `folder` (an absolute
// path) that do not exist yet, the folder itself included; the first `keep`
// characters name a folder that is taken to exist.
void CreateFolderChain(FileSystem& fs, const std::string& folder, std::size_t keep = 1);

// The folder the process was started in, which is the user's folder: read
// once, at the start, by the programs' main routines; nothing else depends
// on it.
[[nodiscard]] std::string ProcessWorkingFolder();

// The file mode new files get: 0666 less the process's umask.
[[nodiscard]] unsigned DefaultFileMode();

}  // namespace talvor

// A result file that appears under its final name only when it is complete.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/progress.h"

namespace talvor {

// Writes to a temporary file beside the target, without a name where the
// file system allows. Commit() puts the complete file, synced to the device,
// under the target's name; a file already there goes to the desktop's trash
// (it is never deleted, and where no trash can take it nothing is replaced).
// Without Commit() the temporary file is removed, so a failure never leaves
// a partial result or changes an existing file. The first one in a folder
// removes the temporary files that killed runs of the program left there.
//
// The file replaced is put in the trash beside its name first (a hard link,
// or a synced copy where the file system has none), then the new file takes
// the name in one rename: at every moment the old file is at its name or
// whole in the trash. Everything happens relative to the folder as it was
// opened, so a folder swapped for a link meanwhile redirects nothing.
class ReplacingFile {
 public:
  // The file it replaces is noted in `job`.
  ReplacingFile(FileSystem& fs, std::string target, Job& job);
  // A result named `name` in the open folder `folder`, which must outlive it.
  ReplacingFile(const Folder& folder, std::string name, Job& job);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  [[nodiscard]] File& file() noexcept { return file_; }
  [[nodiscard]] const std::string& target() const noexcept { return target_; }

  // Syncs and closes the file and gives it the target's name; a file of that
  // name goes to the trash (noted in the job). When another
  // program changes the target meanwhile, either that is safe (it vanished:
  // the new file just takes the name) or a Failure says so, and nothing is
  // lost.
  void Commit();
  // Commit() in two halves, for many results made durable together: Park()
  // hands the written bytes to the system and gives the buffer back; once
  // the file system is synced (Folder::SyncFileSystem),
  // CommitParked() names the file as Commit() does.
  void Park();
  void CommitParked();

 private:
  // Gives the complete file the target's name.
  void Name();
  // Refuses a target that is read-only or a folder.
  void Refuse(bool exists, bool is_directory, bool read_only) const;
  // Names the new file without replacing; false when the name is taken.
  [[nodiscard]] bool NameFree();

  Job& job_;
  std::optional<Folder> own_folder_;  // the folder of a target given by path
  const Folder* folder_;
  std::string name_;
  std::string target_;
  std::string temp_name_;  // the file's temporary name in the folder
  File file_;
  bool unnamed_ = false;  // no name until Commit: nothing is left if the process dies
  bool committed_ = false;
};

// Gives the file `from` of `from_folder` the name `name` in `folder` (the same
// mount), replacing the file there as ReplacingFile::Commit does: true when
// done, false when no file has the name (any more). Where no trash can take
// the file, raises a kTrashUnavailable Failure saying that it stays and the new one is
// not kept.
[[nodiscard]] bool RenameReplacing(const Folder& from_folder, const std::string& from,
                                   const Folder& folder, const std::string& name);

// Copies `source` to `target` with its permissions and times, as a result
// that takes its name only when complete (a file of that name goes to the
// trash).
void CopyReplacing(FileSystem& fs, const std::string& source, const std::string& target, Job& job);
// Moves the file `source` to `target`; a file there is replaced as
// ReplacingFile::Commit replaces it.
void MoveReplacing(FileSystem& fs, const std::string& source, const std::string& target, Job& job);

}  // namespace talvor

// Folders held open, and names made relative to them: a folder swapped for
// a symbolic link after it was opened cannot redirect what is made in it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

#include "platform/file.h"
#include "platform/unique_fd.h"

namespace talvor {

// An open folder and the path it was reached by (for messages and for the
// trash's record of where a file was).
class Folder {
 public:
  Folder() = default;
  // Opens the folder at `path` (a whole path); a link on the way is followed
  // (a folder the user names is the user's choice). Raises a kIo Failure naming
  // `shown`, or the path when that is empty.
  [[nodiscard]] static Folder Open(const std::string& path, const std::string& shown = {});

  enum class Step {
    kOpened,     // `out` holds the sub-folder
    kLink,       // the name is a symbolic link: not followed
    kNotFolder,  // the name is something else than a folder
  };
  // Opens the sub-folder `name` (one name, no separator) without following a
  // symbolic link; with `make`, a missing one is made first (`*made` tells).
  // Raises a kIo Failure for other failures.
  [[nodiscard]] Step OpenChild(const std::string& name, bool make, Folder& out,
                               bool* made = nullptr) const;

  // Another descriptor of the same folder. Raises a kIo Failure.
  [[nodiscard]] Folder Duplicate() const;

  [[nodiscard]] int fd() const noexcept { return fd_.get(); }
  [[nodiscard]] bool IsOpen() const noexcept { return fd_.valid(); }
  [[nodiscard]] const std::string& path() const noexcept { return path_; }
  // The path of `name` in this folder.
  [[nodiscard]] std::string PathOf(const std::string& name) const;
  // Waits until everything written to the file system that holds the
  // folder, names included, has reached its device: one call for many
  // files (syncfs).
  void SyncFileSystem() const;

 private:
  Folder(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  UniqueFd fd_;
  std::string path_;
};

// The folder the file at `path` lies in. Raises a kIo Failure (invalid file name)
// for a relative path: files are named by whole paths.
[[nodiscard]] std::string FolderOfFile(const std::string& path);

// The mount that `name` in `dir` lies on (the name itself, unless `follow`,
// when a link); 0 when it cannot be told. Two names can be renamed into each other
// only on the same mount: one file system mounted twice (a bind mount) is not.
[[nodiscard]] std::uint64_t MountOf(int dir, const std::string& name, bool follow = false);

// Renames `from` in `from_dir` to `to` in `to_dir` unless that name is
// taken: false with errno set (EEXIST when it is) otherwise. Where the file
// system cannot rename without replacing, a file is linked and unlinked, or
// (without hard links either) the name is looked at first.
[[nodiscard]] bool RenameNoReplaceAt(int from_dir, const std::string& from, int to_dir,
                                     const std::string& to);

// Files in folders held open (dir) or named by paths (dir AT_FDCWD); `shown`
// is the folder's path for messages.

// Creates a new, empty file ".talvor-<pid>-<name>.XXXXXX" in `dir`; its name
// goes to *temp_name.
[[nodiscard]] File CreateTemporaryIn(int dir, const std::string& shown, const std::string& name,
                                     std::string* temp_name);
// Creates a file without a name in `dir` (`path` in messages about it); a
// closed File where the file system has none.
[[nodiscard]] File CreateUnnamedIn(int dir, const std::string& shown, const std::string& path);
// Gives an unnamed file the name `name` in `dir` unless that is taken
// (false then); raises for other failures.
[[nodiscard]] bool NameUnnamedAt(File& file, int dir, const std::string& name,
                                 const std::string& shown);
// Gives an unnamed file a new temporary name beside `name` in `dir`; returns it.
[[nodiscard]] std::string NameUnnamedBeside(File& file, int dir, const std::string& name,
                                            const std::string& shown);
// Removes the temporary files and folders of ended processes of this user in
// `dir` (see FileSystem::RemoveAbandonedTemporaries). Never raises.
void RemoveAbandonedTemporariesIn(int dir);
// The name mkdtemp makes a temporary work folder of this process from:
// ".talvor-work-<pid>-XXXXXX".
[[nodiscard]] std::string WorkFolderPattern();

// Sets the modification time / takes away or gives back the permission to
// write of `name` in `dir`; a symbolic link is followed only with `follow`.
void SetLastWriteTimeAt(int dir, const std::string& name, std::time_t when, bool follow,
                        const std::string& shown);
void SetReadOnlyAt(int dir, const std::string& name, bool read_only, bool follow,
                   const std::string& shown);

// `name` cut to at most `max` bytes without splitting a UTF-8 character.
[[nodiscard]] std::string CutName(const std::string& name, std::size_t max);

}  // namespace talvor

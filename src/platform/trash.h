// The desktop's trash, without a toolkit: both programs move a file there
// before they replace it, so that nothing is ever deleted unasked.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/failure.h"
#include "platform/folder.h"

namespace talvor {

// The desktop's trash: a file moved there can be restored from the file manager.
class Trash {
 public:
  virtual ~Trash() = default;
  // Moves the file (or symbolic link, not followed) at `path` to the trash of
  // its volume, recording its original path and the time for restoring.
  // Raises a kTrashUnavailable Failure when no trash can take it (the file is then where
  // it was, untouched), and a kIo Failure for other failures (the file missing, ...).
  virtual void MoveToTrash(const std::string& path) = 0;
};

// The trash of this user's desktop, found as the freedesktop.org Trash
// standard (version 1.0) lays down: $XDG_DATA_HOME/Trash for files on the
// mount of that folder (a rename must reach it: the same file system mounted
// elsewhere, a bind mount, does not count); for the others $topdir/.Trash/$uid
// (when $topdir/.Trash is a sticky folder) or $topdir/.Trash-$uid, $topdir
// being the top folder of the file's mount. Folders that are missing are
// made, readable by the user only. A file is never copied to another file
// system.
//
// A name already taken in the trash gets a number before its extension:
// "a.txt", "a.2.txt", "a.3.txt", ...; a name without one (or with a leading
// dot only, ".profile") gets it at the end: "notes.2", ".profile.2". A name
// too long for its .trashinfo beside it is cut (on a character boundary,
// its extension kept); Path= holds it whole.
//
// The environment ($XDG_DATA_HOME, $HOME) is read on every move.
class FreedesktopTrash final : public Trash {
 public:
  void MoveToTrash(const std::string& path) override;
};

// A place in the trash for the file `name` of an open folder, which a new
// file is about to replace. Put() writes the entry's .trashinfo and puts the
// file in: moved there, or (kBeside) as a hard link or, on file systems
// without them, a synced copy, while the file keeps its name until the new
// one takes it. Unless Keep() is called, the link or copy and the
// .trashinfo are removed again when the place goes; a moved file is kept.
class TrashPlace {
 public:
  enum class How { kMove, kBeside };
  // Finds the trash; raises a kTrashUnavailable Failure when none can take the file.
  TrashPlace(const Folder& folder, const std::string& name);
  TrashPlace(const TrashPlace&) = delete;
  TrashPlace& operator=(const TrashPlace&) = delete;
  ~TrashPlace();

  // Puts the file in; *put receives what was put there, as it was read (a
  // copy's source). False when no file has the name (any more). Raises
  // a kTrashUnavailable Failure or a kIo Failure.
  [[nodiscard]] bool Put(How how, struct stat* put);
  // Whether Put made a copy (the file system has no hard links).
  [[nodiscard]] bool copied() const noexcept { return copied_; }
  // The file's path, as the trash records it.
  [[nodiscard]] const std::string& file() const noexcept { return file_; }
  void Keep() noexcept { kept_ = true; }

 private:
  struct Bin;
  // Puts the file under `entry` in files/; false with errno set.
  [[nodiscard]] bool PutAs(How how, const std::string& entry, struct stat* put);

  const Folder& folder_;
  std::string name_;
  std::string file_;
  std::unique_ptr<Bin> bin_;
  std::string entry_;  // the name taken in files/ and info/ (with .trashinfo)
  How how_ = How::kMove;
  bool copied_ = false;
  bool kept_ = false;
};

}  // namespace talvor

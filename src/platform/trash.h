// The desktop's trash, without a toolkit: both programs move a file there
// before they replace it, so that nothing is ever deleted unasked.
#pragma once

#include <string>

#include "platform/failure.h"

namespace talvor {

// The desktop's trash: a file moved there can be restored from the file manager.
class Trash {
 public:
  virtual ~Trash() = default;
  // Moves the file (or symbolic link, not followed) at `path` to the trash of
  // its volume, recording its original path and the time for restoring.
  // Raises TrashUnavailable when no trash can take it (the file is then where
  // it was, untouched), and IoError for other failures (the file missing, ...).
  virtual void MoveToTrash(const std::string& path) = 0;
};

// No trash can take the file: the message names the file and why, in words
// ("There is no trash on the file system of /media/usb/a.txt, so it cannot be
// kept there").
class TrashUnavailable : public Failure {
 public:
  using Failure::Failure;
};

// The trash of this user's desktop, found as the freedesktop.org Trash
// standard (version 1.0) lays down: $XDG_DATA_HOME/Trash for files on the file system
// of that folder; for the others $topdir/.Trash/$uid (when $topdir/.Trash is
// a sticky folder) or $topdir/.Trash-$uid on the file system's top folder.
// Folders that are missing are made, readable by the user only. A file is
// never copied to another file system.
//
// A name already taken in the trash gets a number before its extension:
// "a.txt", "a.2.txt", "a.3.txt", ...; a name without one (or with a leading
// dot only, ".profile") gets it at the end: "notes.2", ".profile.2".
//
// The environment ($XDG_DATA_HOME, $HOME) is read on every move.
class FreedesktopTrash final : public Trash {
 public:
  void MoveToTrash(const std::string& path) override;
};

}  // namespace talvor

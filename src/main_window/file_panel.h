// The folder list of the file panel: the chain of folders from the volume's
// root down to the shown folder, then the shown folder's sub-folders.
#pragma once

#include <string>
#include <vector>

#include "platform/system_info.h"

namespace talvor {

struct FolderItem {
  std::string label;   // the folder's name (the volume's root for the first)
  std::string path;    // full path
  int depth = 0;       // indentation level
  bool shown = false;  // the folder whose files the file list shows
};

// The volume holding `folder`: the one with the longest root that contains it.
[[nodiscard]] const Volume* VolumeOf(const std::vector<Volume>& volumes, const std::string& folder);

// The folder list for `folder` (an absolute path) on a volume rooted at
// `root`, with `subfolders` the names of the folder's own sub-folders.
[[nodiscard]] std::vector<FolderItem> FolderList(const std::string& root, const std::string& folder,
                                                 const std::vector<std::string>& subfolders);

}  // namespace talvor

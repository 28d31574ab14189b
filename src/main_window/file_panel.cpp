#include "main_window/file_panel.h"

#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

namespace {

bool Contains(const std::string& root, const std::string& folder) {
  if (root == "/") return !folder.empty() && folder.front() == '/';
  return folder == root || folder.rfind(IncludeTrailingSeparator(root), 0) == 0;
}

}  // namespace

const Volume* VolumeOf(const std::vector<Volume>& volumes, const std::string& folder) {
  const Volume* best = nullptr;
  for (const Volume& v : volumes) {
    if (Contains(v.root, folder) && (best == nullptr || v.root.size() > best->root.size()))
      best = &v;
  }
  return best;
}

std::vector<FolderItem> FolderList(const std::string& root, const std::string& folder,
                                   const std::vector<std::string>& subfolders) {
  std::vector<FolderItem> items;
  items.push_back({root, root, 0, folder == root});
  std::string path = root;
  int depth = 0;
  if (folder != root && Contains(root, folder)) {
    std::string rest = folder.substr(root == "/" ? 1 : root.size() + 1);
    while (!rest.empty()) {
      const std::size_t slash = rest.find('/');
      const std::string step = rest.substr(0, slash);
      rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
      if (step.empty()) continue;
      path = JoinPath(path, step);
      items.push_back({step, path, ++depth, false});
    }
    items.back().shown = true;
  }
  for (const std::string& name : subfolders)
    items.push_back({name, JoinPath(folder, name), depth + 1, false});
  return items;
}

}  // namespace talvor

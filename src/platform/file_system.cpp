#include "platform/file_system.h"

namespace talvor {

void CreateFolderChain(FileSystem& fs, const std::string& folder, std::size_t keep) {
  for (std::size_t at = folder.find('/', keep);; at = folder.find('/', at + 1)) {
    const std::string step = at == std::string::npos ? folder : folder.substr(0, at);
    if (step.size() >= keep && !step.empty() && !fs.Stat(step).exists) fs.CreateDirectory(step);
    if (at == std::string::npos) break;
  }
}

}  // namespace talvor

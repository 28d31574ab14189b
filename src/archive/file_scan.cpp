#include "archive/file_scan.h"

#include <cctype>

#include "platform/path.h"

namespace talvor {

namespace {

constexpr int kMaxDepth = 64;

char Fold(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool Match(const char* name, const char* mask) {
  // Iterative wildcard match with one backtracking point.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*mask == '*') {
      star = mask++;
      resume = name;
    } else if (*mask == '?' || (*mask != '\0' && Fold(*mask) == Fold(*name))) {
      ++mask;
      ++name;
    } else if (star != nullptr) {
      mask = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

}  // namespace

std::uint8_t DosAttributes(const std::string& name, const FileInfo& info) {
  std::uint8_t attrs = 0x20;
  if (info.read_only) attrs |= 0x01;
  if (!name.empty() && name.front() == '.') attrs |= 0x02;
  if (info.is_directory) attrs = static_cast<std::uint8_t>((attrs & ~0x20) | 0x10);
  return attrs;
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*" || mask == "*") return true;
  return Match(name.c_str(), mask.c_str());
}

std::vector<ScannedFile> FileScan::Scan(const std::string& pattern) const {
  std::vector<ScannedFile> out;
  const std::string folder = ExtractFileDir(pattern);
  const std::string mask = ExtractFileName(pattern);
  if (!IsAbsolutePath(pattern) || mask.empty()) return out;
  ScanFolder(folder, "", mask, out, 0);
  return out;
}

std::vector<ScannedFile> FileScan::ScanExactly(const std::string& path) const {
  const std::string name = ExtractFileName(path);
  if (!IsAbsolutePath(path) || name.empty()) return {};
  const FileInfo info = fs_.Stat(path);
  if (!info.exists || !info.is_regular) return {};
  return {{path, name, info, DosAttributes(name, info)}};
}

void FileScan::ScanFolder(const std::string& root, const std::string& below,
                          const std::string& mask, std::vector<ScannedFile>& out, int depth) const {
  const std::string folder = below.empty() ? root : JoinPath(root, below);
  std::vector<std::string> names;
  try {
    names = fs_.ListFiles(folder);
  } catch (...) {
    return;  // a folder that cannot be read holds nothing to pack
  }
  for (const std::string& name : names) {
    if (!MatchesMask(name, mask)) continue;
    const std::string path = JoinPath(folder, name);
    const FileInfo info = fs_.Stat(path);
    if (!info.exists || !info.is_regular) continue;
    out.push_back(
        {path, below.empty() ? name : JoinPath(below, name), info, DosAttributes(name, info)});
  }
  if (!recurse_ || depth >= kMaxDepth) return;
  std::vector<std::string> subfolders;
  try {
    subfolders = fs_.ListDirectories(folder);
  } catch (...) {
    return;
  }
  for (const std::string& sub : subfolders) {
    if (fs_.Stat(JoinPath(folder, sub)).is_symlink) continue;
    ScanFolder(root, below.empty() ? sub : JoinPath(below, sub), mask, out, depth + 1);
  }
}

}  // namespace talvor

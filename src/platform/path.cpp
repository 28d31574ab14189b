#include "platform/path.h"

#include <vector>

namespace talvor {

namespace {

std::size_t NameStart(std::string_view path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? 0 : slash + 1;
}

std::size_t ExtensionStart(std::string_view path) {
  const std::size_t start = NameStart(path);
  const std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos || dot < start ? path.size() : dot;
}

}  // namespace

std::string ExtractFileName(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

std::string ExtractFileDir(std::string_view path) {
  const std::size_t start = NameStart(path);
  if (start == 0) return {};
  if (start == 1) return "/";
  return std::string(path.substr(0, start - 1));
}

std::string ExtractFileExt(std::string_view path) {
  return std::string(path.substr(ExtensionStart(path)));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  std::string result(path.substr(0, ExtensionStart(path)));
  result += ext;
  return result;
}

std::string IncludeTrailingSeparator(std::string_view folder) {
  std::string result(folder);
  if (result.empty() || result.back() != kPathSeparator) result += kPathSeparator;
  return result;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  return IncludeTrailingSeparator(folder) + std::string(name);
}

bool IsAbsolutePath(std::string_view path) noexcept {
  return !path.empty() && path.front() == kPathSeparator;
}

std::string AbsolutePath(std::string_view path, std::string_view current_folder) {
  std::string joined = IsAbsolutePath(path) ? std::string(path) : JoinPath(current_folder, path);
  std::vector<std::string_view> steps;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const std::size_t slash = rest.find(kPathSeparator);
    const std::string_view step = rest.substr(0, slash);
    if (!step.empty() && step != ".") steps.push_back(step);
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  std::string result;
  for (const std::string_view step : steps) {
    result += kPathSeparator;
    result += step;
  }
  return result.empty() ? std::string(1, kPathSeparator) : result;
}

}  // namespace talvor

// Requests to the desktop shell.
#pragma once

#include <string>
#include <vector>

namespace talvor {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a file with its default action, in `working_folder`. The outcome is
  // not reported.
  virtual void Open(const std::string& path, const std::string& working_folder) = 0;
  // Opens a web address in the desktop's browser. The outcome is not reported.
  virtual void OpenAddress(const std::string& address) = 0;
};

// The freedesktop shell: xdg-open.
class DesktopShell final : public Shell {
 public:
  void Open(const std::string& path, const std::string& working_folder) override;
  void OpenAddress(const std::string& address) override;
};

// Starts a program without waiting for it and without leaving a zombie;
// returns false when it could not be started.
bool StartDetached(const std::vector<std::string>& argv, const std::string& working_folder);

}  // namespace talvor

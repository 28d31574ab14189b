// Requests to the desktop shell.
#pragma once

#include <string>

namespace talvor {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a file with its default action, in `working_folder`. The outcome is
  // not reported.
  virtual void Open(const std::string& path, const std::string& working_folder) = 0;
  // Opens a web address in the desktop's browser. The outcome is not reported.
  virtual void OpenAddress(const std::string& address) = 0;
  // Shows the file's properties (the desktop's own sheet when there is one).
  virtual void ShowProperties(const std::string& path) = 0;
};

}  // namespace talvor

// The desktop shell through Qt: opening files and addresses, the trash and
// the properties sheet.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace talvor {

// The widgets of our own properties window carry these object names.
inline constexpr char kPropertiesWindowName[] = "PropertiesWindow";

class QtShell final : public Shell {
 public:
  QtShell() = default;
  QtShell(const QtShell&) = delete;
  QtShell& operator=(const QtShell&) = delete;
  // Closes the properties windows still open.
  ~QtShell() override;

  void Open(const std::string& path, const std::string& working_folder) override;
  void OpenAddress(const std::string& address) override;
  // The file manager's sheet when one is on the session bus, otherwise our
  // own window.
  void ShowProperties(const std::string& path) override;

 private:
  void ShowOwnProperties(const std::string& path);

  // Holds the pending file manager calls; going with the shell, it takes
  // their connections along.
  QObject calls_;
  std::vector<QPointer<QWidget>> windows_;
};

}  // namespace talvor

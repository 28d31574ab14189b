// The main window's widgets: menus, toolbar, file panel and status lines.
#pragma once

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/blocked_close.h"
#include "main_window/main_window.h"
#include "platform/dialogs.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace talvor {

class MainWindowWidget final : public QMainWindow, public MainWindowView {
  Q_OBJECT

 public:
  MainWindowWidget(MainWindow& window, Dialogs& dialogs, QWidget* parent = nullptr);
  ~MainWindowWidget() override;

  void SetCaption(const std::string& text) override;
  void SetStatusLines(const std::string& disk, const std::string& computer) override;
  void ShowVolumes(const std::vector<Volume>& volumes, const std::string& current_root) override;
  void ShowFolders(const std::vector<FolderItem>& items) override;
  void ShowFiles(const std::vector<std::string>& names) override;
  [[nodiscard]] std::optional<std::string> FocusedSelectedFile() const override;
  void SelectFile(const std::string& name) override;
  void SetBusyCursor(bool busy) override;
  void SetCommandsEnabled(bool enabled) override;
  void Quit() override;

 protected:
  // A file dragged from a file manager: its folder is shown, it is selected.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // While a command runs, closing cancels it; the window closes once it has.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar(QWidget* client);
  void BuildPanel(QWidget* client);
  // Runs a handler of the window logic; failures are shown, not raised.
  void Run(CommandClick click);
  void Run(const std::function<void()>& handler);
  void FolderActivated(const QListWidgetItem& item);
  void DriveActivated(int index);

  MainWindow& window_;
  Dialogs& dialogs_;
  // Closing while a modal window is open: the command is cancelled and the
  // program ends once it has (otherwise the request stands refused).
  BlockedCloseFilter blocked_close_{*this, [this] { return !window_.OnCloseRequested(); }};
  bool busy_ = false;
  // Children of this window, which deletes them.
  QComboBox* drives_ = nullptr;
  QListWidget* folders_ = nullptr;
  QListWidget* files_ = nullptr;
  QLabel* status1_ = nullptr;
  QLabel* status2_ = nullptr;
  // Every command's button or menu entry, with its command.
  std::vector<std::pair<QWidget*, const WindowCommandRow*>> buttons_;
  std::vector<std::pair<QAction*, const WindowCommandRow*>> actions_;
};

}  // namespace talvor

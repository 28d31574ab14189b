#include "main_window/main_window.h"

#include "platform/path.h"

namespace talvor {

MainWindow::MainWindow(Dialogs& dialogs, FileSystem& fs, SystemInfo& system,
                       RandomGenerator& random, Clock& clock, Shell& shell, Worker& worker)
    : dialogs_(dialogs),
      fs_(fs),
      system_(system),
      shell_(shell),
      worker_(worker),
      host_(dialogs, worker),
      commands_(fs, random, clock, host_) {}

std::string MainWindow::PanelSelection() const {
  const std::optional<std::string> name = view_->FocusedSelectedFile();
  if (!name || name->empty()) return {};
  return JoinPath(folder_, *name);
}

std::optional<std::string> MainWindow::SelectionCheck() {
  std::string path = PanelSelection();
  if (path.empty()) {
    dialogs_.ShowMessage(kNoSelectionText);
    return std::nullopt;
  }
  return path;
}

void MainWindow::RefreshFileList() {
  view_->ShowFiles(fs_.ListFiles(folder_));
}

void MainWindow::ShowFolder(const std::string& folder) {
  std::string entered;
  try {
    entered = fs_.EnterableFolder(folder);
  } catch (...) {
    // The drive selector may already show the chosen drive: put it back.
    const Volume* volume = VolumeOf(volumes_, folder_);
    view_->ShowVolumes(volumes_, volume != nullptr ? volume->root : "/");
    throw;
  }
  folder_ = std::move(entered);
  const Volume* volume = VolumeOf(volumes_, folder_);
  const std::string root = volume != nullptr ? volume->root : "/";
  view_->ShowVolumes(volumes_, root);
  view_->ShowFolders(FolderList(root, folder_, fs_.ListDirectories(folder_)));
  RefreshFileList();
}

void MainWindow::Create(const std::string& start_folder) {
  start_folder_ = start_folder;
  view_->SetStatusLines("Disk size: " + std::to_string(system_.DiskSize(start_folder)) + "  " +
                            "free : " + std::to_string(system_.DiskFree(start_folder)),
                        "Computer name: " + system_.ComputerName(64));
  view_->SetCaption(kMainWindowCaption);
  volumes_ = system_.Volumes();
  ShowFolder(start_folder);
}

void MainWindow::OnDriveChosen(const std::string& root) {
  ShowFolder(root);
}

void MainWindow::OnFolderChosen(const std::string& folder) {
  ShowFolder(folder);
}

void MainWindow::OnFileDropped(const std::string& path) {
  const FileInfo info = fs_.Stat(path);
  if (!info.exists) return;
  if (info.is_directory) {
    ShowFolder(path);
    return;
  }
  ShowFolder(ExtractFileDir(path).empty() ? std::string("/") : ExtractFileDir(path));
  view_->SelectFile(ExtractFileName(path));
}

void MainWindow::OnFileActivated() {
  // No selection check: with nothing selected the shell is asked for nothing.
  shell_.Open(PanelSelection(), folder_);
}

void MainWindow::RunCommand(WindowCommand command, Route route) {
  const WindowCommandRow& row = RowOf(command);
  // One command at a time: the others wait for the one that runs.
  if (worker_.busy()) return;
  // Destroy puts the normal cursor back before anything else.
  if (row.action == Action::kDestroy) view_->SetBusyCursor(false);
  std::string path;
  if (row.needs_selection) {
    std::optional<std::string> selected = SelectionCheck();
    if (!selected) return;
    path = std::move(*selected);
  }
  switch (row.action) {
    case Action::kNothing:
      return;
    case Action::kCipher:
      EncryptOrDecrypt(*MethodByName(row.method), row.direction, path);
      return;
    case Action::kPack:
      PackFile(row.kind, path);
      return;
    case Action::kUnpack:
      UnpackSelected(row.kind, path);
      return;
    case Action::kDestroy:
      DestroyFile(path, row.wording.On(route));
      return;
    case Action::kErase:
      EraseFile(path, row.wording.On(route));
      return;
    case Action::kTrash:
      TrashFile(path);
      return;
    case Action::kCopy:
      CopyFile(path, row.wording.On(route));
      return;
    case Action::kRename:
      RenameFile(path, row.wording.On(route));
      return;
    case Action::kNewFolder:
      NewFolder();
      return;
    case Action::kProperties:
      shell_.ShowProperties(path);
      return;
    case Action::kOpen:
      OnFileActivated();
      return;
    case Action::kHelp:
      help_window_->Show();
      return;
    case Action::kAbout:
      about_window_->Show(AboutRequest{});
      return;
    case Action::kVisitWebSite:
      shell_.OpenAddress(kWebSiteAddress);
      return;
    case Action::kQuit:
      view_->Quit();
      return;
  }
}

}  // namespace talvor

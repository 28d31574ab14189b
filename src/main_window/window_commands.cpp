// What the main window's commands do before and after the command layer:
// the window's own checks and texts, the file list.
#include <cctype>

#include "main_window/main_window.h"
#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

void MainWindow::EncryptOrDecrypt(const ProtectionMethod& method, Direction direction,
                                  const std::string& path) {
  if (const std::string refusal = Commands::CipherRefusal(method, direction, path);
      !refusal.empty()) {
    dialogs_.ShowMessage(refusal);
    return;
  }
  const CipherResult result = password_window_->Run({&method, direction, path});
  if (result.status != CipherResult::Status::kCancelled) RefreshFileList();
}

void MainWindow::RunArchiveCommand(const std::function<void()>& command) {
  archive_busy_ = true;
  view_->SetCommandsEnabled(false);
  struct Restore {
    MainWindow& window;
    ~Restore() {
      window.archive_busy_ = false;
      window.view_->SetCommandsEnabled(true);
    }
  } restore{*this};
  command();
}

void MainWindow::PackFile(ArchiveKind kind, const std::string& source) {
  RunArchiveCommand([&] { (void)commands_.Pack(kind, source, nullptr); });
  RefreshFileList();
}

void MainWindow::UnpackSelected(ArchiveKind kind, const std::string& path) {
  // The window takes only archives that carry the command's extension (in
  // any letter case); which reader unpacks one is up to its content.
  const std::string extension = ArchiveKindInfoOf(kind).extension;
  std::string ext = ExtractFileExt(path);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext != extension) {
    dialogs_.ShowMessage("File extension must be *" + extension);
    return;
  }
  UnpackFile(path, folder_);
}

void MainWindow::UnpackFile(const std::string& archive, const std::string& folder) {
  RunArchiveCommand([&] { (void)commands_.Unpack(archive, folder); });
  RefreshFileList();
}

void MainWindow::DestroyFile(const std::string& path, const char* question) {
  // The normal cursor comes back however the command ends.
  struct CursorRestore {
    MainWindowView* view;
    bool busy = false;
    ~CursorRestore() {
      if (busy) view->SetBusyCursor(false);
    }
  } restore{view_};
  ShredHooks hooks;
  hooks.opened = [&] {
    view_->SetBusyCursor(true);
    restore.busy = true;
  };
  if (commands_.Destroy(path, question, hooks) == Outcome::kDone) RefreshFileList();
}

void MainWindow::CopyFile(const std::string& source, const char* title) {
  save_dialog.title = title + source;
  save_dialog.file_name = source;
  if (!dialogs_.ExecuteSaveDialog(save_dialog)) return;
  if (commands_.Copy(source, AbsolutePath(save_dialog.file_name, folder_)) == Outcome::kDone) {
    RefreshFileList();
  }
}

void MainWindow::RenameFile(const std::string& source, const char* title) {
  save_dialog.title = title + source;
  if (!dialogs_.ExecuteSaveDialog(save_dialog)) return;
  if (commands_.Rename(source, AbsolutePath(save_dialog.file_name, folder_)) == Outcome::kDone) {
    RefreshFileList();
  }
}

void MainWindow::EraseFile(const std::string& path, const char* question) {
  if (dialogs_.AskYesNo(question + path + "?") != Answer::kYes) return;
  // Refreshed however the deletion went; a failure is then shown.
  struct Refresh {
    MainWindow& window;
    ~Refresh() {
      try {
        window.RefreshFileList();
      } catch (...) {  // NOLINT(bugprone-empty-catch): the deletion's own failure is shown
      }
    }
  } refresh{*this};
  fs_.Delete(path);
}

void MainWindow::TrashFile(const std::string& path) {
  if (dialogs_.AskYesNo(kTrashQuestion + path + "?") != Answer::kYes) return;
  try {
    fs_.MoveToTrash(path);
  } catch (const Failure& e) {
    if (e.kind() == FailureKind::kCancelled) throw;
    throw Failure(e.kind(), std::string("Error!!!\n") + e.what());
  }
  RefreshFileList();
}

void MainWindow::NewFolder() {
  // The prompt stays open while the user moves on: the folder goes into the
  // one shown when OK is clicked.
  name_prompt_->Show(NewFolderRequest{[this] { return folder_; }});
}

}  // namespace talvor

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

void MainWindow::RunOnWorker(Worker::Work work, std::function<void()> then,
                             std::function<void()> after) {
  view_->SetCommandsEnabled(false);
  const bool started = worker_.Start(
      std::move(work),
      [this, then = std::move(then), after = std::move(after)](const std::exception_ptr& failure) {
        if (after) after();
        view_->SetCommandsEnabled(true);
        RunGuarded(dialogs_, [&] {
          if (failure) std::rethrow_exception(failure);
          if (then) then();
        });
      });
  if (!started) view_->SetCommandsEnabled(true);
}

bool MainWindow::OnCloseRequested() {
  if (!worker_.busy()) return true;
  worker_.CancelThen([this] { view_->Quit(); });
  return false;
}

void MainWindow::PackFile(ArchiveKind kind, const std::string& source) {
  RunOnWorker(
      [=, this](CancelToken& cancel) { (void)commands_.Pack(kind, source, nullptr, cancel); },
      [this] { RefreshFileList(); });
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
  RunOnWorker([=, this](CancelToken& cancel) { (void)commands_.Unpack(archive, folder, cancel); },
              [this] { RefreshFileList(); });
}

void MainWindow::DestroyFile(const std::string& path, const char* question) {
  // Shared by the work and what follows it on the window's thread.
  struct State {
    bool busy_cursor = false;
    Outcome outcome = Outcome::kDeclined;
  };
  const auto state = std::make_shared<State>();
  RunOnWorker(
      [=, this](CancelToken&) {
        ShredHooks hooks;
        hooks.opened = [&] {
          worker_.OnWindowThread([&] { view_->SetBusyCursor(true); });
          state->busy_cursor = true;
        };
        state->outcome = commands_.Destroy(path, question, hooks);
      },
      [=, this] {
        if (state->outcome == Outcome::kDone) RefreshFileList();
      },
      // The normal cursor comes back however the command ends.
      [=, this] {
        if (state->busy_cursor) view_->SetBusyCursor(false);
      });
}

void MainWindow::CopyFile(const std::string& source, const char* title) {
  save_dialog.title = title + source;
  save_dialog.file_name = source;
  if (!dialogs_.ExecuteSaveDialog(save_dialog)) return;
  RunCopyOrRename(&Commands::Copy, source, AbsolutePath(save_dialog.file_name, folder_));
}

void MainWindow::RunCopyOrRename(Outcome (Commands::*command)(const std::string&,
                                                              const std::string&),
                                 const std::string& source, const std::string& target) {
  const auto outcome = std::make_shared<Outcome>(Outcome::kFailed);
  RunOnWorker([=, this](CancelToken&) { *outcome = (commands_.*command)(source, target); },
              [=, this] {
                if (*outcome == Outcome::kDone) RefreshFileList();
              });
}

void MainWindow::RenameFile(const std::string& source, const char* title) {
  save_dialog.title = title + source;
  if (!dialogs_.ExecuteSaveDialog(save_dialog)) return;
  RunCopyOrRename(&Commands::Rename, source, AbsolutePath(save_dialog.file_name, folder_));
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

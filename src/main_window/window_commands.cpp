// What the main window's commands do before and after the command layer:
// the selection check, the window's own checks and texts, the file list.
#include <cctype>

#include "main_window/main_window.h"
#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

void TForm1::CipherHandOver(std::uint8_t code) {
  const std::optional<std::string> path = SelectionCheck();
  if (path) HandOverFile(code, *path);
}

void TForm1::HandOverFile(std::uint8_t code, const std::string& path) {
  Direction direction = Direction::kEncrypt;
  const ProtectionMethod* method = MethodByCode(code, &direction);
  if (method == nullptr) return;
  if (const std::string refusal = Commands::CipherRefusal(*method, direction, path);
      !refusal.empty()) {
    dialogs_.ShowMessage(refusal);
    return;
  }
  hand_over_.SelectedPath = path;
  hand_over_.OperationCode = code;
  hand_over_.OperationPending = true;
  form2_->ShowModal();
  if (!hand_over_.OperationPending) RefreshFileList();
}

void TForm1::RunArchiveCommand(const std::function<void()>& command) {
  archive_busy_ = true;
  view_->SetCommandsEnabled(false);
  struct Restore {
    TForm1& form;
    ~Restore() {
      form.archive_busy_ = false;
      form.view_->SetCommandsEnabled(true);
    }
  } restore{*this};
  command();
}

void TForm1::PackSelected(ArchiveKind kind) {
  if (archive_busy_) return;
  const std::optional<std::string> source = SelectionCheck();
  if (source) PackFile(kind, *source);
}

void TForm1::PackFile(ArchiveKind kind, const std::string& source) {
  RunArchiveCommand([&] { (void)commands_.Pack(kind, source, nullptr); });
  RefreshFileList();
}

void TForm1::UnpackSelected(ArchiveKind kind) {
  if (archive_busy_) return;
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  // The window takes only archives that carry the command's extension (in
  // any letter case); which reader unpacks one is up to its content.
  const std::string extension = ArchiveKindInfoOf(kind).extension;
  std::string ext = ExtractFileExt(*path);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext != extension) {
    dialogs_.ShowMessage("File extension must be *" + extension);
    return;
  }
  UnpackFile(*path, fs_.CurrentDirectory());
}

void TForm1::UnpackFile(const std::string& archive, const std::string& folder) {
  RunArchiveCommand([&] { (void)commands_.Unpack(archive, folder); });
  RefreshFileList();
}

void TForm1::DestroySelected(const char* question) {
  view_->SetBusyCursor(false);
  const std::optional<std::string> path = SelectionCheck();
  if (path) DestroyFile(*path, question);
}

void TForm1::DestroyFile(const std::string& path, const char* question) {
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

void TForm1::OpenSelected() {
  // No selection check: with nothing selected the shell is asked for nothing.
  shell_.Open(PanelSelection(), folder_);
}

void TForm1::CopySelected(const char* title) {
  const std::optional<std::string> source = SelectionCheck();
  if (!source) return;
  SaveDialog1.title = title + *source;
  SaveDialog1.file_name = *source;
  if (!dialogs_.ExecuteSaveDialog(SaveDialog1)) return;
  if (commands_.Copy(*source, AbsolutePath(SaveDialog1.file_name, folder_)) == Outcome::kDone) {
    RefreshFileList();
  }
}

void TForm1::RenameSelected(const char* title) {
  const std::optional<std::string> source = SelectionCheck();
  if (!source) return;
  SaveDialog1.title = title + *source;
  if (!dialogs_.ExecuteSaveDialog(SaveDialog1)) return;
  if (commands_.Rename(*source, AbsolutePath(SaveDialog1.file_name, folder_)) == Outcome::kDone) {
    RefreshFileList();
  }
}

void TForm1::EraseSelected(const char* question) {
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  if (dialogs_.AskYesNo(question + *path + "?") != Answer::kYes) return;
  // Refreshed however the deletion went; a failure is then shown.
  struct Refresh {
    TForm1& form;
    ~Refresh() {
      try {
        form.RefreshFileList();
      } catch (...) {  // NOLINT(bugprone-empty-catch): the deletion's own failure is shown
      }
    }
  } refresh{*this};
  fs_.Delete(*path);
}

void TForm1::TrashSelected() {
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  if (dialogs_.AskYesNo(kTrashQuestion + *path + "?") != Answer::kYes) return;
  try {
    fs_.MoveToTrash(*path);
  } catch (const Failure& e) {
    throw Failure(std::string("Error!!!\n") + e.what());
  }
  RefreshFileList();
}

void TForm1::PropertiesOfSelected() {
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  shell_.ShowProperties(*path);
}

void TForm1::NewFolder() {
  hand_over_.OperationCode = operation::kNewFolder;
  form3_->Show();
}

void TForm1::About() {
  hand_over_.OperationCode = operation::kAbout;
  form5_->Show();
}

}  // namespace talvor

#include "main_window/main_window.h"

#include "platform/path.h"

namespace talvor {

TForm1::TForm1(Dialogs& dialogs, FileSystem& fs, SystemInfo& system, RandomGenerator& random,
               Clock& clock, Shell& shell)
    : dialogs_(dialogs),
      fs_(fs),
      system_(system),
      shell_(shell),
      host_(dialogs),
      commands_(fs, random, clock, host_) {}

std::string TForm1::PanelSelection() const {
  const std::optional<std::string> name = view_->FocusedSelectedFile();
  if (!name || name->empty()) return {};
  return JoinPath(folder_, *name);
}

std::optional<std::string> TForm1::SelectionCheck() {
  std::string path = PanelSelection();
  if (path.empty()) {
    dialogs_.ShowMessage(kNoSelectionText);
    return std::nullopt;
  }
  return path;
}

void TForm1::RefreshFileList() {
  view_->ShowFiles(fs_.ListFiles(folder_));
}

void TForm1::ShowFolder(const std::string& folder) {
  try {
    fs_.SetCurrentDirectory(folder);
  } catch (...) {
    // The drive selector may already show the chosen drive: put it back.
    const Volume* volume = VolumeOf(volumes_, folder_);
    view_->ShowVolumes(volumes_, volume != nullptr ? volume->root : "/");
    throw;
  }
  folder_ = fs_.CurrentDirectory();
  const Volume* volume = VolumeOf(volumes_, folder_);
  const std::string root = volume != nullptr ? volume->root : "/";
  view_->ShowVolumes(volumes_, root);
  view_->ShowFolders(FolderList(root, folder_, fs_.ListDirectories(folder_)));
  RefreshFileList();
}

void TForm1::FormCreate() {
  const std::string current = fs_.CurrentDirectory();
  view_->SetStatusLines("Disk size: " + std::to_string(system_.DiskSize(current)) + "  " +
                            "free : " + std::to_string(system_.DiskFree(current)),
                        "Computer name: " + system_.ComputerName(64));
  view_->SetCaption(kMainWindowCaption);
  volumes_ = system_.Volumes();
  ShowFolder(current);
}

void TForm1::DriveComboBox1Change(const std::string& root) {
  ShowFolder(root);
}

void TForm1::DirectoryListBox1Change(const std::string& folder) {
  ShowFolder(folder);
}

void TForm1::FileDropped(const std::string& path) {
  const FileInfo info = fs_.Stat(path);
  if (!info.exists) return;
  if (info.is_directory) {
    ShowFolder(path);
    return;
  }
  ShowFolder(ExtractFileDir(path).empty() ? std::string("/") : ExtractFileDir(path));
  view_->SelectFile(ExtractFileName(path));
}

void TForm1::zn() {}

void TForm1::SpeedButton1Click() {
  CipherHandOver(operation::kEncryptTrap);
}
void TForm1::Szyfrowanie1Click() {
  CipherHandOver(operation::kEncryptTrap);
}
void TForm1::SpeedButton4Click() {
  CipherHandOver(operation::kDecryptTrap);
}
void TForm1::Deszyfrowanie1Click() {
  CipherHandOver(operation::kDecryptTrap);
}
void TForm1::SpeedButton18Click() {
  CipherHandOver(operation::kEncryptOrm);
}
void TForm1::SzyfrowaniezbiorualgorytmemORM1Click() {
  CipherHandOver(operation::kEncryptOrm);
}
void TForm1::BitBtn1Click() {
  CipherHandOver(operation::kDecryptOrm);
}
void TForm1::DeszyfrowaniezbiorualgorytmemORM1Click() {
  CipherHandOver(operation::kDecryptOrm);
}
void TForm1::BitBtn2Click() {
  CipherHandOver(operation::kEncryptBlowfish);
}
void TForm1::SzyfrowaniezbiorualgorytmemBlowfish1Click() {
  CipherHandOver(operation::kEncryptBlowfish);
}
void TForm1::BitBtn3Click() {
  CipherHandOver(operation::kDecryptBlowfish);
}
void TForm1::DeszyfrowaniezbiorualgorytmemBlowfish1Click() {
  CipherHandOver(operation::kDecryptBlowfish);
}
void TForm1::SpeedButton19Click() {
  CipherHandOver(operation::kEncryptRijndael);
}
void TForm1::SzyfrowaniezbiorualgorytmemRijndael1Click() {
  CipherHandOver(operation::kEncryptRijndael);
}
void TForm1::SpeedButton20Click() {
  CipherHandOver(operation::kDecryptRijndael);
}
void TForm1::DeszyfrowaniezbiorualgorytmemRijndael1Click() {
  CipherHandOver(operation::kDecryptRijndael);
}
void TForm1::SpeedButton21Click() {
  CipherHandOver(operation::kEncryptRandom);
}
void TForm1::Losowezabezpieczeniezbioru1Click() {
  CipherHandOver(operation::kEncryptRandom);
}
void TForm1::SpeedButton22Click() {
  CipherHandOver(operation::kDecryptRandom);
}
void TForm1::R1Click() {
  CipherHandOver(operation::kDecryptRandom);
}

void TForm1::SpeedButton2Click() {
  PackSelected(ArchiveKind::kCab);
}
void TForm1::Kompresjazbiorudoformatucab1Click() {
  PackSelected(ArchiveKind::kCab);
}
void TForm1::SpeedButton3Click() {
  UnpackSelected(ArchiveKind::kCab);
}
void TForm1::Rozpakowaniezbioruwformaciecab1Click() {
  UnpackSelected(ArchiveKind::kCab);
}
void TForm1::SpeedButton5Click() {
  PackSelected(ArchiveKind::kLha);
}
void TForm1::Kompresjazbiorudoformatulha1Click() {
  PackSelected(ArchiveKind::kLha);
}
void TForm1::SpeedButton6Click() {
  UnpackSelected(ArchiveKind::kLha);
}
void TForm1::Rozpakowaniezbioruwformacielha1Click() {
  UnpackSelected(ArchiveKind::kLha);
}
void TForm1::SpeedButton13Click() {
  PackSelected(ArchiveKind::kZip);
}
void TForm1::Kompresjazbiorudoformatuzip1Click() {
  PackSelected(ArchiveKind::kZip);
}
void TForm1::SpeedButton14Click() {
  UnpackSelected(ArchiveKind::kZip);
}
void TForm1::Rozpakowaniezbioruwformaciezip1Click() {
  UnpackSelected(ArchiveKind::kZip);
}
void TForm1::SpeedButton15Click() {
  PackSelected(ArchiveKind::kBh);
}
void TForm1::KompresjazbiorudoformatuBlakHole1Click() {
  PackSelected(ArchiveKind::kBh);
}
void TForm1::SpeedButton16Click() {
  UnpackSelected(ArchiveKind::kBh);
}
void TForm1::RozpakowaniezbioruwformacieBlakHole1Click() {
  UnpackSelected(ArchiveKind::kBh);
}

void TForm1::SpeedButton7Click() {
  DestroySelected(kDestroyQuestionToolbar);
}
void TForm1::Zniszczeniezbioru1Click() {
  DestroySelected(kDestroyQuestionMenu);
}
void TForm1::SpeedButton8Click() {
  EraseSelected(kEraseQuestionToolbar);
}
void TForm1::Usuniciezbioru1Click() {
  EraseSelected(kEraseQuestionMenu);
}
void TForm1::SpeedButton12Click() {
  TrashSelected();
}
void TForm1::Przeniesieniezbiorudokosza1Click() {
  TrashSelected();
}
void TForm1::SpeedButton9Click() {
  CopySelected(kCopyTitleToolbar);
}
void TForm1::Kopiowaniezbioru1Click() {
  CopySelected(kCopyTitleMenu);
}
void TForm1::SpeedButton10Click() {
  RenameSelected(kRenameTitleToolbar);
}
void TForm1::Zmiananazwyzbioru1Click() {
  RenameSelected(kRenameTitleMenu);
}
void TForm1::SpeedButton11Click() {
  NewFolder();
}
void TForm1::worzenienowegofolderu1Click() {
  NewFolder();
}
void TForm1::BitBtn4Click() {
  PropertiesOfSelected();
}
void TForm1::Properties1Click() {
  PropertiesOfSelected();
}
void TForm1::otworz() {
  OpenSelected();
}
void TForm1::Otwarciezbioru1Click() {
  OpenSelected();
}

void TForm1::SpeedButton24Click() {
  form6_->Show();
}
void TForm1::Funkcje1Click() {
  form6_->Show();
}
void TForm1::Oprogramie1Click() {
  About();
}
void TForm1::Stronawww1Click() {
  shell_.OpenAddress(kWebSiteAddress);
}
void TForm1::SpeedButton23Click() {
  view_->Quit();
}
void TForm1::Koniecpracyzprogramem1Click() {
  view_->Quit();
}
void TForm1::N1Click() {}

}  // namespace talvor

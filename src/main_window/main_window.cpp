#include "main_window/main_window.h"

#include <cctype>

#include "archive/archive_kinds.h"
#include "password/file_routines.h"
#include "password/shred_file.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/replacing_file.h"

namespace talvor {

const std::vector<ToolbarButton>& ToolbarButtons() {
  using C = Command;
  static const std::vector<ToolbarButton> buttons = {
      {"SpeedButton1", 0, 25, "Encrypt file - algorithm TRAP", C::kEncryptTrap,
       &TForm1::SpeedButton1Click, "", false},
      {"SpeedButton4", 25, 24, "Decrypt file - algorithm TRAP", C::kDecryptTrap,
       &TForm1::SpeedButton4Click, "", false},
      {"SpeedButton18", 50, 25, "Encrypt file - algorithm ORM", C::kEncryptOrm,
       &TForm1::SpeedButton18Click, "", false},
      {"BitBtn1", 75, 25, "Decrypt file - algorithm ORM", C::kDecryptOrm, &TForm1::BitBtn1Click, "",
       true},
      {"BitBtn2", 101, 25, "Encrypt file - algorithm BLOWFISH", C::kEncryptBlowfish,
       &TForm1::BitBtn2Click, "", true},
      {"BitBtn3", 126, 25, "Decrypt file - algorithm BLOWFISH", C::kDecryptBlowfish,
       &TForm1::BitBtn3Click, "", true},
      {"SpeedButton19", 152, 25, "Encrypt file - algorithm RIJNDAEL", C::kEncryptRijndael,
       &TForm1::SpeedButton19Click, "", false},
      {"SpeedButton20", 176, 25, "Decrypt file - algorithm RIJNDAEL", C::kDecryptRijndael,
       &TForm1::SpeedButton20Click, "", false},
      {"SpeedButton21", 200, 25, "Encrypt file - random algorithm ", C::kEncryptRandom,
       &TForm1::SpeedButton21Click, "", false},
      {"SpeedButton22", 224, 25, "Decrypt file - random algorithm ", C::kDecryptRandom,
       &TForm1::SpeedButton22Click, "", false},
      {"SpeedButton2", 248, 25, "Create archive *.cab", C::kCreateCab, &TForm1::SpeedButton2Click,
       "", false},
      {"SpeedButton3", 272, 25, "Extract archive *.cab", C::kExtractCab, &TForm1::SpeedButton3Click,
       "", false},
      {"SpeedButton5", 296, 25, "Create archive *.lha", C::kCreateLha, &TForm1::SpeedButton5Click,
       "", false},
      {"SpeedButton6", 320, 25, "Extract archive *.lha", C::kExtractLha, &TForm1::SpeedButton6Click,
       "", false},
      {"SpeedButton13", 344, 25, "Create archive  *.zip ", C::kCreateZip,
       &TForm1::SpeedButton13Click, "", false},
      {"SpeedButton14", 368, 25, "Extract archive *.zip", C::kExtractZip,
       &TForm1::SpeedButton14Click, "", false},
      {"SpeedButton15", 392, 25, "Create archive *.bh", C::kCreateBh, &TForm1::SpeedButton15Click,
       "", false},
      {"SpeedButton16", 416, 25, "Extract archive *.bh", C::kExtractBh, &TForm1::SpeedButton16Click,
       "", false},
      {"SpeedButton7", 440, 25, "Destroy file ", C::kDestroy, &TForm1::SpeedButton7Click,
       "edit-delete-shred", false},
      {"SpeedButton8", 464, 25, "Erase file", C::kErase, &TForm1::SpeedButton8Click, "edit-delete",
       false},
      {"SpeedButton12", 488, 25, "Move to trash", C::kTrash, &TForm1::SpeedButton12Click,
       "user-trash", false},
      {"SpeedButton9", 512, 25, "Copy file", C::kCopy, &TForm1::SpeedButton9Click, "edit-copy",
       false},
      {"SpeedButton10", 536, 25, "Rename file", C::kRename, &TForm1::SpeedButton10Click,
       "edit-rename", false},
      {"SpeedButton11", 560, 25, "New folder", C::kNewFolder, &TForm1::SpeedButton11Click,
       "folder-new", false},
      {"BitBtn4", 584, 25, "Properties...", C::kProperties, &TForm1::BitBtn4Click,
       "document-properties", true},
      {"SpeedButton24", 609, 25, "Help", C::kHelp, &TForm1::SpeedButton24Click, "help-contents",
       false},
      {"SpeedButton23", 633, 25, "Quit", C::kQuit, &TForm1::SpeedButton23Click, "application-exit",
       false},
  };
  return buttons;
}

const std::vector<MenuEntry>& MenuEntries() {
  using C = Command;
  using M = Menu;
  static const std::string visit_caption = std::string("Visit ") + kWebSiteHost;
  static const std::vector<MenuEntry> entries = {
      {M::kFiles, "Open", "Otwarciezbioru1", C::kOpen, &TForm1::Otwarciezbioru1Click,
       "document-open"},
      {M::kFiles, "Copy", "Kopiowaniezbioru1", C::kCopy, &TForm1::Kopiowaniezbioru1Click,
       "edit-copy"},
      {M::kFiles, "Rename", "Zmiananazwyzbioru1", C::kRename, &TForm1::Zmiananazwyzbioru1Click,
       "edit-rename"},
      {M::kFiles, "New folder", "worzenienowegofolderu1", C::kNewFolder,
       &TForm1::worzenienowegofolderu1Click, "folder-new"},
      {M::kFiles, "__________________", "N1", C::kNone, &TForm1::N1Click, ""},
      {M::kFiles, "Quit", "Koniecpracyzprogramem1", C::kQuit, &TForm1::Koniecpracyzprogramem1Click,
       "application-exit"},
      {M::kCommands, "Encrypt file - algorithm TRAP", "Szyfrowanie1", C::kEncryptTrap,
       &TForm1::Szyfrowanie1Click, ""},
      {M::kCommands, "Decrypt file - algorithm TRAP", "Deszyfrowanie1", C::kDecryptTrap,
       &TForm1::Deszyfrowanie1Click, ""},
      {M::kCommands, "Encrypt file - algorithm ORM", "SzyfrowaniezbiorualgorytmemORM1",
       C::kEncryptOrm, &TForm1::SzyfrowaniezbiorualgorytmemORM1Click, ""},
      {M::kCommands, "Decrypt file - algorithm ORM", "DeszyfrowaniezbiorualgorytmemORM1",
       C::kDecryptOrm, &TForm1::DeszyfrowaniezbiorualgorytmemORM1Click, ""},
      {M::kCommands, "Encrypt file - algorithm BLOWFISH", "SzyfrowaniezbiorualgorytmemBlowfish1",
       C::kEncryptBlowfish, &TForm1::SzyfrowaniezbiorualgorytmemBlowfish1Click, ""},
      {M::kCommands, "Decrypt file - algorithm BLOWFISH", "DeszyfrowaniezbiorualgorytmemBlowfish1",
       C::kDecryptBlowfish, &TForm1::DeszyfrowaniezbiorualgorytmemBlowfish1Click, ""},
      {M::kCommands, "Encrypt file - algorithm RIJNDAEL", "SzyfrowaniezbiorualgorytmemRijndael1",
       C::kEncryptRijndael, &TForm1::SzyfrowaniezbiorualgorytmemRijndael1Click, ""},
      {M::kCommands, "Decrypt file - algorithm RIJNDAEL", "DeszyfrowaniezbiorualgorytmemRijndael1",
       C::kDecryptRijndael, &TForm1::DeszyfrowaniezbiorualgorytmemRijndael1Click, ""},
      {M::kCommands, "Encrypt file - random algorithm ", "Losowezabezpieczeniezbioru1",
       C::kEncryptRandom, &TForm1::Losowezabezpieczeniezbioru1Click, ""},
      {M::kCommands, "Decrypt file - random algorithm ", "R1", C::kDecryptRandom, &TForm1::R1Click,
       ""},
      {M::kCommands, "Destroy file", "Zniszczeniezbioru1", C::kDestroy,
       &TForm1::Zniszczeniezbioru1Click, "edit-delete-shred"},
      {M::kCommands, "Erase file", "Usuniciezbioru1", C::kErase, &TForm1::Usuniciezbioru1Click,
       "edit-delete"},
      {M::kCommands, "Delete file ", "Przeniesieniezbiorudokosza1", C::kTrash,
       &TForm1::Przeniesieniezbiorudokosza1Click, "user-trash"},
      {M::kCommands, "Create archive *.cab", "Kompresjazbiorudoformatucab1", C::kCreateCab,
       &TForm1::Kompresjazbiorudoformatucab1Click, ""},
      {M::kCommands, "Extract archive *.cab", "Rozpakowaniezbioruwformaciecab1", C::kExtractCab,
       &TForm1::Rozpakowaniezbioruwformaciecab1Click, ""},
      {M::kCommands, "Create archive *.lha", "Kompresjazbiorudoformatulha1", C::kCreateLha,
       &TForm1::Kompresjazbiorudoformatulha1Click, ""},
      {M::kCommands, "Extract archive *.lha", "Rozpakowaniezbioruwformacielha1", C::kExtractLha,
       &TForm1::Rozpakowaniezbioruwformacielha1Click, ""},
      {M::kCommands, "Create archive  *.zip ", "Kompresjazbiorudoformatuzip1", C::kCreateZip,
       &TForm1::Kompresjazbiorudoformatuzip1Click, ""},
      {M::kCommands, "Extract archive *.zip", "Rozpakowaniezbioruwformaciezip1", C::kExtractZip,
       &TForm1::Rozpakowaniezbioruwformaciezip1Click, ""},
      {M::kCommands, "Create archive *.bh", "KompresjazbiorudoformatuBlakHole1", C::kCreateBh,
       &TForm1::KompresjazbiorudoformatuBlakHole1Click, ""},
      {M::kCommands, "Extract archive *.bh", "RozpakowaniezbioruwformacieBlakHole1", C::kExtractBh,
       &TForm1::RozpakowaniezbioruwformacieBlakHole1Click, ""},
      {M::kCommands, "Properties...", "Properties1", C::kProperties, &TForm1::Properties1Click,
       "document-properties"},
      {M::kHelp, "Help", "Funkcje1", C::kHelp, &TForm1::Funkcje1Click, "help-contents"},
      {M::kHelp, "About..", "Oprogramie1", C::kAbout, &TForm1::Oprogramie1Click, "help-about"},
      {M::kHelp, visit_caption.c_str(), "Stronawww1", C::kVisitWebSite, &TForm1::Stronawww1Click,
       "internet-web-browser"},
  };
  return entries;
}

const char* ShortcutOf(Command command) {
  switch (command) {
    case Command::kHelp:
      return "F1";
    case Command::kRename:
      return "F2";
    case Command::kTrash:
      return "Del";
    case Command::kErase:
      return "Shift+Del";
    case Command::kNewFolder:
      return "Ctrl+Shift+N";
    default:
      return "";
  }
}

const char* MenuTitle(Menu menu) {
  switch (menu) {
    case Menu::kFiles:
      return "Files";
    case Menu::kCommands:
      return "Commands";
    case Menu::kHelp:
      return "Help";
  }
  return "";
}

bool NeedsSelection(Command command) {
  switch (command) {
    case Command::kNewFolder:
    case Command::kHelp:
    case Command::kQuit:
    case Command::kOpen:
    case Command::kAbout:
    case Command::kVisitWebSite:
    case Command::kNone:
      return false;
    default:
      return true;
  }
}

bool IsAvailable(Command command) {
  switch (command) {
    case Command::kEncryptTrap:
    case Command::kDecryptTrap:
    case Command::kEncryptOrm:
    case Command::kDecryptOrm:
    case Command::kEncryptBlowfish:
    case Command::kDecryptBlowfish:
    case Command::kEncryptRijndael:
    case Command::kDecryptRijndael:
    case Command::kEncryptRandom:
    case Command::kDecryptRandom: {
      const auto code = static_cast<std::uint8_t>(static_cast<int>(command) + 1);
      return FileRoutines::IsAvailable(code);
    }
    case Command::kCreateCab:
    case Command::kExtractCab:
      return CanWrite(ArchiveKind::kCab);
    default:
      return true;
  }
}

TForm1::TForm1(Dialogs& dialogs, FileSystem& fs, SystemInfo& system, RandomGenerator& random,
               Clock& clock, Shell& shell)
    : dialogs_(dialogs),
      fs_(fs),
      system_(system),
      random_(random),
      clock_(clock),
      shell_(shell),
      MakeCab1(fs, DefaultCabinetLibrary()),
      Lha1(fs),
      Zip1(fs),
      BlakHole1(fs),
      UnCab1(fs, DefaultCabinetLibrary()),
      UnLha1(fs),
      UnZip1(fs),
      UnBh1(fs) {
  // The writers as designed. The LHA writer packs only the named file, as
  // every command works on exactly one file.
  MakeCab1.SetDefaultExt(".cab");
  MakeCab1.SetCompressMethod(TCompressMethod::cmMsZip);
  Lha1.SetDefaultExt(".lha");
  Lha1.SetCompressMethod(TCompressMethod::cmFrozen6);
  Lha1.Switch = TSwitch::swAdd;
  Lha1.RecurseDirs = false;
  Zip1.SetDefaultExt(".zip");
  Zip1.SetCompressMethod(TCompressMethod::cmDeflate);
  Zip1.Switch = TSwitch::swAdd;
  Zip1.AttributesEx = FileAttrSet();
  BlakHole1.SetDefaultExt(".bh");
  BlakHole1.SetCompressMethod(TCompressMethod::cmDeflate);
  BlakHole1.Switch = TSwitch::swAdd;
  BlakHole1.AttributesEx = FileAttrSet();
}

void TForm1::SetProcessMessages(const std::function<void()>& process) {
  for (TZipCommon* c : std::initializer_list<TZipCommon*>{&MakeCab1, &Lha1, &Zip1, &BlakHole1,
                                                          &UnCab1, &UnLha1, &UnZip1, &UnBh1}) {
    c->OnProcessMessages = process;
  }
}

void TForm1::RunArchiveOperation(TZipCommon& component, const std::string& file,
                                 const std::function<void()>& operation) {
  std::vector<std::string> reports;
  component.OnError = [&reports](const ArchiveError& e) {
    std::string line = ArchiveErrorText(e.code);
    if (!e.file.empty()) line += ": " + e.file;
    if (!e.extra.empty()) line += " (" + e.extra + ")";
    reports.push_back(line);
  };
  archive_busy_ = true;
  view_->SetCommandsEnabled(false);
  struct Restore {
    TForm1& form;
    TZipCommon& component;
    ~Restore() {
      component.OnError = nullptr;
      form.archive_busy_ = false;
      form.view_->SetCommandsEnabled(true);
    }
  } restore{*this, component};
  {
    const ProgressDisplay progress(progress_, file);
    operation();
  }
  if (!reports.empty()) {
    std::string text;
    for (const std::string& line : reports) text += (text.empty() ? "" : "\n") + line;
    dialogs_.ShowError(ErrorDisplayText(text));
  }
}

void TForm1::CreateArchive(TCustomCClass& writer, const char* extension, bool configure) {
  if (archive_busy_) return;
  const std::optional<std::string> source = SelectionCheck();
  if (!source) return;
  const std::string target = ChangeFileExt(*source, extension);
  if (target == *source) {
    dialogs_.ShowMessage("The file " + *source + " is itself a *" + std::string(extension) +
                         " file: the archive would take its place. Nothing was done.");
    return;
  }
  if (fs_.Stat(target).exists &&
      dialogs_.AskYesNo("File : " + target +
                        " already exists. Do you want to overwrite this file?") != Answer::kYes) {
    return;
  }
  if (configure) {
    writer.DateAttribute = TDateAttribute::daFileDate;
    writer.StoredDirNames = TStoredDirNames::sdRelative;
    writer.SetCompressMethod(TCompressMethod::cmDeflate);
    writer.RecurseDirs = false;
    writer.Switch = TSwitch::swAdd;
    writer.ExcludeSpec.clear();
  }
  writer.FileSpec.clear();
  // The old archive is replaced only when the new one is complete.
  RunArchiveOperation(writer, *source, [&] { (void)PackNewArchive(writer, *source, target); });
  RefreshFileList();
}

void TForm1::ExtractArchive(TCustomDClass& reader, const char* upper_extension,
                            const char* message) {
  if (archive_busy_) return;
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  std::string ext = ExtractFileExt(*path);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext != upper_extension) {
    dialogs_.ShowMessage(message);
    return;
  }
  reader.SetArchiveFile(*path);
  reader.FileSpec.clear();
  reader.FileSpec.push_back("*.*");
  reader.SetExtractDir(fs_.CurrentDirectory());
  RunArchiveOperation(reader, *path, [&] { (void)reader.Extract(); });
  RefreshFileList();
}

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

void TForm1::CipherHandOver(std::uint8_t code, const char* extension) {
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  if (extension != nullptr && ExtractFileExt(*path) != extension) {
    dialogs_.ShowMessage(std::string("File extension must be *") + extension);
    return;
  }
  hand_over_.SelectedPath = *path;
  hand_over_.OperationCode = code;
  hand_over_.OperationPending = true;
  form2_->ShowModal();
  if (!hand_over_.OperationPending) RefreshFileList();
}

void TForm1::SpeedButton1Click() {
  CipherHandOver(operation::kEncryptTrap, nullptr);
}
void TForm1::Szyfrowanie1Click() {
  CipherHandOver(operation::kEncryptTrap, nullptr);
}
void TForm1::SpeedButton4Click() {
  CipherHandOver(operation::kDecryptTrap, ".trp");
}
void TForm1::Deszyfrowanie1Click() {
  CipherHandOver(operation::kDecryptTrap, ".trp");
}
void TForm1::SpeedButton18Click() {
  CipherHandOver(operation::kEncryptOrm, nullptr);
}
void TForm1::SzyfrowaniezbiorualgorytmemORM1Click() {
  CipherHandOver(operation::kEncryptOrm, nullptr);
}
void TForm1::BitBtn1Click() {
  CipherHandOver(operation::kDecryptOrm, ".orm");
}
void TForm1::DeszyfrowaniezbiorualgorytmemORM1Click() {
  CipherHandOver(operation::kDecryptOrm, ".orm");
}
void TForm1::BitBtn2Click() {
  CipherHandOver(operation::kEncryptBlowfish, nullptr);
}
void TForm1::SzyfrowaniezbiorualgorytmemBlowfish1Click() {
  CipherHandOver(operation::kEncryptBlowfish, nullptr);
}
void TForm1::BitBtn3Click() {
  CipherHandOver(operation::kDecryptBlowfish, ".blf");
}
void TForm1::DeszyfrowaniezbiorualgorytmemBlowfish1Click() {
  CipherHandOver(operation::kDecryptBlowfish, ".blf");
}
void TForm1::SpeedButton19Click() {
  CipherHandOver(operation::kEncryptRijndael, nullptr);
}
void TForm1::SzyfrowaniezbiorualgorytmemRijndael1Click() {
  CipherHandOver(operation::kEncryptRijndael, nullptr);
}
void TForm1::SpeedButton20Click() {
  CipherHandOver(operation::kDecryptRijndael, ".rnl");
}
void TForm1::DeszyfrowaniezbiorualgorytmemRijndael1Click() {
  CipherHandOver(operation::kDecryptRijndael, ".rnl");
}
void TForm1::SpeedButton21Click() {
  CipherHandOver(operation::kEncryptRandom, nullptr);
}
void TForm1::Losowezabezpieczeniezbioru1Click() {
  CipherHandOver(operation::kEncryptRandom, nullptr);
}
void TForm1::SpeedButton22Click() {
  CipherHandOver(operation::kDecryptRandom, ".erh");
}
void TForm1::R1Click() {
  CipherHandOver(operation::kDecryptRandom, ".erh");
}

void TForm1::SpeedButton2Click() {
  CreateArchive(MakeCab1, ".cab", true);
}
void TForm1::Kompresjazbiorudoformatucab1Click() {
  CreateArchive(MakeCab1, ".cab", true);
}
void TForm1::SpeedButton3Click() {
  ExtractArchive(UnCab1, ".CAB", "File extension must be *.cab");
}
void TForm1::Rozpakowaniezbioruwformaciecab1Click() {
  ExtractArchive(UnCab1, ".CAB", "File extension must be *.cab");
}
void TForm1::SpeedButton5Click() {
  CreateArchive(Lha1, ".lha", false);
}
void TForm1::Kompresjazbiorudoformatulha1Click() {
  CreateArchive(Lha1, ".lha", false);
}
void TForm1::SpeedButton6Click() {
  ExtractArchive(UnLha1, ".LHA", "File extension must be *.lha");
}
void TForm1::Rozpakowaniezbioruwformacielha1Click() {
  ExtractArchive(UnLha1, ".LHA", "File extension must be *.lha");
}
void TForm1::SpeedButton13Click() {
  CreateArchive(Zip1, ".zip", true);
}
void TForm1::Kompresjazbiorudoformatuzip1Click() {
  CreateArchive(Zip1, ".zip", true);
}
void TForm1::SpeedButton14Click() {
  ExtractArchive(UnZip1, ".ZIP", "File extension must be *.zip");
}
void TForm1::Rozpakowaniezbioruwformaciezip1Click() {
  ExtractArchive(UnZip1, ".ZIP", "File extension must be *.zip");
}
void TForm1::SpeedButton15Click() {
  CreateArchive(BlakHole1, ".bh", true);
}
void TForm1::KompresjazbiorudoformatuBlakHole1Click() {
  CreateArchive(BlakHole1, ".bh", true);
}
void TForm1::SpeedButton16Click() {
  ExtractArchive(UnBh1, ".BH", "File extension must be *.bh");
}
void TForm1::RozpakowaniezbioruwformacieBlakHole1Click() {
  ExtractArchive(UnBh1, ".BH", "File extension must be *.bh");
}

void TForm1::DestroySelected(const char* question) {
  view_->SetBusyCursor(false);
  const std::optional<std::string> path = SelectionCheck();
  if (!path) return;
  if (dialogs_.AskYesNo(question + *path + "?") != Answer::kYes) return;
  // The normal cursor comes back however the command ends.
  struct CursorRestore {
    MainWindowView* view;
    ~CursorRestore() { view->SetBusyCursor(false); }
  } restore{view_};
  ShredHooks hooks;
  hooks.opened = [this] { view_->SetBusyCursor(true); };
  {
    const ProgressDisplay progress(progress_, *path);
    ShredFile(fs_, random_, clock_, *path, hooks);
  }
  RefreshFileList();
}

void TForm1::SpeedButton7Click() {
  DestroySelected(kDestroyQuestionToolbar);
}
void TForm1::Zniszczeniezbioru1Click() {
  DestroySelected(kDestroyQuestionMenu);
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
  const std::string target = AbsolutePath(SaveDialog1.file_name, folder_);
  if (fs_.SameFile(*source, target)) {
    dialogs_.ShowMessage("The copy would be the file itself: " + *source +
                         " was left as it is. Please choose another name!");
    return;
  }
  File in = fs_.OpenExisting(*source);
  // The copy appears under its name only when complete.
  ReplacingFile out(fs_, target);
  std::vector<std::uint8_t> buffer(kCopyBufferSize);
  for (;;) {
    const std::size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    out.file().Write(buffer.data(), n);
  }
  in.Close();
  out.Commit();
  RefreshFileList();
}

void TForm1::RenameSelected(const char* title) {
  const std::optional<std::string> source = SelectionCheck();
  if (!source) return;
  SaveDialog1.title = title + *source;
  if (!dialogs_.ExecuteSaveDialog(SaveDialog1)) return;
  fs_.Move(*source, AbsolutePath(SaveDialog1.file_name, folder_));
  RefreshFileList();
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
  if (!shell_.MoveToTrash(*path)) throw Failure("Error!!!");
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

// The main window: file panel, toolbar, menus and the command table.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_kinds.h"
#include "commands/commands.h"
#include "commands/dialog_host.h"
#include "main_window/file_panel.h"
#include "main_window/info_windows.h"
#include "main_window/name_prompt.h"
#include "main_window/start_command.h"
#include "password/hand_over.h"
#include "password/password_window.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/progress_window.h"
#include "platform/random_generator.h"
#include "platform/shell.h"
#include "platform/system_info.h"

namespace talvor {

inline constexpr char kMainWindowCaption[] = "ZEM Talvor v. 2.0";
inline constexpr char kNoSelectionText[] = "No files selected!";
inline constexpr char kWebSiteHost[] = "talvor.example.org";
inline constexpr char kWebSiteAddress[] = "https://talvor.example.org/";
inline constexpr char kCopyTitleToolbar[] = "Copy file :  ";
inline constexpr char kCopyTitleMenu[] = "Copy file: ";
inline constexpr char kRenameTitleToolbar[] = "Rename file : ";
inline constexpr char kRenameTitleMenu[] = "Rename file: ";
inline constexpr char kEraseQuestionToolbar[] = "Do you really want to erase the selected file \r";
inline constexpr char kEraseQuestionMenu[] = "Do you really want to erase the selected file\r";
inline constexpr char kTrashQuestion[] = "Do you really want to delete the selected file \r";

// The widgets of the main window, as the window logic sees them.
class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetStatusLines(const std::string& label3, const std::string& label4) = 0;
  virtual void ShowVolumes(const std::vector<Volume>& volumes, const std::string& current_root) = 0;
  virtual void ShowFolders(const std::vector<FolderItem>& items) = 0;
  // Rebuilds the file list; no item is selected afterwards.
  virtual void ShowFiles(const std::vector<std::string>& names) = 0;
  // The name of the focused item of the file list when it is also selected.
  [[nodiscard]] virtual std::optional<std::string> FocusedSelectedFile() const = 0;
  // Selects and focuses a file of the list, scrolled into view (nothing
  // when the list does not hold it).
  virtual void SelectFile(const std::string& name) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  // While an archive operation runs, no other command can start.
  virtual void SetCommandsEnabled(bool enabled) = 0;
  // Ends the program's event loop.
  virtual void Quit() = 0;
};

enum class Command {
  kEncryptTrap,
  kDecryptTrap,
  kEncryptOrm,
  kDecryptOrm,
  kEncryptBlowfish,
  kDecryptBlowfish,
  kEncryptRijndael,
  kDecryptRijndael,
  kEncryptRandom,
  kDecryptRandom,
  kCreateCab,
  kExtractCab,
  kCreateLha,
  kExtractLha,
  kCreateZip,
  kExtractZip,
  kCreateBh,
  kExtractBh,
  kDestroy,
  kErase,
  kTrash,
  kCopy,
  kRename,
  kNewFolder,
  kProperties,
  kHelp,
  kQuit,
  kOpen,
  kAbout,
  kVisitWebSite,
  kNone,
};

class TForm1;
using Handler = void (TForm1::*)();

struct ToolbarButton {
  const char* name;  // SpeedButton1, BitBtn1, ...
  int left;
  int width;
  const char* hint;
  Command command;
  Handler handler;
  // Icon theme name; empty where the theme has no icon that tells the
  // commands apart (ciphers, archive formats): those are drawn.
  const char* icon;
  bool takes_focus;  // the BitBtn buttons are on the Tab chain
};

enum class Menu { kFiles, kCommands, kHelp };

struct MenuEntry {
  Menu menu;
  const char* caption;
  const char* name;  // Szyfrowanie1, ...
  Command command;
  Handler handler;
  const char* icon;
};

// The toolbar, left to right, and the menus, in their order.
[[nodiscard]] const std::vector<ToolbarButton>& ToolbarButtons();
[[nodiscard]] const std::vector<MenuEntry>& MenuEntries();
[[nodiscard]] const char* MenuTitle(Menu menu);
// Whether a command first requires a selected file.
[[nodiscard]] bool NeedsSelection(Command command);
// Whether this build carries the command; the others are shown disabled.
[[nodiscard]] bool IsAvailable(Command command);
// The key that runs a command's menu entry ("F2", "Shift+Del"), in the form
// a key sequence is written; empty for none. Enter on the file list opens
// the selected file.
[[nodiscard]] const char* ShortcutOf(Command command);

class TForm1 {
 public:
  TForm1(Dialogs& dialogs, FileSystem& fs, SystemInfo& system, RandomGenerator& random,
         Clock& clock, Shell& shell);
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  void AttachView(MainWindowView& view) { view_ = &view; }
  void AttachPasswordWindow(TForm2& form2) { form2_ = &form2; }
  // The window that shows the progress of Destroy and the archive commands.
  void AttachProgressWindow(ProgressWindow& window) { host_.AttachProgressWindow(window); }
  void AttachNamePrompt(TForm3& form3) { form3_ = &form3; }
  void AttachAboutWindow(TForm5& form5) { form5_ = &form5; }
  void AttachHelpWindow(TForm6& form6) { form6_ = &form6; }

  // The save dialog shared by Copy and Rename; it keeps its title and name.
  SaveDialogState SaveDialog1;

  [[nodiscard]] HandOver& hand_over() noexcept { return hand_over_; }
  // Lets the windows process pending messages while an archive component
  // works.
  void SetProcessMessages(std::function<void()> process) {
    host_.SetProcessMessages(std::move(process));
  }
  [[nodiscard]] const std::string& shown_folder() const noexcept { return folder_; }

  // The full path of the selected file; empty when nothing is selected.
  [[nodiscard]] std::string PanelSelection() const;
  // Re-scans the shown folder and rebuilds the file list.
  void RefreshFileList();

  // File panel.
  void FormCreate();
  void DriveComboBox1Change(const std::string& root);
  void DirectoryListBox1Change(const std::string& folder);
  // A file (or folder) dragged from a file manager onto the window: its
  // folder is shown and the file selected.
  void FileDropped(const std::string& path);
  // The program started with a file (a path of the folder the user is in)
  // and perhaps a command: the file is shown as a dropped one, then the
  // command starts on it. What cannot be done (wrong arguments, a file that
  // is not there) goes to `complain` and then into a message box; the
  // window stays in either case.
  void StartWith(const StartRequest& request,
                 const std::function<void(const std::string&)>& complain);
  void zn();      // click on the file list: only selects
  void otworz();  // double click on the file list: Open

  // Cipher commands.
  void SpeedButton1Click();
  void Szyfrowanie1Click();
  void SpeedButton4Click();
  void Deszyfrowanie1Click();
  void SpeedButton18Click();
  void SzyfrowaniezbiorualgorytmemORM1Click();
  void BitBtn1Click();
  void DeszyfrowaniezbiorualgorytmemORM1Click();
  void BitBtn2Click();
  void SzyfrowaniezbiorualgorytmemBlowfish1Click();
  void BitBtn3Click();
  void DeszyfrowaniezbiorualgorytmemBlowfish1Click();
  void SpeedButton19Click();
  void SzyfrowaniezbiorualgorytmemRijndael1Click();
  void SpeedButton20Click();
  void DeszyfrowaniezbiorualgorytmemRijndael1Click();
  void SpeedButton21Click();
  void Losowezabezpieczeniezbioru1Click();
  void SpeedButton22Click();
  void R1Click();

  // Archive commands.
  void SpeedButton2Click();
  void Kompresjazbiorudoformatucab1Click();
  void SpeedButton3Click();
  void Rozpakowaniezbioruwformaciecab1Click();
  void SpeedButton5Click();
  void Kompresjazbiorudoformatulha1Click();
  void SpeedButton6Click();
  void Rozpakowaniezbioruwformacielha1Click();
  void SpeedButton13Click();
  void Kompresjazbiorudoformatuzip1Click();
  void SpeedButton14Click();
  void Rozpakowaniezbioruwformaciezip1Click();
  void SpeedButton15Click();
  void KompresjazbiorudoformatuBlakHole1Click();
  void SpeedButton16Click();
  void RozpakowaniezbioruwformacieBlakHole1Click();

  // File commands.
  void SpeedButton7Click();
  void Zniszczeniezbioru1Click();
  void SpeedButton8Click();
  void Usuniciezbioru1Click();
  void SpeedButton12Click();
  void Przeniesieniezbiorudokosza1Click();
  void SpeedButton9Click();
  void Kopiowaniezbioru1Click();
  void SpeedButton10Click();
  void Zmiananazwyzbioru1Click();
  void SpeedButton11Click();
  void worzenienowegofolderu1Click();
  void BitBtn4Click();
  void Properties1Click();
  void Otwarciezbioru1Click();

  // Help, quit.
  void SpeedButton24Click();
  void Funkcje1Click();
  void Oprogramie1Click();
  void Stronawww1Click();
  void SpeedButton23Click();
  void Koniecpracyzprogramem1Click();
  void N1Click();

 private:
  // Shows "No files selected!" and returns nullopt when nothing is selected.
  [[nodiscard]] std::optional<std::string> SelectionCheck();
  // Hands a cipher command (an operation code) on the selected file, or on
  // `path`, to the password window, once the file suits the command.
  void CipherHandOver(std::uint8_t code);
  void HandOverFile(std::uint8_t code, const std::string& path);
  void RunStartCommand(const StartCommand& command, const std::string& path);
  void ShowFolder(const std::string& folder);
  // The archive commands: pack the selected file (or `source`) into a new
  // archive beside it, or unpack the selected archive into the shown folder
  // (`archive`, whatever its name, into `folder`). No other command starts
  // meanwhile.
  void PackSelected(ArchiveKind kind);
  void PackFile(ArchiveKind kind, const std::string& source);
  void UnpackSelected(ArchiveKind kind);
  void UnpackFile(const std::string& archive, const std::string& folder);
  void RunArchiveCommand(const std::function<void()>& command);
  // Destroy: the question, then ShredFile on the selected file (or `path`).
  void DestroySelected(const char* question);
  void DestroyFile(const std::string& path, const char* question);
  // The file commands.
  void OpenSelected();
  void CopySelected(const char* title);
  void RenameSelected(const char* title);
  void EraseSelected(const char* question);
  void TrashSelected();
  void PropertiesOfSelected();
  void NewFolder();
  void About();

  Dialogs& dialogs_;
  FileSystem& fs_;
  SystemInfo& system_;
  Shell& shell_;
  DialogCommandHost host_;
  Commands commands_;
  MainWindowView* view_ = nullptr;
  TForm2* form2_ = nullptr;
  TForm3* form3_ = nullptr;
  TForm5* form5_ = nullptr;
  TForm6* form6_ = nullptr;
  HandOver hand_over_;
  bool archive_busy_ = false;
  std::vector<Volume> volumes_;
  std::string folder_;
};

}  // namespace talvor

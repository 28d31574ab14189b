// The main window: file panel, toolbar, menus and the table of its commands.
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
  virtual void SetStatusLines(const std::string& disk, const std::string& computer) = 0;
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
  // While a command runs, no other command can start.
  virtual void SetCommandsEnabled(bool enabled) = 0;
  // Ends the program's event loop.
  virtual void Quit() = 0;
};

enum class WindowCommand {
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
  kSeparator,  // the line in the Files menu: runs nothing
};

// Where a command was started from: the toolbar and the menus word some
// titles and questions differently.
enum class Route { kToolbar, kMenu };

// One click on a toolbar button or a menu entry.
struct CommandClick {
  WindowCommand command;
  Route route;
};

enum class Menu { kFiles, kCommands, kHelp };

// What a command does; the row says on what (method, format, wording).
enum class Action {
  kNothing,
  kCipher,
  kPack,
  kUnpack,
  kDestroy,
  kErase,
  kTrash,
  kCopy,
  kRename,
  kNewFolder,
  kProperties,
  kOpen,
  kHelp,
  kAbout,
  kVisitWebSite,
  kQuit,
};

struct ToolbarPlace {
  int left = -1;  // -1: no button
  int width = 0;
  const char* hint = "";
  bool takes_focus = false;  // on the Tab chain
};

// Text that differs between the toolbar and the menu (a title, a question).
struct Wording {
  const char* toolbar = "";
  const char* menu = "";
  [[nodiscard]] const char* On(Route route) const {
    return route == Route::kToolbar ? toolbar : menu;
  }
};

// One user command of the main window: everything the toolbar, the menus,
// the glyphs and the start names know of it.
struct WindowCommandRow {
  WindowCommand command;
  const char* id;  // "encrypt-trap": the widgets' name and the drawn glyph's
  Menu menu;
  const char* menu_caption;
  ToolbarPlace toolbar;
  // Icon theme name; empty where the theme has no icon that tells the
  // commands apart (ciphers, archive formats): those are drawn.
  const char* theme_icon = "";
  const char* shortcut = "";  // as a key sequence is written ("F2", "Shift+Del")
  bool needs_selection = true;
  Action action = Action::kNothing;
  const char* method = nullptr;  // a cipher command's method ("trap")
  Direction direction = Direction::kEncrypt;
  ArchiveKind kind = ArchiveKind::kZip;  // a pack or unpack command's format
  Wording wording;
  const char* start_name = nullptr;  // `zem-talvor --command NAME`; none: nullptr
  bool (*available)() = nullptr;     // whether this build carries it; nullptr: always
};

// Every command of the main window, in the order of the menus.
[[nodiscard]] const std::vector<WindowCommandRow>& WindowCommands();
[[nodiscard]] const WindowCommandRow& RowOf(WindowCommand command);
// The rows with a toolbar button, left to right.
[[nodiscard]] std::vector<const WindowCommandRow*> ToolbarRows();
[[nodiscard]] const char* MenuTitle(Menu menu);
// Whether this build carries the command; the others are shown disabled.
[[nodiscard]] bool IsAvailable(const WindowCommandRow& row);

class MainWindow {
 public:
  // The commands run on `worker`.
  MainWindow(Dialogs& dialogs, FileSystem& fs, SystemInfo& system, RandomGenerator& random,
             Clock& clock, Shell& shell, Worker& worker);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void AttachView(MainWindowView& view) { view_ = &view; }
  void AttachPasswordWindow(PasswordWindow& window) { password_window_ = &window; }
  // The window that shows the progress of Destroy and the archive commands.
  void AttachProgressWindow(ProgressWindow& window) { host_.AttachProgressWindow(window); }
  void AttachNamePrompt(NamePrompt& prompt) { name_prompt_ = &prompt; }
  void AttachAboutWindow(AboutWindow& window) { about_window_ = &window; }
  void AttachHelpWindow(HelpWindow& window) { help_window_ = &window; }

  // The save dialog shared by Copy and Rename; it keeps its title and name.
  SaveDialogState save_dialog;

  [[nodiscard]] const std::string& shown_folder() const noexcept { return folder_; }

  // The full path of the selected file; empty when nothing is selected.
  [[nodiscard]] std::string PanelSelection() const;
  // Re-scans the shown folder and rebuilds the file list.
  void RefreshFileList();

  // Shows `start_folder` (the folder the program was started in) and the
  // status lines.
  void Create(const std::string& start_folder);
  void OnDriveChosen(const std::string& root);
  void OnFolderChosen(const std::string& folder);
  // A file (or folder) dragged from a file manager onto the window: its
  // folder is shown and the file selected.
  void OnFileDropped(const std::string& path);
  // The program started with a file (a path of the start folder) and perhaps
  // a command: the file is shown as a dropped one, then the command starts
  // on it. What cannot be done (wrong arguments, a file that is not there)
  // goes to `complain` and then into a message box; the window stays in
  // either case.
  void StartWith(const StartRequest& request,
                 const std::function<void(const std::string&)>& complain);
  void OnFileClicked() {}  // a click on the file list only selects
  void OnFileActivated();  // double click or Enter on the file list: Open

  // A toolbar button or menu entry.
  void RunCommand(WindowCommand command, Route route);
  void RunCommand(const CommandClick& click) { RunCommand(click.command, click.route); }
  // The user closes the window: true when it may close now. While a command
  // runs, the command is cancelled and the program ends once it has.
  [[nodiscard]] bool OnCloseRequested();

 private:
  // Shows "No files selected!" and returns nullopt when nothing is selected.
  [[nodiscard]] std::optional<std::string> SelectionCheck();
  // Asks the password window for a cipher command on `path`, once the file
  // suits the command.
  void EncryptOrDecrypt(const ProtectionMethod& method, Direction direction,
                        const std::string& path);
  void RunStartCommand(const StartCommand& command, const std::string& path);
  void ShowFolder(const std::string& folder);
  // The archive commands: pack `source` into a new archive beside it, or
  // unpack `archive`, whatever its name, into `folder`. No other command
  // starts meanwhile.
  void PackFile(ArchiveKind kind, const std::string& source);
  void UnpackSelected(ArchiveKind kind, const std::string& path);
  void UnpackFile(const std::string& archive, const std::string& folder);
  // Runs `work` on the worker, no other command starting meanwhile; then,
  // on the window's thread, `after` however the work ended and `then` when
  // it ended well. A failure is shown as every failure is.
  void RunOnWorker(Worker::Work work, std::function<void()> then, std::function<void()> after = {});
  // Destroy: the question, then ShredFile on `path`.
  void DestroyFile(const std::string& path, const char* question);
  // The file commands.
  void CopyFile(const std::string& source, const char* title);
  void RenameFile(const std::string& source, const char* title);
  void RunCopyOrRename(Outcome (Commands::*command)(const std::string&, const std::string&),
                       const std::string& source, const std::string& target);
  void EraseFile(const std::string& path, const char* question);
  void TrashFile(const std::string& path);
  void NewFolder();

  Dialogs& dialogs_;
  FileSystem& fs_;
  SystemInfo& system_;
  Shell& shell_;
  Worker& worker_;
  DialogCommandHost host_;
  Commands commands_;
  MainWindowView* view_ = nullptr;
  PasswordWindow* password_window_ = nullptr;
  NamePrompt* name_prompt_ = nullptr;
  AboutWindow* about_window_ = nullptr;
  HelpWindow* help_window_ = nullptr;
  std::vector<Volume> volumes_;
  std::string folder_;
  std::string start_folder_;
};

}  // namespace talvor

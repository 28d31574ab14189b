// The commands of the main window in one table: the toolbar, the menus, the
// glyphs and the start names are all built from it.
#include <algorithm>
#include <stdexcept>

#include "main_window/main_window.h"

namespace talvor {

namespace {

bool CabWritable() {
  return CanWrite(ArchiveKind::kCab);
}

WindowCommandRow Base(WindowCommand command, const char* id, Menu menu, const char* caption,
                      ToolbarPlace toolbar) {
  WindowCommandRow row{};
  row.command = command;
  row.id = id;
  row.menu = menu;
  row.menu_caption = caption;
  row.toolbar = toolbar;
  return row;
}

WindowCommandRow Cipher(WindowCommand command, const char* id, const char* caption,
                        ToolbarPlace toolbar, const char* method, Direction direction) {
  WindowCommandRow row = Base(command, id, Menu::kCommands, caption, toolbar);
  row.action = Action::kCipher;
  row.method = method;
  row.direction = direction;
  row.start_name = id;
  return row;
}

WindowCommandRow Archive(WindowCommand command, const char* id, const char* caption,
                         ToolbarPlace toolbar, Action action, ArchiveKind kind,
                         const char* start_name) {
  WindowCommandRow row = Base(command, id, Menu::kCommands, caption, toolbar);
  row.action = action;
  row.kind = kind;
  row.start_name = start_name;
  if (kind == ArchiveKind::kCab) row.available = &CabWritable;
  return row;
}

struct Plain {
  WindowCommand command;
  const char* id;
  Menu menu;
  const char* caption;
  ToolbarPlace toolbar;
  const char* theme_icon;
  const char* shortcut;
  bool needs_selection;
  Action action;
  Wording wording = {};
  const char* start_name = nullptr;
};

WindowCommandRow Row(const Plain& p) {
  WindowCommandRow row = Base(p.command, p.id, p.menu, p.caption, p.toolbar);
  row.theme_icon = p.theme_icon;
  row.shortcut = p.shortcut;
  row.needs_selection = p.needs_selection;
  row.action = p.action;
  row.wording = p.wording;
  row.start_name = p.start_name;
  return row;
}

std::vector<WindowCommandRow> MakeTable() {
  using C = WindowCommand;
  using M = Menu;
  using A = Action;
  using K = ArchiveKind;
  constexpr Direction kEn = Direction::kEncrypt;
  constexpr Direction kDe = Direction::kDecrypt;
  static const std::string visit_caption = std::string("Visit ") + kWebSiteHost;
  return {
      Row({C::kOpen, "open", M::kFiles, "Open", {}, "document-open", "", false, A::kOpen}),
      Row({C::kCopy,
           "copy",
           M::kFiles,
           "Copy",
           {512, 25, "Copy file"},
           "edit-copy",
           "",
           true,
           A::kCopy,
           {kCopyTitleToolbar, kCopyTitleMenu}}),
      Row({C::kRename,
           "rename",
           M::kFiles,
           "Rename",
           {536, 25, "Rename file"},
           "edit-rename",
           "F2",
           true,
           A::kRename,
           {kRenameTitleToolbar, kRenameTitleMenu}}),
      Row({C::kNewFolder,
           "new-folder",
           M::kFiles,
           "New folder",
           {560, 25, "New folder"},
           "folder-new",
           "Ctrl+Shift+N",
           false,
           A::kNewFolder}),
      Row({C::kSeparator,
           "separator",
           M::kFiles,
           "__________________",
           {},
           "",
           "",
           false,
           A::kNothing}),
      Row({C::kQuit,
           "quit",
           M::kFiles,
           "Quit",
           {633, 25, "Quit"},
           "application-exit",
           "",
           false,
           A::kQuit}),
      Cipher(C::kEncryptTrap, "encrypt-trap", "Encrypt file - algorithm TRAP",
             {0, 25, "Encrypt file - algorithm TRAP"}, "trap", kEn),
      Cipher(C::kDecryptTrap, "decrypt-trap", "Decrypt file - algorithm TRAP",
             {25, 24, "Decrypt file - algorithm TRAP"}, "trap", kDe),
      Cipher(C::kEncryptOrm, "encrypt-orm", "Encrypt file - algorithm ORM",
             {50, 25, "Encrypt file - algorithm ORM"}, "orm", kEn),
      Cipher(C::kDecryptOrm, "decrypt-orm", "Decrypt file - algorithm ORM",
             {75, 25, "Decrypt file - algorithm ORM", true}, "orm", kDe),
      Cipher(C::kEncryptBlowfish, "encrypt-blowfish", "Encrypt file - algorithm BLOWFISH",
             {101, 25, "Encrypt file - algorithm BLOWFISH", true}, "blowfish", kEn),
      Cipher(C::kDecryptBlowfish, "decrypt-blowfish", "Decrypt file - algorithm BLOWFISH",
             {126, 25, "Decrypt file - algorithm BLOWFISH", true}, "blowfish", kDe),
      Cipher(C::kEncryptRijndael, "encrypt-rijndael", "Encrypt file - algorithm RIJNDAEL",
             {152, 25, "Encrypt file - algorithm RIJNDAEL"}, "rijndael", kEn),
      Cipher(C::kDecryptRijndael, "decrypt-rijndael", "Decrypt file - algorithm RIJNDAEL",
             {176, 25, "Decrypt file - algorithm RIJNDAEL"}, "rijndael", kDe),
      Cipher(C::kEncryptRandom, "encrypt-random", "Encrypt file - random algorithm ",
             {200, 25, "Encrypt file - random algorithm "}, "random", kEn),
      Cipher(C::kDecryptRandom, "decrypt-random", "Decrypt file - random algorithm ",
             {224, 25, "Decrypt file - random algorithm "}, "random", kDe),
      Row({C::kDestroy,
           "destroy",
           M::kCommands,
           "Destroy file",
           {440, 25, "Destroy file "},
           "edit-delete-shred",
           "",
           true,
           A::kDestroy,
           {kDestroyQuestionToolbar, kDestroyQuestionMenu},
           "destroy"}),
      Row({C::kErase,
           "erase",
           M::kCommands,
           "Erase file",
           {464, 25, "Erase file"},
           "edit-delete",
           "Shift+Del",
           true,
           A::kErase,
           {kEraseQuestionToolbar, kEraseQuestionMenu}}),
      Row({C::kTrash,
           "trash",
           M::kCommands,
           "Delete file ",
           {488, 25, "Move to trash"},
           "user-trash",
           "Del",
           true,
           A::kTrash}),
      Archive(C::kCreateCab, "create-cab", "Create archive *.cab",
              {248, 25, "Create archive *.cab"}, A::kPack, K::kCab, "pack-cab"),
      Archive(C::kExtractCab, "extract-cab", "Extract archive *.cab",
              {272, 25, "Extract archive *.cab"}, A::kUnpack, K::kCab, nullptr),
      Archive(C::kCreateLha, "create-lha", "Create archive *.lha",
              {296, 25, "Create archive *.lha"}, A::kPack, K::kLha, "pack-lha"),
      Archive(C::kExtractLha, "extract-lha", "Extract archive *.lha",
              {320, 25, "Extract archive *.lha"}, A::kUnpack, K::kLha, nullptr),
      Archive(C::kCreateZip, "create-zip", "Create archive  *.zip ",
              {344, 25, "Create archive  *.zip "}, A::kPack, K::kZip, "pack-zip"),
      Archive(C::kExtractZip, "extract-zip", "Extract archive *.zip",
              {368, 25, "Extract archive *.zip"}, A::kUnpack, K::kZip, nullptr),
      Archive(C::kCreateBh, "create-bh", "Create archive *.bh", {392, 25, "Create archive *.bh"},
              A::kPack, K::kBh, "pack-bh"),
      Archive(C::kExtractBh, "extract-bh", "Extract archive *.bh",
              {416, 25, "Extract archive *.bh"}, A::kUnpack, K::kBh, nullptr),
      Row({C::kProperties,
           "properties",
           M::kCommands,
           "Properties...",
           {584, 25, "Properties...", true},
           "document-properties",
           "",
           true,
           A::kProperties}),
      Row({C::kHelp,
           "help",
           M::kHelp,
           "Help",
           {609, 25, "Help"},
           "help-contents",
           "F1",
           false,
           A::kHelp}),
      Row({C::kAbout, "about", M::kHelp, "About..", {}, "help-about", "", false, A::kAbout}),
      Row({C::kVisitWebSite,
           "web-site",
           M::kHelp,
           visit_caption.c_str(),
           {},
           "internet-web-browser",
           "",
           false,
           A::kVisitWebSite}),
  };
}

}  // namespace

const std::vector<WindowCommandRow>& WindowCommands() {
  static const std::vector<WindowCommandRow> table = MakeTable();
  return table;
}

const WindowCommandRow& RowOf(WindowCommand command) {
  for (const WindowCommandRow& row : WindowCommands()) {
    if (row.command == command) return row;
  }
  throw std::out_of_range("a window command without a row");
}

std::vector<const WindowCommandRow*> ToolbarRows() {
  std::vector<const WindowCommandRow*> rows;
  for (const WindowCommandRow& row : WindowCommands()) {
    if (row.toolbar.left >= 0) rows.push_back(&row);
  }
  std::sort(rows.begin(), rows.end(), [](const WindowCommandRow* a, const WindowCommandRow* b) {
    return a->toolbar.left < b->toolbar.left;
  });
  return rows;
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

bool IsAvailable(const WindowCommandRow& row) {
  return row.available == nullptr || row.available();
}

}  // namespace talvor

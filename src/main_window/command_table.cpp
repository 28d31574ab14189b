// The toolbar and the menus of the main window: which command each button
// and entry runs, with its texts, icon and key.
#include "main_window/main_window.h"

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
    case Command::kCreateCab:
    case Command::kExtractCab:
      return CanWrite(ArchiveKind::kCab);
    default:
      return true;
  }
}

}  // namespace talvor

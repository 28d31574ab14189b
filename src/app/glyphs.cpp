#include "app/glyphs.h"

#include <QString>

namespace talvor {

namespace {

// The name of a command's icon in the ":/icons/" resource.
const char* IconName(Command command) {
  using C = Command;
  switch (command) {
    case C::kEncryptTrap:
      return "encrypt-trap";
    case C::kDecryptTrap:
      return "decrypt-trap";
    case C::kEncryptOrm:
      return "encrypt-orm";
    case C::kDecryptOrm:
      return "decrypt-orm";
    case C::kEncryptBlowfish:
      return "encrypt-blowfish";
    case C::kDecryptBlowfish:
      return "decrypt-blowfish";
    case C::kEncryptRijndael:
      return "encrypt-rijndael";
    case C::kDecryptRijndael:
      return "decrypt-rijndael";
    case C::kEncryptRandom:
      return "encrypt-random";
    case C::kDecryptRandom:
      return "decrypt-random";
    case C::kCreateCab:
      return "create-cab";
    case C::kExtractCab:
      return "extract-cab";
    case C::kCreateLha:
      return "create-lha";
    case C::kExtractLha:
      return "extract-lha";
    case C::kCreateZip:
      return "create-zip";
    case C::kExtractZip:
      return "extract-zip";
    case C::kCreateBh:
      return "create-bh";
    case C::kExtractBh:
      return "extract-bh";
    case C::kDestroy:
      return "destroy";
    case C::kErase:
      return "erase";
    case C::kTrash:
      return "trash";
    case C::kCopy:
      return "copy";
    case C::kRename:
      return "rename";
    case C::kNewFolder:
      return "new-folder";
    case C::kProperties:
      return "properties";
    case C::kOpen:
      return "open";
    case C::kHelp:
      return "help";
    case C::kAbout:
      return "about";
    case C::kVisitWebSite:
      return "web-site";
    case C::kQuit:
      return "quit";
    case C::kNone:
      break;
  }
  return nullptr;
}

QIcon ResourceIcon(const char* name) {
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

}  // namespace

QIcon OwnCommandIcon(Command command) {
  const char* name = IconName(command);
  return name == nullptr ? QIcon() : ResourceIcon(name);
}

QIcon CommandIcon(const char* theme_name, Command command) {
  if (command == Command::kNone) return {};
  const QIcon own = OwnCommandIcon(command);
  if (theme_name == nullptr || *theme_name == '\0') return own;
  return QIcon::fromTheme(QString::fromLatin1(theme_name), own);
}

QIcon FolderIcon(bool open) {
  return QIcon::fromTheme(open ? QStringLiteral("folder-open") : QStringLiteral("folder"),
                          ResourceIcon(open ? "folder-open" : "folder"));
}

}  // namespace talvor

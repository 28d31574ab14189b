#include "app/glyphs.h"

#include <QString>

namespace talvor {

namespace {

QIcon ResourceIcon(const char* name) {
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

}  // namespace

QIcon OwnCommandIcon(const WindowCommandRow& row) {
  return row.command == WindowCommand::kSeparator ? QIcon() : ResourceIcon(row.id);
}

QIcon CommandIcon(const WindowCommandRow& row) {
  if (row.command == WindowCommand::kSeparator) return {};
  const QIcon own = OwnCommandIcon(row);
  if (*row.theme_icon == '\0') return own;
  return QIcon::fromTheme(QString::fromLatin1(row.theme_icon), own);
}

QIcon FolderIcon(bool open) {
  return QIcon::fromTheme(open ? QStringLiteral("folder-open") : QStringLiteral("folder"),
                          ResourceIcon(open ? "folder-open" : "folder"));
}

}  // namespace talvor

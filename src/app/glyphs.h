// Icons of the commands: the desktop theme's, or the program's own (SVG
// files in data/icons, compiled in as a Qt resource) where the theme has
// none or there is no theme.
#pragma once

#include <QIcon>

#include "main_window/main_window.h"

namespace talvor {

// The row's theme icon, falling back on the program's own icon (the one
// named after the row's id). An empty icon for the separator.
[[nodiscard]] QIcon CommandIcon(const WindowCommandRow& row);

// The program's own icon alone.
[[nodiscard]] QIcon OwnCommandIcon(const WindowCommandRow& row);

// Folder icons of the folder list.
[[nodiscard]] QIcon FolderIcon(bool open);

}  // namespace talvor

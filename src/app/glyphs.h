// Icons of the commands: the desktop theme's, or the program's own (SVG
// files in data/icons, compiled in as a Qt resource) where the theme has
// none or there is no theme.
#pragma once

#include <QIcon>

#include "main_window/main_window.h"

namespace talvor {

// The theme icon `theme_name`, falling back on the program's own icon for
// `command`. An empty icon for kNone.
[[nodiscard]] QIcon CommandIcon(const char* theme_name, Command command);

// The program's own icon alone.
[[nodiscard]] QIcon OwnCommandIcon(Command command);

// Folder icons of the folder list.
[[nodiscard]] QIcon FolderIcon(bool open);

}  // namespace talvor

// Icons of the commands: the desktop theme's, or drawn ones where the theme
// has none.
#pragma once

#include <QIcon>

#include "main_window/main_window.h"

namespace talvor {

// The theme icon `theme_name`, falling back on a drawn glyph for `command`.
// An empty icon for kNone.
[[nodiscard]] QIcon CommandIcon(const char* theme_name, Command command);

// The drawn glyph alone.
[[nodiscard]] QIcon DrawnCommandIcon(Command command);

// Folder icons of the folder list.
[[nodiscard]] QIcon FolderIcon(bool open);

}  // namespace talvor

"""ZEM Talvor in the Nautilus context menu (a nautilus-python extension).

One selected file gets "Encrypt with ZEM Talvor…" and "Pack with ZEM
Talvor" (submenus, one entry per method and per format) and "Destroy with
ZEM Talvor…"; a protected file also "Decrypt with ZEM Talvor", an archive
"Unpack here with ZEM Talvor". Each entry starts
`zem-talvor --command NAME FILE`.
"""

import subprocess

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    gi.require_version("Nautilus", "3.0")
from gi.repository import GObject, Nautilus  # noqa: E402

PROTECTED_TYPES = (
    "application/x-zem-talvor-trap",
    "application/x-zem-talvor-orm",
    "application/x-zem-talvor-blowfish",
    "application/x-zem-talvor-rijndael",
    "application/x-zem-talvor-random",
)
ARCHIVE_TYPES = (
    "application/vnd.ms-cab-compressed",
    "application/x-lha",
    "application/zip",
    "application/x-bh",
)
ENCRYPT = (
    ("encrypt-trap", "Algorithm TRAP…"),
    ("encrypt-orm", "Algorithm ORM…"),
    ("encrypt-blowfish", "Algorithm BLOWFISH…"),
    ("encrypt-rijndael", "Algorithm RIJNDAEL…"),
    ("encrypt-random", "Random algorithm…"),
)
PACK = (
    ("pack-cab", "CAB archive (*.cab)"),
    ("pack-lha", "LHA archive (*.lha)"),
    ("pack-zip", "ZIP archive (*.zip)"),
    ("pack-bh", "BH archive (*.bh)"),
)
SHRED_ICON = "edit-delete-shred"
ARCHIVE_ICON = "package-x-generic"


def start(_item, command, path):
    subprocess.Popen(["zem-talvor", "--command", command, path], start_new_session=True)


def entry(name, label, command, path, icon="zem-talvor"):
    item = Nautilus.MenuItem(name="ZemTalvor::" + name, label=label, icon=icon)
    if command:
        item.connect("activate", start, command, path)
    return item


def submenu(name, label, entries, path, icon):
    item = entry(name, label, None, path, icon)
    menu = Nautilus.Menu()
    for command, text in entries:
        menu.append_item(entry(command, text, command, path, icon))
    item.set_submenu(menu)
    return item


def is_any(chosen, mime_types):
    return any(chosen.is_mime_type(t) for t in mime_types)


class ZemTalvorMenu(GObject.GObject, Nautilus.MenuProvider):
    # Nautilus 4 passes the files; Nautilus 3 passes the window first.
    def get_file_items(self, *args):
        files = args[-1]
        if len(files) != 1:
            return []
        chosen = files[0]
        location = chosen.get_location()
        path = location.get_path() if location is not None else None
        if chosen.get_uri_scheme() != "file" or chosen.is_directory() or not path:
            return []
        items = [submenu("encrypt", "Encrypt with ZEM Talvor…", ENCRYPT, path, "zem-talvor")]
        if is_any(chosen, PROTECTED_TYPES):
            items.append(entry("decrypt", "Decrypt with ZEM Talvor", "decrypt", path))
        items.append(entry("destroy", "Destroy with ZEM Talvor…", "destroy", path, SHRED_ICON))
        items.append(submenu("pack", "Pack with ZEM Talvor", PACK, path, ARCHIVE_ICON))
        if is_any(chosen, ARCHIVE_TYPES):
            items.append(entry("unpack", "Unpack here with ZEM Talvor", "unpack", path, ARCHIVE_ICON))
        return items

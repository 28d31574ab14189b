"""Checks the installed file-manager actions against the program and the
types it declares: every action names a command zem-talvor knows, shows for
the files it applies to (decrypt for the protected types, unpack for the
archive types, the others for any file) and every file manager offers every
command. The Nautilus extension is run with a stand-in for its library.

    desktop_files_check.py SHARE_DIR COMMAND_NAME...
"""

import configparser
import importlib.util
import pathlib
import sys
import types
import xml.etree.ElementTree as ElementTree

share = pathlib.Path(sys.argv[1])
known_names = set(sys.argv[2:])
failures = []


def check(condition, text):
    if not condition:
        failures.append(text)


def listed(value):
    return {v for v in value.split(";") if v}


MIME_NS = "{http://www.freedesktop.org/standards/shared-mime-info}"
declared = {
    t.get("type")
    for t in ElementTree.parse(share / "mime/packages/zem-talvor.xml").getroot()
    if t.tag == MIME_NS + "mime-type"
}
PROTECTED = {t for t in declared if t.startswith("application/x-zem-talvor-")}
ARCHIVES = {
    "application/vnd.ms-cab-compressed",
    "application/x-lha",
    "application/zip",
    "application/x-bh",
}
check(len(PROTECTED) == 5 and "application/x-bh" in declared, f"declared types: {declared}")
EVERY_COMMAND = (
    {"decrypt", "destroy", "unpack"}
    | {"encrypt-" + m for m in ("trap", "orm", "blowfish", "rijndael", "random")}
    | {"pack-" + f for f in ("cab", "lha", "zip", "bh")}
)
check(EVERY_COMMAND <= known_names, f"zem-talvor lacks {EVERY_COMMAND - known_names}")


def applies_to(command):
    return {"decrypt": PROTECTED, "unpack": ARCHIVES}.get(command)


def command_of(exec_line, where, placeholder):
    words = exec_line.split()
    ok = len(words) == 4 and words[:2] == ["zem-talvor", "--command"] and words[3] == placeholder
    check(ok, f"{where}: Exec={exec_line}")
    return words[2] if ok else ""


def key_file(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return parser


entry = key_file(share / "applications/zem-talvor.desktop")["Desktop Entry"]
check(entry["Exec"] == "zem-talvor --command open %f", f"desktop entry Exec={entry['Exec']}")
check(
    PROTECTED | ARCHIVES <= listed(entry["MimeType"]),
    f"desktop entry lacks {PROTECTED | ARCHIVES - listed(entry['MimeType'])}",
)

# Dolphin: one service menu per set of files, its actions in a submenu or not.
offered = set()
for path in sorted((share / "kio/servicemenus").glob("zem-talvor-*.desktop")):
    menu = key_file(path)
    head = menu["Desktop Entry"]
    check(head["Type"] == "Service" and head["X-KDE-MaxNumberOfUrls"] == "1", path.name)
    for action in listed(head["Actions"]):
        command = command_of(menu["Desktop Action " + action]["Exec"], path.name, "%f")
        offered.add(command)
        expected = applies_to(command) or {"all/allfiles"}
        check(listed(head["MimeType"]) == expected, f"{path.name}: MimeType for {command}")
check(offered == EVERY_COMMAND, f"Dolphin offers {sorted(offered)}")

# Nemo: one action per file, for one selected file.
offered = set()
for path in sorted((share / "nemo/actions").glob("zem-talvor-*.nemo_action")):
    action = key_file(path)["Nemo Action"]
    command = command_of(action["Exec"], path.name, "%F")
    offered.add(command)
    check(action["Selection"] == "s" and action["Quote"] == "double", path.name)
    expected = applies_to(command)
    if expected:
        check(listed(action.get("Mimetypes", "")) == expected, f"{path.name}: Mimetypes")
        check("Extensions" not in action, f"{path.name}: Extensions")
    else:
        check(action.get("Extensions") == "nodirs;", f"{path.name}: Extensions")
check(offered == EVERY_COMMAND, f"Nemo offers {sorted(offered)}")


# Nautilus: the extension with stand-ins for GObject and Nautilus.
class MenuItem:
    def __init__(self, name, label, icon):
        self.name, self.label, self.icon = name, label, icon
        self.submenu, self.handler = None, None

    def connect(self, signal, handler, *args):
        assert signal == "activate"
        self.handler = (handler, args)

    def set_submenu(self, menu):
        self.submenu = menu


class Menu(list):
    append_item = list.append


class Location:
    def __init__(self, path):
        self.path = path

    def get_path(self):
        return self.path


class FileInfo:
    def __init__(self, path, mime="text/plain", folder=False, scheme="file"):
        self.path, self.mime, self.folder, self.scheme = path, mime, folder, scheme

    def get_location(self):
        return Location(self.path)

    def get_uri_scheme(self):
        return self.scheme

    def is_directory(self):
        return self.folder

    def is_mime_type(self, mime):
        return mime == self.mime


gi = types.ModuleType("gi")
gi.require_version = lambda name, version: None
repository = types.ModuleType("gi.repository")
repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
repository.Nautilus = types.SimpleNamespace(
    MenuProvider=type("MenuProvider", (), {}), MenuItem=MenuItem, Menu=Menu
)
gi.repository = repository
sys.modules.update({"gi": gi, "gi.repository": repository})
loader_plan = importlib.util.spec_from_file_location(
    "zem_talvor", share / "nautilus-python/extensions/zem_talvor.py"
)
extension = importlib.util.module_from_spec(loader_plan)
loader_plan.loader.exec_module(extension)
started = []
extension.subprocess = types.SimpleNamespace(Popen=lambda argv, **_: started.append(argv))
provider = extension.ZemTalvorMenu()


def commands_for(*files):
    found = set()
    for item in provider.get_file_items(list(files)):
        for leaf in item.submenu or [item]:
            handler, args = leaf.handler
            handler(leaf, *args)
            found.add(started[-1][2])
            check(started[-1][3] == files[0].path, f"Nautilus started {started[-1]}")
    return found


PLAIN = EVERY_COMMAND - {"decrypt", "unpack"}
for mime in sorted(PROTECTED | ARCHIVES | {"text/plain"}):
    found = commands_for(FileInfo("/home/u/my file", mime))
    extra = {"decrypt"} if mime in PROTECTED else {"unpack"} if mime in ARCHIVES else set()
    check(found == PLAIN | extra, f"Nautilus for {mime}: {sorted(found)}")
check(not commands_for(FileInfo("/home/u/folder", folder=True)), "Nautilus on a folder")
check(not commands_for(FileInfo("/a"), FileInfo("/b")), "Nautilus on two files")
check(not commands_for(FileInfo("/a", scheme="sftp")), "Nautilus on a remote file")
# Nautilus 3 passes the window before the files.
check(provider.get_file_items(None, [FileInfo("/a")]), "Nautilus 3 calling convention")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)

#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands where: the
# two programs, the desktop entry (valid, when desktop-file-validate is
# there) and the icon in the freedesktop locations.
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/talvor bin/zem-talvor share/applications/zem-talvor.desktop \
  share/icons/hicolor/scalable/apps/zem-talvor.svg; do
  [[ -e "$prefix/$f" ]] || { echo "not installed: $f" >&2; exit 1; }
done
[[ -x "$prefix/bin/talvor" && -x "$prefix/bin/zem-talvor" ]]
"$prefix/bin/talvor" --version | grep -q '^talvor (ZEM Talvor)'
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/zem-talvor.desktop"
else
  echo "desktop-file-validate is not installed: the desktop entry was not validated"
fi
grep -q '^Exec=zem-talvor$' "$prefix/share/applications/zem-talvor.desktop"
grep -q '^Icon=zem-talvor$' "$prefix/share/applications/zem-talvor.desktop"
echo "installed as expected"

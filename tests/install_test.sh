#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands where: the
# two programs, the desktop entry (valid, when desktop-file-validate is
# there), the icon, the types of the program's files, the AppStream file and
# the file managers' actions in the freedesktop locations.
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/talvor bin/zem-talvor share/applications/zem-talvor.desktop \
  share/icons/hicolor/scalable/apps/zem-talvor.svg share/mime/packages/zem-talvor.xml \
  share/metainfo/org.example.talvor.zem_talvor.metainfo.xml \
  share/kio/servicemenus/zem-talvor-{encrypt,decrypt,destroy,pack,unpack}.desktop \
  share/nemo/actions/zem-talvor-{1-encrypt-trap,6-decrypt,7-destroy,8c-pack-zip,9-unpack}.nemo_action \
  share/nautilus-python/extensions/zem_talvor.py; do
  [[ -e "$prefix/$f" ]] || { echo "not installed: $f" >&2; exit 1; }
done
[[ -x "$prefix/bin/talvor" && -x "$prefix/bin/zem-talvor" ]]
"$prefix/bin/talvor" --version | grep -q '^talvor (ZEM Talvor)'
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/zem-talvor.desktop"
else
  echo "desktop-file-validate is not installed: the desktop entry was not validated"
fi
grep -q '^Exec=zem-talvor --command open %f$' "$prefix/share/applications/zem-talvor.desktop"
grep -q '^Icon=zem-talvor$' "$prefix/share/applications/zem-talvor.desktop"
echo "installed as expected"

#!/usr/bin/env bash
# The program on the desktop, installed into a temporary prefix: the desktop
# entry and the AppStream file pass their validators, the types of the
# program's files resolve (xdg-mime against the installed copy), the file
# managers' actions fit the program and the types, and the real program,
# started the way they start it, does what it is asked. A part whose tool is
# missing is skipped with a message.
#   tests/desktop_files_test.sh BUILD_DIR
set -euo pipefail
build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$prefix"
}
trap cleanup EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
zem="$prefix/bin/zem-talvor"
have() { command -v "$1" >/dev/null || { echo "skipped: $1 is not installed ($2)"; return 1; }; }

if have desktop-file-validate "the desktop entry"; then
  desktop-file-validate "$share/applications/zem-talvor.desktop"
fi
if have appstreamcli "the AppStream file"; then
  appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml
fi

# The types, by name and by content, as the desktop resolves them.
if have update-mime-database "the types" && have xdg-mime "the types" && have gio "the types"; then
  XDG_DATA_DIRS="$share:/usr/share" update-mime-database "$share/mime"
  files="$prefix/files"
  mkdir -p "$files"
  data="$here/data"
  declare -A expect=(
    [a.trp]=application/x-zem-talvor-trap [a.orm]=application/x-zem-talvor-orm
    [a.blf]=application/x-zem-talvor-blowfish [a.rnl]=application/x-zem-talvor-rijndael
    [a.erh]=application/x-zem-talvor-random [a.bh]=application/x-bh [B.BH]=application/x-bh
    [random-without-extension]=application/x-zem-talvor-random
    [bh-without-extension]=application/x-bh [a.zip]=application/zip [a.lha]=application/x-lha
    # Letter case counts for protected files; numbered text is no protected file.
    [A.TRP]=text/plain [numbered]=text/plain
  )
  for method in trp orm blf rnl erh; do cp "$data/protected/sample.$method" "$files/a.$method"; done
  cp "$data/protected/sample.trp" "$files/A.TRP"
  cp "$data/protected/block.erh" "$files/random-without-extension"
  cp "$data/bh/stored_tiny.bh" "$files/a.bh"
  cp "$data/bh/stored_tiny.bh" "$files/B.BH"
  cp "$data/bh/deflate_text.bh" "$files/bh-without-extension"
  cp "$data/zip/stored_tiny.zip" "$files/a.zip"
  cp "$data/lha/lh6_text.lha" "$files/a.lha"
  printf '1) first\n2) second\n' >"$files/numbered"
  failed=0
  for name in "${!expect[@]}"; do
    got="$(XDG_DATA_DIRS="$share:/usr/share" XDG_DATA_HOME="$prefix/home" \
      XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$files/$name")"
    if [[ "$got" != "${expect[$name]}" ]]; then
      echo "FAILED: $name is $got, not ${expect[$name]}" >&2
      failed=1
    fi
  done
  ((failed == 0))
fi

# The actions: their commands and the files they show for.
mapfile -t names < <("$zem" --help | sed -n 's/^NAME is one of: \(.*\)\.$/\1/p' | tr -d ' ' | tr ',' '\n')
python3 "$here/desktop_files_check.py" "$share" "${names[@]}"
python3 -m py_compile "$share/nautilus-python/extensions/zem_talvor.py"

# The real program, started as a file manager starts it, on Qt's offscreen
# platform: unpack an archive whatever its name, a path of the folder it is
# started in; an unknown command gets a line on standard error and the
# program stays up.
work="$prefix/work"
mkdir -p "$work"
cp "$here/data/zip/stored_tiny.zip" "$work/data.bin"
start() {
  (cd "$work" && exec env QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$prefix/home" "$zem" "$@" \
    >/dev/null 2>>"$work/err") &
  pids+=($!)
}
wait_for() {
  for _ in $(seq 300); do
    eval "$1" && return 0
    sleep 0.1
  done
  echo "FAILED: $2" >&2
  exit 1
}
start --command unpack data.bin
wait_for '[[ -e "$work/tiny.txt" ]]' "zem-talvor --command unpack did not unpack data.bin"
start --command shred data.bin
wait_for 'grep -q "^zem-talvor: Unknown command \"shred\"" "$work/err"' "no line for an unknown command"
kill -0 "${pids[-1]}" || { echo "FAILED: the program ended on an unknown command" >&2; exit 1; }
echo "desktop files as expected"

#!/usr/bin/env bash
# The real program on a virtual display: encrypts a file with TRAP, decrypts
# it, packs it into a ZIP archive and unpacks it, all with clicks and keys,
# and checks the files. Exits 77 (skipped) without Xvfb or xdotool.
#   tests/e2e/round_trip.sh ZEM_TALVOR
set -uo pipefail
export ZEM_TALVOR="$1"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=tests/e2e/desktop.sh
source "$here/desktop.sh"
folder="$(mktemp -d)"
trap 'stop_all; rm -rf "$folder"' EXIT
head -c 100000 /dev/urandom >"$folder/original"
cp "$folder/original" "$folder/doc.txt"

start_display
start_program "$folder"
fail() { echo "FAILED: $*" >&2; ls -la "$folder" >&2; exit 1; }

# Encrypt doc.txt with TRAP (toolbar encrypt-trap at 0).
select_file 0
click_tool 0
answer_password "a desktop round trip"
wait_for_file "$folder/doc.trp" || fail "no doc.trp"
rm "$folder/doc.txt"
# Decrypt doc.trp (decrypt-trap at 25): the list holds doc.trp, doc.txt.
select_file 0
click_tool 25
answer_password "a desktop round trip"
wait_for_file "$folder/doc.txt" || fail "doc.txt not restored"
cmp -s "$folder/original" "$folder/doc.txt" || fail "decrypted bytes differ"
# Pack doc.txt into doc.zip (create-zip at 344): doc.trp, doc.txt.
select_file 1
click_tool 344
wait_for_file "$folder/doc.zip" || fail "no doc.zip"
rm "$folder/doc.txt"
# Unpack doc.zip (extract-zip at 368): doc.trp, doc.txt, doc.zip.
select_file 2
click_tool 368
wait_for_file "$folder/doc.txt" || fail "doc.txt not unpacked"
sleep 0.3
cmp -s "$folder/original" "$folder/doc.txt" || fail "unpacked bytes differ"
echo "round trip through the windows: encrypt, decrypt, pack, unpack"

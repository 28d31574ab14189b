#!/usr/bin/env bash
# Whole commands on large files, beside the tools a user would pick instead:
#   talvor encrypt/decrypt (every method) on a 256 MiB file  vs  cp
#   talvor destroy on a 64 MiB file                           vs  shred -n 7 -u
# Builds Release first. Prints seconds, MB/s and peak memory (KiB).
#   bench/commands.sh [MiB for the ciphers, default 256] [MiB for destroy, default 64]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"
talvor="$(release_talvor "$root")"

size_mib="${1:-256}"
shred_mib="${2:-64}"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/talvor-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c "$((size_mib << 20))" /dev/urandom > data.bin
echo "CORRECT HORSE BATTERY STAPLE" > pw

# run LABEL BYTES COMMAND...: time one command after the page cache is warm.
run() {
  local label="$1" bytes="$2"; shift 2
  sync
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1
  local out
  out=$(tail -1 "$work/time.txt")
  local secs="${out% *}" kib="${out#* }"
  awk -v l="$label" -v s="$secs" -v b="$bytes" -v k="$kib" \
    'BEGIN { printf "%-28s %7.2f s %9.1f MB/s %8d KiB\n", l, s, (s > 0 ? b / s / 1e6 : 0), k }'
}

bytes=$((size_mib << 20))
cat data.bin > /dev/null
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "file: $size_mib MiB"
run "cp" "$bytes" cp data.bin copy.bin
rm -f copy.bin
for method in trap orm blowfish rijndael; do
  case "$method" in trap) ext=trp ;; orm) ext=orm ;; blowfish) ext=blf ;; rijndael) ext=rnl ;; esac
  run "talvor encrypt $method" "$bytes" "$talvor" encrypt --method "$method" --passphrase-file pw data.bin
  mv data.bin keep.bin
  run "talvor decrypt $method" "$bytes" "$talvor" decrypt --passphrase-file pw "data.$ext"
  cmp -s data.bin keep.bin || { echo "round trip of $method differs" >&2; exit 1; }
  rm -f keep.bin "data.$ext"
done

echo "destroy: $shred_mib MiB (bytes overwritten per second)"
shred_bytes=$((shred_mib << 20))
head -c "$shred_bytes" /dev/urandom > victim1
head -c "$shred_bytes" /dev/urandom > victim2
run "shred -n 7 -u (7 passes)" "$((7 * shred_bytes))" shred -n 7 -u victim2
run "talvor destroy (16 N bytes)" "$((16 * shred_bytes))" "$talvor" destroy --yes victim1

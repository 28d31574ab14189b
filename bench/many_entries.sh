#!/usr/bin/env bash
# Many small entries, beside the tool a user would pick instead: a ZIP of
# 10,000 files of 0.1-3 KB made by `zip -r`,
#   talvor unpack   vs  unzip -q A -d D && sync -f D   (both durable)
#   talvor test     vs  unzip -tq A
#   talvor list     vs  unzip -l A
# Builds Release first. Prints the median seconds of paired runs, the ratio
# (ours / theirs: lower is better) and our peak memory (KiB).
#   bench/many_entries.sh [entries, default 10000] [runs, default 5]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"
talvor="$(release_talvor "$root")"

entries="${1:-10000}"
runs="${2:-5}"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/talvor-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 - "$entries" <<'EOF'
import os, random, sys
pick = random.Random(7)  # the same files on every run
words = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu".split()
for i in range(int(sys.argv[1])):
    folder = f"src/d{i % 100:02d}"
    os.makedirs(folder, exist_ok=True)
    size = pick.randint(100, 3000)
    with open(f"{folder}/f{i:05d}.txt", "w") as f:
        f.write(" ".join(pick.choice(words) for _ in range(size // 5))[:size])
EOF
(cd src && zip -qr ../many.zip .)

# seconds COMMAND...: the wall time of one run, after the old output is gone
# and the page cache holds the archive.
seconds() {
  rm -rf out
  sync
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# pair LABEL "OURS" "THEIRS": runs both in turn `runs` times.
pair() {
  local label="$1" ours="$2" theirs="$3" a=() b=()
  for _ in $(seq "$runs"); do
    a+=("$(seconds bash -c "$ours")")
    b+=("$(seconds bash -c "$theirs")")
  done
  local ma mb
  ma=$(printf '%s\n' "${a[@]}" | median)
  mb=$(printf '%s\n' "${b[@]}" | median)
  rm -rf out
  /usr/bin/time -f "%M" -o peak.txt bash -c "$ours" >/dev/null 2>&1 || true
  printf '%-8s ours %7.3f s  peer %7.3f s  ratio %5.2f  peak %6s KiB\n' \
    "$label" "$ma" "$mb" "$(echo "$ma / $mb" | bc -l)" "$(tail -1 peak.txt)"
}

echo "$entries entries, $(stat -c %s many.zip) bytes, median of $runs paired runs"
pair unpack "'$talvor' unpack --to out many.zip" "unzip -q many.zip -d out && sync -f out"
pair test "'$talvor' test many.zip" "unzip -tq many.zip"
pair list "'$talvor' list many.zip" "unzip -l many.zip"
echo "targets: unpack <= 1.2, test <= 1.0, list below 1, peak under 65536 KiB"

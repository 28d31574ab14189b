#!/usr/bin/env bash
# The LHA codec beside the tools a user would compare it with:
#   packing:   our -lh6-  vs  gzip -6      (time and compressed payload size)
#   unpacking: our -lh6-  vs  lhasa's "lha p" on the same data
# on four kinds of data: text, source code, programs and random bytes.
# Builds Release first (into build-release, or $TALVOR_BUILD_DIR).
#   bench/lha_compare.sh [--window BITS]
# --window BITS adds rows for -lh6- packed with a window of 2^BITS bytes
# (15 = the 32 KiB that -lh6- readers provide).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TALVOR_BUILD_DIR:-$root/build-release}"
extra_window=""
if [[ "${1:-}" == "--window" ]]; then extra_window="${2:?--window needs a number of bits}"; fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVOR_BUILD_GUI=OFF \
  -DTALVOR_BUILD_TESTS=OFF -DTALVOR_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target talvor_lha_codec_bench >/dev/null
bench="$build/bench/talvor_lha_codec_bench"
for tool in gzip lha; do
  command -v "$tool" >/dev/null || { echo "needs $tool (lha: Debian package lhasa)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/var/tmp}/talvor-lha-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# The inputs. head closing the pipe early is expected, hence "|| true".
make_inputs() {
  set +o pipefail
  {
    for _ in 1 2 3 4 5 6; do
      cat /usr/share/common-licenses/* 2>/dev/null
      find /usr/share/doc -type f \( -name '*.txt' -o -name 'README*' -o -name NEWS \
        -o -name copyright \) -size -200k 2>/dev/null | sort | head -400 | xargs cat 2>/dev/null
    done
  } | head -c 16000000 > "$work/text" || true
  find /usr/include/c++ -type f 2>/dev/null | sort | xargs cat 2>/dev/null |
    head -c 12000000 > "$work/source" || true
  find /usr/bin -maxdepth 1 -type f -size +100k 2>/dev/null | sort | head -40 |
    xargs cat 2>/dev/null | head -c 8000000 > "$work/binary" || true
  head -c 4000000 /dev/urandom > "$work/random"
  set -o pipefail
}
make_inputs

# best_of3 COMMAND...: the shortest wall time of three runs, in seconds.
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"


printf '%-7s %9s | %-9s %9s %8s | %9s %8s | %6s %6s | %9s %8s | %6s\n' \
  kind bytes method packed 'pack MB/s' 'gzip -6' 'MB/s' size speed unpack lhasa speed
printf '%s\n' "$(printf '%.0s-' {1..124})"
rows=("6")
[[ -n "$extra_window" ]] && rows+=("6:$extra_window")
for kind in text source binary random; do
  file="$work/$kind"
  bytes=$(stat -c %s "$file")
  gzip_size=$(($(gzip -6 -n -c < "$file" | wc -c) - 18))  # less header and trailer
  gzip_time=$(best_of3 sh -c "gzip -6 -n -c < '$file'")
  for method in "${rows[@]}"; do
    # -lh6-/<N>K in X packed Y pack T s R MB/s unpack T s R MB/s
    read -r label _ _ _ packed _ pack_s _ _ _ _ unpack_s _ _ < <("$bench" "$file" "$method" "$work/a.lzh")
    lhasa_time=$(best_of3 lha pq "$work/a.lzh")
    lha pq "$work/a.lzh" | cmp -s - "$file" || { echo "lhasa read $kind back wrong" >&2; exit 1; }
    printf '%-7s %9d | %-9s %9d %8.1f | %9d %8.1f | %6.3f %6.2f | %9.1f %8.1f | %6.2f\n' \
      "$kind" "$bytes" "$label" "$packed" "$(mbps "$bytes" "$pack_s")" "$gzip_size" \
      "$(mbps "$bytes" "$gzip_time")" "$(ratio "$packed" "$gzip_size")" \
      "$(ratio "$gzip_time" "$pack_s")" "$(mbps "$bytes" "$unpack_s")" \
      "$(mbps "$bytes" "$lhasa_time")" "$(ratio "$lhasa_time" "$unpack_s")"
  done
done
echo
echo "size = our packed / gzip -6 payload (lower is better, target <= 1.05)"
echo "speed = their time / our time (higher is better, target >= 1): packing against gzip -6,"
echo "        unpacking against lhasa (whole 'lha p' run, output to /dev/null)"

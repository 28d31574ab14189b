#!/usr/bin/env bash
# Packing and unpacking with talvor beside the tools a user would pick:
#   ZIP:  talvor pack/unpack --format zip  vs  zip -6 / unzip
#   BH:   talvor pack/unpack --format bh   (no other tool; for the record)
#   LHA:  talvor pack/unpack --format lha  vs  gzip -6 / lhasa
#   CAB:  talvor pack/unpack --format cab  vs  zip -6 (size, time), gcab -c -z, cabextract
# on text, source code, programs and random bytes. Builds Release first.
# Prints seconds (best of three), sizes and the ratios ours/theirs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TALVOR_BUILD_DIR:-$root/build-release}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVOR_BUILD_GUI=OFF \
  -DTALVOR_BUILD_TESTS=OFF -DTALVOR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target talvor >/dev/null
talvor="$build/src/cli/talvor"
for tool in zip unzip gzip lha gcab cabextract; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/var/tmp}/talvor-archive-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
set +o pipefail
# Text without long-distance repeats: distinct documentation files.
find /usr/share/doc /usr/share/common-licenses /usr/share/perl* -type f \
  \( -name '*.txt' -o -name 'README*' -o -name NEWS -o -name copyright -o -name '*.pod' \) \
  -size -400k -print0 2>/dev/null | xargs -0 md5sum 2>/dev/null | sort -k1,1 -u |
  awk '{print $2}' | sort | xargs cat 2>/dev/null | head -c 8000000 > "$work/text" || true
find /usr/include/c++ -type f 2>/dev/null | sort | xargs cat 2>/dev/null | head -c 12000000 > "$work/source" || true
find /usr/bin -maxdepth 1 -type f -size +100k 2>/dev/null | sort | head -40 | xargs cat 2>/dev/null |
  head -c 8000000 > "$work/binary" || true
head -c 4000000 /dev/urandom > "$work/random"
set -o pipefail

# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf '%-7s %-4s %10s %10s %7s %8s %8s %7s %8s %8s %7s\n' data fmt bytes packed size/ref \
  pack-s ref-s ratio unpack-s ref-s ratio
for kind in text source binary random; do
  bytes=$(stat -c %s "$work/$kind")
  dir="$work/$kind.d"
  mkdir -p "$dir/x" "$dir/y"
  cp "$work/$kind" "$dir/$kind.dat"
  cd "$dir"
  # ZIP
  pack=$(best_of3 "$talvor" pack --format zip --yes "$kind.dat")
  ref_pack=$(best_of3 sh -c "rm -f ref.zip; zip -6 -q ref.zip $kind.dat")
  ours=$(stat -c %s "$kind.zip")
  theirs=$(stat -c %s ref.zip)
  unpack=$(best_of3 sh -c "rm -rf x && mkdir x && $talvor unpack --to x $kind.zip")
  ref_unpack=$(best_of3 sh -c "rm -rf y && mkdir y && unzip -qo ref.zip -d y")
  cmp -s "x/$kind.dat" "$kind.dat" || { echo "zip round trip of $kind differs" >&2; exit 1; }
  printf '%-7s %-4s %10d %10d %7.3f %8.3f %8.3f %7.2f %8.3f %8.3f %7.2f\n' "$kind" zip "$bytes" \
    "$ours" "$(ratio "$ours" "$theirs")" "$pack" "$ref_pack" "$(ratio "$pack" "$ref_pack")" \
    "$unpack" "$ref_unpack" "$(ratio "$unpack" "$ref_unpack")"
  # LHA against gzip -6 (size and packing) and lhasa (unpacking)
  pack=$(best_of3 "$talvor" pack --format lha --yes "$kind.dat")
  ref_pack=$(best_of3 sh -c "gzip -6 -c $kind.dat > ref.gz")
  ours=$(stat -c %s "$kind.lha")
  theirs=$(stat -c %s ref.gz)
  unpack=$(best_of3 sh -c "rm -rf x && mkdir x && $talvor unpack --to x $kind.lha")
  ref_unpack=$(best_of3 sh -c "rm -rf y && mkdir y && cd y && lha xqf ../$kind.lha")
  cmp -s "x/$kind.dat" "$kind.dat" || { echo "lha round trip of $kind differs" >&2; exit 1; }
  printf '%-7s %-4s %10d %10d %7.3f %8.3f %8.3f %7.2f %8.3f %8.3f %7.2f\n' "$kind" lha "$bytes" \
    "$ours" "$(ratio "$ours" "$theirs")" "$pack" "$ref_pack" "$(ratio "$pack" "$ref_pack")" \
    "$unpack" "$ref_unpack" "$(ratio "$unpack" "$ref_unpack")"
  # CAB against zip -6 (size, packing), gcab -c -z (for the record) and cabextract
  pack=$(best_of3 "$talvor" pack --format cab --yes "$kind.dat")
  ref_pack=$(best_of3 sh -c "rm -f ref.zip; zip -6 -q ref.zip $kind.dat")
  gcab_pack=$(best_of3 sh -c "rm -f ref.cab; gcab -c -z ref.cab $kind.dat")
  ours=$(stat -c %s "$kind.cab")
  theirs=$(stat -c %s ref.zip)
  gcab_size=$(stat -c %s ref.cab)
  # Into empty folders: replacing files costs us a flush to the disk per file.
  unpack=$(best_of3 sh -c "rm -rf x && mkdir x && $talvor unpack --to x $kind.cab")
  ref_unpack=$(best_of3 sh -c "rm -rf y && mkdir y && cabextract -q -d y $kind.cab")
  cmp -s "x/$kind.dat" "$kind.dat" || { echo "cab round trip of $kind differs" >&2; exit 1; }
  printf '%-7s %-4s %10d %10d %7.3f %8.3f %8.3f %7.2f %8.3f %8.3f %7.2f   gcab: %d bytes %.3f s\n' \
    "$kind" cab "$bytes" "$ours" "$(ratio "$ours" "$theirs")" "$pack" "$ref_pack" \
    "$(ratio "$pack" "$ref_pack")" "$unpack" "$ref_unpack" "$(ratio "$unpack" "$ref_unpack")" \
    "$gcab_size" "$gcab_pack"
  # BH, for the record
  pack=$(best_of3 "$talvor" pack --format bh --yes "$kind.dat")
  ours=$(stat -c %s "$kind.bh")
  unpack=$(best_of3 "$talvor" unpack --to x "$kind.bh")
  printf '%-7s %-4s %10d %10d %7s %8.3f %8s %7s %8.3f %8s %7s\n' "$kind" bh "$bytes" "$ours" - \
    "$pack" - - "$unpack" - -
  cd "$work"
done
echo "(ref: zip -6 / unzip for zip; gzip -6 / lhasa for lha; zip -6 / cabextract for cab;"
echo " ratio = ours / theirs, time lower is better)"

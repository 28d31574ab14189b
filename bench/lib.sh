# Shared by the benchmark scripts (sourced, not run).

# best_of3 COMMAND...: the shortest wall time of three runs, in seconds.
best_of3() {
  local best="" start end t
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [[ -z "$best" ]] || (($(echo "$t < $best" | bc -l))); then best=$t; fi
  done
  echo "$best"
}

ratio() { echo "scale=3; $1 / $2" | bc -l; }
mbps() { echo "scale=1; $1 / 1000000 / $2" | bc -l; }

# release_talvor ROOT: builds talvor in Release (in $TALVOR_BUILD_DIR, by
# default ROOT/build-release) and prints its path.
release_talvor() {
  local build="${TALVOR_BUILD_DIR:-$1/build-release}"
  cmake -S "$1" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVOR_BUILD_GUI=OFF \
    -DTALVOR_BUILD_TESTS=OFF -DTALVOR_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target talvor >/dev/null
  echo "$build/src/cli/talvor"
}

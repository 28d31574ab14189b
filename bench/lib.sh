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

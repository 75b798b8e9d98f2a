#!/usr/bin/env bash
# Builds the Release benchmarks and runs them, each beside its peers on this
# machine (SQLite, shapelib, ogr2ogr, python3-dbfread, a plain read of the
# file), and writes the table of ratios that their "peer:" lines give.
#
#   scripts/bench.sh                    every benchmark, default sizes
#   scripts/bench.sh dataset_bench ...  only these
#   ORVEX_BENCH_RECORDS=100000 scripts/bench.sh   smaller tables (a quick look;
#                                       index_scale_bench then stops at that size)
#
# Each benchmark's full output goes to build/release/bench/results/NAME.txt,
# the table to build/release/bench/results/ratios.md (and to stdout). A ratio
# above 1 means the library's figure is the better one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORVEX_TESTS=OFF >/dev/null
bin="$PWD/build/release/bench"
results="$bin/results"
if [ $# -gt 0 ]; then
  cmake --build build/release -j "$(nproc)" --target "$@"
  names=("$@")
else
  cmake --build build/release -j "$(nproc)" --target benchmarks
  names=()
  for program in "$bin"/*_bench; do names+=("$(basename "$program")"); done
fi
mkdir -p "$results"
table="$results/ratios.md"
{
  echo "| benchmark | measured | orvex | peer | peer figure | ratio |"
  echo "|---|---|---|---|---|---|"
} >"$table"
status=0
for name in "${names[@]}"; do
  echo "== $name"
  args=()
  [ -n "${ORVEX_BENCH_RECORDS:-}" ] && args=("$ORVEX_BENCH_RECORDS")
  if ! QT_QPA_PLATFORM=offscreen "$bin/$name" "${args[@]}" | tee "$results/$name.txt"; then
    echo "$name failed" >&2
    status=1
  fi
  # peer: WHAT; orvex N UNIT; PEER N UNIT; ratio R   (or: PEER missing)
  grep '^peer: ' "$results/$name.txt" | sed 's/^peer: //' | awk -F '; ' -v bench="$name" '{
    peer = $3; figure = ""; ratio = "-";
    if (peer ~ / missing$/) { sub(/ missing$/, "", peer); figure = "missing" }
    else { n = split(peer, w, " "); figure = w[n-1] " " w[n]; peer = w[1]; for (i = 2; i <= n - 2; i++) peer = peer " " w[i] }
    if (NF >= 4) { ratio = $4; sub(/^ratio /, "", ratio) }
    ours = $2; sub(/^orvex /, "", ours);
    printf "| %s | %s | %s | %s | %s | %s |\n", bench, $1, ours, peer, figure, ratio
  }' >>"$table"
done
echo
cat "$table"
exit $status

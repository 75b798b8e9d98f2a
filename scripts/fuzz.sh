#!/usr/bin/env bash
# Fuzzes the library: builds every libFuzzer target of fuzz/ with the whole
# library instrumented for coverage (plus AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS on its corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default 300 s, every target)
# New inputs that reach new edges are added to fuzz/corpus/<target>/; crashes
# land in build/fuzz/crashes/. At the end a line per target gives the edges
# reached and the executions run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_FUZZ=ON \
  -DORVEX_SANITIZE=ON -DORVEX_TESTS=OFF -DORVEX_BENCH=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]}"
mkdir -p build/fuzz/crashes build/fuzz/logs
summary=()
for target in "${targets[@]}"; do
  mkdir -p "fuzz/corpus/$target"
  log="build/fuzz/logs/$target.log"
  status=0
  "build/fuzz/fuzz/$target" "fuzz/corpus/$target" -max_total_time="$seconds" \
    -artifact_prefix="build/fuzz/crashes/$target-" -print_final_stats=1 >"$log" 2>&1 || status=$?
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  summary+=("$target: ${edges:-?} edges, ${execs:-?} executions, exit $status (log $log)")
done
printf '%s\n' "${summary[@]}"

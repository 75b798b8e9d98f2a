#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors, and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DORVEX_SANITIZE=ON -DORVEX_WERROR=ON -DORVEX_BENCH=OFF >/dev/null
cmake --build build/test -j "$(nproc)"
cd build/test
ctest --output-on-failure -j "$(nproc)" --timeout 600
